#include "engine/core/InputSelection.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace vidorant {
namespace {

TSelectableOutput Out(int file, double inputUs, double outputSeconds) {
  return {.InputFile = file, .InputTimestamp = inputUs, .PresentationTime = outputSeconds};
}

TEST(InputSelection, TheInputOfTheOutputFurthestBehindIsRead) {
  const std::vector<TSelectableInput> two(2);
  TSelectableOutput limited = Out(1, 0, 0);
  limited.FrameNumber = 50;
  limited.MaxFrames = 50;
  TSelectableOutput past = Out(0, 0, 0);
  past.PastRecordingTime = true;
  const struct {
    const char* Case;
    std::vector<TSelectableOutput> Outputs;
    std::vector<TSelectableInput> Inputs;
    bool InputSync;
    std::optional<int> Expected;
  } cases[] = {
      {"smallest output time wins", {Out(0, 100, 2.0), Out(1, 900, 1.0)}, two, false, 1},
      {"with isync the smallest input time wins", {Out(0, 100, 2.0), Out(1, 900, 1.0)}, two, true, 0},
      {"a tie goes to the first", {Out(0, 5, 1.0), Out(1, 5, 1.0)}, two, false, 0},
      {"a file at its end is passed over", {Out(0, 0, 0.5), Out(1, 0, 3.0)}, {{true, false}, {}}, false, 1},
      {"a file waiting for a packet is passed over", {Out(0, 0, 0.5), Out(1, 0, 3.0)}, {{false, true}, {}}, false, 1},
      {"a stream past the clip end is passed over", {past, Out(1, 0, 3.0)}, two, false, 1},
      {"every input ended", {Out(0, 0, 0.5), Out(1, 0, 3.0)}, {{true, false}, {true, false}}, false, std::nullopt},
      {"a stream at its frame limit stops all reading", {Out(0, 0, 0.5), limited}, two, false, std::nullopt},
      {"a limit of a stream waiting for a packet is not looked at",
       {Out(0, 0, 0.5), limited}, {{}, {false, true}}, false, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(SelectInputFile(c.Outputs, c.Inputs, c.InputSync), c.Expected) << c.Case;
}

TEST(InputSelection, JoinedInputsReadOnlyTheOnePlaying) {
  const std::vector<TSelectableInput> two(2);
  TSelectableOutput limitedOther = Out(1, 0, 0.1);
  limitedOther.FrameNumber = limitedOther.MaxFrames = 10;
  EXPECT_EQ(SelectInputFile({Out(0, 0, 5.0), limitedOther}, two, false, 0), 0);
  EXPECT_EQ(SelectInputFile({Out(0, 0, 5.0), Out(1, 0, 0.1)}, two, false, 1), 1);
}

}  // namespace
}  // namespace vidorant
