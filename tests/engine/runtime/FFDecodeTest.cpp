// The decoder component on real files from the test-video generator: stream counts and first
// indices, the file's properties and tags, the failure texts, the unicode road for names the
// narrow character set cannot carry, and contexts attached from outside.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
}

#include "Isolated.h"
#include "TestLibraries.h"
#include "TestLocale.h"
#include "engine/runtime/AVErrorText.h"
#include "engine/runtime/FFDecode.h"
#include "engine/runtime/FFLog.h"
#include "engine/runtime/InterruptCB.h"
#include "engine/runtime/UnicodeProtocol.h"
#include "platform/Exception.h"
#include "tests/fixtures/TempFolder.h"
#include "tools/testvideo/TestVideo.h"

namespace vidorant {
namespace {

using testing::MakeTestVideo;
using testing::TTestAudio;
using testing::TVideoRecipe;

// The logger's lines with their Sender while it lives.
class TDecoderLog {
public:
  struct TLine {
    TObject* Sender;
    TLogLevel Level;
    std::string Text;
  };
  TDecoderLog() : FOldLevel(FFLogger()->LogLevel()) {
    FFLogger()->TriggerEventInMainThread = false;
    FFLogger()->SetLogLevel(llDebug);
    FFLogger()->OnLog = [this](TObject* sender, uint32_t, TLogLevel level, const std::string& text) {
      std::lock_guard<std::mutex> lock(FLock);
      FLines.push_back({sender, level, text});
    };
  }
  ~TDecoderLog() {
    FFLogger()->OnLog = nullptr;
    FFLogger()->SetLogLevel(FOldLevel);
  }
  // Lines the given Sender logged.
  std::vector<TLine> From(TObject* sender) {
    std::lock_guard<std::mutex> lock(FLock);
    std::vector<TLine> lines;
    for (const TLine& line : FLines)
      if (line.Sender == sender) lines.push_back(line);
    return lines;
  }

private:
  std::mutex FLock;
  std::vector<TLine> FLines;
  TLogLevel FOldLevel;
};

class FFDecoderTest : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(LoadTestLibraries()); }

  std::string Make(const std::string& name, const TVideoRecipe& recipe) {
    return MakeTestVideo(Folder.Path(), name, recipe);
  }

  testing::TTempFolder Folder;
};

TVideoRecipe VideoAndTwoAudios() {
  TVideoRecipe recipe = testing::MatroskaRecipe();
  recipe.FrameCount = 5;
  recipe.Audio = {TTestAudio{}, TTestAudio{"pcm_s16le", 22050, 1, 300.0}};
  return recipe;
}

void ExpectEmpty(const TCustomDecoder& d) {
  EXPECT_EQ(d.FormatContext(), nullptr);
  EXPECT_EQ(d.FileSize(), -1);
  for (int value : {d.StreamCount(), d.ProgramCount(), d.AudioStreamCount(), d.VideoStreamCount(),
                    d.SubtitleStreamCount(), d.FirstAudioStreamIndex(), d.FirstVideoStreamIndex(),
                    d.FirstSubtitleStreamIndex()})
    EXPECT_EQ(value, -1);
}

TEST_F(FFDecoderTest, StreamsAreCountedByTypeWithTheFirstIndexOfEach) {
  struct TCase {
    const char* Name;
    TVideoRecipe Recipe;
    int Streams, Videos, Audios, Subtitles, FirstVideo, FirstAudio, FirstSubtitle, Decoded;
  };
  TVideoRecipe audioOnly = VideoAndTwoAudios();
  audioOnly.VideoCodec.clear();
  TVideoRecipe withSubtitle = testing::MatroskaRecipe();
  withSubtitle.FrameCount = 5;
  withSubtitle.Audio = {TTestAudio{}};
  withSubtitle.Subtitle = true;
  const TCase cases[] = {
      {"video_two_audios", VideoAndTwoAudios(), 3, 1, 2, 0, 0, 1, -1, 0},
      {"audio_only", audioOnly, 2, 0, 2, 0, -1, 0, -1, 0},
      {"video_audio_subtitle", withSubtitle, 3, 1, 1, 1, 0, 1, 2, 0},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string path = Make(c.Name, c.Recipe);
    TFFDecoder decoder;
    ASSERT_TRUE(decoder.LoadFile(path)) << decoder.LastErrMsg();
    EXPECT_TRUE(decoder.OwnsContext());
    EXPECT_EQ(decoder.StreamCount(), c.Streams);
    EXPECT_EQ(decoder.ProgramCount(), 0);
    EXPECT_EQ(decoder.VideoStreamCount(), c.Videos);
    EXPECT_EQ(decoder.AudioStreamCount(), c.Audios);
    EXPECT_EQ(decoder.SubtitleStreamCount(), c.Subtitles);
    EXPECT_EQ(decoder.FirstVideoStreamIndex(), c.FirstVideo);
    EXPECT_EQ(decoder.FirstAudioStreamIndex(), c.FirstAudio);
    EXPECT_EQ(decoder.FirstSubtitleStreamIndex(), c.FirstSubtitle);
    EXPECT_EQ(decoder.DecodedStreamIndex(), c.Decoded);
    EXPECT_EQ(decoder.FileSize(), static_cast<int64_t>(std::filesystem::file_size(path)));
    decoder.CloseFile();
    ExpectEmpty(decoder);
    EXPECT_EQ(decoder.DecodedStreamIndex(), -1);
  }
}

