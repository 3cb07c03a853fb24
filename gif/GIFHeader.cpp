// TGIFHeader: signature, logical screen descriptor and global table.
#include "gif/GIFHeader.h"

#include <algorithm>

#include "gif/GIFBytes.h"
#include "gif/GIFException.h"
#include "gif/GIFImage.h"

namespace vidorant {

void TGIFHeader::Clear() {
  FColorMap.Clear();
  ScreenWidth = 0;
  ScreenHeight = 0;
  BackgroundColorIndex = 0;
  AspectRatio = 0;
  Prepare();
}

void TGIFHeader::Prepare() { Prepare(FImage ? FImage->MaxBitsPerPixel() : 0); }

void TGIFHeader::Prepare(int largestFrameBits) {
  const int globalBits = FColorMap.BitsPerPixel();
  const int largest = std::max(globalBits, largestFrameBits);
  // The size field must describe the global table actually written; only without a global
  // table does it carry the largest local depth.
  const int sizeBits = globalBits > 0 ? globalBits : largest;
  uint8_t packed = 0;
  if (FColorMap.Count() > 0) {
    packed |= 0x80;
    if (FColorMap.Optimized()) packed |= 0x08;
  }
  if (largest > 0) packed |= static_cast<uint8_t>(((largest - 1) & 0x07) << 4);
  if (sizeBits > 0) packed |= static_cast<uint8_t>((sizeBits - 1) & 0x07);
  FPacked = packed;
}

void TGIFHeader::SaveToStream(TStream& stream) {
  SaveToStream(stream, FImage ? FImage->GetVersion() : gv87a, FImage ? FImage->MaxBitsPerPixel() : 0);
}

void TGIFHeader::SaveToStream(TStream& stream, TGIFVersion version, int largestFrameBits) {
  if (version == gvUnknown) throw GIFException("Unsupported GIF version");
  stream.WriteBuffer(version == gv89a ? "GIF89a" : "GIF87a", 6);
  Prepare(largestFrameBits);
  WriteWord(stream, ScreenWidth);
  WriteWord(stream, ScreenHeight);
  uint8_t rest[3] = {FPacked, BackgroundColorIndex, AspectRatio};
  stream.WriteBuffer(rest, 3);
  if (FPacked & 0x80) FColorMap.SaveToStream(stream);
}

}  // namespace vidorant
