// TBufferedWriteStream.
#include "platform/BufferedWriteStream.h"

#include <cstring>

namespace vidorant {

TBufferedWriteStream::TBufferedWriteStream(TStream& destination, int64_t capacity)
    : FDestination(destination), FBuffer(static_cast<size_t>(capacity > 0 ? capacity : 1)) {}

TBufferedWriteStream::~TBufferedWriteStream() {
  try {
    Flush();
  } catch (...) {
    // Reached only while another error propagates or when the owner skipped Flush; the first
    // error is the one to report.
  }
}

int64_t TBufferedWriteStream::Read(void*, int64_t) { throw EReadError("Stream read error"); }

int64_t TBufferedWriteStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  const auto size = static_cast<size_t>(count);
  if (FHeld + size > FBuffer.size()) {
    Flush();
    // A piece as large as the buffer gains nothing from a copy.
    if (size >= FBuffer.size()) {
      FDestination.WriteBuffer(buffer, count);
      return count;
    }
  }
  std::memcpy(FBuffer.data() + FHeld, buffer, size);
  FHeld += size;
  return count;
}

int64_t TBufferedWriteStream::Seek(int64_t offset, TSeekOrigin origin) {
  const int64_t position = FDestination.Seek(0, soCurrent) + static_cast<int64_t>(FHeld);
  if (origin == soCurrent && offset == 0) return position;
  if (origin == soBeginning && offset == position) return position;
  throw EStreamError("Stream seek error");
}

void TBufferedWriteStream::Flush() {
  if (FHeld == 0) return;
  const auto held = static_cast<int64_t>(FHeld);
  FHeld = 0;  // first: a failing write must not be repeated by the destructor
  FDestination.WriteBuffer(FBuffer.data(), held);
}

}  // namespace vidorant
