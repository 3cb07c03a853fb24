// The format converter against the real scaler: when a picture is used directly and when it is
// scaled, that the pixels arrive right in the bitmap and go back into the picture, how the RGB
// buffer is reused, the RGB side of each bit depth, and the failure texts.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "engine/runtime/FormatConverter.h"
#include "BoundLibraries.h"
#include "platform/Exception.h"

namespace vidorant {
namespace {

// A picture whose planes live in vectors, padded at the end because the scaler's vector code
// may read a little past the last pixel.
struct TTestPicture {
  std::vector<uint8_t> Planes[3];
  TAVPicture Picture{};

  void AddPlane(int index, int lineSize, int rows, uint8_t fill) {
    Planes[index].assign(static_cast<size_t>(lineSize) * rows + 64, fill);
    Picture.data[index] = Planes[index].data();
    Picture.linesize[index] = lineSize;
  }
  uint8_t* Row(int plane, int row) { return Picture.data[plane] + row * Picture.linesize[plane]; }
};

TTestPicture PackedPicture(int width, int height, int bytesPixel, int lineSize = 0) {
  TTestPicture picture;
  picture.AddPlane(0, lineSize ? lineSize : width * bytesPixel, height, 0);
  // Every byte different, so a row or column that lands in the wrong place shows.
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width * bytesPixel; ++x) picture.Row(0, y)[x] = static_cast<uint8_t>(7 * y + 3 * x + 1);
  return picture;
}

// Limited-range BT.601, the scaler's default for YUV pictures.
struct TYUV {
  uint8_t Y, U, V;
};
TYUV YUVOf(int r, int g, int b) {
  const double y = 16 + (65.481 * r + 128.553 * g + 24.966 * b) / 255;
  const double u = 128 + (-37.797 * r - 74.203 * g + 112.0 * b) / 255;
  const double v = 128 + (112.0 * r - 93.786 * g - 18.214 * b) / 255;
  return {static_cast<uint8_t>(y + 0.5), static_cast<uint8_t>(u + 0.5), static_cast<uint8_t>(v + 0.5)};
}

TTestPicture YUV420Picture(int width, int height, int r, int g, int b) {
  const TYUV yuv = YUVOf(r, g, b);
  TTestPicture picture;
  const int chromaWidth = (width + 1) / 2, chromaHeight = (height + 1) / 2;
  picture.AddPlane(0, width, height, yuv.Y);
  picture.AddPlane(1, chromaWidth, chromaHeight, yuv.U);
  picture.AddPlane(2, chromaWidth, chromaHeight, yuv.V);
  return picture;
}

// Expects every pixel of a 24-bit bitmap to be (r, g, b) within tolerance.
void ExpectBitmapColor(TBitmap& bitmap, int r, int g, int b, int tolerance) {
  for (int y = 0; y < bitmap.Height(); ++y)
    for (int x = 0; x < bitmap.Width(); ++x) {
      const uint8_t* pixel = bitmap.ScanLine(y) + 3 * x;
      ASSERT_NEAR(pixel[0], b, tolerance) << "blue at " << x << "," << y;
      ASSERT_NEAR(pixel[1], g, tolerance) << "green at " << x << "," << y;
      ASSERT_NEAR(pixel[2], r, tolerance) << "red at " << x << "," << y;
    }
}

class FormatConverterTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    TBoundLibraries::Bind();
  }
  static void TearDownTestSuite() { TBoundLibraries::Unbind(); }
  TFormatConverter Converter;
};

struct TPathCase {
  const char* Name;
  AVPixelFormat PixFmt;
  int Bits;  // the converter's bits per pixel
  int Width, Height, LineSize;
  bool Direct;
};

