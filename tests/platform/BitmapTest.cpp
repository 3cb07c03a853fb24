#include "platform/Bitmap.h"

#include "platform/Canvas.h"
#include "platform/Exception.h"
#include "platform/FileStream.h"
#include "platform/MemoryStream.h"
#include "ScratchFolder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <thread>

namespace vidorant {
namespace {

uint32_t Read32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

void FillRandom(TBitmap& bitmap, unsigned seed) {
  std::mt19937 rng(seed);
  for (int y = 0; y < bitmap.Height(); ++y) {
    uint8_t* row = bitmap.ScanLine(y);
    for (int i = 0; i < bitmap.BytesPerScanLine(); ++i) row[i] = static_cast<uint8_t>(rng());
  }
}

TEST(BitmapRows, ArePaddedToFourBytesForEveryFormat) {
  struct Case {
    TPixelFormat format;
    int width;
    int stride;
  };
  const Case cases[] = {{pf1bit, 1, 4},   {pf1bit, 33, 8},   {pf4bit, 7, 4},  {pf4bit, 9, 8},   {pf8bit, 5, 8},
                        {pf15bit, 3, 8},  {pf16bit, 2, 4},   {pf24bit, 1, 4}, {pf24bit, 5, 16}, {pf24bit, 320, 960},
                        {pf32bit, 3, 12}, {pfDevice, 3, 12}, {pf8bit, 0, 0}};
  for (const Case& c : cases) {
    TBitmap bitmap(c.width, 2, c.format);
    EXPECT_EQ(bitmap.BytesPerScanLine(), c.stride) << int(c.format) << " width " << c.width;
    if (c.width > 0) {
      // Rows are top-down and exactly one stride apart.
      EXPECT_EQ(bitmap.ScanLine(1) - bitmap.ScanLine(0), c.stride);
    }
  }
}

TEST(BitmapRows, RowOutsideTheImageIsRefused) {
  TBitmap bitmap(4, 3, pf24bit);
  for (int row : {-1, 3, 100}) {
    try {
      bitmap.ScanLine(row);
      FAIL() << row;
    } catch (const EInvalidGraphic& e) {
      EXPECT_EQ(e.Message, "Scan line index out of range");
    }
  }
  EXPECT_THROW(TBitmap().ScanLine(0), EInvalidGraphic);
  EXPECT_THROW(bitmap.SetSize(-1, 2), EInvalidGraphic);
}

TEST(BitmapResize, KeepsTheOverlappingPixelsAndZeroesTheRest) {
  TBitmap bitmap(3, 2, pf24bit);
  bitmap.SetPixel(0, 0, RGB(1, 2, 3));
  bitmap.SetPixel(2, 1, RGB(4, 5, 6));
  bitmap.SetSize(5, 4);
  EXPECT_EQ(bitmap.GetPixel(0, 0), RGB(1, 2, 3));
  EXPECT_EQ(bitmap.GetPixel(2, 1), RGB(4, 5, 6));
  EXPECT_EQ(bitmap.GetPixel(4, 3), 0u);
  bitmap.SetSize(1, 1);
  EXPECT_EQ(bitmap.GetPixel(0, 0), RGB(1, 2, 3));
}

// Save then load must give back the same format, size, colour table and rows, for every format.
TEST(BitmapFile, RoundTripsEveryPixelFormat) {
  const TPixelFormat formats[] = {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit};
  for (TPixelFormat format : formats) {
    for (int width : {1, 3, 17}) {
      TBitmap bitmap(width, 5, format);
      FillRandom(bitmap, static_cast<unsigned>(format * 100 + width));
      if (format == pf8bit) {
        std::vector<TRGBQuad> table;
        for (int i = 0; i < 200; ++i) table.push_back({uint8_t(i), uint8_t(255 - i), uint8_t(i * 7), 0});
        bitmap.SetColorTable(table);
      }
      const std::vector<uint8_t> bytes = bitmap.SaveToBytes();
      ASSERT_EQ(bytes[0], 'B');
      ASSERT_EQ(bytes[1], 'M');
      EXPECT_EQ(Read32(bytes, 2), bytes.size());

      TBitmap loaded;
      loaded.LoadFromBytes(bytes.data(), bytes.size());
      ASSERT_EQ(loaded.PixelFormat(), format) << int(format);
      ASSERT_EQ(loaded.Width(), width);
      ASSERT_EQ(loaded.Height(), 5);
      EXPECT_EQ(loaded.ColorTable(), bitmap.ColorTable());
      for (int y = 0; y < 5; ++y) {
        EXPECT_EQ(std::memcmp(loaded.ScanLine(y), bitmap.ScanLine(y), static_cast<size_t>(bitmap.BytesPerScanLine())), 0)
            << int(format) << " width " << width << " row " << y;
        for (int x = 0; x < width; ++x) EXPECT_EQ(loaded.GetPixel(x, y), bitmap.GetPixel(x, y));
      }
    }
  }
}

// "Colours used" 0 means a full table, so a bitmap without a table must not write 0 and
// then read a table that is not there.
TEST(BitmapFile, IndexedBitmapWithoutATableStillRoundTrips) {
  TBitmap bitmap(5, 2, pf8bit);
  bitmap.ScanLine(1)[4] = 200;
  bitmap.SetColorTable({});
  const std::vector<uint8_t> bytes = bitmap.SaveToBytes();
  TBitmap loaded;
  loaded.LoadFromBytes(bytes.data(), bytes.size());
  EXPECT_EQ(loaded.ScanLine(1)[4], 200);
  EXPECT_EQ(loaded.GetPixel(4, 1), 0u);
}

TEST(BitmapFile, DeviceBitmapsAreStoredAsThirtyTwoBits) {
  TBitmap bitmap(2, 2, pfDevice);
  bitmap.SetPixel(1, 0, RGB(10, 20, 30));
  const std::vector<uint8_t> bytes = bitmap.SaveToBytes();
  TBitmap loaded;
  loaded.LoadFromBytes(bytes.data(), bytes.size());
  EXPECT_EQ(loaded.PixelFormat(), pf32bit);
  EXPECT_EQ(loaded.GetPixel(1, 0), RGB(10, 20, 30));
}

TEST(BitmapFile, WritesBottomUpRowsAndReadsTopDownFiles) {
  TBitmap bitmap(1, 2, pf24bit);
  bitmap.SetPixel(0, 0, RGB(255, 0, 0));  // top
  bitmap.SetPixel(0, 1, RGB(0, 0, 255));  // bottom
  std::vector<uint8_t> bytes = bitmap.SaveToBytes();
  const size_t bits = Read32(bytes, 10);
  EXPECT_EQ(bits, 54u);
  // The first stored row is the bottom one (blue), each row padded to 4 bytes.
  EXPECT_EQ(bytes[bits + 0], 255);
  EXPECT_EQ(bytes[bits + 2], 0);
  EXPECT_EQ(bytes[bits + 4], 0);
  EXPECT_EQ(bytes[bits + 4 + 2], 255);
  // Flip the height's sign: the same rows now read top-down.
  const int32_t negative = -2;
  std::memcpy(&bytes[22], &negative, 4);
  TBitmap flipped;
  flipped.LoadFromBytes(bytes.data(), bytes.size());
  EXPECT_EQ(flipped.GetPixel(0, 0), RGB(0, 0, 255));
  EXPECT_EQ(flipped.GetPixel(0, 1), RGB(255, 0, 0));
}

TEST(BitmapFile, CorruptImagesAreRefusedAndLeaveTheBitmapAlone) {
  TBitmap source(8, 8, pf8bit);
  FillRandom(source, 7);
  const std::vector<uint8_t> good = source.SaveToBytes();
  auto patched = [&](size_t at, uint32_t value) {
    std::vector<uint8_t> b = good;
    std::memcpy(&b[at], &value, 4);
    return b;
  };
  const std::vector<std::pair<const char*, std::vector<uint8_t>>> cases = {
      {"truncated rows", std::vector<uint8_t>(good.begin(), good.end() - 1)},
      {"truncated header", std::vector<uint8_t>(good.begin(), good.begin() + 30)},
      {"not BM", patched(0, 0x4D41)},
      {"huge width", patched(18, 0x7FFFFFF0)},
      {"huge height", patched(22, 0x7FFFFFF0)},
      {"most negative height", patched(22, 0x80000000)},
      {"colour table too large", patched(46, 257)},
      {"compressed", patched(30, 1)},
      {"offset past the end", patched(10, 0xFFFFFFF0)},
      {"info header past the end", patched(14, 0xFFFFFF00)},
  };
  for (const auto& [name, bytes] : cases) {
    TBitmap target(2, 3, pf24bit);
    target.SetPixel(1, 1, RGB(9, 8, 7));
    EXPECT_THROW(target.LoadFromBytes(bytes.data(), bytes.size()), EInvalidGraphic) << name;
    EXPECT_EQ(target.Width(), 2) << name;
    EXPECT_EQ(target.PixelFormat(), pf24bit) << name;
    EXPECT_EQ(target.GetPixel(1, 1), RGB(9, 8, 7)) << name;
  }
}

TEST(BitmapFile, SavesAndLoadsFiles) {
  TScratchFolder folder;
  const std::string path = folder.File("bitmap-file-test.bmp");
  TBitmap bitmap(3, 3, pf24bit);
  bitmap.SetPixel(2, 2, RGB(1, 200, 3));
  bitmap.SaveToFile(path);
  TBitmap loaded;
  loaded.LoadFromFile(path);
  std::remove(path.c_str());
  EXPECT_EQ(loaded.GetPixel(2, 2), RGB(1, 200, 3));
  EXPECT_THROW(loaded.LoadFromFile(path), EFOpenError);
}

// A bitmap inside a longer stream takes exactly its own bytes, whatever follows it.
TEST(BitmapFile, StreamLoadStopsAtTheImageEnd) {
  TBitmap first(3, 2, pf8bit), second(2, 2, pf24bit);
  FillRandom(first, 11);
  second.SetPixel(1, 1, RGB(5, 6, 7));
  TMemoryStream stream;
  first.SaveToStream(stream);
  const int64_t end = stream.GetPosition();
  second.SaveToStream(stream);
  stream.SetPosition(0);
  TBitmap loaded;
  loaded.LoadFromStream(stream);
  EXPECT_EQ(stream.GetPosition(), end);
  EXPECT_EQ(loaded.SaveToBytes(), first.SaveToBytes());
  static_cast<TGraphic&>(loaded).LoadFromStream(stream);
  EXPECT_EQ(loaded.GetPixel(1, 1), RGB(5, 6, 7));

  TMemoryStream truncated;
  const std::vector<uint8_t> bytes = first.SaveToBytes();
  truncated.WriteBuffer(bytes.data(), 20);
  truncated.SetPosition(0);
  EXPECT_THROW(loaded.LoadFromStream(truncated), EInvalidGraphic);
}

TEST(BitmapFormat, ConversionKeepsColoursTheTargetCanHold) {
  TBitmap bitmap(4, 1, pf24bit);
  const TColor colors[4] = {RGB(0, 0, 0), RGB(255, 255, 255), RGB(255, 0, 0), RGB(51, 102, 153)};
  for (int x = 0; x < 4; ++x) bitmap.SetPixel(x, 0, colors[x]);

  TBitmap eight = bitmap;
  eight.SetPixelFormat(pf8bit);  // halftone holds all four exactly
  EXPECT_EQ(eight.ColorTable().size(), 256u);
  for (int x = 0; x < 4; ++x) EXPECT_EQ(eight.GetPixel(x, 0), colors[x]);

  TBitmap fifteen = bitmap;
  fifteen.SetPixelFormat(pf15bit);
  fifteen.SetPixel(0, 0, RGB(0x0F, 0x87, 0xFF));
  EXPECT_EQ(fifteen.GetPixel(0, 0), RGB(0x08, 0x84, 0xFF));  // 5 bits each, low bits repeated
  TBitmap sixteen = bitmap;
  sixteen.SetPixelFormat(pf16bit);
  sixteen.SetPixel(0, 0, RGB(0x0F, 0x87, 0xFF));
  EXPECT_EQ(sixteen.GetPixel(0, 0), RGB(0x08, 0x86, 0xFF));  // green keeps 6 bits
  EXPECT_EQ(sixteen.GetPixel(2, 0), RGB(255, 0, 0));

  TBitmap mono = bitmap;
  mono.SetPixelFormat(pf1bit);
  EXPECT_EQ(mono.GetPixel(0, 0), RGB(0, 0, 0));
  EXPECT_EQ(mono.GetPixel(1, 0), RGB(255, 255, 255));

  // An indexed bitmap whose table fits keeps its indices and table.
  TBitmap small(3, 1, pf8bit);
  small.SetColorTable({RGBQuad(RGB(1, 1, 1)), RGBQuad(RGB(2, 2, 2)), RGBQuad(RGB(3, 3, 3))});
  small.ScanLine(0)[0] = 2;
  small.ScanLine(0)[2] = 1;
  small.SetPixelFormat(pf4bit);
  EXPECT_EQ(small.ColorTable().size(), 3u);
  EXPECT_EQ(small.GetPixel(0, 0), RGB(3, 3, 3));
  EXPECT_EQ(small.GetPixel(2, 0), RGB(2, 2, 2));
  EXPECT_EQ(small.ScanLine(0)[0], 0x20);  // high nibble first
  small.SetPixelFormat(pf24bit);
  EXPECT_TRUE(small.ColorTable().empty());
  EXPECT_EQ(small.GetPixel(0, 0), RGB(3, 3, 3));
  EXPECT_THROW(small.SetColorTable({RGBQuad(0)}), EInvalidGraphic);
}

TEST(BitmapTransparency, MaskMarksThePixelsOfTheTransparentColour) {
  TBitmap bitmap(9, 2, pf24bit);
  bitmap.SetPixel(0, 1, RGB(7, 7, 7));  // bottom-left: the automatic transparent colour
  bitmap.SetPixel(8, 0, RGB(7, 7, 7));
  bitmap.SetTransparent(true);
  EXPECT_EQ(bitmap.TransparentColor(), RGB(7, 7, 7));
  auto mask = bitmap.CreateMask();
  ASSERT_EQ(mask->PixelFormat(), pf1bit);
  EXPECT_EQ(mask->ScanLine(1)[0], 0x80);
  EXPECT_EQ(mask->ScanLine(0)[0], 0x00);
  EXPECT_EQ(mask->ScanLine(0)[1], 0x80);  // ninth pixel: first bit of the second byte

  bitmap.SetTransparentColor(RGB(0, 0, 0));
  EXPECT_EQ(bitmap.TransparentMode(), tmFixed);
  mask = bitmap.CreateMask();
  EXPECT_EQ(mask->ScanLine(0)[0], 0xFF);
  EXPECT_EQ(mask->ScanLine(1)[0], 0x7F);
}

TEST(Canvas, FillsCopiesAndStretchesInsideTheBitmapOnly) {
  TBitmap target(4, 4, pf24bit);
  TCanvas& canvas = target.Canvas();
  canvas.BrushColor = RGB(10, 0, 0);
  canvas.FillRect(Rect(-5, -5, 2, 100));  // clipped, no write outside
  EXPECT_EQ(target.GetPixel(1, 3), RGB(10, 0, 0));
  EXPECT_EQ(target.GetPixel(2, 0), 0u);

  TBitmap source(2, 2, pf24bit);
  source.SetPixel(0, 0, RGB(1, 0, 0));
  source.SetPixel(1, 0, RGB(2, 0, 0));
  source.SetPixel(0, 1, RGB(3, 0, 0));
  source.SetPixel(1, 1, RGB(4, 0, 0));
  canvas.StretchDraw(Rect(0, 0, 4, 4), source);  // doubled
  const TColor expected[4][4] = {{1, 1, 2, 2}, {1, 1, 2, 2}, {3, 3, 4, 4}, {3, 3, 4, 4}};
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(target.GetPixel(x, y), expected[y][x]) << x << "," << y;

  // Copy within one bitmap, overlapping: reads the pixels as they were before the copy.
  canvas.CopyRect(Rect(1, 0, 4, 1), canvas, Rect(0, 0, 3, 1));
  EXPECT_EQ(target.GetPixel(1, 0), 1u);
  EXPECT_EQ(target.GetPixel(2, 0), 1u);
  EXPECT_EQ(target.GetPixel(3, 0), 2u);
  canvas.Draw(3, 3, source);
  EXPECT_EQ(target.GetPixel(3, 3), 1u);
  TGraphic& graphic = source;  // drawn through the graphic interface as well
  canvas.StretchDraw(Rect(0, 0, 1, 1), graphic);
  EXPECT_EQ(target.GetPixel(0, 0), 1u);
  canvas.Draw(2, 3, graphic);
  EXPECT_EQ(target.GetPixel(3, 3), 2u);
}

TEST(Canvas, LockIsRecursiveAndExcludesOtherThreads) {
  TBitmap bitmap(1, 1, pf24bit);
  TCanvas& canvas = bitmap.Canvas();
  canvas.Lock();
  canvas.Lock();
  EXPECT_EQ(canvas.LockCount(), 2);
  bool other = true;
  std::thread([&] { other = canvas.TryLock(); }).join();
  EXPECT_FALSE(other);
  canvas.Unlock();
  canvas.Unlock();
  EXPECT_EQ(canvas.LockCount(), 0);
  std::thread([&] {
    other = canvas.TryLock();
    if (other) canvas.Unlock();
  }).join();
  EXPECT_TRUE(other);
}

}  // namespace
}  // namespace vidorant

