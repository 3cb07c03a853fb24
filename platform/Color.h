// Colour values shared by bitmaps, palettes and the GIF library. A TColor is the platform's
// 24-bit colour: red in the low byte, green in the middle, blue in the high byte (bits 24-31
// are zero for a plain colour). Bitmap colour tables hold blue, green, red quads instead.
#pragma once

#include <cstdint>

namespace vidorant {

using TColor = uint32_t;

constexpr TColor RGB(uint8_t red, uint8_t green, uint8_t blue) {
  return static_cast<TColor>(red) | (static_cast<TColor>(green) << 8) | (static_cast<TColor>(blue) << 16);
}
constexpr uint8_t GetRValue(TColor color) { return static_cast<uint8_t>(color); }
constexpr uint8_t GetGValue(TColor color) { return static_cast<uint8_t>(color >> 8); }
constexpr uint8_t GetBValue(TColor color) { return static_cast<uint8_t>(color >> 16); }

// One entry of a device-independent bitmap's colour table, in file byte order.
struct TRGBQuad {
  uint8_t Blue = 0;
  uint8_t Green = 0;
  uint8_t Red = 0;
  uint8_t Reserved = 0;
  friend bool operator==(const TRGBQuad&, const TRGBQuad&) = default;
};

constexpr TRGBQuad RGBQuad(TColor color) {
  return TRGBQuad{GetBValue(color), GetGValue(color), GetRValue(color), 0};
}
constexpr TColor QuadColor(const TRGBQuad& quad) { return RGB(quad.Red, quad.Green, quad.Blue); }

}  // namespace vidorant
