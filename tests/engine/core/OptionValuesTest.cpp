// The value parsers of a task's options, without the media libraries.
#include "engine/core/FFmpegException.h"
#include "engine/core/OptionValues.h"
#include "engine/core/Presets.h"

#include <gtest/gtest.h>

#include <set>

namespace vidorant {
namespace {

// Runs f and returns the message of the FFmpegException it raised ("" when none).
template <typename F>
std::string RefusalOf(F f) {
  try {
    f();
  } catch (const FFmpegException& e) {
    return e.Message;
  }
  return "";
}

TEST(OptionNumbers, JunkRaisesTheRuntimeConversionErrorNotAnOptionError) {
  EXPECT_EQ(StrToInt("42"), 42);
  EXPECT_EQ(StrToInt(" -7"), -7);
  EXPECT_EQ(StrToInt64("-9000000000"), -9000000000LL);
  EXPECT_DOUBLE_EQ(StrToFloat("2.5"), 2.5);
  EXPECT_DOUBLE_EQ(StrToFloat("1e3"), 1000.0);
  for (const char* junk : {"", "12x", "x", "1.5", "99999999999"}) {
    try {
      StrToInt(junk);
      ADD_FAILURE() << "no error for \"" << junk << "\"";
    } catch (const FFmpegException&) {
      ADD_FAILURE() << "option error for a number";
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message, std::string("'") + junk + "' is not a valid integer value");
    }
  }
  for (const char* junk : {"", "abc", "nan", "inf", "0x10", "1.5.2"})
    EXPECT_THROW(StrToFloat(junk), EConvertError) << junk;
  EXPECT_TRUE(OptionBool(""));
  EXPECT_TRUE(OptionBool("no"));
  EXPECT_FALSE(OptionBool("0"));
}

TEST(StreamMap, SyncPairDefaultsToTheStreamAndSeparatorsAreAnyCharacter) {
  struct Case {
    const char* Text;
    int File, Stream, SyncFile, SyncStream;
  } cases[] = {
      {"0:1", 0, 1, 0, 1},       {"1.2", 1, 2, 1, 2},     {"0:1:2:3", 0, 1, 2, 3},
      {"0x10:2", 16, 2, 16, 2},  {"3", 3, 0, 3, 0},       {"1:2,0.0", 1, 2, 0, 0},
  };
  for (const Case& c : cases) {
    const TStreamMap m = ParseStreamMap(c.Text);
    EXPECT_EQ(m.FileIndex, c.File) << c.Text;
    EXPECT_EQ(m.StreamIndex, c.Stream) << c.Text;
    EXPECT_EQ(m.SyncFileIndex, c.SyncFile) << c.Text;
    EXPECT_EQ(m.SyncStreamIndex, c.SyncStream) << c.Text;
  }
}

TEST(MetaDataMap, TypesWithIndexAndTheInvalidTypeMessage) {
  struct Case {
    const char* Text;
    TMetaDataSide Out, In;
  } cases[] = {
      {"0:1", {0, 'g', 0}, {1, 'g', 0}},
      {"0,s:1:1,c:2", {0, 's', 1}, {1, 'c', 2}},
      {"1,p:3:0,g", {1, 'p', 3}, {0, 'g', 0}},
  };
  for (const Case& c : cases) {
    const TMetaDataMap m = ParseMetaDataMap(c.Text);
    EXPECT_EQ(m.Out.File, c.Out.File) << c.Text;
    EXPECT_EQ(m.Out.Type, c.Out.Type) << c.Text;
    EXPECT_EQ(m.Out.Index, c.Out.Index) << c.Text;
    EXPECT_EQ(m.In.File, c.In.File) << c.Text;
    EXPECT_EQ(m.In.Type, c.In.Type) << c.Text;
    EXPECT_EQ(m.In.Index, c.In.Index) << c.Text;
  }
  EXPECT_EQ(RefusalOf([] { ParseMetaDataMap("0,x:1"); }), "Invalid metadata type x.");
  EXPECT_EQ(RefusalOf([] { ParseMetaDataMap("0:1,q"); }), "Invalid metadata type q.");
}

TEST(ChapterMap, OutputThenInput) {
  const TChapterMap m = ParseChapterMap("2:1");
  EXPECT_EQ(m.OutFile, 2);
  EXPECT_EQ(m.InFile, 1);
}

TEST(CodecTag, FourLettersAreLittleEndianAndDecimalIsTakenAsIs) {
  EXPECT_EQ(ParseCodecTag("DIVX"), uint32_t('D') | uint32_t('I') << 8 | uint32_t('V') << 16 | uint32_t('X') << 24);
  EXPECT_EQ(ParseCodecTag("1234"), 1234u);
  EXPECT_EQ(ParseCodecTag("0x41"), uint32_t('0') | uint32_t('x') << 8 | uint32_t('4') << 16 | uint32_t('1') << 24);
  for (const char* bad : {"abc", "abcde", "12ab5"}) {
    try {
      ParseCodecTag(bad);
      ADD_FAILURE() << bad;
    } catch (const EAssertionFailed& e) {
      EXPECT_EQ(e.Message, "tag parameter must be 4 chars or int value (FFmpeg)");
    }
  }
}

TEST(StreamId, IndexColonValueOrTheSyntaxMessage) {
  const TStreamId id = ParseStreamId("streamid", "2:5");
  EXPECT_EQ(id.Index, 2);
  EXPECT_EQ(id.Value, 5);
  // A negative or absurd index would index or grow the map out of bounds.
  for (const char* bad : {"2", "2:", ":5", "a:5", "2:x", "-1:5", "70000:1", ""})
    EXPECT_EQ(RefusalOf([&] { ParseStreamId("streamid", bad); }),
              std::string("Invalid value \"") + bad +
                  "\" for option \"streamid\", required syntax is \"index:value\"")
        << bad;
}

TEST(Matrix, SixtyFourCoefficientsOrTheIndexWhereTheTextEnded) {
  std::string text;
  for (int i = 0; i < 64; ++i) text += (i ? "," : "") + std::to_string(i + 1);
  const TQuantMatrix m = ParseMatrix(text);
  EXPECT_EQ(m[0], 1);
  EXPECT_EQ(m[63], 64);
  const std::string short63 = text.substr(0, text.rfind(','));
  EXPECT_EQ(RefusalOf([&] { ParseMatrix(short63); }),
            "Syntax error in matrix \"" + short63 + "\" at coeff 62");
  EXPECT_EQ(RefusalOf([] { ParseMatrix("16"); }), "Syntax error in matrix \"16\" at coeff 0");
}

TEST(AspectRatio, RatioOrNumberAndZeroIsRefused) {
  EXPECT_FLOAT_EQ(ParseAspectRatio("16:9"), 1.7777778f);
  EXPECT_FLOAT_EQ(ParseAspectRatio("4:3"), 4.0f / 3.0f);
  EXPECT_FLOAT_EQ(ParseAspectRatio("2.35"), 2.35f);
  for (const char* bad : {"4:0", "0", "0:5", "4:-3"})
    EXPECT_EQ(RefusalOf([&] { ParseAspectRatio(bad); }), "Incorrect aspect ratio specification.") << bad;
  EXPECT_THROW(ParseAspectRatio("wide"), EConvertError);
}

TEST(Target, NormPrefixIsSplitOff) {
  struct Case {
    const char* Text;
    TTargetNorm Norm;
    const char* Type;
  } cases[] = {{"pal-vcd", TTargetNorm::Pal, "vcd"},
               {" ntsc-dvd ", TTargetNorm::Ntsc, "dvd"},
               {"film-dv", TTargetNorm::Film, "dv"},
               {"svcd", TTargetNorm::Auto, "svcd"},
               {"secam-vcd", TTargetNorm::Auto, "secam-vcd"}};
  for (const Case& c : cases) {
    const TTargetName t = SplitTarget(c.Text);
    EXPECT_EQ(t.Norm, c.Norm) << c.Text;
    EXPECT_EQ(t.Type, c.Type) << c.Text;
  }
}

TEST(BitstreamFilter, NameEndsAtTheFirstEquals) {
  EXPECT_EQ(BitstreamFilterName("h264_mp4toannexb"), "h264_mp4toannexb");
  EXPECT_EQ(BitstreamFilterName("noise=amount=5"), "noise");
}

TEST(BuiltInPresets, ThirtySixDistinctNamesEachOfKeyValueLines) {
  std::set<std::string> names;
  for (const TBuiltInPreset& p : BuiltInPresets) {
    names.insert(p.Name);
    const std::string text = p.Text;
    ASSERT_FALSE(text.empty()) << p.Name;
    EXPECT_EQ(text.back(), '\n') << p.Name;
    EXPECT_FALSE(ParsePresetText(p.Name, text).empty()) << p.Name;
  }
  EXPECT_EQ(names.size(), 36u);
  EXPECT_STREQ(FindBuiltInPreset("LIBX264-Main"), "profile=77\n");
  EXPECT_STREQ(FindBuiltInPreset("libx264-ipod640"),
               "profile=66\nrefs=1\nlevel=30\nmaxrate=10000000\nbufsize=10000000\n");
  EXPECT_STREQ(FindBuiltInPreset("libx264-slow_firstpass"), "preset=slow\nfastfirstpass=1\n");
  EXPECT_EQ(FindBuiltInPreset("libx264-nosuch"), nullptr);
}

TEST(PresetText, CommentsAndBlankLinesSkippedLineBreaksNormalised) {
  const TPresetLines lines = ParsePresetText("p", "\r\n# comment\r\ng=12\r\rbf = 2\nvcodec=mpeg4  \n\n");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].Key, "g");
  EXPECT_EQ(lines[0].Value, "12");
  EXPECT_EQ(lines[1].Key, "bf");
  EXPECT_EQ(lines[1].Value, "2");
  EXPECT_EQ(lines[2].Line, "vcodec=mpeg4");
}

TEST(PresetText, LineWithoutKeyOrValueIsASyntaxError) {
  for (const char* bad : {"g12", "=12", "g=", " = "})
    EXPECT_EQ(RefusalOf([&] { ParsePresetText("my.ffpreset", std::string("g=1\n") + bad); }),
              "my.ffpreset: Invalid syntax: \"" + Trim(bad) + "\"")
        << bad;
}

}  // namespace
}  // namespace vidorant
