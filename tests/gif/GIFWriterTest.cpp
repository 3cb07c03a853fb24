// The sub-block writer: block boundaries and the refusal to read or seek.
#include <gtest/gtest.h>

#include "gif/GIFException.h"
#include "gif/GIFWriter.h"
#include "platform/MemoryStream.h"

namespace vidorant {
namespace {

std::vector<int> BlockSizes(const std::vector<uint8_t>& bytes) {
  std::vector<int> sizes;
  size_t offset = 0;
  while (offset < bytes.size()) {
    sizes.push_back(bytes[offset]);
    offset += 1 + bytes[offset];
  }
  EXPECT_EQ(offset, bytes.size()) << "the last block is cut short";
  return sizes;
}

TEST(GIFWriter, BytesBecomeBlocksOfAtMost255WithNoEmptyBlock) {
  struct Case {
    std::vector<int> writes;  // sizes of successive Write calls (0 = one WriteByte)
    std::vector<int> blocks;
  };
  const Case cases[] = {
      {{}, {}},
      {{0}, {1}},
      {{255}, {255}},
      {{256}, {255, 1}},
      {{254, 0}, {255}},
      {{100, 200, 300}, {255, 255, 90}},
      {{510}, {255, 255}},
  };
  for (const Case& c : cases) {
    TMemoryStream destination;
    {
      TGIFWriter writer(destination);
      uint8_t value = 0;
      for (int n : c.writes) {
        if (n == 0) {
          writer.WriteByte(value++);
          continue;
        }
        std::vector<uint8_t> data(static_cast<size_t>(n));
        for (auto& b : data) b = value++;
        writer.WriteBuffer(data.data(), n);
      }
      writer.Flush();
      writer.Flush();  // a second flush has nothing to write
    }
    EXPECT_EQ(BlockSizes(destination.Bytes()), c.blocks);
    // The data bytes come out in order.
    uint8_t expected = 0;
    size_t offset = 0;
    while (offset < destination.Bytes().size()) {
      int size = destination.Bytes()[offset++];
      for (int i = 0; i < size; ++i) ASSERT_EQ(destination.Bytes()[offset++], expected++);
    }
  }
}

TEST(GIFWriter, DestroyingTheWriterFlushesThePendingBlock) {
  TMemoryStream destination;
  {
    TGIFWriter writer(destination);
    writer.WriteByte(7);
  }
  EXPECT_EQ(destination.Bytes(), (std::vector<uint8_t>{1, 7}));
}

TEST(GIFWriter, ReadingAndSeekingAreInvalidOperations) {
  TMemoryStream destination;
  TGIFWriter writer(destination);
  uint8_t buffer[4];
  for (int operation = 0; operation < 3; ++operation) {
    try {
      if (operation == 0) writer.Read(buffer, 4);
      if (operation == 1) writer.Seek(0, soBeginning);
      if (operation == 2) writer.GetPosition();
      FAIL() << "operation " << operation << " was allowed";
    } catch (const GIFException& e) {
      EXPECT_EQ(e.Message, "Invalid stream operation");
    }
  }
}

}  // namespace
}  // namespace vidorant
