// The buffered write stream must deliver exactly the bytes written, in order, in few large
// writes, and must not swallow a failure of its destination.
#include "platform/BufferedWriteStream.h"
#include "platform/MemoryStream.h"

#include <gtest/gtest.h>

#include <random>

namespace vidorant {
namespace {

// A memory stream that counts the writes it receives and can be made to fail past a size.
class TRecordingStream : public TMemoryStream {
public:
  int64_t Write(const void* buffer, int64_t count) override {
    ++Writes;
    if (GetPosition() + count > FailBeyond) throw EWriteError("Stream write error: disk full");
    return TMemoryStream::Write(buffer, count);
  }
  int Writes = 0;
  int64_t FailBeyond = INT64_MAX;
};

TEST(BufferedWriteStream, DeliversEveryByteInOrderInFewWrites) {
  std::mt19937 random(5);
  TRecordingStream destination;
  std::vector<uint8_t> written;
  int pieces = 0;
  {
    TBufferedWriteStream buffered(destination, 4096);
    // Mostly small fields and sub-blocks, now and then a piece larger than the buffer.
    while (written.size() < 200000) {
      const size_t size = pieces % 97 == 0 ? 5000 + random() % 9000 : random() % 300;
      std::vector<uint8_t> piece(size);
      for (uint8_t& b : piece) b = static_cast<uint8_t>(random());
      buffered.WriteBuffer(piece.data(), static_cast<int64_t>(size));
      written.insert(written.end(), piece.begin(), piece.end());
      ++pieces;
      ASSERT_EQ(buffered.GetPosition(), static_cast<int64_t>(written.size()));
    }
    buffered.Flush();
  }
  EXPECT_EQ(destination.Bytes(), written);
  EXPECT_LE(destination.Writes, static_cast<int>(written.size() / 4096 * 2 + 2)) << pieces << " pieces";
}

TEST(BufferedWriteStream, FlushRaisesTheDestinationsFailureAndRefusesToMoveOrRead) {
  TRecordingStream destination;
  destination.FailBeyond = 100;
  TBufferedWriteStream buffered(destination, 1024);
  const std::vector<uint8_t> bytes(500, 7);
  buffered.WriteBuffer(bytes.data(), 500);  // held, not yet failed
  EXPECT_THROW(buffered.Flush(), EWriteError);
  uint8_t byte;
  EXPECT_THROW(buffered.Read(&byte, 1), EReadError);
  EXPECT_THROW(buffered.SetPosition(3), EStreamError);
}

}  // namespace
}  // namespace vidorant
