// Reading the byte structures of a GIF stream: fixed-size fields, little-endian words, data
// sub-blocks and the pixel budget that keeps a hostile file from asking for unbounded memory.
// Invariant: nothing here trusts a size taken from the file; a fixed-size field cut short
// raises "Premature end of data", a sub-block cut short hands back what is there.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/Stream.h"

namespace vidorant {

// Block introducers between frames.
constexpr uint8_t ImageSeparator = 0x2C;  // ","
constexpr uint8_t TrailerByte = 0x3B;     // ";"

// The text of a stream that ends inside a block of fixed size (a truncated file).
extern const char* const PrematureEndOfData;

// Reads exactly count bytes or raises GIFException "Premature end of data".
void ReadExact(TStream& stream, void* buffer, int64_t count);
uint8_t ReadGIFByte(TStream& stream);
uint16_t ReadWord(TStream& stream);

// The next byte without consuming it, or -1 at the end of the stream.
int PeekByte(TStream& stream);

// Reads one data sub-block (length byte, then the bytes) into block.
enum TSubBlockResult {
  sbData,        // block holds 1 to 255 bytes
  sbTerminator,  // a 0x00 length: the data has ended as it should
  sbEndOfStream, // no length byte: the stream ended before the terminator
  sbTruncated,   // the length announced more than the stream holds; block holds what was left
};
TSubBlockResult ReadSubBlock(TStream& stream, std::vector<uint8_t>& block);

// Skips sub-blocks up to and including the 0x00 length (or to the end of the stream).
void SkipSubBlocks(TStream& stream);

// Settings of the reader: how many pixels it allocates for one frame and for a whole document,
// whatever the file claims. A frame beyond them is refused before anything is allocated for it.
struct TGIFReadLimits {
  int64_t MaxFramePixels = int64_t{1} << 28;     // 16384 x 16384
  int64_t MaxDocumentPixels = int64_t{1} << 30;  // above 10 minutes of 320 x 240 at 10 frames a second
};

// How many pixels a document being read may still allocate: the reader's limits, and what the
// file can hold. A GIF's LZW data yields at most about 2730 pixels per byte (a 12-bit code
// stands for at most 4094 pixels), so 4096 pixels per byte of the stream covers every honest
// file; a fixed allowance on top lets a truncated file keep its last, partly filled frame.
// Frames beyond any of these are refused instead of allocated.
class TGIFPixelBudget {
public:
  static constexpr int64_t PixelsPerByte = 4096;
  static constexpr int64_t Allowance = int64_t{1} << 24;  // 16 Mi pixels, e.g. 4096 x 4096

  // The budget for what is left of stream from its position, within limits.
  TGIFPixelBudget(TStream& stream, const TGIFReadLimits& limits);
  // Takes width x height pixels or raises GIFException naming the frame's size and the limit
  // it passes.
  void Take(int width, int height);

private:
  int64_t FMaxFramePixels;
  int64_t FMaxDocumentPixels;
  int64_t FDocumentRemaining;
  int64_t FFileRemaining;
};

}  // namespace vidorant
