#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "TestFiles.h"
#include "TestLibraries.h"
#include "engine/runtime/FFUtils.h"
#include "engine/runtime/OutputFormats.h"

namespace vidorant {
namespace {

class LibraryUtils : public ::testing::Test {
protected:
  void SetUp() override {
    if (!LoadTestLibraries()) GTEST_SKIP() << "libraries missing (reported as a failure)";
  }
};

TEST_F(LibraryUtils, ReadWholeFileAddsAZeroByteThatTheSizeCounts) {
  TTempFolder folder;
  const struct {
    const char* Leaf;
    std::string Content;
  } cases[] = {
      {"text.txt", "preset=slow\nqp=0\n"},
      {"empty.txt", ""},
      {"binary.bin", std::string("a\0b\xFF", 4)},
  };
  for (const auto& c : cases) {
    const std::string name = folder.File(c.Leaf);
    TTempFolder::Write(name, c.Content);
    TAVMemoryPtr<uint8_t> buffer;
    int64_t size = -1;
    ASSERT_EQ(ReadWholeFile(name, buffer, size), 0) << c.Leaf;
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(size, static_cast<int64_t>(c.Content.size()) + 1) << c.Leaf;
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer.get()), c.Content.size()), c.Content);
    EXPECT_EQ(buffer.get()[c.Content.size()], 0);
  }
}

TEST_F(LibraryUtils, ReadWholeFileFailsForMissingFilesAndFolders) {
  TTempFolder folder;
  for (const std::string name : {folder.File("missing.txt"), folder.Path.string()}) {
    TAVMemoryPtr<uint8_t> buffer;
    int64_t size = -1;
    EXPECT_EQ(ReadWholeFile(name, buffer, size), -1) << name;
    EXPECT_EQ(buffer, nullptr);
    EXPECT_EQ(size, 0);
  }
}

TEST_F(LibraryUtils, MetadataValueFindsTheKeyOrGivesTheDefault) {
  TDictionary dict;
  ff::av_dict_set(dict.Address(), "title", "Holiday", 0);
  ff::av_dict_set(dict.Address(), "artist", "", 0);
  EXPECT_EQ(MetadataValue(dict.Get(), "title", "none"), "Holiday");
  EXPECT_EQ(MetadataValue(dict.Get(), "TITLE", "none"), "Holiday");  // letter case ignored
  EXPECT_EQ(MetadataValue(dict.Get(), "artist", "none"), "");       // present but empty
  EXPECT_EQ(MetadataValue(dict.Get(), "titl", "none"), "none");     // no prefix match
  EXPECT_EQ(MetadataValue(nullptr, "title", "none"), "none");
}

TEST_F(LibraryUtils, RegisteringAnOutputFormatTwiceAddsItOnce) {
  static TOutputFormat first = {"testraw1", "test format one", nullptr, "tr1",
                                AV_CODEC_ID_NONE, AV_CODEC_ID_RAWVIDEO, AV_CODEC_ID_NONE,
                                0, 16, nullptr, nullptr, nullptr};
  static TOutputFormat second = first;
  second.Name = "testraw2";
  EXPECT_EQ(RegisterOutputFormat(&first), &first);
  EXPECT_EQ(RegisterOutputFormat(&second), &second);
  EXPECT_EQ(RegisterOutputFormat(&first), &first);
  int seen = 0;
  for (const TOutputFormat* f = NextOutputFormat(nullptr); f; f = NextOutputFormat(f))
    if (f == &first || f == &second) ++seen;
  EXPECT_EQ(seen, 2);
  EXPECT_EQ(FindOutputFormat("testraw2"), &second);
  EXPECT_EQ(FindOutputFormat("testraw"), nullptr);
}

}  // namespace
}  // namespace vidorant
