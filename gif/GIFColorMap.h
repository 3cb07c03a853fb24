// Colour tables of a GIF document: entries of red, green, blue, at most 256. The optimised flag
// marks a table sorted by importance (written as the GIF sort flag) and is cleared by every
// append. Invariant: Count() <= 256; the table written to a file is padded with black to
// 2^BitsPerPixel() entries.
#pragma once

#include <cstdint>
#include <vector>

#include "gif/GIFTypes.h"
#include "platform/Palette.h"
#include "platform/Stream.h"
#include "platform/TObject.h"

namespace vidorant {

struct TGIFColor {
  uint8_t Red = 0;
  uint8_t Green = 0;
  uint8_t Blue = 0;
  friend bool operator==(const TGIFColor&, const TGIFColor&) = default;
};

class TGIFColorMap : public TObject {
public:
  static constexpr int MaxColors = 256;

  int Count() const { return static_cast<int>(FColors.size()); }
  const TGIFColor& Color(int index) const { return FColors.at(static_cast<size_t>(index)); }
  TColor Colors(int index) const;
  void SetColors(int index, TColor color);

  // Appends and returns the new index; raises "Color table overflow" at 256 entries.
  int Add(TColor color);
  // The index of color, appending it only when it is missing.
  int AddUnique(TColor color);
  // The index of color or -1; an optimised table is searched from the first entry (the most
  // used), any other from the last.
  int IndexOf(TColor color) const;
  void Delete(int index);
  void Clear();

  bool Optimized() const { return FOptimized; }
  void SetOptimized(bool value) { FOptimized = value; }

  // 0 for an empty table, else the smallest b >= 1 with 2^b >= Count().
  int BitsPerPixel() const { return BitsFor(Count()); }
  static int BitsFor(int colorCount);

  // Replace the entries with at most 256 entries of a logical palette.
  void ImportPalette(const TPalette& palette);
  // Replace the entries with at most 256 entries of a device-independent bitmap's colour table
  // (blue, green, red quads), stored as red, green, blue.
  void ImportDIBColors(const std::vector<TRGBQuad>& table);

  // The entries, then black up to 2^BitsPerPixel() entries; nothing for an empty table.
  void SaveToStream(TStream& stream) const;

private:
  std::vector<TGIFColor> FColors;
  bool FOptimized = false;
};

// The table of the header, used by frames without a table of their own.
class TGIFGlobalColorMap : public TGIFColorMap {};

// The table of one frame.
class TGIFLocalColorMap : public TGIFColorMap {};

}  // namespace vidorant
