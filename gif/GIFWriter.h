// The sub-block writer of GIF image data: bytes written through it reach the destination as
// data sub-blocks of at most 255 bytes, each preceded by its length byte. Invariant: the
// buffer's first byte is reserved for the length, so a full block is one 256-byte write, and
// no empty sub-block is ever written.
#pragma once

#include <cstdint>

#include "platform/Stream.h"

namespace vidorant {

// A write-only stream: reading and seeking raise "Invalid stream operation".
class TGIFStream : public TStream {
public:
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
};

class TGIFWriter : public TGIFStream {
public:
  explicit TGIFWriter(TStream& destination) : FDestination(destination) {}
  // Writes a pending partial block. Failures cannot leave a destructor, so callers that care
  // about the outcome call Flush themselves; this only catches what they did not.
  ~TGIFWriter() override;
  TGIFWriter(const TGIFWriter&) = delete;
  TGIFWriter& operator=(const TGIFWriter&) = delete;

  int64_t Write(const void* buffer, int64_t count) override;

  // The hot path of the encoders: one byte, inlined.
  void WriteByte(uint8_t value) {
    FBuffer[FCount++] = value;
    if (FCount == sizeof FBuffer) FlushBlock();
  }

  // Four bytes, least significant first, exactly as four WriteByte calls would write them.
  void WriteWord32(uint32_t value) {
    if (FCount + 4 < static_cast<int>(sizeof FBuffer)) {
      uint8_t* p = FBuffer + FCount;
      p[0] = static_cast<uint8_t>(value);
      p[1] = static_cast<uint8_t>(value >> 8);
      p[2] = static_cast<uint8_t>(value >> 16);
      p[3] = static_cast<uint8_t>(value >> 24);
      FCount += 4;
      return;
    }
    for (int i = 0; i < 4; ++i) WriteByte(static_cast<uint8_t>(value >> (8 * i)));
  }

  // Writes the pending bytes as one sub-block (nothing when none are pending).
  void Flush();

private:
  void FlushBlock();

  TStream& FDestination;  // not owned
  uint8_t FBuffer[256];   // [0] = length of the block, then up to 255 data bytes
  int FCount = 1;         // bytes in FBuffer including the length byte
};

}  // namespace vidorant
