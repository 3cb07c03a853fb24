// The header of a GIF document (signature, logical screen descriptor and global colour table)
// and the trailer that closes the file.
#pragma once

#include <cstdint>

#include "gif/GIFColorMap.h"
#include "gif/GIFItem.h"

namespace vidorant {

class TGIFHeader : public TGIFItem {
public:
  using TGIFItem::TGIFItem;

  // Signature of the document's version, the 7 screen descriptor bytes (packed byte
  // recomputed first) and the global table when there is one.
  void SaveToStream(TStream& stream) override;
  // The same bytes for frames known only by their summary: the highest version among them and
  // the largest bits per pixel of their local tables (the screen size is this header's). A
  // version of gvUnknown (no frames) raises "Unsupported GIF version" before a byte is written.
  void SaveToStream(TStream& stream, TGIFVersion version, int largestFrameBits);
  // Signature (also found 4 bytes in), screen descriptor and global table.
  void LoadFromStream(TStream& stream) override;
  void Clear();
  // Recomputes the packed byte from the colour tables of the document.
  void Prepare();
  // Recomputes the packed byte from the global table and the largest local table depth.
  void Prepare(int largestFrameBits);

  TGIFGlobalColorMap& ColorMap() { return FColorMap; }
  const TGIFGlobalColorMap& ColorMap() const { return FColorMap; }

  uint16_t ScreenWidth = 0;
  uint16_t ScreenHeight = 0;
  uint8_t BackgroundColorIndex = 0;
  uint8_t AspectRatio = 0;
  uint8_t Packed() const { return FPacked; }

private:
  uint8_t FPacked = 0;  // bit 7 global table, 4-6 colour resolution, 3 sort, 0-2 table size
  TGIFGlobalColorMap FColorMap;
};

class TGIFTrailer : public TGIFItem {
public:
  using TGIFItem::TGIFItem;
  void SaveToStream(TStream& stream) override { stream.WriteByte(0x3B); }
  // Anything but 0x3B (or nothing) warns "Invalid Image trailer".
  void LoadFromStream(TStream& stream) override;
};

}  // namespace vidorant