TEST_F(FFDecoderTest, DurationIsMinusOneOnlyWhenTheContainerHasNone) {
  TVideoRecipe raw = testing::RawStreamRecipe();
  raw.FrameCount = 5;
  TFFDecoder decoder;
  TFileStreamInfo info;
  ASSERT_TRUE(decoder.LoadFile(Make("raw", raw))) << decoder.LastErrMsg();
  decoder.GetFileInfo(info);
  EXPECT_EQ(info.Duration, -1);

  TVideoRecipe mkv = testing::MatroskaRecipe();
  mkv.FrameCount = 25;
  ASSERT_TRUE(decoder.LoadFile(Make("timed", mkv))) << decoder.LastErrMsg();
  decoder.GetFileInfo(info);
  EXPECT_EQ(info.Duration, testing::TestVideoDuration(mkv));
  EXPECT_EQ(info.StartTime, 0);
  EXPECT_GT(info.BitRate, 0);
}

TEST_F(FFDecoderTest, TagsReadBackAsStoredUnderTheirOwnKeys) {
  TVideoRecipe recipe = testing::MatroskaRecipe();
  recipe.FrameCount = 3;
  recipe.Metadata = {{"title", "A title"},       {"author", "An author"}, {"artist", "An artist"},
                     {"copyright", "(c) 2009"}, {"comment", "Notes"},    {"album", "An album"},
                     {"genre", "Documentary"},  {"date", "2009-05-01"},  {"track", "7/12"},
                     {"creation_time", "2020-01-02T03:04:05.000000Z"}};
  TFFDecoder decoder;
  ASSERT_TRUE(decoder.LoadFile(Make("tagged", recipe))) << decoder.LastErrMsg();
  TFileStreamInfo info;
  decoder.GetFileInfo(info);
  EXPECT_EQ(info.Title, "A title");
  // The author field is the "author" tag only: an "artist" beside it does not replace it.
  EXPECT_EQ(info.Author, "An author");
  EXPECT_EQ(info.Copyright, "(c) 2009");
  EXPECT_EQ(info.Comment, "Notes");
  EXPECT_EQ(info.Album, "An album");
  EXPECT_EQ(info.Genre, "Documentary");
  EXPECT_EQ(info.Year, 2009);
  EXPECT_EQ(info.Track, 7);
  EXPECT_EQ(info.Timestamp, 1577934245);

  // A file with only an artist has no author, and no tags read as empty texts and zeros.
  TVideoRecipe artistOnly = testing::MatroskaRecipe();
  artistOnly.FrameCount = 3;
  artistOnly.Metadata = {{"artist", "An artist"}};
  ASSERT_TRUE(decoder.LoadFile(Make("artist", artistOnly))) << decoder.LastErrMsg();
  decoder.GetFileInfo(info);
  EXPECT_EQ(info.Author, "");
  EXPECT_EQ(info.Title, "");
  EXPECT_EQ(info.Year, 0);
  EXPECT_EQ(info.Track, 0);
  EXPECT_EQ(info.Timestamp, 0);
}

TEST_F(FFDecoderTest, InfoWithoutAFileWarnsAndReportsNothing) {
  TDecoderLog log;
  TFFDecoder decoder;
  TFileStreamInfo info;
  info.Title = "stale";
  info.Duration = 5;
  decoder.GetFileInfo(info);
  for (int64_t value : {info.StartTime, info.Duration, int64_t{info.BitRate}, info.Timestamp,
                        int64_t{info.Year}, int64_t{info.Track}})
    EXPECT_EQ(value, -1);
  for (const std::string* text : {&info.Title, &info.Author, &info.Copyright, &info.Comment, &info.Album, &info.Genre})
    EXPECT_EQ(*text, "");
  EXPECT_EQ(decoder.LastErrMsg(), "file not loaded.");
  const auto lines = log.From(&decoder);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].Level, llWarning);
  EXPECT_EQ(lines[0].Text, "file not loaded.");
}

