// The bitmap file format ("BM"): saving writes a 14-byte file header, a 40-byte info header,
// the colour table (or 5-6-5 bit fields) and bottom-up rows. Loading trusts no size in the
// file: every offset and row is checked against the bytes actually present before use.
#include "platform/Bitmap.h"

#include "platform/Exception.h"
#include "platform/FileStream.h"

#include <algorithm>
#include <cstring>

namespace vidorant {

namespace {

constexpr uint32_t FileHeaderSize = 14;
constexpr uint32_t InfoHeaderSize = 40;
constexpr uint32_t BI_RGB = 0;
constexpr uint32_t BI_BITFIELDS = 3;

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}
uint32_t Get16(const uint8_t* p) { return p[0] | (p[1] << 8); }
uint32_t Get32(const uint8_t* p) { return Get16(p) | (Get16(p + 2) << 16); }

[[noreturn]] void Invalid(const char* why) { throw EInvalidGraphic(std::string("Bitmap image is not valid: ") + why); }

// Pixel format of a file's bit count, compression and masks; pfCustom when we cannot read it.
TPixelFormat FormatOf(uint32_t bits, uint32_t compression, uint32_t red, uint32_t green, uint32_t blue) {
  if (compression == BI_RGB) {
    switch (bits) {
      case 1: return pf1bit;
      case 4: return pf4bit;
      case 8: return pf8bit;
      case 16: return pf15bit;
      case 24: return pf24bit;
      case 32: return pf32bit;
      default: return pfCustom;
    }
  }
  if (compression != BI_BITFIELDS) return pfCustom;
  if (bits == 16 && red == 0x7C00 && green == 0x03E0 && blue == 0x001F) return pf15bit;
  if (bits == 16 && red == 0xF800 && green == 0x07E0 && blue == 0x001F) return pf16bit;
  if (bits == 32 && red == 0xFF0000 && green == 0xFF00 && blue == 0xFF) return pf32bit;
  return pfCustom;
}

}  // namespace

std::vector<uint8_t> TBitmap::SaveToBytes() const {
  // Device and custom bitmaps are stored as the 32-bit rows they hold.
  const uint32_t bits = static_cast<uint32_t>(BitsPerPixel());
  const bool fields = Format_ == pf16bit;
  // "Colours used" 0 means a full table in this format, so an indexed bitmap without a table
  // is written with a full table of black, which reads back as the same pixels.
  std::vector<TRGBQuad> table = ColorTable_;
  if (IsIndexedFormat(Format_) && table.empty()) table.resize(size_t{1} << bits);
  const uint32_t tableBytes = fields ? 12 : static_cast<uint32_t>(table.size() * 4);
  const uint32_t stride = static_cast<uint32_t>(BytesPerScanLine());
  const uint32_t imageBytes = stride * static_cast<uint32_t>(Height_);
  const uint32_t offset = FileHeaderSize + InfoHeaderSize + tableBytes;

  std::vector<uint8_t> out;
  out.reserve(offset + imageBytes);
  out.push_back('B');
  out.push_back('M');
  Put32(out, offset + imageBytes);
  Put32(out, 0);
  Put32(out, offset);
  Put32(out, InfoHeaderSize);
  Put32(out, static_cast<uint32_t>(Width_));
  Put32(out, static_cast<uint32_t>(Height_));  // positive: bottom-up rows
  Put16(out, 1);
  Put16(out, bits);
  Put32(out, fields ? BI_BITFIELDS : BI_RGB);
  Put32(out, imageBytes);
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, fields ? 0 : static_cast<uint32_t>(table.size()));
  Put32(out, 0);
  if (fields) {
    Put32(out, 0xF800);
    Put32(out, 0x07E0);
    Put32(out, 0x001F);
  }
  for (const TRGBQuad& q : table) {
    out.push_back(q.Blue);
    out.push_back(q.Green);
    out.push_back(q.Red);
    out.push_back(0);
  }
  for (int y = Height_ - 1; y >= 0; --y) {
    const uint8_t* row = ScanLine(y);
    out.insert(out.end(), row, row + stride);
  }
  return out;
}

