// Building documents for the tests: frames with a given table and pixels, random content,
// and the saved bytes.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "gif/GIFImage.h"
#include "platform/MemoryStream.h"

namespace vidorant::testing {

// Appends a frame of width x height at (0, 0) with the given local table and pixels (row-major;
// empty leaves the zero-filled data).
inline TGIFSubImage* AddFrame(TGIFImage& image, int width, int height, const std::vector<TColor>& colors,
                              const std::vector<uint8_t>& pixels = {}) {
  auto frame = std::make_unique<TGIFSubImage>(&image);
  TGIFSubImage* added = frame.get();
  image.Add(std::move(frame));
  added->SetBounds(0, 0, width, height);
  for (TColor c : colors) added->ColorMap().Add(c);
  if (!pixels.empty()) std::copy(pixels.begin(), pixels.end(), added->Data());
  return added;
}

// Gives the frame a graphic control extension; a transparent index of -1 leaves it opaque.
inline TGIFGraphicControlExtension* AddControl(TGIFSubImage& frame, uint16_t delay, int transparentIndex = -1,
                                               TDisposalMethod disposal = dmNone) {
  auto control = std::make_unique<TGIFGraphicControlExtension>(&frame);
  TGIFGraphicControlExtension* added = control.get();
  frame.Extensions().Add(std::move(control));
  added->SetDelay(delay);
  added->SetDisposal(disposal);
  if (transparentIndex >= 0) {
    added->SetTransparentColorIndex(transparentIndex);
    added->SetTransparent(true);
  }
  return added;
}

inline std::vector<TColor> RandomColors(int count, std::mt19937& random) {
  std::vector<TColor> colors;
  for (int i = 0; i < count; ++i) colors.push_back(random() & 0xFFFFFF);
  return colors;
}

inline std::vector<uint8_t> RandomIndices(size_t count, int colors, std::mt19937& random) {
  std::vector<uint8_t> pixels(count);
  // Runs of a few pixels, like real pictures, so LZW finds strings and RLE finds runs.
  size_t i = 0;
  while (i < count) {
    uint8_t value = static_cast<uint8_t>(random() % static_cast<unsigned>(colors));
    size_t run = 1 + random() % 6;
    for (size_t k = 0; k < run && i < count; ++k) pixels[i++] = value;
  }
  return pixels;
}

inline std::vector<uint8_t> Save(TGIFImage& image) {
  TMemoryStream stream;
  image.SaveToStream(stream);
  return stream.Bytes();
}

}  // namespace vidorant::testing
