// TLZWEncoder: the compression loop and the code-width rule.
#include "gif/LZWEncoder.h"

namespace vidorant {

namespace {
constexpr int LastAssignableCode = 4094;
}

void TLZWEncoder::Output(int code) {
  TGIFEncoder::Output(code);
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
  FHashTable.Clear();
  FNextCode = FFirstFreeCode;
}

void TLZWEncoder::DoCompress() {
  Clear();
  uint8_t pixel;
  if (!NextPixel(pixel)) return;
  CheckPixel(pixel);
  int prefix = pixel;
  while (NextPixel(pixel)) {
    CheckPixel(pixel);
    uint32_t key = (static_cast<uint32_t>(prefix) << 8) | pixel;
    int slot;
    int code = FHashTable.Find(key, slot);
    if (code >= 0) {
      prefix = code;
      continue;
    }
    Output(prefix);
    prefix = pixel;
    if (FNextCode > LastAssignableCode)
      Clear();
    else
      FHashTable.InsertAt(slot, key, FNextCode++);
  }
  Output(prefix);
}

}  // namespace vidorant