TEST_F(FFDecoderTest, FailuresGiveTheirTextsAndOnlyTheOpenFailureIsLogged) {
  TVideoRecipe recipe = testing::MatroskaRecipe();
  recipe.FrameCount = 3;
  const std::string good = Make("good", recipe);
  TDecoderLog log;
  TFFDecoder decoder;

  // An unknown forced format: nothing opened, nothing logged, the file in hand is gone.
  ASSERT_TRUE(decoder.LoadFile(good));
  EXPECT_FALSE(decoder.LoadFile(good, "nosuchformat"));
  EXPECT_EQ(decoder.LastErrMsg(), "Unknown input format: nosuchformat");
  ExpectEmpty(decoder);
  EXPECT_TRUE(log.From(&decoder).empty());

  // A file that is not there: the library's error text, logged at error level by the decoder.
  const std::string missing = Folder.File("missing.mkv");
  EXPECT_FALSE(decoder.LoadFile(missing));
  const std::string expected = FormatAVError(missing, AVERROR(ENOENT));
  EXPECT_EQ(decoder.LastErrMsg(), expected);
  ExpectEmpty(decoder);
  auto lines = log.From(&decoder);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].Level, llError);
  EXPECT_EQ(lines[0].Text, expected);

  // A file no demuxer recognises.
  const std::string junk = Folder.File("junk.bin");
  std::FILE* f = std::fopen(junk.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fputs("this is not a media file", f);
  std::fclose(f);
  EXPECT_FALSE(decoder.LoadFile(junk));
  EXPECT_EQ(decoder.LastErrMsg(), FormatAVError(junk, AVERROR_INVALIDDATA));
  EXPECT_EQ(log.From(&decoder).size(), 2u);

  // A name too long for the libraries is a failure like any other, not an exception.
  const std::string tooLong = Folder.File(std::string(3000, 'x') + ".mkv");
  bool loaded = true;
  EXPECT_NO_THROW(loaded = decoder.LoadFile(tooLong));
  EXPECT_FALSE(loaded);
  EXPECT_EQ(decoder.LastErrMsg().rfind("File name too long (", 0), 0u) << decoder.LastErrMsg();
  EXPECT_EQ(log.From(&decoder).size(), 3u);

  // A known forced format opens and is remembered until the file is closed.
  ASSERT_TRUE(decoder.LoadFile(good, "matroska")) << decoder.LastErrMsg();
  EXPECT_EQ(decoder.FormatName(), "matroska");
  EXPECT_EQ(decoder.VideoStreamCount(), 1);
  decoder.CloseFile();
  EXPECT_EQ(decoder.FormatName(), "");
}

TEST_F(FFDecoderTest, NonAsciiNameOpensThroughTheUnicodeRoadUnderTheCLocale) {
  TVideoRecipe recipe = VideoAndTwoAudios();
  const std::string path = Make("vid\xC3\xA9o \xE2\x98\x83", recipe);
  TScopedLocale locale("C");
  ASSERT_TRUE(locale.Active);
  ASSERT_TRUE(NeedsUnicodeName(path)) << "the name must need the unicode road for this test";
  TFFDecoder decoder;
  ASSERT_TRUE(decoder.LoadFile(path)) << decoder.LastErrMsg();
  EXPECT_EQ(decoder.StreamCount(), 3);
  EXPECT_EQ(decoder.FileSize(), static_cast<int64_t>(std::filesystem::file_size(path)));
  TFileStreamInfo info;
  decoder.GetFileInfo(info);
  EXPECT_EQ(info.Duration, testing::TestVideoDuration(recipe));
}

TEST_F(FFDecoderTest, DecodedStreamStartFollowsEachFile) {
  TVideoRecipe ts = testing::MpegTsRecipe();
  const std::string tsPath = Make("offset", ts);
  // The container's own start offset, read independently of the decoder.
  AVFormatContext* raw = nullptr;
  ASSERT_EQ(avformat_open_input(&raw, tsPath.c_str(), nullptr, nullptr), 0);
  const int probed = avformat_find_stream_info(raw, nullptr);
  const AVStream* stream = raw->streams[0];
  const int64_t expected = av_rescale_q(stream->start_time, stream->time_base, AVRational{1, AV_TIME_BASE});
  avformat_close_input(&raw);
  ASSERT_GE(probed, 0);
  ASSERT_GT(expected, 0);

  TFFDecoder decoder;
  EXPECT_EQ(decoder.AudioChannels, 2);
  EXPECT_EQ(decoder.AudioSampleRate, 44100);
  ASSERT_TRUE(decoder.LoadFile(tsPath)) << decoder.LastErrMsg();
  EXPECT_EQ(decoder.StreamStartTime(), expected);
  EXPECT_EQ(decoder.State().CurrentTimestamp, expected);
  EXPECT_EQ(decoder.State().NextTimestamp, expected);

  TVideoRecipe mkv = testing::MatroskaRecipe();
  mkv.FrameCount = 3;
  ASSERT_TRUE(decoder.LoadFile(Make("zero", mkv))) << decoder.LastErrMsg();
  EXPECT_EQ(decoder.StreamStartTime(), 0);
  EXPECT_EQ(decoder.State().CurrentTimestamp, 0);
  EXPECT_EQ(decoder.State().VideoFrames, 0);
}