TEST_F(FormatConverterTest, DirectPathOnlyForMatchingEvenAlignedPictures) {
  const TPathCase cases[] = {
      {"matching 24-bit", AV_PIX_FMT_BGR24, 24, 4, 2, 12, true},
      {"matching 24-bit, padded rows", AV_PIX_FMT_BGR24, 24, 6, 2, 20, true},
      {"matching 32-bit", AV_PIX_FMT_BGRA, 32, 6, 4, 24, true},
      {"odd width", AV_PIX_FMT_BGR24, 24, 5, 2, 16, false},
      {"odd height", AV_PIX_FMT_BGR24, 24, 4, 3, 12, false},
      {"rows not padded to 32 bits", AV_PIX_FMT_BGR24, 24, 6, 2, 18, false},
      {"rows padded beyond 32 bits", AV_PIX_FMT_BGR24, 24, 4, 2, 32, false},
      {"other packed format", AV_PIX_FMT_RGB24, 24, 4, 2, 12, false},
  };
  for (const TPathCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TFormatConverter converter;
    converter.SetBitsPixel(c.Bits);
    TTestPicture source = PackedPicture(c.Width, c.Height, c.Bits / 8, c.LineSize);
    ASSERT_TRUE(converter.ToRGB(&source.Picture, c.PixFmt, c.Width, c.Height, true)) << converter.LastErrMsg();
    EXPECT_EQ(converter.CurrentPicture() == &source.Picture, c.Direct);
    EXPECT_EQ(converter.CurrentPicture() == converter.RGBPicture(), !c.Direct);
    EXPECT_EQ(converter.ToRGBContext() == nullptr, c.Direct);
    EXPECT_EQ(converter.RGBBufferSize() == 0, c.Direct);
    EXPECT_EQ(converter.BitmapDesc().Bits, converter.CurrentPicture()->data[0]);
    EXPECT_EQ(converter.BitmapDesc().WidthBytes, converter.CurrentPicture()->linesize[0]);
    EXPECT_EQ(converter.BitmapDesc().BitsPixel, c.Bits);
    EXPECT_EQ(converter.Bitmap().Width(), c.Width);
    EXPECT_EQ(converter.Bitmap().Height(), c.Height);

    // Same size, and RGB24 only swaps red and blue: the scaler copies exactly.
    const int bytesPixel = c.Bits / 8;
    for (int y = 0; y < c.Height; ++y)
      for (int x = 0; x < c.Width; ++x)
        for (int k = 0; k < bytesPixel; ++k) {
          const int from = c.PixFmt == AV_PIX_FMT_RGB24 ? 2 - k : k;
          ASSERT_EQ(converter.Bitmap().ScanLine(y)[x * bytesPixel + k], source.Row(0, y)[x * bytesPixel + from])
              << "pixel " << x << "," << y << " byte " << k;
        }
  }
}

TEST_F(FormatConverterTest, YUVPictureOfKnownColorArrivesAsThatColor) {
  struct TColorCase {
    int R, G, B;
  };
  const TColorCase colors[] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {128, 128, 128}, {200, 120, 40}};
  // Even and odd sizes: odd ones always pass the scaler, even ones do too for YUV.
  const int sizes[][2] = {{16, 8}, {7, 5}};
  for (const auto& size : sizes)
    for (const TColorCase& color : colors) {
      SCOPED_TRACE(testing::Message() << size[0] << "x" << size[1] << " colour " << color.R << "," << color.G << ","
                                      << color.B);
      TTestPicture source = YUV420Picture(size[0], size[1], color.R, color.G, color.B);
      ASSERT_TRUE(Converter.ToRGB(&source.Picture, AV_PIX_FMT_YUV420P, size[0], size[1], true))
          << Converter.LastErrMsg();
      EXPECT_EQ(Converter.CurrentPicture(), Converter.RGBPicture());
      ExpectBitmapColor(Converter.Bitmap(), color.R, color.G, color.B, 4);
    }
}

