// The true LZW compressor of GIF image data. Every image starts with a clear code; codes up to
// 4094 are assigned, and when the next free code reaches 4095 the encoder clears and the code
// width returns to its initial value. Invariant: the code width is raised right after the code
// that made the next free code exceed the largest code of the current width, exactly when a
// decoder raises its own.
#pragma once

#include "gif/GIFEncoder.h"
#include "gif/LZWChildTable.h"

namespace vidorant {

class TLZWEncoder : public TGIFEncoder {
protected:
  void Output(int code) override;
  void Clear() override;
  void DoCompress() override;

private:
  // The width rule that follows every code.
  void AdjustCodeWidth();
  // Output of a code that is not the end code, without the virtual call.
  void Emit(int code) {
    PutCode(code);
    AdjustCodeWidth();
  }

  int FNextCode = 0;
  TLZWChildTable FTable;
};

}  // namespace vidorant
