// A stream held in memory: a growable byte array with a position. Invariant: Memory() holds
// exactly GetSize() bytes; positions past the end read nothing and a write there fills the gap
// with zero bytes.
#pragma once

#include <string>
#include <vector>

#include "platform/Stream.h"

namespace vidorant {

class TMemoryStream : public TStream {
public:
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t GetSize() override { return static_cast<int64_t>(FData.size()); }
  void SetSize(int64_t newSize) override;

  // Empties the stream and moves to position 0.
  void Clear();
  uint8_t* Memory() { return FData.data(); }
  const uint8_t* Memory() const { return FData.data(); }
  const std::vector<uint8_t>& Bytes() const { return FData; }

  // Replaces the content with all of stream (from its start); the position becomes 0.
  void LoadFromStream(TStream& stream);
  void SaveToStream(TStream& stream);
  void LoadFromFile(const std::string& fileName);
  void SaveToFile(const std::string& fileName);

private:
  std::vector<uint8_t> FData;
  int64_t FPosition = 0;
};

}  // namespace vidorant
