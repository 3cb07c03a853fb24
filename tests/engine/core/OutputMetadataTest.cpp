// Tags and chapters a run carries from its input into a Matroska output, read back with the
// libraries directly: the automatic copies, the metadata maps (stream to global, chapter to
// chapter), the chapter maps with a clip, and every refusal of an index that names nothing.
#include "tests/engine/core/TranscodeTestSupport.h"
#include "tests/fixtures/TempFolder.h"
#include "tools/testvideo/LinkedFFPtr.h"

#include <gtest/gtest.h>

#include <cctype>
#include <map>

extern "C" {
#include <libavformat/avformat.h>
}

namespace vidorant::testing {
namespace {

using TTags = std::map<std::string, std::string>;

struct TChapterRead {
  long long StartMs, EndMs;
  std::string Title;
  bool operator==(const TChapterRead&) const = default;
  friend std::ostream& operator<<(std::ostream& os, const TChapterRead& c) {
    return os << "[" << c.StartMs << "," << c.EndMs << " '" << c.Title << "']";
  }
};

struct TWrittenTags {
  TTags Global, Video;
  std::vector<TChapterRead> Chapters;
};

// Keys in lower case: Matroska stores them in upper case.
TTags TagsOf(const AVDictionary* dict) {
  TTags tags;
  for (const AVDictionaryEntry* e = nullptr; (e = av_dict_get(dict, "", e, AV_DICT_IGNORE_SUFFIX));) {
    std::string key = e->key;
    for (char& ch : key) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    tags[key] = e->value;
  }
  return tags;
}

TWrittenTags ReadTags(const std::string& path) {
  AVFormatContext* raw = nullptr;
  TWrittenTags written;
  if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) {
    ADD_FAILURE() << "cannot open " << path;
    return written;
  }
  InputPtr input(raw);
  written.Global = TagsOf(input->metadata);
  if (input->nb_streams > 0) written.Video = TagsOf(input->streams[0]->metadata);
  for (unsigned i = 0; i < input->nb_chapters; ++i) {
    const AVChapter* c = input->chapters[i];
    const AVDictionaryEntry* title = av_dict_get(c->metadata, "title", nullptr, 0);
    written.Chapters.push_back({av_rescale_q(c->start, c->time_base, {1, 1000}),
                                av_rescale_q(c->end, c->time_base, {1, 1000}), title ? title->value : ""});
  }
  return written;
}

std::string Tag(const TTags& tags, const std::string& key) {
  const auto it = tags.find(key);
  return it == tags.end() ? "<none>" : it->second;
}

class OutputMetadata : public ::testing::Test {
protected:
  static void SetUpTestSuite() { PrepareTranscodeTests(); }

  // Two seconds with tags of its own and three chapters.
  std::string Source() {
    TVideoRecipe recipe = Shaped(MatroskaRecipe(), 64, 48, {25, 1}, 50);
    recipe.Metadata = {{"title", "Source title"}, {"artist", "Someone"}};
    recipe.VideoMetadata = {{"comment", "video tag"}};
    recipe.Chapters = {{0, 500, "One"}, {500, 1200, "Two"}, {1200, 2000, "Three"}};
    return MakeTestVideo(Tmp.Path(), "tagged", recipe);
  }

