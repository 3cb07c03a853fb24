// A write-only stream that gathers small writes into one buffer and hands them to the
// destination in large pieces: a GIF's save writes a few bytes per field and 256 bytes per
// sub-block, and a file takes one system call per write. Invariant: bytes reach the
// destination in the order written; Flush() passes on every byte held, and a failure of the
// destination is raised by the Write or Flush that caused it. Seek reports the position (the
// destination's plus the bytes held) and refuses to move; Read refuses.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/Stream.h"

namespace vidorant {

class TBufferedWriteStream : public TStream {
public:
  static constexpr int64_t DefaultCapacity = 64 * 1024;

  // destination is not owned and must outlive this stream.
  explicit TBufferedWriteStream(TStream& destination, int64_t capacity = DefaultCapacity);
  // Passes on what is held. A failure cannot leave a destructor: callers that care about the
  // outcome (every save) call Flush themselves.
  ~TBufferedWriteStream() override;
  TBufferedWriteStream(const TBufferedWriteStream&) = delete;
  TBufferedWriteStream& operator=(const TBufferedWriteStream&) = delete;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;

  void Flush();

private:
  TStream& FDestination;  // not owned
  std::vector<uint8_t> FBuffer;
  size_t FHeld = 0;
};

}  // namespace vidorant
