// Sub-block framing of extension data.
#include "gif/GIFBytes.h"

namespace vidorant {

void WriteSubBlocks(TStream& stream, const uint8_t* data, size_t size) {
  while (size > 0) {
    size_t n = size < 255 ? size : 255;
    stream.WriteByte(static_cast<uint8_t>(n));
    stream.WriteBuffer(data, static_cast<int64_t>(n));
    data += n;
    size -= n;
  }
}

void WriteTextLines(TStream& stream, const std::vector<std::string>& lines) {
  for (const std::string& line : lines)
    WriteSubBlocks(stream, reinterpret_cast<const uint8_t*>(line.data()), line.size());
  stream.WriteByte(0);
}

}  // namespace vidorant
