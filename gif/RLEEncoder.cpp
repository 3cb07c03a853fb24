// TRLEEncoder: run detection, the three ways to flush a run, and the cost model that chooses.
#include "gif/RLEEncoder.h"

namespace vidorant {

int64_t TRLEEncoder::IntegerSquareRoot(int64_t value) {
  if (value < 2) return value;
  int bits = 0;
  for (int64_t v = value; v > 0; v >>= 1) ++bits;
  // Start at a power of two not below the root, so Newton's steps descend to it.
  int64_t root = int64_t{1} << ((bits + 1) / 2);
  for (;;) {
    int64_t next = (root + value / root) / 2;
    if (next == root || next == root + 1) return root;
    root = next;
  }
}

int64_t TRLEEncoder::TriangleCost(int64_t count, int64_t limit) {
  int64_t cost = 0;
  int64_t full = limit * (limit + 1) / 2;
  if (full > 0 && count >= full) {
    cost += (count / full) * limit;
    count %= full;
  }
  if (count > 0) {
    int64_t b = IntegerSquareRoot(count);
    while (b * (b + 1) / 2 < count) ++b;
    cost += b;
  }
  return cost;
}

void TRLEEncoder::Output(int code) {
  FClearPending = false;
  TGIFEncoder::Output(code);
  ++FOutputCount;
  if (FOutputCount == FGrowthCount) {
    FGrowthCount += 1 << FCodeWidth;
    ++FCodeWidth;
  }
  if (FOutputCount >= FForcedClearCount) Clear();
}

void TRLEEncoder::Clear() {
  FGrowthCount = FInitialGrowthCount;
  FForcedClearCount = FInitialForcedClearCount;
  FOutputCount = 0;
  FLongestRun = 0;
  TGIFEncoder::Clear();
  FCodeWidth = FInitialCodeWidth;
}

void TRLEEncoder::DoCompress() {
  FBase = FFirstFreeCode;
  FCodeLimit = 4095 - FBase;
  FInitialGrowthCount = FClearCode - 1;
  FInitialForcedClearCount = FBitsPerPixel > 3 ? FClearCode - 2 : 9;
  FRunTablePixel = -1;
  Clear();

  int64_t run = 0;
  uint8_t pixel;
  while (NextPixel(pixel)) {
    CheckPixel(pixel);
    if (run > 0 && pixel != FPixel) {
      FlushRun(run);
      run = 0;
    }
    if (run > 0) {
      ++run;
    } else {
      FPixel = pixel;
      run = 1;
    }
  }
  if (run > 0) FlushRun(run);
}

void TRLEEncoder::FlushRun(int64_t count) {
  if (count == 1)
    Output(FPixel);
  else if (FClearPending)
    FlushFromClear(count);
  else if (FLongestRun > 1 && FRunTablePixel == FPixel)
    FlushWithTable(count);
  else
    ClearOrRepeat(count);
}

void TRLEEncoder::RestoreForcedClear() {
  FForcedClearCount = FInitialForcedClearCount;
  if (FOutputCount >= FForcedClearCount) Clear();
}

void TRLEEncoder::FlushFromClear(int64_t count) {
  // Let the triangle use every code the table has room for.
  FForcedClearCount = FCodeLimit;
  FRunTablePixel = FPixel;
  int64_t k = 1;
  while (count > 0) {
    if (k == 1) {
      FLongestRun = 1;
      Output(FPixel);
      --count;
    } else if (count < k) {
      // The decoder defines one more run code from this one.
      ++FLongestRun;
      Output(count == 1 ? FPixel : static_cast<int>(count + FBase - 2));
      break;
    } else {
      FLongestRun = k;
      Output(static_cast<int>(k + FBase - 2));
      count -= k;
    }
    k = FOutputCount == 0 ? 1 : k + 1;  // a forced clear restarts the triangle
  }
  RestoreForcedClear();
}

void TRLEEncoder::ClearOrRepeat(int64_t count) {
  if (TriangleCost(count + 1, FCodeLimit) < count) {
    Clear();
    FlushFromClear(count);
    return;
  }
  for (int64_t i = 0; i < count; ++i) Output(FPixel);
}

void TRLEEncoder::FlushWithTable(int64_t count) {
  int64_t m = FLongestRun;
  int64_t q = count / m;
  int64_t r = count % m;
  int64_t extra = r > 0 ? 1 : 0;
  if (FCodeLimit < q + FOutputCount + extra) {
    q = FCodeLimit - FOutputCount;
    r = count - m * q;
    extra = TriangleCost(r + 1, FCodeLimit);
  }
  if (TriangleCost(count + 1, FCodeLimit) < q + extra) {
    Clear();
    FlushFromClear(count);
    return;
  }
  FForcedClearCount = FCodeLimit;
  int code = static_cast<int>(FBase + m - 2);
  for (int64_t i = 0; i < q; ++i) Output(code);
  if (r > 0) {
    if (FClearPending)
      FlushFromClear(r);
    else
      Output(r == 1 ? FPixel : static_cast<int>(r + FBase - 2));
  }
  RestoreForcedClear();
}

}  // namespace vidorant
