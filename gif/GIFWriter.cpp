// TGIFStream and TGIFWriter.
#include "gif/GIFWriter.h"

#include <cstring>

#include "gif/GIFException.h"

namespace vidorant {

int64_t TGIFStream::Read(void*, int64_t) { throw GIFException("Invalid stream operation"); }

int64_t TGIFStream::Seek(int64_t, TSeekOrigin) { throw GIFException("Invalid stream operation"); }

TGIFWriter::~TGIFWriter() {
  try {
    Flush();
  } catch (...) {
    // Only reached while another error propagates or when the owner skipped Flush; the first
    // error is the one to report.
  }
}

int64_t TGIFWriter::Write(const void* buffer, int64_t count) {
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  int64_t left = count;
  while (left > 0) {
    int64_t room = static_cast<int64_t>(sizeof FBuffer) - FCount;
    int64_t n = left < room ? left : room;
    std::memcpy(FBuffer + FCount, bytes, static_cast<size_t>(n));
    FCount += static_cast<int>(n);
    bytes += n;
    left -= n;
    if (FCount == sizeof FBuffer) FlushBlock();
  }
  return count;
}

void TGIFWriter::FlushBlock() {
  int length = FCount - 1;
  FCount = 1;  // reset first: a failing write must not be repeated by the destructor
  FBuffer[0] = static_cast<uint8_t>(length);
  FDestination.WriteBuffer(FBuffer, length + 1);
}

void TGIFWriter::Flush() {
  if (FCount > 1) FlushBlock();
}

}  // namespace vidorant
