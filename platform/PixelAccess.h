// Reading and writing single pixels in each row layout (private to platform/). Indexed rows pack
// their pixels most significant bits first; 15-bit rows are x-R5-G5-B5 and 16-bit rows R5-G6-B5,
// little-endian 16-bit words; 24-bit rows are blue, green, red; 32-bit rows blue, green, red, 0.
#pragma once

#include "platform/Bitmap.h"

namespace vidorant {

inline uint8_t Expand5(unsigned v) { return static_cast<uint8_t>((v << 3) | (v >> 2)); }
inline uint8_t Expand6(unsigned v) { return static_cast<uint8_t>((v << 2) | (v >> 4)); }

inline unsigned ReadIndex(const uint8_t* row, int x, TPixelFormat format) {
  switch (format) {
    case pf1bit: return (row[x >> 3] >> (7 - (x & 7))) & 1u;
    case pf4bit: return (x & 1) ? row[x >> 1] & 0x0Fu : row[x >> 1] >> 4;
    default: return row[x];
  }
}

inline void WriteIndex(uint8_t* row, int x, TPixelFormat format, unsigned index) {
  switch (format) {
    case pf1bit: {
      const auto bit = static_cast<uint8_t>(0x80u >> (x & 7));
      row[x >> 3] = static_cast<uint8_t>((index & 1u) ? row[x >> 3] | bit : row[x >> 3] & ~bit);
      break;
    }
    case pf4bit: {
      uint8_t& b = row[x >> 1];
      b = static_cast<uint8_t>((x & 1) ? (b & 0xF0u) | (index & 0x0Fu) : (b & 0x0Fu) | ((index & 0x0Fu) << 4));
      break;
    }
    default: row[x] = static_cast<uint8_t>(index);
  }
}

// Colour of a pixel of a direct-colour row (15, 16, 24, 32 bits, device, custom).
inline TColor ReadDirect(const uint8_t* row, int x, TPixelFormat format) {
  switch (format) {
    case pf15bit: {
      const unsigned w = row[2 * x] | (row[2 * x + 1] << 8);
      return RGB(Expand5((w >> 10) & 31), Expand5((w >> 5) & 31), Expand5(w & 31));
    }
    case pf16bit: {
      const unsigned w = row[2 * x] | (row[2 * x + 1] << 8);
      return RGB(Expand5((w >> 11) & 31), Expand6((w >> 5) & 63), Expand5(w & 31));
    }
    case pf24bit: return RGB(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
    default: return RGB(row[4 * x + 2], row[4 * x + 1], row[4 * x]);
  }
}

inline void WriteDirect(uint8_t* row, int x, TPixelFormat format, TColor c) {
  const unsigned r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
  switch (format) {
    case pf15bit: {
      const unsigned w = ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
      row[2 * x] = static_cast<uint8_t>(w);
      row[2 * x + 1] = static_cast<uint8_t>(w >> 8);
      break;
    }
    case pf16bit: {
      const unsigned w = ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
      row[2 * x] = static_cast<uint8_t>(w);
      row[2 * x + 1] = static_cast<uint8_t>(w >> 8);
      break;
    }
    case pf24bit:
      row[3 * x] = static_cast<uint8_t>(b);
      row[3 * x + 1] = static_cast<uint8_t>(g);
      row[3 * x + 2] = static_cast<uint8_t>(r);
      break;
    default:
      row[4 * x] = static_cast<uint8_t>(b);
      row[4 * x + 1] = static_cast<uint8_t>(g);
      row[4 * x + 2] = static_cast<uint8_t>(r);
      row[4 * x + 3] = 0;
  }
}

}  // namespace vidorant
