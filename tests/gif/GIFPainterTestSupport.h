// Painter tests: the process-wide painter timing restored after each test, and a painter that
// records the frames it paints.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "GIFTestFrames.h"
#include "gif/GIFPainter.h"
#include "platform/Canvas.h"

namespace vidorant::testing {

class GIFPainterTest : public ::testing::Test {
protected:
  void SetUp() override { FSaved = GIFPainterTiming; }
  void TearDown() override { GIFPainterTiming = FSaved; }

private:
  TGIFPainterTiming FSaved;
};

// A document of count solid frames covering a width x height screen, frame i in colors[i].
inline void AddSolidFrames(TGIFImage& image, int width, int height, const std::vector<TColor>& colors,
                           uint16_t delay = 0, TDisposalMethod disposal = dmKeep) {
  for (TColor color : colors) AddControl(*AddFrame(image, width, height, {color}), delay, -1, disposal);
}

}  // namespace vidorant::testing