  TTempFolder Tmp;
  TTestTask Task;
};

const std::vector<TChapterRead> AllChapters = {{0, 500, "One"}, {500, 1200, "Two"}, {1200, 2000, "Three"}};

TEST_F(OutputMetadata, TagsAndChaptersFollowTheMapsAndTheAutomaticCopies) {
  const struct {
    const char* Name;
    TOptionList InputOptions, OutputOptions;
    std::string GlobalTitle, GlobalComment, VideoComment;
    std::vector<TChapterRead> Chapters;
  } cases[] = {
      {"nothing asked: everything is copied", {}, {}, "Source title", "<none>", "video tag", AllChapters},
      {"an output's own tag is kept", {}, {{"metadata", "title=Mine"}}, "Mine", "<none>", "video tag", AllChapters},
      {"a stream's tags to the global ones, which then are not copied",
       {},
       {{"map_meta_data", "0:0,s:0"}},
       "<none>",
       "video tag",
       "<none>",
       AllChapters},
      {"the newer spelling of the option",
       {},
       {{"map_metadata", "0,g:0,s:0"}},
       "<none>",
       "video tag",
       "<none>",
       AllChapters},
      // Chapter tags are no longer copied by themselves; the map gives chapter 1 the last title.
      {"a chapter's tags to a chapter of the output",
       {},
       {{"map_meta_data", "0,c:1:0,c:2"}},
       "Source title",
       "<none>",
       "video tag",
       {{0, 500, ""}, {500, 1200, "Three"}, {1200, 2000, ""}}},
      {"a chapter map with a negative index asks for none", {}, {{"map_chapters", "0:-1"}}, "Source title", "<none>",
       "video tag", {}},
      {"a chapter map of the input", {}, {{"map_chapters", "0:0"}}, "Source title", "<none>", "video tag", AllChapters},
      // The clip from 0.6 s for 1 s: the first chapter ended before it, the others move and the
      // last one is cut at the clip's end.
      {"chapters of a clip", {{"ss", "0.6"}}, {{"t", "1"}}, "Source title", "<none>", "video tag",
       {{0, 600, "Two"}, {600, 1000, "Three"}}},
  };
  const std::string source = Source();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TTestTask task;
    const std::string output = Tmp.File("out.mkv");
    TOptionList outputOptions = c.OutputOptions;
    outputOptions.emplace_back("vcodec", "copy");
    ASSERT_TRUE(SetUpTask(task, c.InputOptions, source, outputOptions, output));
    task.Start(false);
    ASSERT_TRUE(task.Finished()) << task.ErrorMessage();
    const TWrittenTags written = ReadTags(output);
    EXPECT_EQ(Tag(written.Global, "title"), c.GlobalTitle);
    EXPECT_EQ(Tag(written.Global, "comment"), c.GlobalComment);
    EXPECT_EQ(Tag(written.Video, "comment"), c.VideoComment);
    EXPECT_EQ(written.Chapters, c.Chapters);
  }
}

TEST_F(OutputMetadata, AnIndexThatNamesNothingEndsTheRunWithItsMessage) {
  const struct {
    const char* Option;
    const char* Value;
    const char* Message;
  } cases[] = {
      {"map_meta_data", "1:0", "Invalid output file index 1 while processing metadata maps"},
      {"map_meta_data", "0:1", "Invalid input file index 1 while processing metadata maps"},
      {"map_meta_data", "-1:0", "Invalid output file index -1 while processing metadata maps"},
      {"map_meta_data", "0,s:3:0", "Invalid stream index 3 while processing metadata maps"},
      {"map_meta_data", "0:0,s:2", "Invalid stream index 2 while processing metadata maps"},
      {"map_meta_data", "0:0,c:7", "Invalid chapter index 7 while processing metadata maps"},
      {"map_meta_data", "0,p:0:0", "Invalid program index 0 while processing metadata maps"},
      {"map_chapters", "0:1", "Invalid input file index 1 in chapter mapping."},
      {"map_chapters", "2:0", "Invalid output file index 2 in chapter mapping."},
  };
  const std::string source = Source();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Value);
    TLogCapture log;
    TTestTask task;
    const std::string output = Tmp.File("refused.mkv");
    ASSERT_TRUE(SetUpTask(task, {}, source, {{c.Option, c.Value}, {"vcodec", "copy"}}, output));
    task.Start(false);
    EXPECT_TRUE(task.Error());
    EXPECT_EQ(task.ErrorMessage(), c.Message);
    if (std::string(c.Option) == "map_meta_data") {
      EXPECT_TRUE(log.Has(llError, c.Message));
    }
  }
}

}  // namespace
}  // namespace vidorant::testing