TEST_F(FormatConverterTest, BufferKeptWhenFramesShrinkAndGrownWhenTheyGrow) {
  TTestPicture large = YUV420Picture(64, 48, 10, 20, 30);
  ASSERT_TRUE(Converter.ToRGB(&large.Picture, AV_PIX_FMT_YUV420P, 64, 48, false));
  const int largeSize = Converter.RGBBufferSize();
  EXPECT_GE(largeSize, 64 * 48 * 3);
  uint8_t* const buffer = Converter.RGBPicture()->data[0];
  const int largeLineSize = Converter.RGBPicture()->linesize[0];

  TTestPicture small = YUV420Picture(32, 24, 200, 100, 50);
  ASSERT_TRUE(Converter.ToRGB(&small.Picture, AV_PIX_FMT_YUV420P, 32, 24, true));
  EXPECT_EQ(Converter.RGBBufferSize(), largeSize);
  EXPECT_EQ(Converter.RGBPicture()->data[0], buffer);
  EXPECT_GE(Converter.RGBPicture()->linesize[0], 32 * 3);
  EXPECT_LT(Converter.RGBPicture()->linesize[0], largeLineSize) << "rows laid out for the smaller frame";
  ExpectBitmapColor(Converter.Bitmap(), 200, 100, 50, 4);

  TTestPicture larger = YUV420Picture(128, 96, 50, 100, 200);
  ASSERT_TRUE(Converter.ToRGB(&larger.Picture, AV_PIX_FMT_YUV420P, 128, 96, true));
  EXPECT_GE(Converter.RGBBufferSize(), 128 * 96 * 3);
  ExpectBitmapColor(Converter.Bitmap(), 50, 100, 200, 4);
}

// How far past the start of a picture of the given line size the scaler writes when it converts
// the source: it scales into a generous buffer twice, filled with two different bytes, and takes
// the end of the last byte that either run changed (a byte written with the fill value shows in
// the other run). The buffer comes from the library's allocator, aligned as the converter's is,
// so the scaler takes the same code path.
int ScalerWriteExtent(TTestPicture& source, AVPixelFormat sourceFormat, int width, int height,
                      AVPixelFormat rgbFormat, const int rgbLineSize[4]) {
  const int span = rgbLineSize[0] * height + 4096;
  TSwsContextPtr scaler(ff::sws_getContext(width, height, sourceFormat, width, height, rgbFormat, SWS_BICUBIC,
                                           nullptr, nullptr, nullptr));
  TAVMemoryPtr<uint8_t> buffer(static_cast<uint8_t*>(ff::av_malloc(span)));
  if (!scaler || !buffer) return -1;
  int extent = 0;
  for (const uint8_t fill : {uint8_t{0x00}, uint8_t{0xFF}}) {
    std::memset(buffer.get(), fill, span);
    uint8_t* planes[4] = {buffer.get(), nullptr, nullptr, nullptr};
    ff::sws_scale(scaler.get(), source.Picture.data, source.Picture.linesize, 0, height, planes, rgbLineSize);
    for (int i = span - 1; i >= extent; --i)
      if (buffer.get()[i] != fill) {
        extent = i + 1;
        break;
      }
  }
  return extent;
}

