// Setting tasks up through the encoder component: the option records and their further options,
// the limits, and the failures it reports.
#include "engine/encoder/ExtOptions.h"
#include "engine/encoder/RecordOptions.h"
#include "tests/engine/encoder/EncoderFixture.h"

#include <gmock/gmock.h>

#include <cstdlib>
#include <ctime>

extern "C" {
#include <libavutil/pixfmt.h>
}

namespace vidorant::testing {
namespace {

TEST_F(EncoderTest, AProgressIntervalOf100OrLessBecomes100) {
  for (auto [written, read] : {std::pair{50, 100}, {250, 250}}) {
    Encoder->SetProgressInterval(written);
    EXPECT_EQ(Encoder->ProgressInterval(), read);
  }
}

TEST_F(EncoderTest, ThePixelFormatOfTheFurtherOptionsReachesTheTask) {
  int headerFormat = AV_PIX_FMT_NONE;
  Adapters[0].OnWriteHeader = [&](TObject*) { headerFormat = Adapters[0].FrameInfo()->PixFmt; };
  for (auto [line, format] : {std::pair{"pix_fmt=bgr24", AV_PIX_FMT_BGR24}, {"PIX_FMT=rgb24", AV_PIX_FMT_RGB24}}) {
    SCOPED_TRACE(line);
    ASSERT_EQ(Encoder->AddTask(Video(0)), 0) << Encoder->LastErrMsg();
    TOutputOptions options = AdapterOptions();
    options.ExtOptions = line;
    ASSERT_TRUE(Encoder->SetOutputFile(0, AdapterOutputName(Adapters[0]), &options)) << Encoder->LastErrMsg();
    Encoder->StartTask(0);
    WaitForRunEnd();
    EXPECT_EQ(headerFormat, format);
    Encoder->ClearTasks();
  }
}

TEST_F(EncoderTest, The21stOutputOfATaskIsRefused) {
  ASSERT_EQ(Encoder->AddTask(Video(0)), 0);
  const TOutputOptions options = AdapterOptions();
  for (int k = 0; k < 20; k++)
    ASSERT_TRUE(Encoder->SetOutputFile(0, AdapterOutputName(Adapters[0]), &options)) << k << Encoder->LastErrMsg();
  EXPECT_FALSE(Encoder->SetOutputFile(0, AdapterOutputName(Adapters[0]), &options));
  EXPECT_EQ(Encoder->LastErrMsg(), "max output files 20 reached");
  EXPECT_EQ(Encoder->Task(0).OutputCount(), 20);
}

TEST_F(EncoderTest, FailedSetUpsReportTheirReasonAndKeepNothing) {
  TInputOptions input;
  input.ExtOptions = "no_such_option=1";
  EXPECT_EQ(Encoder->AddTask(Video(0), &input), -1);
  EXPECT_THAT(Encoder->LastErrMsg(), ::testing::HasSubstr("no_such_option"));
  EXPECT_EQ(Encoder->AddTask(Video(0) + ".missing"), -1);
  EXPECT_FALSE(Encoder->LastErrMsg().empty());
  EXPECT_EQ(Encoder->TaskCount(), 0);
  EXPECT_FALSE(Encoder->SetOutputFile(3, "x"));
  EXPECT_EQ(Encoder->LastErrMsg(), "List index out of bounds (3)");
  // The record is kept with the input it was given for, its name filled from the argument.
  input.ExtOptions = "";
  ASSERT_EQ(Encoder->AddTask(Video(1), &input), 0);
  EXPECT_EQ(Encoder->Task(0).InputOptions(0).FileName, Video(1));
  EXPECT_EQ(Encoder->Task(0).InputDecoder(0).VideoStreamCount(), 1);
}

TEST(ExtOptions, LinesAreNamesInLowerCaseWithTheRestAsValue) {
  const std::vector<TOptionLine> lines = ParseExtOptions("  Pix_Fmt=bgr24<CRLF>metadata=title=a\r\nvn\rb=\n\n r=10 ");
  std::vector<std::pair<std::string, std::string>> got;
  for (const TOptionLine& line : lines) got.emplace_back(line.Name, line.Value);
  EXPECT_THAT(got, ::testing::ElementsAre(std::pair{"pix_fmt", "bgr24"}, std::pair{"metadata", "title=a"},
                                          std::pair{"vn", ""}, std::pair{"b", ""}, std::pair{"r", "10"}));
}

TEST(ExtOptions, StreamValuesComeFromTheLinesInTurnThenFromTheDefaults) {
  TOutputOptions options;
  options.FrameSize = "64x48";
  TStreamDefaults defaults(options, ParseExtOptions("vcodec=mpeg4\ns=32x24\nvfilters=hflip\nvcodec=ffv1"));
  EXPECT_EQ(defaults.Default("s"), "64x48");  // the field wins over the lines
  EXPECT_EQ(defaults.Default("vcodec"), "mpeg4");
  EXPECT_EQ(defaults.Take("vcodec"), "mpeg4");
  EXPECT_EQ(defaults.Take("vcodec"), "ffv1");
  EXPECT_EQ(defaults.Take("vcodec"), "mpeg4");
  EXPECT_EQ(defaults.Take("vf"), "hflip");
  EXPECT_EQ(defaults.Take("s"), "32x24");
  EXPECT_EQ(defaults.Take("s"), "64x48");
}

TEST(StreamTimestamp, DaysSince1899BecomeTheUTCDateOfTheLocalTime) {
  const char* old = std::getenv("TZ");
  const std::string saved = old ? old : "";
  setenv("TZ", "CET-1", 1);  // one hour east of UTC, no daylight saving
  tzset();
  EXPECT_EQ(StreamTimestampText(-1), "");
  EXPECT_EQ(StreamTimestampText(0), "now");
  EXPECT_EQ(StreamTimestampText(25569.5), "1970-01-01 11:00:00Z");
  EXPECT_EQ(StreamTimestampText(45000.25 + 0.4 / 86400), "2023-03-15 05:00:00Z");
  old ? setenv("TZ", saved.c_str(), 1) : unsetenv("TZ");
  tzset();
}

TEST_F(EncoderTest, AnAutomaticTargetFallsBackOnTheGivenNorm) {
  struct TCase {
    const char* Norm;
    const char* Fallback;
    const char* Rate;
    int Height;
  };
  for (const TCase& c : {TCase{"auto", "ntsc", "12", 240}, TCase{"auto", "pal", "12", 288},
                         TCase{"auto", "pal", "30000/1001", 240}, TCase{"pal", "ntsc", "12", 288}}) {
    SCOPED_TRACE(::testing::Message() << c.Norm << " " << c.Fallback << " " << c.Rate);
    TCustomFFmpeg task(1);
    task.ParseOption("r", c.Rate);
    task.SetTarget("vcd", c.Norm, c.Fallback);
    EXPECT_EQ(task.Options().FrameHeight, c.Height);
  }
}

}  // namespace
}  // namespace vidorant::testing
