#include "GIFTestDecoder.h"

#include <algorithm>

namespace vidorant::testing {

namespace {

void Fail(const std::string& what) { throw std::runtime_error(what); }

uint8_t ByteAt(const std::vector<uint8_t>& data, size_t offset) {
  if (offset >= data.size()) Fail("unexpected end of data at " + std::to_string(offset));
  return data[offset];
}

int WordAt(const std::vector<uint8_t>& data, size_t offset) {
  return ByteAt(data, offset) | (ByteAt(data, offset + 1) << 8);
}

}  // namespace

TImageDataRead ReadImageData(const std::vector<uint8_t>& data, size_t offset) {
  TImageDataRead out;
  out.MinCodeSize = ByteAt(data, offset++);
  if (out.MinCodeSize < 2 || out.MinCodeSize > 8) Fail("bad minimum code size");

  std::vector<uint8_t> bytes;
  for (;;) {
    int length = ByteAt(data, offset++);
    if (length == 0) break;
    out.SubBlockSizes.push_back(length);
    if (offset + static_cast<size_t>(length) > data.size()) Fail("sub-block cut short");
    bytes.insert(bytes.end(), data.begin() + static_cast<long>(offset), data.begin() + static_cast<long>(offset + length));
    offset += static_cast<size_t>(length);
  }
  out.End = offset;

  const int clear = 1 << out.MinCodeSize;
  const int end = clear + 1;
  int width = out.MinCodeSize + 1;
  int next = clear + 2;
  std::vector<std::vector<uint8_t>> table(4096);
  for (int i = 0; i < clear; ++i) table[static_cast<size_t>(i)] = {static_cast<uint8_t>(i)};
  int previous = -1;
  size_t bitPos = 0;
  bool ended = false;
  while (!ended) {
    if (bitPos + static_cast<size_t>(width) > bytes.size() * 8) Fail("code stream ends without end code");
    int code = 0;
    for (int b = 0; b < width; ++b, ++bitPos)
      if (bytes[bitPos / 8] & (1 << (bitPos % 8))) code |= 1 << b;
    out.Codes.push_back({code, width});
    if (code == clear) {
      width = out.MinCodeSize + 1;
      next = clear + 2;
      previous = -1;
      continue;
    }
    if (code == end) {
      ended = true;
      break;
    }
    if (out.Codes.size() == 1) Fail("code stream does not start with a clear code");
    std::vector<uint8_t> entry;
    if (code < next && !table[static_cast<size_t>(code)].empty() && (code < clear || code >= clear + 2)) {
      entry = table[static_cast<size_t>(code)];
    } else if (code == next && previous >= 0) {
      entry = table[static_cast<size_t>(previous)];
      entry.push_back(entry.front());
    } else {
      Fail("undefined code " + std::to_string(code) + " (next " + std::to_string(next) + ")");
    }
    out.Pixels.insert(out.Pixels.end(), entry.begin(), entry.end());
    if (previous >= 0 && next < 4096) {
      std::vector<uint8_t> added = table[static_cast<size_t>(previous)];
      added.push_back(entry.front());
      table[static_cast<size_t>(next)] = added;
      ++next;
      if (next == (1 << width) && width < 12) ++width;
    }
    previous = code;
  }
  // The end code must be in the last byte: nothing but padding may follow it.
  if ((bitPos + 7) / 8 != bytes.size()) Fail("bytes after the end code");
  return out;
}

std::vector<int> InterlaceRowOrder(int height) {
  std::vector<int> rows;
  const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass)
    for (int row = start[pass]; row < height; row += step[pass]) rows.push_back(row);
  return rows;
}

TFileRead ReadGIFFile(const std::vector<uint8_t>& data) {
  TFileRead file;
  if (data.size() < 13) Fail("file too short");
  file.Signature.assign(data.begin(), data.begin() + 6);
  file.ScreenWidth = WordAt(data, 6);
  file.ScreenHeight = WordAt(data, 8);
  file.Packed = data[10];
  file.Background = data[11];
  file.Aspect = data[12];
  size_t offset = 13;
  if (file.Packed & 0x80) {
    size_t n = 3u << ((file.Packed & 7) + 1);
    if (offset + n > data.size()) Fail("global table cut short");
    file.GlobalTable.assign(data.begin() + 13, data.begin() + static_cast<long>(13 + n));
    offset += n;
  }
  TFrameRead frame;
  for (;;) {
    uint8_t block = ByteAt(data, offset);
    if (block == 0x3B) {
      file.Trailer = true;
      if (!frame.Extensions.empty()) file.Frames.push_back(frame);
      if (offset + 1 != data.size()) Fail("bytes after the trailer");
      return file;
    }
    if (block == 0x21) {
      size_t start = offset;
      offset += 2;
      for (;;) {
        int length = ByteAt(data, offset++);
        if (length == 0) break;
        offset += static_cast<size_t>(length);
      }
      frame.Extensions.emplace_back(data.begin() + static_cast<long>(start), data.begin() + static_cast<long>(offset));
      continue;
    }
    if (block != 0x2C) Fail("unknown block " + std::to_string(block));
    frame.HasImage = true;
    frame.Left = WordAt(data, offset + 1);
    frame.Top = WordAt(data, offset + 3);
    frame.Width = WordAt(data, offset + 5);
    frame.Height = WordAt(data, offset + 7);
    frame.Packed = ByteAt(data, offset + 9);
    offset += 10;
    if (frame.Packed & 0x80) {
      size_t n = 3u << ((frame.Packed & 7) + 1);
      if (offset + n > data.size()) Fail("local table cut short");
      frame.LocalTable.assign(data.begin() + static_cast<long>(offset), data.begin() + static_cast<long>(offset + n));
      offset += n;
    }
    frame.Data = ReadImageData(data, offset);
    offset = frame.Data.End;
    size_t expected = static_cast<size_t>(frame.Width) * static_cast<size_t>(frame.Height);
    if (frame.Data.Pixels.size() != expected) Fail("pixel count differs from width x height");
    if (frame.Packed & 0x40) {
      frame.Rows.assign(expected, 0);
      std::vector<int> order = InterlaceRowOrder(frame.Height);
      for (size_t i = 0; i < order.size(); ++i)
        std::copy_n(frame.Data.Pixels.begin() + static_cast<long>(i * frame.Width), frame.Width,
                    frame.Rows.begin() + static_cast<long>(order[i]) * frame.Width);
    } else {
      frame.Rows = frame.Data.Pixels;
    }
    file.Frames.push_back(frame);
    frame = TFrameRead();
  }
}

}  // namespace vidorant::testing
