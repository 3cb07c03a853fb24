// TStream's shared operations, written only in terms of Read, Write and Seek.
#include "platform/Stream.h"

#include <algorithm>
#include <vector>

namespace vidorant {

int64_t TStream::GetSize() {
  int64_t position = Seek(0, soCurrent);
  int64_t size = Seek(0, soEnd);
  Seek(position, soBeginning);
  return size;
}

void TStream::SetSize(int64_t) { throw EStreamError("Stream size cannot be changed"); }

void TStream::ReadBuffer(void* buffer, int64_t count) {
  if (count < 0) throw EReadError("Stream read error");
  auto* bytes = static_cast<uint8_t*>(buffer);
  int64_t done = 0;
  while (done < count) {
    int64_t got = Read(bytes + done, count - done);
    if (got <= 0) throw EReadError("Stream read error");
    done += got;
  }
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
  if (count < 0) throw EWriteError("Stream write error");
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  int64_t done = 0;
  while (done < count) {
    int64_t put = Write(bytes + done, count - done);
    if (put <= 0) throw EWriteError("Stream write error");
    done += put;
  }
}

uint8_t TStream::ReadByte() {
  uint8_t value = 0;
  ReadBuffer(&value, 1);
  return value;
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
  if (count < 0) throw EReadError("Stream read error");
  if (count == 0) {
    source.SetPosition(0);
    count = source.GetSize();
  }
  // 64 KB keeps big copies quick without a large temporary.
  std::vector<uint8_t> chunk(static_cast<size_t>(std::min<int64_t>(count, 65536)));
  int64_t left = count;
  while (left > 0) {
    int64_t n = std::min<int64_t>(left, static_cast<int64_t>(chunk.size()));
    source.ReadBuffer(chunk.data(), n);
    WriteBuffer(chunk.data(), n);
    left -= n;
  }
  return count;
}

}  // namespace vidorant
