// Drawing one frame: the cached bitmap, mask and palette it is drawn from, and the drawing into
// a rectangle of a canvas.
#include <cstring>

#include "gif/GIFFrameCache.h"
#include "gif/GIFSubImage.h"
#include "platform/Canvas.h"

namespace vidorant {

namespace {

// The colours the frame's indices stand for, as a bitmap's colour table holds them.
std::vector<TRGBQuad> DisplayTable(const TGIFSubImage& frame) {
  const TGIFColorMap* map = frame.ActiveColorMap();
  if (!map || map->Count() == 0) {
    // A frame without any table is shown in the 16 colours of the system palette, the table a
    // 4-bit bitmap starts with.
    return TBitmap(0, 0, pf4bit).ColorTable();
  }
  std::vector<TRGBQuad> table;
  for (int i = 0; i < map->Count(); ++i) {
    const TGIFColor& c = map->Color(i);
    table.push_back(TRGBQuad{c.Blue, c.Green, c.Red, 0});
  }
  // Indices past the table read as black, as the zero padding of a table in a file does.
  table.resize(256);
  return table;
}

int TransparentIndexOf(const TGIFSubImage& frame) {
  const TGIFGraphicControlExtension* control = frame.GraphicControlExtension();
  return control && control->Transparent() ? control->TransparentColorIndex() : -1;
}

bool CacheMatches(const TGIFFrameCache& cache, const TGIFSubImage& frame, const std::vector<TRGBQuad>& table,
                  int transparentIndex) {
  return cache.Bitmap && cache.Width == frame.Width() && cache.Height == frame.Height() &&
         cache.TransparentIndex == transparentIndex && cache.Table == table &&
         cache.Pixels.size() == static_cast<size_t>(frame.DataSize()) &&
         (cache.Pixels.empty() || std::memcmp(cache.Pixels.data(), frame.Data(), cache.Pixels.size()) == 0);
}

}  // namespace

const TBitmap& TGIFSubImage::Bitmap() {
  std::vector<TRGBQuad> table = DisplayTable(*this);
  const int transparentIndex = TransparentIndexOf(*this);
  if (FCache && CacheMatches(*FCache, *this, table, transparentIndex)) return *FCache->Bitmap;

  auto cache = std::make_unique<TGIFFrameCache>();
  cache->Width = Empty() ? 0 : FWidth;
  cache->Height = Empty() ? 0 : FHeight;
  cache->Pixels = FData;
  cache->TransparentIndex = transparentIndex;
  cache->Bitmap = std::make_unique<TBitmap>(cache->Width, cache->Height, pf8bit);
  cache->Bitmap->SetColorTable(table);
  if (transparentIndex >= 0) cache->Mask = std::make_unique<TBitmap>(cache->Width, cache->Height, pf1bit);
  for (int y = 0; y < cache->Height; ++y) {
    const uint8_t* from = FData.data() + static_cast<size_t>(y) * static_cast<size_t>(FWidth);
    std::memcpy(cache->Bitmap->ScanLine(y), from, static_cast<size_t>(FWidth));
    if (!cache->Mask) continue;
    // Mask rows pack 8 pixels a byte, the leftmost in the high bit; a set bit is transparent.
    uint8_t* bits = cache->Mask->ScanLine(y);
    for (int x = 0; x < FWidth; ++x)
      if (from[x] == transparentIndex) bits[x >> 3] = static_cast<uint8_t>(bits[x >> 3] | (0x80u >> (x & 7)));
  }
  std::vector<TPaletteEntry> entries;
  for (const TRGBQuad& quad : table) entries.push_back(TPaletteEntry{quad.Red, quad.Green, quad.Blue, 0});
  cache->Palette = std::make_unique<TPalette>(std::move(entries));
  cache->Table = std::move(table);
  FCache = std::move(cache);
  return *FCache->Bitmap;
}

const TBitmap* TGIFSubImage::Mask() {
  Bitmap();
  return FCache->Mask.get();
}

const TPalette& TGIFSubImage::Palette() {
  Bitmap();
  return *FCache->Palette;
}

void TGIFSubImage::Draw(TCanvas& canvas, const TRect& rect, bool transparent) {
  if (Empty() || rect.IsEmpty()) return;
  const TBitmap& bitmap = Bitmap();
  const TBitmap* mask = transparent ? Mask() : nullptr;
  if (mask)
    canvas.StretchDrawMasked(rect, bitmap, *mask);
  else
    canvas.StretchDraw(rect, bitmap);
}

}  // namespace vidorant
