// Decodes a GIF held in memory with FFmpeg's own GIF demuxer and decoder: the independent
// check that what we write is read by another decoder as the colours we meant. FFmpeg
// composites every frame onto the logical screen, so each decoded picture is screen-sized.
#pragma once

#include <cstdint>
#include <vector>

namespace vidorant::testing {

struct TDecodedPicture {
  int Width = 0;
  int Height = 0;
  std::vector<uint32_t> Colors;  // red in the low byte, then green, then blue; row-major
};

// Raises std::runtime_error with FFmpeg's reason when the data cannot be decoded.
std::vector<TDecodedPicture> DecodeGIFWithFFmpeg(const std::vector<uint8_t>& gif);

}  // namespace vidorant::testing