// The scaler's vector code stores whole blocks of pixels, past the end of a row and of the last
// row; a buffer sized for the pixels alone is overrun (a 4x2 picture overruns a 24-byte buffer by
// 36 bytes), which no sanitizer sees because the stores are made in the library's assembly.
TEST_F(FormatConverterTest, ScalerWritesStayInsideTheRGBBuffer) {
  struct TOverrunCase {
    AVPixelFormat Source;
    int Bits;
    int Width, Height;
  };
  const TOverrunCase cases[] = {
      {AV_PIX_FMT_YUV420P, 24, 4, 2},  {AV_PIX_FMT_YUV420P, 24, 7, 5},  {AV_PIX_FMT_YUV420P, 24, 2, 2},
      {AV_PIX_FMT_YUV420P, 32, 4, 2},  {AV_PIX_FMT_YUV420P, 32, 33, 9}, {AV_PIX_FMT_YUV420P, 16, 6, 4},
      {AV_PIX_FMT_YUV420P, 15, 10, 2}, {AV_PIX_FMT_YUV420P, 8, 4, 2},   {AV_PIX_FMT_YUV420P, 24, 100, 3},
      {AV_PIX_FMT_BGR24, 24, 5, 3},    {AV_PIX_FMT_RGB24, 24, 18, 2},   {AV_PIX_FMT_BGRA, 24, 1, 1},
  };
  for (const TOverrunCase& c : cases) {
    SCOPED_TRACE(testing::Message() << ff::av_get_pix_fmt_name(c.Source) << " " << c.Width << "x" << c.Height
                                    << " to " << c.Bits << " bits");
    TFormatConverter converter;
    converter.SetBitsPixel(c.Bits);
    const int packedBytes = c.Source == AV_PIX_FMT_BGRA ? 4 : 3;
    TTestPicture source = c.Source == AV_PIX_FMT_YUV420P ? YUV420Picture(c.Width, c.Height, 90, 160, 30)
                                                         : PackedPicture(c.Width, c.Height, packedBytes);
    ASSERT_TRUE(converter.ToRGB(&source.Picture, c.Source, c.Width, c.Height, false)) << converter.LastErrMsg();
    ASSERT_EQ(converter.CurrentPicture(), converter.RGBPicture());
    const int extent = ScalerWriteExtent(source, c.Source, c.Width, c.Height, converter.RGBPixelFormat(),
                                         converter.RGBPicture()->linesize);
    ASSERT_GT(extent, 0);
    EXPECT_LE(extent, converter.RGBBufferSize()) << "the scaler writes past the converter's buffer";
  }
}

TEST_F(FormatConverterTest, BitsPixelSelectsTheRGBSide) {
  struct TBitsCase {
    int Request;
    int Bits;
    AVPixelFormat PixFmt;
    TPixelFormat BitmapFormat;
  };
  const TBitsCase cases[] = {
      {8, 8, AV_PIX_FMT_BGR8, pf8bit},         {15, 16, AV_PIX_FMT_RGB555LE, pf15bit},
      {16, 16, AV_PIX_FMT_RGB565LE, pf16bit},  {24, 24, AV_PIX_FMT_BGR24, pf24bit},
      {32, 32, AV_PIX_FMT_BGRA, pf32bit},      {15, 16, AV_PIX_FMT_RGB555LE, pf15bit},
      {16, 16, AV_PIX_FMT_RGB565LE, pf16bit},  // 16 after 15 must switch the layout back
  };
  EXPECT_EQ(Converter.BitsPixel(), 24);
  EXPECT_EQ(Converter.RGBPixelFormat(), AV_PIX_FMT_BGR24);
  for (const TBitsCase& c : cases) {
    SCOPED_TRACE(c.Request);
    Converter.SetBitsPixel(c.Request);
    EXPECT_EQ(Converter.BitsPixel(), c.Bits);
    EXPECT_EQ(Converter.RGBPixelFormat(), c.PixFmt);
    EXPECT_EQ(Converter.Bitmap().PixelFormat(), c.BitmapFormat);
  }
  for (int invalid : {0, 1, 4, 12, 48}) {
    try {
      Converter.SetBitsPixel(invalid);
      ADD_FAILURE() << "no error for " << invalid;
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message, "Invalid BitsPixel " + std::to_string(invalid));
    }
  }
}

// Fills a packed 24-bit picture with one colour.
void FillBGR24(TTestPicture& picture, int width, int height, uint8_t r, uint8_t g, uint8_t b) {
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint8_t* pixel = picture.Row(0, y) + 3 * x;
      pixel[0] = b, pixel[1] = g, pixel[2] = r;
    }
}