void TBitmap::LoadFromBytes(const uint8_t* data, size_t size) {
  if (size < FileHeaderSize + InfoHeaderSize || data[0] != 'B' || data[1] != 'M') Invalid("no bitmap file header");
  const uint32_t offset = Get32(data + 10);
  const uint8_t* info = data + FileHeaderSize;
  const uint32_t infoSize = Get32(info);
  if (infoSize < InfoHeaderSize || infoSize > size - FileHeaderSize) Invalid("unsupported info header");
  const int32_t width = static_cast<int32_t>(Get32(info + 4));
  const int32_t rawHeight = static_cast<int32_t>(Get32(info + 8));
  const uint32_t planes = Get16(info + 12), bits = Get16(info + 14), compression = Get32(info + 16);
  uint32_t used = Get32(info + 32);
  if (width < 0 || rawHeight == INT32_MIN || planes != 1) Invalid("bad dimensions");
  const bool topDown = rawHeight < 0;
  const int32_t height = topDown ? -rawHeight : rawHeight;

  // Bit-field masks follow a 40-byte header, or sit inside a longer one.
  size_t tablePos = FileHeaderSize + infoSize;
  uint32_t masks[3] = {0, 0, 0};
  if (compression == BI_BITFIELDS) {
    const size_t maskPos = infoSize >= 52 ? FileHeaderSize + InfoHeaderSize : tablePos;
    if (maskPos + 12 > size) Invalid("truncated bit fields");
    for (int i = 0; i < 3; ++i) masks[i] = Get32(data + maskPos + 4 * i);
    if (infoSize < 52) tablePos += 12;
  }
  const TPixelFormat format = FormatOf(bits, compression, masks[0], masks[1], masks[2]);
  if (format == pfCustom) Invalid("unsupported pixel format or compression");

  std::vector<TRGBQuad> table;
  if (IsIndexedFormat(format)) {
    const uint32_t limit = 1u << bits;
    if (used == 0) used = limit;
    if (used > limit) Invalid("colour table too large");
    if (tablePos + size_t{used} * 4 > size) Invalid("truncated colour table");
    for (uint32_t i = 0; i < used; ++i) {
      const uint8_t* q = data + tablePos + 4 * i;
      table.push_back({q[0], q[1], q[2], 0});
    }
  }

  const uint64_t stride = (static_cast<uint64_t>(width) * bits + 31) / 32 * 4;
  const uint64_t imageBytes = stride * static_cast<uint64_t>(height);
  if (offset < tablePos || offset > size || imageBytes > size - offset) Invalid("truncated pixel data");

  TBitmap loaded;
  loaded.Format_ = format;
  loaded.ColorTable_ = std::move(table);
  loaded.SetSize(width, height);
  for (int32_t y = 0; y < height && width > 0; ++y) {
    const int32_t fileRow = topDown ? y : height - 1 - y;
    std::memcpy(loaded.ScanLine(y), data + offset + static_cast<uint64_t>(fileRow) * stride, stride);
  }
  Width_ = loaded.Width_;
  Height_ = loaded.Height_;
  Format_ = loaded.Format_;
  Bits_ = std::move(loaded.Bits_);
  ColorTable_ = std::move(loaded.ColorTable_);
  TablePalette_.reset();
}

void TBitmap::SaveToStream(TStream& stream) {
  const std::vector<uint8_t> bytes = SaveToBytes();
  stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
}

void TBitmap::LoadFromStream(TStream& stream) {
  uint8_t header[FileHeaderSize];
  const int64_t got = stream.Read(header, FileHeaderSize);
  if (got != static_cast<int64_t>(FileHeaderSize) || header[0] != 'B' || header[1] != 'M') Invalid("no bitmap file header");
  const int64_t rest = stream.GetSize() - stream.GetPosition();
  const int64_t declared = static_cast<int64_t>(Get32(header + 2)) - static_cast<int64_t>(FileHeaderSize);
  const int64_t body = (declared >= static_cast<int64_t>(InfoHeaderSize) && declared <= rest) ? declared : rest;
  std::vector<uint8_t> bytes(header, header + FileHeaderSize);
  bytes.resize(FileHeaderSize + static_cast<size_t>(std::max<int64_t>(body, 0)));
  stream.ReadBuffer(bytes.data() + FileHeaderSize, static_cast<int64_t>(bytes.size() - FileHeaderSize));
  LoadFromBytes(bytes.data(), bytes.size());
}

void TBitmap::SaveToFile(const std::string& fileName) const {
  TFileStream file(fileName, fmCreate);
  const std::vector<uint8_t> bytes = SaveToBytes();
  file.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
}

void TBitmap::LoadFromFile(const std::string& fileName) {
  TFileStream file(fileName, fmOpenRead);
  LoadFromStream(file);
}

}  // namespace vidorant
