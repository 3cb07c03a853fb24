// TLZWEncoder: the compression loop and the code-width rule.
#include "gif/LZWEncoder.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace vidorant {

namespace {
constexpr int LastAssignableCode = 4094;

// Whether the eight pixels from at are all color.
bool EightOf(const uint8_t* at, uint8_t color) {
  uint64_t eight;
  std::memcpy(&eight, at, sizeof eight);
  return eight == color * 0x0101010101010101u;
}
}  // namespace

void TLZWEncoder::Output(int code) {
  TGIFEncoder::Output(code);
  AdjustCodeWidth();
}

void TLZWEncoder::AdjustCodeWidth() {
  if (FClearPending) {
    FClearPending = false;
    FCodeWidth = FInitialCodeWidth;
    FMaxCode = (1 << FCodeWidth) - 1;
  } else if (FNextCode > FMaxCode) {
    ++FCodeWidth;
    // At 12 bits the width stays: no code above 4094 is ever assigned.
    FMaxCode = FCodeWidth == MaxCodeWidth ? 4096 : (1 << FCodeWidth) - 1;
  }
}

void TLZWEncoder::Clear() {
  FClearPending = true;
  Output(FClearCode);
  FTable.Reset(FBitsPerPixel);
  FNextCode = FFirstFreeCode;
}

void TLZWEncoder::DoCompress() {
  Clear();
  // The walk goes by contiguous stretches so that the per-pixel path is a pointer, a compare
  // and one load from the table.
  const uint8_t* next = nullptr;
  const uint8_t* end = nullptr;
  if (!NextStretch(next, end)) return;
  CheckPixel(*next);
  int prefix = *next++;
  do {
    for (; next != end; ++next) {
      const uint8_t pixel = *next;
      CheckPixel(pixel);
      const uint32_t index = FTable.Index(prefix, pixel);
      const int code = FTable.At(index);
      if (code != 0) {
        prefix = code;
        continue;
      }
      Emit(prefix);
      if (FNextCode > LastAssignableCode)
        Clear();
      else
        FTable.Add(index, prefix, pixel, FNextCode++);
      prefix = pixel;
      // A new string starts at every code output. Where eight more pixels of its colour follow,
      // it crosses the run by the codes of the longer repeats, as far as the table knows them,
      // instead of by one lookup per pixel. Shorter runs go by lookups: on grainy pictures they
      // are everywhere, and a test that came out differently from pixel to pixel would cost
      // more than it saved.
      if (end - next > 8 && EightOf(next + 1, pixel)) {
        const int longest = FTable.LongestRun(pixel);
        if (longest > 1) {
          const uint8_t* const first = next + 1;
          const uint8_t* const stop = first + std::min<std::ptrdiff_t>(end - first, longest - 1);
          const uint8_t* after = first;
          while (after != stop && *after == pixel) ++after;
          prefix = FTable.RunCode(pixel, 1 + static_cast<int>(after - first));
          next = after - 1;
        }
      }
    }
  } while (NextStretch(next, end));
  Output(prefix);
}
}  // namespace vidorant
