// The GIF image-data decoder: reads the LZW minimum code size, the variable-width codes packed
// least significant bit first across data sub-blocks, and fills a frame's pixels row by row or
// in the four interlace passes. Tolerant of damaged data: when the codes run out, the pixels not
// reached keep the value they were filled with.
// Invariants: only the kept part of the image is written; every code read is below 4096; a
// prefix chain longer than the table is a cycle and raises "Circular decoder table entry".
#pragma once

#include <cstdint>
#include <vector>

#include "platform/Stream.h"

namespace vidorant {

class TGIFItem;

class TLZWDecoder {
public:
  // Warnings go to the owner's warning handler.
  TLZWDecoder(TStream& stream, TGIFItem& owner);
  // Decodes an image of width x height pixels of which the top-left keptWidth x keptHeight are
  // stored; pixels holds those, already filled with the fill value. On return the stream
  // stands after the image data's 0x00 terminator (or at its end).
  void Decode(uint8_t* pixels, int width, int height, bool interlaced, int keptWidth, int keptHeight);

private:
  static constexpr int TableSize = 4096;
  static constexpr int NoCode = -1;

  int ReadCode();
  bool FillBits(int needed);
  void Put(uint8_t pixel);
  bool NextRow();

  TStream& FStream;
  TGIFItem& FOwner;

  // Bits of the sub-blocks, least significant first.
  uint32_t FBits = 0;
  int FBitCount = 0;
  int FCodeWidth = 0;
  std::vector<uint8_t> FBlock;
  size_t FBlockPos = 0;
  bool FDataEnded = false;    // a 0x00 length was read
  bool FStreamEnded = false;  // the stream ended before the 0x00 length

  // The pixel walk.
  uint8_t* FPixels = nullptr;
  int FWidth = 0;
  int FHeight = 0;
  int FKeptWidth = 0;
  int FKeptHeight = 0;
  bool FInterlaced = false;
  int FRow = 0;
  int FColumn = 0;
  int FPass = 0;
  bool FFull = false;
};

}  // namespace vidorant
