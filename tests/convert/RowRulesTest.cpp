// The texts, the clip rule and the output names a batch row is made of.
#include "convert/ClipRange.h"
#include "convert/OutputName.h"
#include "convert/RowTexts.h"
#include "platform/Exception.h"
#include "tests/fixtures/TempFolder.h"

#include <gtest/gtest.h>

#include <fstream>

namespace vidorant::testing {
namespace {

TEST(RowTexts, DurationsDropPartSecondsTimesReadBackAsShownAndOnlyACutFileIsAClip) {
  for (auto [us, text] : {std::pair<int64_t, std::string>{3725900000, "01:02:05"}, {59000000, "00:00:59"},
                          {360000000000, "100:00:00"}}) {
    EXPECT_EQ(DurationText(us), text);
    EXPECT_EQ(TimeTextToMicroseconds(text), us / 1000000 * 1000000);
  }
  EXPECT_EQ(DurationText(0), "N/A");
  EXPECT_EQ(FileSizeText(1572864), "1.5 MB");
  for (const char* bad : {"1:00:00", "00-00-00", "0::00:00"}) EXPECT_THROW(TimeTextToMicroseconds(bad), EConvertError) << bad;
  const struct { const char *Duration, *Start, *End; TClipRange Clip; } clips[] = {
      {"01:30:00", "00:40:00", "01:10:00", {2400000000, 1800000000}}, {"00:00:04", "00:00:00", "00:00:04", {}},
      {"N/A", "00:00:01", "N/A", {}}, {"00:00:04", "00:00:00", "00:00:03", {0, 3000000}}};
  for (const auto& c : clips) EXPECT_EQ(ClipOfRow(c.Duration, c.Start, c.End), c.Clip) << c.Start << " " << c.End;
}

TEST(OutputName, TakesTheFirstNameFreeInTheFolderAndInTheBatch) {
  TTempFolder tmp;
  std::ofstream(tmp.File("clip.gif")), std::ofstream(tmp.File("clip(1).gif"));
  // A folder without its trailing separator; two rows of one base name; dots in names and folders.
  EXPECT_EQ(BatchOutputNames(tmp.Path(), {"/v/clip.avi", "/v/a.b.mp4", "/w/clip.mov", "/v.d/x"}),
            (std::vector<std::string>{"clip(2).gif", "a.b.gif", "clip(3).gif", "x.gif"}));
  EXPECT_EQ(OutputFolderPrefix(""), "");
}

}  // namespace
}  // namespace vidorant::testing
