// An encoder whose code stream any GIF decoder reads but which never builds a string table: it
// only expresses runs of equal pixels. Right after a clear, the codes first-free + k - 2 stand
// for k repetitions of the run pixel (each such code defines the next one in the decoder's
// table), so a run is written as a "triangle" of codes 1, 2, 3 ... pixels long, or with the
// longest run already defined, or as single pixels when that is cheaper.
// Invariant: the encoder counts the codes since the last clear and mirrors from that count the
// decoder's next code, so its width changes and forced clears match the decoder's table and
// no code beyond 4095 is ever defined.
#pragma once

#include <cstdint>

#include "gif/GIFEncoder.h"

namespace vidorant {

class TRLEEncoder : public TGIFEncoder {
public:
  // The number of codes that express count repetitions when each triangle may use at most
  // limit codes before a clear.
  static int64_t TriangleCost(int64_t count, int64_t limit);
  static int64_t IntegerSquareRoot(int64_t value);

protected:
  void Output(int code) override;
  void Clear() override;
  void DoCompress() override;

private:
  void FlushRun(int64_t count);
  void FlushFromClear(int64_t count);
  void ClearOrRepeat(int64_t count);
  void FlushWithTable(int64_t count);
  void RestoreForcedClear();

  int FBase = 0;                 // the first free code: clear + 2
  int FCodeLimit = 0;            // codes allowed after a clear before the table would pass 4095
  int FPixel = 0;                // the pixel of the run being flushed
  int FRunTablePixel = -1;       // the pixel the decoder's run codes were defined for
  int64_t FLongestRun = 0;       // the longest run those codes express
  int FOutputCount = 0;          // codes since the last clear
  int FGrowthCount = 0;          // output count at which the code width grows next
  int FInitialGrowthCount = 0;
  int FForcedClearCount = 0;     // output count at which a clear is forced
  int FInitialForcedClearCount = 0;
};

}  // namespace vidorant
