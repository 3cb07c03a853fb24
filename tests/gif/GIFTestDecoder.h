// A small, strict GIF parser and LZW decoder for the tests: it records every code with the
// width it was read at, the sub-block lengths and the pixels in stream order, so tests can
// look inside the code stream. Any structural fault raises std::runtime_error.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace vidorant::testing {

struct TCodeRead {
  int Code = 0;
  int Width = 0;
};

struct TImageDataRead {
  int MinCodeSize = 0;
  std::vector<int> SubBlockSizes;
  std::vector<TCodeRead> Codes;
  std::vector<uint8_t> Pixels;  // in stream order (interlace passes not undone)
  size_t End = 0;               // offset just after the 0x00 terminator
};

// Decodes image data starting at the minimum code size byte at data[offset].
TImageDataRead ReadImageData(const std::vector<uint8_t>& data, size_t offset);

struct TFrameRead {
  std::vector<std::vector<uint8_t>> Extensions;  // raw bytes of each extension block
  int Left = 0, Top = 0, Width = 0, Height = 0;
  uint8_t Packed = 0;
  std::vector<uint8_t> LocalTable;  // raw RGB triplets
  TImageDataRead Data;
  std::vector<uint8_t> Rows;  // pixels in row order (interlace undone)
  bool HasImage = false;
};

struct TFileRead {
  std::string Signature;
  int ScreenWidth = 0, ScreenHeight = 0;
  uint8_t Packed = 0, Background = 0, Aspect = 0;
  std::vector<uint8_t> GlobalTable;
  std::vector<TFrameRead> Frames;
  bool Trailer = false;
};

// Parses a whole file; trailing extensions without an image form a frame without image.
TFileRead ReadGIFFile(const std::vector<uint8_t>& data);

// Row order of the four interlace passes for a frame of the given height.
std::vector<int> InterlaceRowOrder(int height);

}  // namespace vidorant::testing