TEST_F(FormatConverterTest, SixteenBitBitmapsShowTrueColorsBothWays) {
  struct TPixelCase {
    int Bits;
    uint8_t R, G, B;
    uint16_t Word;  // the bitmap's word: red in the high bits
  };
  const TPixelCase cases[] = {
      {15, 255, 0, 0, 0x7C00}, {15, 0, 255, 0, 0x03E0}, {15, 0, 0, 255, 0x001F}, {15, 255, 255, 255, 0x7FFF},
      {15, 0, 0, 0, 0},        {16, 255, 0, 0, 0xF800}, {16, 0, 255, 0, 0x07E0}, {16, 0, 0, 255, 0x001F},
  };
  for (const TPixelCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Bits << " bits, colour " << +c.R << "," << +c.G << "," << +c.B);
    Converter.SetBitsPixel(c.Bits);
    TTestPicture frame = PackedPicture(4, 2, 3);
    FillBGR24(frame, 4, 2, c.R, c.G, c.B);
    ASSERT_TRUE(Converter.ToRGB(&frame.Picture, AV_PIX_FMT_BGR24, 4, 2, true)) << Converter.LastErrMsg();
    EXPECT_EQ(Converter.BitsPixel(), 16);
    EXPECT_EQ(Converter.BitmapDesc().BitsPixel, 16);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 4; ++x) {
        const uint8_t* word = Converter.Bitmap().ScanLine(y) + 2 * x;
        ASSERT_EQ(word[0] | word[1] << 8, c.Word) << "pixel " << x << "," << y;
      }
    EXPECT_EQ(Converter.Bitmap().GetPixel(1, 1), RGB(c.R, c.G, c.B));

    // A colour drawn on the bitmap arrives as that colour in the frame.
    const TColor drawn = RGB(c.B, c.R, c.G);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 4; ++x) Converter.Bitmap().SetPixel(x, y, drawn);
    Converter.CopyFromBitmap();
    ASSERT_TRUE(Converter.FromRGB(&frame.Picture, AV_PIX_FMT_BGR24, 4, 2)) << Converter.LastErrMsg();
    for (int x = 0; x < 4; ++x) {
      const uint8_t* pixel = frame.Row(0, 1) + 3 * x;
      EXPECT_NEAR(pixel[2], GetRValue(drawn), 8) << "red of pixel " << x;
      EXPECT_NEAR(pixel[1], GetGValue(drawn), 8) << "green of pixel " << x;
      EXPECT_NEAR(pixel[0], GetBValue(drawn), 8) << "blue of pixel " << x;
    }
  }
}

TEST_F(FormatConverterTest, EightBitsColorTableShowsTheBytesOwnColors) {
  Converter.SetBitsPixel(8);
  const int colors[][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}, {0, 0, 0}};
  for (const auto& c : colors) {
    SCOPED_TRACE(testing::Message() << c[0] << "," << c[1] << "," << c[2]);
    TTestPicture source = PackedPicture(4, 4, 3);
    FillBGR24(source, 4, 4, c[0], c[1], c[2]);
    ASSERT_TRUE(Converter.ToRGB(&source.Picture, AV_PIX_FMT_BGR24, 4, 4, true)) << Converter.LastErrMsg();
    EXPECT_EQ(Converter.Bitmap().GetPixel(1, 1), RGB(c[0], c[1], c[2]));
  }
}

TEST_F(FormatConverterTest, BitmapChangeWrittenBackIntoScaledPicture) {
  TTestPicture frame = YUV420Picture(8, 6, 128, 128, 128);
  ASSERT_TRUE(Converter.ToRGB(&frame.Picture, AV_PIX_FMT_YUV420P, 8, 6, true));
  // The hook paints the whole bitmap blue.
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x) {
      uint8_t* pixel = Converter.Bitmap().ScanLine(y) + 3 * x;
      pixel[0] = 255, pixel[1] = 0, pixel[2] = 0;
    }
  Converter.CopyFromBitmap();
  ASSERT_EQ(Converter.CurrentPicture(), Converter.RGBPicture());
  ASSERT_TRUE(Converter.FromRGB(&frame.Picture, AV_PIX_FMT_YUV420P, 8, 6)) << Converter.LastErrMsg();
  const TYUV blue = YUVOf(0, 0, 255);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x) ASSERT_NEAR(frame.Row(0, y)[x], blue.Y, 3) << x << "," << y;
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) {
      ASSERT_NEAR(frame.Row(1, y)[x], blue.U, 3) << x << "," << y;
      ASSERT_NEAR(frame.Row(2, y)[x], blue.V, 3) << x << "," << y;
    }
}

