// TGIFColorMap.
#include "gif/GIFColorMap.h"

#include "gif/GIFException.h"

namespace vidorant {

namespace {

TGIFColor FromColor(TColor color) {
  return TGIFColor{static_cast<uint8_t>(color), static_cast<uint8_t>(color >> 8), static_cast<uint8_t>(color >> 16)};
}

}  // namespace

TColor TGIFColorMap::Colors(int index) const {
  const TGIFColor& c = Color(index);
  return static_cast<TColor>(c.Red) | (static_cast<TColor>(c.Green) << 8) | (static_cast<TColor>(c.Blue) << 16);
}

void TGIFColorMap::SetColors(int index, TColor color) { FColors.at(static_cast<size_t>(index)) = FromColor(color); }

int TGIFColorMap::Add(TColor color) {
  if (Count() >= MaxColors) throw GIFException("Color table overflow");
  FColors.push_back(FromColor(color));
  FOptimized = false;
  return Count() - 1;
}

int TGIFColorMap::AddUnique(TColor color) {
  int index = IndexOf(color);
  return index >= 0 ? index : Add(color);
}

int TGIFColorMap::IndexOf(TColor color) const {
  TGIFColor wanted = FromColor(color);
  if (FOptimized) {
    for (int i = 0; i < Count(); ++i)
      if (FColors[static_cast<size_t>(i)] == wanted) return i;
  } else {
    for (int i = Count() - 1; i >= 0; --i)
      if (FColors[static_cast<size_t>(i)] == wanted) return i;
  }
  return -1;
}

void TGIFColorMap::Delete(int index) {
  if (index < 0 || index >= Count()) throw GIFException("Color index out of range");
  FColors.erase(FColors.begin() + index);
}

void TGIFColorMap::Clear() {
  FColors.clear();
  FOptimized = false;
}

int TGIFColorMap::BitsFor(int colorCount) {
  if (colorCount <= 0) return 0;
  int bits = 1;
  while ((1 << bits) < colorCount) ++bits;
  return bits;
}

void TGIFColorMap::ImportPalette(const TPalette& palette) {
  FColors.clear();
  for (int i = 0; i < palette.Count() && i < MaxColors; ++i) {
    const TPaletteEntry& e = palette.Entry(i);
    FColors.push_back(TGIFColor{e.Red, e.Green, e.Blue});
  }
  FOptimized = false;
}

void TGIFColorMap::ImportDIBColors(const std::vector<TRGBQuad>& table) {
  FColors.clear();
  for (size_t i = 0; i < table.size() && i < static_cast<size_t>(MaxColors); ++i)
    FColors.push_back(TGIFColor{table[i].Red, table[i].Green, table[i].Blue});
  FOptimized = false;
}

void TGIFColorMap::SaveToStream(TStream& stream) const {
  if (FColors.empty()) return;
  std::vector<uint8_t> bytes(3u << BitsPerPixel(), 0);
  for (size_t i = 0; i < FColors.size(); ++i) {
    bytes[3 * i] = FColors[i].Red;
    bytes[3 * i + 1] = FColors[i].Green;
    bytes[3 * i + 2] = FColors[i].Blue;
  }
  stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
}

}  // namespace vidorant
