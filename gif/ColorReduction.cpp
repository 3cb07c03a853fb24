// ReduceColors: palette by method, lookup, dither engine, serpentine pixel loop, DIB writer.
#include "gif/ColorReduction.h"

#include "gif/ColorLookup.h"
#include "gif/ColorQuantizer.h"
#include "gif/DIB.h"

#include <algorithm>
#include <optional>

namespace vidorant {

namespace {

TPalette GreyPalette(std::initializer_list<uint8_t> levels) {
  std::vector<TPaletteEntry> entries;
  for (uint8_t level : levels) entries.push_back({level, level, level, PC_NOCOLLAPSE});
  return TPalette(std::move(entries));
}

std::optional<TPalette> PaletteFor(TColorReduction method, const TDIBReader& reader, const TPalette* customPalette,
                                   int bitDepth) {
  switch (method) {
    case ReduceSystem20: return TPalette::Default();
    case ReduceHalftone: return TPalette::Halftone();
    case ReduceGray4: return Gray4Palette();
    case ReduceMono: return MonochromePalette();
    case ReduceGray256: return Gray256Palette();
    case ReduceWebCube: return WebCubePalette();
    case ReduceOctree: {
      // Depths beyond 8 would ask for more entries than a colour table holds.
      const int depth = std::clamp(bitDepth, 1, 8);
      return CreateOptimizedPaletteFromManyBitmaps(reader, 1 << depth, 8, false);
    }
    case ReduceOctreeSystem: return CreateOptimizedPaletteFromManyBitmaps(reader, 256, 8, true);
    case ReduceCustom: return customPalette ? *customPalette : TPalette();
    default: return std::nullopt;
  }
}

std::unique_ptr<TColorLookup> LookupFor(TColorReduction method, const TPalette& palette) {
  switch (method) {
    case ReduceMono: return std::make_unique<TMonochromeLookup>();
    case ReduceGray256: return std::make_unique<TGrayScaleLookup>();
    case ReduceWebCube: return std::make_unique<TNetscapeColorLookup>();
    case ReduceOctree: return std::make_unique<TFastColorLookup>(palette);
    default: return std::make_unique<TSlowColorLookup>(palette);
  }
}

}  // namespace

TPalette Gray4Palette() { return GreyPalette({0, 128, 192, 255}); }
TPalette MonochromePalette() { return GreyPalette({0, 255}); }

TPalette Gray256Palette() {
  std::vector<TPaletteEntry> entries;
  for (int i = 0; i < 256; ++i) entries.push_back({uint8_t(i), uint8_t(i), uint8_t(i), PC_NOCOLLAPSE});
  return TPalette(std::move(entries));
}

TPalette WebCubePalette() {
  std::vector<TPaletteEntry> entries;
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 6; ++g)
      for (int b = 0; b < 6; ++b) entries.push_back({uint8_t(51 * r), uint8_t(51 * g), uint8_t(51 * b), 0});
  return TPalette(std::move(entries));
}

std::unique_ptr<TBitmap> ReduceColors(const TBitmap& bitmap, TColorReduction method, TDitherMode ditherMethod,
                                      const TPalette* customPalette, int bitDepth) {
  auto result = std::make_unique<TBitmap>();
  if (method == ReduceNone) {
    *result = bitmap;
    result->SetPixelFormat(pf24bit);
    return result;
  }
  // The caller's bitmap is only read: one in another format is read through a 24-bit copy.
  TBitmap converted;
  if (bitmap.PixelFormat() != pf24bit) {
    converted = bitmap;
    converted.SetPixelFormat(pf24bit);
  }
  const TBitmap& source = bitmap.PixelFormat() != pf24bit ? converted : bitmap;
  const TDIBReader reader(source, pf24bit);
  const std::optional<TPalette> palette = PaletteFor(method, reader, customPalette, bitDepth);
  if (!palette) return result;
  const std::unique_ptr<TColorLookup> lookup = LookupFor(method, *palette);
  if (lookup->Colors() == 0) return result;
  const int width = reader.Width();
  const std::unique_ptr<TDitherEngine> engine = CreateDitherEngine(ditherMethod, width, lookup.get());
  if (!engine) return result;

  TDIBWriter writer(*result, pf8bit, width, reader.Height(), *palette);
  uint8_t r, g, b;
  for (int y = 0; y < reader.Height(); ++y) {
    const uint8_t* source = reader.ScanLine(y);
    uint8_t* target = writer.ScanLine(y);
    if (ditherMethod == DitherNearest) {
      // Without error to carry, a row is the lookup's alone; in the engine's serpentine order.
      lookup->LookupRow(source, target, width, engine->Direction() > 0);
    } else {
      for (int x = engine->Column(); x >= 0 && x < width; x = engine->Column())
        target[x] = engine->Dither(source[3 * x + 2], source[3 * x + 1], source[3 * x], r, g, b);
    }
    engine->NextLine();
  }
  writer.Finish();
  return result;
}

}  // namespace vidorant