TEST_F(FormatConverterTest, BitmapChangeWrittenBackIntoDirectPicture) {
  TTestPicture frame = PackedPicture(4, 2, 3);
  ASSERT_TRUE(Converter.ToRGB(&frame.Picture, AV_PIX_FMT_BGR24, 4, 2, true));
  ASSERT_EQ(Converter.CurrentPicture(), &frame.Picture);
  Converter.Bitmap().ScanLine(1)[5] = 0xAB;
  Converter.CopyFromBitmap();
  EXPECT_EQ(frame.Row(0, 1)[5], 0xAB);
  // Writing back a picture onto itself leaves it as it is.
  const std::vector<uint8_t> before = frame.Planes[0];
  ASSERT_TRUE(Converter.FromRGB(&frame.Picture, AV_PIX_FMT_BGR24, 4, 2));
  EXPECT_EQ(frame.Planes[0], before);
}

TEST_F(FormatConverterTest, FailuresGiveTheirTextsAndLeaveNoCurrentPicture) {
  TTestPicture good = PackedPicture(4, 2, 3);
  ASSERT_TRUE(Converter.ToRGB(&good.Picture, AV_PIX_FMT_BGR24, 4, 2, false));

  for (const auto& [pixFmt, width, height] :
       {std::tuple{AV_PIX_FMT_NONE, 4, 2}, std::tuple{AV_PIX_FMT_BGR24, 0, 2}, std::tuple{AV_PIX_FMT_YUV420P, 4, -2},
        std::tuple{AV_PIX_FMT_BGR24, 1 << 30, 2}}) {
    SCOPED_TRACE(testing::Message() << pixFmt << " " << width << "x" << height);
    EXPECT_FALSE(Converter.ToRGB(&good.Picture, pixFmt, width, height, true));
    EXPECT_EQ(Converter.LastErrMsg(), "Cannot initialize the toRGB conversion context");
    EXPECT_EQ(Converter.CurrentPicture(), nullptr);
    try {
      Converter.CopyToBitmap();
      ADD_FAILURE() << "copy without a current picture";
    } catch (const EAssertionFailed& e) {
      EXPECT_NE(e.Message.find("(FFUtils)"), std::string::npos) << e.Message;
    }
    EXPECT_THROW(Converter.CopyFromBitmap(), EAssertionFailed);
    EXPECT_THROW(Converter.FromRGB(&good.Picture, AV_PIX_FMT_BGR24, 4, 2), EAssertionFailed);
  }

  TTestPicture yuv = YUV420Picture(4, 2, 1, 2, 3);
  ASSERT_TRUE(Converter.ToRGB(&yuv.Picture, AV_PIX_FMT_YUV420P, 4, 2, false));
  // An unknown format, and a size other than the converted picture's, which would be read past.
  for (const auto& [pixFmt, width, height] : {std::tuple{AV_PIX_FMT_NONE, 4, 2}, std::tuple{AV_PIX_FMT_YUV420P, 8, 2},
                                              std::tuple{AV_PIX_FMT_YUV420P, 4, 6}}) {
    SCOPED_TRACE(testing::Message() << pixFmt << " " << width << "x" << height);
    EXPECT_FALSE(Converter.FromRGB(&yuv.Picture, pixFmt, width, height));
    EXPECT_EQ(Converter.LastErrMsg(), "Cannot initialize the fromRGB conversion context");
  }
  // A later good call recovers.
  EXPECT_TRUE(Converter.FromRGB(&yuv.Picture, AV_PIX_FMT_YUV420P, 4, 2)) << Converter.LastErrMsg();
}

}  // namespace
}  // namespace vidorant