TEST_F(FFDecoderTest, AttachedContextIsReadButNeverClosedByTheDecoder) {
  const std::string path = Make("attached", VideoAndTwoAudios());
  AVFormatContext* context = nullptr;
  ASSERT_EQ(avformat_open_input(&context, path.c_str(), nullptr, nullptr), 0);
  ASSERT_GE(avformat_find_stream_info(context, nullptr), 0);
  {
    auto decoder = std::make_unique<TFFDecoder>();
    decoder->AttachContext(context);
    EXPECT_EQ(decoder->FormatContext(), context);
    EXPECT_FALSE(decoder->OwnsContext());
    EXPECT_EQ(decoder->StreamCount(), 3);
    EXPECT_EQ(decoder->AudioStreamCount(), 2);
    EXPECT_EQ(decoder->FirstAudioStreamIndex(), 1);
    EXPECT_EQ(decoder->FileSize(), static_cast<int64_t>(std::filesystem::file_size(path)));
    // Attaching the same context again keeps it.
    decoder->AttachContext(context);
    EXPECT_EQ(decoder->FormatContext(), context);
    // Loading another file lets go of the attached one without closing it.
    TVideoRecipe other = testing::MatroskaRecipe();
    other.FrameCount = 3;
    ASSERT_TRUE(decoder->LoadFile(Make("other", other))) << decoder->LastErrMsg();
    EXPECT_EQ(decoder->StreamCount(), 1);
    decoder->AttachContext(context);
    EXPECT_EQ(decoder->StreamCount(), 3);
  }  // the decoder ends holding the attached context
  // Still ours and intact (AddressSanitizer reports any use after a free by the decoder).
  EXPECT_EQ(context->nb_streams, 3u);
  EXPECT_EQ(context->streams[2]->codecpar->codec_type, AVMEDIA_TYPE_AUDIO);
  avformat_close_input(&context);
}

TEST(FFDecoderLibraries, EachMissingLibraryIsNamedInOrderByLoadAndAttach) {
  RunIsolated([] {
    FFLoader->UnloadLibs(AllLibraries);
    TFFDecoder decoder;
    ExpectEmpty(decoder);
    const std::pair<TLibrary, const char*> steps[] = {{libAVCodec, "LibAVCodec not loaded."},
                                                      {libAVFormat, "LibAVFormat not loaded."},
                                                      {libAVUtil, "LibAVUtil not loaded."},
                                                      {libSwScale, "LibSwScale not loaded."}};
    AVFormatContext* notOpened = reinterpret_cast<AVFormatContext*>(&decoder);  // never read
    for (const auto& [library, text] : steps) {
      SCOPED_TRACE(text);
      try {
        decoder.CheckLibraries();
        ADD_FAILURE() << "no exception";
      } catch (const Exception& e) {
        EXPECT_EQ(e.Message, text);
      }
      try {
        decoder.LoadFile("/nonexistent.mkv");
        ADD_FAILURE() << "no exception from LoadFile";
      } catch (const Exception& e) {
        EXPECT_EQ(e.Message, text);
      }
      try {
        decoder.AttachContext(notOpened);
        ADD_FAILURE() << "no exception from AttachContext";
      } catch (const Exception& e) {
        EXPECT_EQ(e.Message, text);
      }
      EXPECT_EQ(decoder.FormatContext(), nullptr);
      ASSERT_TRUE(FFLoader->LoadLib(library)) << FFLoader->LastErrMsg();
    }
    EXPECT_NO_THROW(decoder.CheckLibraries());
  });
}

// A named pipe nobody writes to: the decoder gives up after its I/O timeout instead of waiting
// for ever, reports the interrupted opening, and leaves no check registered behind.
TEST_F(FFDecoderTest, PipeWithoutWriterIsEndedByTheTimeout) {
  const std::string fifo = Folder.File("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  TDecoderLog log;
  TFFDecoder decoder;
  EXPECT_EQ(decoder.IOTimeout(), 10000);
  decoder.SetIOTimeout(200);
  const size_t checks = FFInterruptCB().Count();
  EXPECT_FALSE(decoder.LoadFile(fifo));
  EXPECT_EQ(decoder.LastErrMsg(), FormatAVError(fifo, AVERROR_EXIT));
  ExpectEmpty(decoder);
  EXPECT_EQ(FFInterruptCB().Count(), checks);
  bool timedOut = false;
  for (const auto& line : log.From(&decoder)) timedOut |= line.Text == "connecting/reading/writing timeout";
  EXPECT_TRUE(timedOut);
}

}  // namespace
}  // namespace vidorant
