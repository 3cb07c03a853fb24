// The common part of the two GIF image-data encoders: parameters, the pixel walk (plain or in
// the four interlace passes), the least-significant-bit-first code packing and the framing of
// one image's data (code size byte, sub-blocks, terminator).
// Invariant: codes reach the sub-block writer in exactly the order and width a GIF decoder
// expects; the end code flushes every pending bit.
#pragma once

#include <cstdint>
#include <memory>

#include "gif/GIFWriter.h"
#include "platform/Stream.h"
#include "platform/TObject.h"

namespace vidorant {

enum TGIFEncoderKind : uint8_t { EncodeLZW = 0, EncodeRLE = 1 };

class TGIFEncoder : public TObject {
public:
  // Writes the complete image data of one frame of width x height pixels: the LZW minimum code
  // size byte, the codes in sub-blocks and the 0x00 terminator. data holds width x height
  // colour indices, rows top to bottom (it may be null for an empty frame). A pixel not below
  // validColors raises "Color not in color table"; the bytes written so far stay in the stream
  // and no terminator is written.
  void Compress(TStream& stream, int bitsPerPixel, int validColors, const uint8_t* data, bool interlaced,
                int height, int width);

protected:
  static constexpr int MaxCodeWidth = 12;

  // Appends one code at the current width.
  virtual void Output(int code);
  // What Output does, for encoders that call it once per code and cannot afford a virtual
  // call; the end code's padding is Output's alone.
  void PutCode(int code) {
    FAccumulator |= static_cast<uint64_t>(code) << FBitCount;
    FBitCount += FCodeWidth;
    if (FBitCount >= 32) {
      // Four bytes at once: the sub-block boundaries fall where they would one byte at a time.
      FWriter->WriteWord32(static_cast<uint32_t>(FAccumulator));
      FAccumulator >>= 32;
      FBitCount -= 32;
    }
  }
  virtual void Clear();
  virtual void DoCompress() = 0;

  // The next pixel of the walk; false once every pixel was visited.
  bool NextPixel(uint8_t& pixel) {
    if (FRemaining == 0 && !NextRow()) return false;
    --FRemaining;
    pixel = *FNext++;
    return true;
  }
  // The rest of the current contiguous stretch of the walk (the whole image, or the rest of a
  // row when interlaced), which the walk then leaves behind; false once every pixel was visited.
  bool NextStretch(const uint8_t*& begin, const uint8_t*& end) {
    if (FRemaining == 0 && !NextRow()) return false;
    begin = FNext;
    end = FNext + FRemaining;
    FNext = end;
    FRemaining = 0;
    return true;
  }
  // Raises "Color not in color table" for a pixel outside the table.
  void CheckPixel(uint8_t pixel) const {
    if (pixel >= FValidColors) ColorNotInTable();
  }
  [[noreturn]] static void ColorNotInTable();

  int FBitsPerPixel = 0;  // the minimum code size, 2..8
  int FValidColors = 0;
  int FWidth = 0;
  int FHeight = 0;
  bool FInterlaced = false;
  const uint8_t* FData = nullptr;

  int FInitialCodeWidth = 0;
  int FCodeWidth = 0;
  int FMaxCode = 0;  // largest code that fits FCodeWidth (4096 at width 12)
  int FClearCode = 0;
  int FEndCode = 0;
  int FFirstFreeCode = 0;
  bool FClearPending = false;

private:
  bool NextRow();

  uint64_t FAccumulator = 0;  // pending bits, least significant first; fewer than 32 between codes
  int FBitCount = 0;

  // The walk: pixels left in the current stretch (the whole image, or one row when interlaced).
  int64_t FRemaining = 0;
  int FRow = 0;
  int FPass = 0;
  const uint8_t* FNext = nullptr;

  std::unique_ptr<TGIFWriter> FWriter;  // alive during Compress only
};

}  // namespace vidorant
