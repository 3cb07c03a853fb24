// TLZWDecoder.
#include "gif/LZWDecoder.h"

#include <algorithm>

#include "gif/GIFException.h"
#include "gif/GIFItem.h"
#include "gif/GIFReadBytes.h"

namespace vidorant {

namespace {

// First row and row step of the four interlace passes.
constexpr int PassStart[4] = {0, 4, 2, 1};
constexpr int PassStep[4] = {8, 8, 4, 2};

}  // namespace

TLZWDecoder::TLZWDecoder(TStream& stream, TGIFItem& owner) : FStream(stream), FOwner(owner) {}

bool TLZWDecoder::FillBits(int needed) {
  while (FBitCount < needed) {
    if (FBlockPos == FBlock.size()) {
      if (FDataEnded || FStreamEnded) return false;
      switch (ReadSubBlock(FStream, FBlock)) {
        case sbData:
          break;
        case sbTerminator:
          FDataEnded = true;
          return false;
        case sbEndOfStream:
          FStreamEnded = true;
          FOwner.Warning(gsWarning, PrematureEndOfData);
          return false;
        case sbTruncated:
          // The file ends inside this block: use what is there, then stop.
          FStreamEnded = true;
          FOwner.Warning(gsWarning, PrematureEndOfData);
          break;
      }
      FBlockPos = 0;
      if (FBlock.empty()) return false;
    }
    FBits |= static_cast<uint32_t>(FBlock[FBlockPos++]) << FBitCount;
    FBitCount += 8;
  }
  return true;
}

int TLZWDecoder::ReadCode() {
  if (!FillBits(FCodeWidth)) {
    if (FDataEnded && FBitCount == 0) FOwner.Warning(gsWarning, "Decoder bit buffer under-run");
    FBitCount = 0;  // the partial code left over is padding, never a code
    FBits = 0;
    return NoCode;
  }
  int code = static_cast<int>(FBits & ((1u << FCodeWidth) - 1));
  FBits >>= FCodeWidth;
  FBitCount -= FCodeWidth;
  return code;
}

bool TLZWDecoder::NextRow() {
  if (!FInterlaced) {
    ++FRow;
    return FRow < FHeight;
  }
  FRow += PassStep[FPass];
  while (FRow >= FHeight) {
    if (++FPass >= 4) return false;
    FRow = PassStart[FPass];
  }
  return true;
}

void TLZWDecoder::Put(uint8_t pixel) {
  if (FColumn < FKeptWidth && FRow < FKeptHeight)
    FPixels[static_cast<size_t>(FRow) * static_cast<size_t>(FKeptWidth) + static_cast<size_t>(FColumn)] = pixel;
  if (++FColumn < FWidth) return;
  FColumn = 0;
  // Rows below the kept part come last unless interlaced: nothing more would be stored.
  if (!NextRow() || (!FInterlaced && FRow >= FKeptHeight)) FFull = true;
}

void TLZWDecoder::Decode(uint8_t* pixels, int width, int height, bool interlaced, int keptWidth, int keptHeight) {
  int codeSize = ReadGIFByte(FStream);
  if (codeSize > 8) codeSize = 8;

  FPixels = pixels;
  FWidth = width;
  FHeight = height;
  FInterlaced = interlaced;
  FKeptWidth = std::min(keptWidth, width);
  FKeptHeight = std::min(keptHeight, height);
  FFull = pixels == nullptr || FKeptWidth <= 0 || FKeptHeight <= 0;

  const int clearCode = 1 << codeSize;
  const int endCode = clearCode + 1;
  // Entries below the clear code stand for themselves; the rest are (prefix, suffix) pairs.
  std::vector<uint16_t> prefix(TableSize, 0);
  std::vector<uint8_t> suffix(TableSize, 0);
  std::vector<uint8_t> stack;
  stack.reserve(TableSize);
  for (int i = 0; i < clearCode; ++i) suffix[static_cast<size_t>(i)] = static_cast<uint8_t>(i);

  FCodeWidth = codeSize + 1;
  int limit = 2 * clearCode;
  int next = clearCode + 2;
  int previous = NoCode;
  uint8_t firstChar = 0;

  while (!FFull) {
    int code = ReadCode();
    if (code == NoCode) break;
    if (code == clearCode) {
      FCodeWidth = codeSize + 1;
      limit = 2 * clearCode;
      next = clearCode + 2;
      previous = NoCode;
      continue;
    }
    if (code == endCode) break;
    if (previous == NoCode) {
      // The first code after a clear stands for itself.
      firstChar = static_cast<uint8_t>(code);
      Put(firstChar);
      previous = code;
      continue;
    }

    const int incoming = code;
    stack.clear();
    if (code >= next) {
      // A code defined by itself (or a damaged one): the previous string plus its first pixel.
      stack.push_back(firstChar);
      code = previous;
    }
    while (code > endCode) {
      if (stack.size() >= TableSize || prefix[static_cast<size_t>(code)] == code)
        throw GIFException("Circular decoder table entry");
      stack.push_back(suffix[static_cast<size_t>(code)]);
      code = prefix[static_cast<size_t>(code)];
    }
    firstChar = suffix[static_cast<size_t>(code)];
    stack.push_back(firstChar);
    for (auto it = stack.rbegin(); it != stack.rend() && !FFull; ++it) Put(*it);

    if (next < TableSize) {
      prefix[static_cast<size_t>(next)] = static_cast<uint16_t>(previous);
      suffix[static_cast<size_t>(next)] = firstChar;
      ++next;
      if (next >= limit && limit < TableSize) {
        limit *= 2;
        ++FCodeWidth;
      }
    }
    previous = incoming;
  }
  // Whatever follows the last code (the end code, padding, codes past the last pixel) is
  // skipped up to the terminator so that the next block is read from its start.
  if (!FDataEnded && !FStreamEnded) SkipSubBlocks(FStream);
}

}  // namespace vidorant
