// TLZWEncoder: the compression loop and the code-width rule.
#include "gif/LZWEncoder.h"

namespace vidorant {

namespace {
constexpr int LastAssignableCode = 4094;
}

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
      prefix = pixel;
      if (FNextCode > LastAssignableCode)
        Clear();
      else
        FTable.Set(index, FNextCode++);
    }
  } while (NextStretch(next, end));
  Output(prefix);
}
}  // namespace vidorant