namespace vidorant {
namespace {

// Damaged headers must give a clear error or a valid bitmap, never a read outside the data
// (AddressSanitizer watches the reads).
TEST(BitmapFile, RandomlyDamagedHeadersNeverReadOutsideTheData) {
  std::mt19937 rng(5);
  int refused = 0, loaded = 0;
  for (TPixelFormat format : {pf1bit, pf8bit, pf16bit, pf24bit}) {
    TBitmap source(6, 4, format);
    FillRandom(source, 3);
    const std::vector<uint8_t> good = source.SaveToBytes();
    for (int n = 0; n < 3000; ++n) {
      std::vector<uint8_t> bytes = good;
      for (int k = 0; k < 3; ++k) bytes[rng() % 70 % bytes.size()] = static_cast<uint8_t>(rng());
      bytes.resize(bytes.size() - rng() % 8);
      TBitmap target;
      try {
        target.LoadFromBytes(bytes.data(), bytes.size());
        ++loaded;
        for (int y = 0; y < target.Height(); ++y)
          for (int x = 0; x < target.Width(); ++x) target.GetPixel(x, y);
      } catch (const EInvalidGraphic&) {
        ++refused;
      }
    }
  }
  EXPECT_GT(refused, 0);
  EXPECT_GT(loaded, 0);
}

}  // namespace
}  // namespace vidorant
