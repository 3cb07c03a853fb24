// Adding pictures as frames: which path each bitmap format takes, the colour tables that come
// out, transparency, failures that leave no frame, and whole files checked byte for byte and
// through FFmpeg's GIF decoder.
#include <gtest/gtest.h>

#include <cmath>

#include "GIFReadTestSupport.h"
#include "GIFTestDecoder.h"
#include "GIFTestFrames.h"
#include "gif/ColorReduction.h"
#include "platform/Canvas.h"
#include "platform/Palette.h"
#include "tests/fixtures/FFmpegGIFDecoder.h"

namespace vidorant {
namespace {

using namespace vidorant::testing;

// A 24-bit picture of a scene: a gradient sky, a sun that moves with t and a striped floor.
TBitmap Scene(int width, int height, int t) {
  TBitmap bitmap(width, height, pf24bit);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = bitmap.ScanLine(y);
    for (int x = 0; x < width; ++x) {
      int sunX = 40 + 8 * t, sunY = 60;
      bool sun = (x - sunX) * (x - sunX) + (y - sunY) * (y - sunY) < 30 * 30;
      uint8_t r, g, b;
      if (sun) {
        r = 250, g = 210, b = 40;
      } else if (y < height * 2 / 3) {
        // A sky of thousands of shades, more than a 256-colour table holds.
        r = static_cast<uint8_t>(x * 255 / width), g = static_cast<uint8_t>(y * 255 / height),
        b = static_cast<uint8_t>(128 + (x + y + 5 * t) % 128);
      } else {
        bool stripe = ((x + 4 * t) / 16) % 2 == 0;
        r = stripe ? 40 : 90, g = stripe ? 140 : 170, b = 50;
      }
      row[3 * x] = b, row[3 * x + 1] = g, row[3 * x + 2] = r;
    }
  }
  return bitmap;
}

TBitmap Indexed(TPixelFormat format, int width, int height, const std::vector<TColor>& table, const std::vector<int>& pixels) {
  TBitmap bitmap(width, height, format);
  std::vector<TRGBQuad> quads;
  for (TColor c : table) quads.push_back(RGBQuad(c));
  bitmap.SetColorTable(quads);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) bitmap.SetPixel(x, y, table[static_cast<size_t>(pixels[static_cast<size_t>(y * width + x)])]);
  return bitmap;
}

const TGIFSubImage& AddWithMethod(TGIFImage& image, const TBitmap& bitmap, TColorReduction method) {
  image.ReductionMethod = method;
  return *image.Images()[image.Add(bitmap)];
}

std::vector<uint8_t> Pixels(const TGIFSubImage& frame) { return std::vector<uint8_t>(frame.Data(), frame.Data() + frame.DataSize()); }

TEST(GIFAddFrame, OctreeSystemGivesAFullTableFramedBySystemColoursAndNoExtension) {
  TGIFImage image;
  image.ReductionMethod = ReduceOctreeSystem;
  TBitmap picture = Scene(64, 48, 0);
  EXPECT_EQ(image.Add(picture), 0);
  const TGIFSubImage& frame = *image.Images()[0];
  ASSERT_EQ(frame.ColorMap().Count(), 256);
  TPalette system = TPalette::Default();
  for (int i = 0; i < 20; ++i) {
    const TPaletteEntry& e = system.Entry(i);
    EXPECT_EQ(frame.ColorMap().Colors(i < 10 ? i : 236 + i), RGB(e.Red, e.Green, e.Blue)) << i;
  }
  EXPECT_EQ(frame.Extensions().Count(), 0);
  EXPECT_FALSE(frame.ColorMap().Optimized());
  EXPECT_EQ(frame.BoundsRect(), Rect(0, 0, 64, 48));
  EXPECT_EQ(image.GetWidth(), 64);
  // The sun's colour is one of the octree's own, so it comes back exactly.
  EXPECT_EQ(frame.ColorMap().Colors(frame.Data()[35 * 64 + 40]), RGB(250, 210, 40));
  // The source stays as it was.
  EXPECT_EQ(picture.PixelFormat(), pf24bit);
}

TEST(GIFAddFrame, IndexedBitmapsKeepTheirOwnTableWithoutReduction) {
  const std::vector<TColor> table{RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(9, 9, 9), RGB(1, 2, 3)};
  // 9 x 2 so that the 1- and 4-bit rows end inside a byte.
  std::vector<int> pixels{0, 1, 2, 3, 4, 3, 2, 1, 0, 4, 4, 0, 1, 1, 2, 2, 3, 3};
  struct TCase {
    TPixelFormat Format;
    int Colors;
  };
  for (TCase c : {TCase{pf8bit, 5}, TCase{pf4bit, 5}, TCase{pf1bit, 2}}) {
    SCOPED_TRACE(int(c.Format));
    std::vector<TColor> used(table.begin(), table.begin() + c.Colors);
    std::vector<int> values;
    for (int p : pixels) values.push_back(p % c.Colors);
    TGIFImage image;
    image.ReductionMethod = static_cast<TColorReduction>(200);  // a reduction would fail with this method
    image.Add(Indexed(c.Format, 9, 2, used, values));
    const TGIFSubImage& frame = *image.Images()[0];
    ASSERT_EQ(frame.ColorMap().Count(), c.Colors);
    for (int i = 0; i < c.Colors; ++i) EXPECT_EQ(frame.ColorMap().Colors(i), used[static_cast<size_t>(i)]);
    EXPECT_EQ(Pixels(frame), std::vector<uint8_t>(values.begin(), values.end()));
  }
}

TEST(GIFAddFrame, FailedImportsLeaveNoFrameAndTheScreenAsItWas) {
  TBitmap many(20, 15, pf24bit);  // 300 distinct colours
  for (int i = 0; i < 300; ++i) many.SetPixel(i % 20, i / 20, RGB(static_cast<uint8_t>(i), static_cast<uint8_t>(i >> 8), 7));
  struct TCase {
    TColorReduction Method;
    TDitherMode Dither;
    const char* Message;
  };
  for (TCase c : {TCase{ReduceNone, DitherNearest, "Color table overflow"},
                  TCase{static_cast<TColorReduction>(10), DitherNearest, "Invalid reduction method"},
                  TCase{ReduceCustom, DitherNearest, "Invalid reduction method"},
                  TCase{ReduceWebCube, static_cast<TDitherMode>(7), "Invalid dither method"}}) {
    SCOPED_TRACE(c.Message);
    TGIFImage image;
    AddFrame(image, 4, 4, {0, 0xFFFFFF});
    image.ReductionMethod = c.Method;
    image.DitherMethod = c.Dither;
    std::vector<int> ends;
    image.OnProgress = [&ends](TObject*, TProgressStage stage, int percent, const std::string&) {
      if (stage == psEnding) ends.push_back(percent);
    };
    try {
      image.Add(many);
      ADD_FAILURE() << "no error";
    } catch (const GIFException& e) {
      EXPECT_EQ(e.Message, c.Message);
    }
    EXPECT_EQ(image.Images().Count(), 1);
    EXPECT_EQ(image.GetWidth(), 4);
    EXPECT_EQ(image.GetHeight(), 4);
    if (c.Method == ReduceNone) {
      EXPECT_EQ(ends, std::vector<int>{0});
    }
  }
  TGIFImage image;
  TObject neither;
  EXPECT_THROW(
      try { image.Add(&neither); } catch (const GIFException& e) {
        EXPECT_EQ(e.Message, "Object type not supported for operation");
        throw;
      },
      GIFException);
}

TEST(GIFAddFrame, TrueColourWithoutReductionBuildsTheTableFromThePixels) {
  TBitmap bitmap(5, 2, pf24bit);
  const TColor colors[] = {RGB(1, 2, 3), RGB(1, 2, 3), RGB(200, 0, 0), RGB(1, 2, 3), RGB(0, 0, 250),
                           RGB(200, 0, 0), RGB(7, 7, 7), RGB(7, 7, 7), RGB(0, 0, 250), RGB(1, 2, 3)};
  for (int i = 0; i < 10; ++i) bitmap.SetPixel(i % 5, i / 5, colors[i]);
  TGIFImage image;
  const TGIFSubImage& frame = AddWithMethod(image, bitmap, ReduceNone);
  ASSERT_EQ(frame.ColorMap().Count(), 4);
  EXPECT_EQ(frame.ColorMap().Colors(0), RGB(1, 2, 3));
  EXPECT_EQ(frame.ColorMap().Colors(1), RGB(200, 0, 0));
  EXPECT_EQ(frame.ColorMap().Colors(2), RGB(0, 0, 250));
  EXPECT_EQ(frame.ColorMap().Colors(3), RGB(7, 7, 7));
  EXPECT_EQ(Pixels(frame), (std::vector<uint8_t>{0, 0, 1, 0, 2, 1, 3, 3, 2, 0}));

  // Many colours in turn, more than the ring holds, each still found again.
  TBitmap ringBuster(40, 1, pf24bit);
  for (int x = 0; x < 40; ++x) ringBuster.SetPixel(x, 0, RGB(static_cast<uint8_t>(x % 13), 0, 0));
  TGIFImage second;
  second.ReductionMethod = ReduceNone;
  second.Add(ringBuster);
  EXPECT_EQ(second.Images()[0]->ColorMap().Count(), 13);
  for (int x = 0; x < 40; ++x) EXPECT_EQ(second.Images()[0]->Data()[x], x % 13);
}

TEST(GIFAddFrame, SameBitmapTwiceGivesIndependentFramesAndEmptyBitmapAnEmptyFrame) {
  TGIFImage image;
  TBitmap picture = Scene(16, 8, 1);
  image.Add(picture);
  image.Add(picture);
  ASSERT_EQ(image.Images().Count(), 2);
  EXPECT_EQ(Pixels(*image.Images()[0]), Pixels(*image.Images()[1]));
  image.Images()[0]->Data()[0] ^= 1;
  EXPECT_NE(Pixels(*image.Images()[0]), Pixels(*image.Images()[1]));

  TBitmap empty;
  image.Add(empty);
  ASSERT_EQ(image.Images().Count(), 3);
  EXPECT_TRUE(image.Images()[2]->Empty());
  EXPECT_EQ(image.Images()[2]->DataSize(), 0);
  // The writer skips it: the file is that of the first two frames.
  TGIFImage two;
  two.Add(picture);
  two.Add(picture);
  two.Images()[0]->Data()[0] ^= 1;
  EXPECT_EQ(Save(image), Save(two));
}

TEST(GIFAddFrame, TransparentBitmapGetsAColourAndControlExtensionUnlessItsTableIsFull) {
  TBitmap bitmap(4, 2, pf24bit);
  const TColor magenta = RGB(255, 0, 255);
  const TColor colors[] = {magenta, RGB(0, 0, 0), RGB(10, 20, 30), magenta, RGB(10, 20, 30), RGB(10, 20, 30), magenta, RGB(0, 0, 0)};
  for (int i = 0; i < 8; ++i) bitmap.SetPixel(i % 4, i / 4, colors[i]);
  bitmap.SetTransparent(true);
  bitmap.SetTransparentColor(magenta);

  TGIFImage image;
  const TGIFSubImage& frame = AddWithMethod(image, bitmap, ReduceNone);
  // Sorted by use: (10,20,30) x3, magenta x3, black x2 -> the table, then black for the holes.
  ASSERT_EQ(frame.ColorMap().Count(), 4);
  EXPECT_EQ(frame.ColorMap().Colors(3), RGB(0, 0, 0));
  ASSERT_NE(frame.GraphicControlExtension(), nullptr);
  EXPECT_TRUE(frame.Transparent());
  EXPECT_EQ(frame.GraphicControlExtension()->TransparentColorIndex(), 3);
  for (int i = 0; i < 8; ++i) {
    int index = frame.Data()[i];
    if (colors[i] == magenta)
      EXPECT_EQ(index, 3) << i;
    else
      EXPECT_EQ(frame.ColorMap().Colors(index), colors[i]) << i;  // the picture's black stays opaque
  }
  std::vector<uint8_t> bytes = Save(image);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 6), "GIF89a");

  // Reduced to 256 colours, the sort cuts the unused entries and black finds room again.
  TGIFImage reduced;
  reduced.ReductionMethod = ReduceOctreeSystem;
  reduced.Add(bitmap);
  EXPECT_EQ(reduced.Images()[0]->ColorMap().Count(), 4);
  EXPECT_TRUE(reduced.Images()[0]->Transparent());

  // A table whose 256 entries are all in use has no room for a transparent colour.
  std::vector<TColor> table;
  std::vector<int> every;
  for (int i = 0; i < 256; ++i) table.push_back(RGB(static_cast<uint8_t>(i), 5, static_cast<uint8_t>(255 - i))), every.push_back(i);
  TBitmap full = Indexed(pf8bit, 16, 16, table, every);
  full.SetTransparent(true);
  full.SetTransparentColor(table[7]);
  TGIFImage crowded;
  crowded.Add(full);
  EXPECT_EQ(crowded.Images()[0]->Extensions().Count(), 0);
  EXPECT_FALSE(crowded.Images()[0]->Transparent());
  EXPECT_EQ(crowded.Images()[0]->ColorMap().Count(), 256);
  std::vector<uint8_t> crowdedBytes = Save(crowded);
  EXPECT_EQ(std::string(crowdedBytes.begin(), crowdedBytes.begin() + 6), "GIF89a");  // the sort flag needs 89a
}

TEST(GIFAddFrame, ProgressIsReportedBeforeEveryThirtySecondRow) {
  for (TPixelFormat format : {pf24bit, pf8bit}) {
    TGIFImage image;
    std::vector<std::pair<TProgressStage, int>> reports;
    image.OnProgress = [&reports](TObject*, TProgressStage stage, int percent, const std::string& text) {
      EXPECT_EQ(text, "Converting...");
      reports.emplace_back(stage, percent);
    };
    TBitmap picture = Scene(8, 70, 0);
    if (format == pf8bit) picture = Indexed(pf8bit, 8, 70, {0, 0xFFFFFF}, std::vector<int>(560, 1));
    image.Add(picture);
    const std::vector<std::pair<TProgressStage, int>> expected{
        {psStarting, 0}, {psRunning, 0}, {psRunning, 45}, {psRunning, 91}, {psEnding, 100}};
    EXPECT_EQ(reports, expected) << int(format);
  }
}

TEST(GIFAddFrame, FrameAssignedFromAFrameCopiesEverythingIndependently) {
  TGIFImage source;
  TGIFSubImage* original = AddFrame(source, 3, 2, {RGB(1, 1, 1), RGB(2, 2, 2), RGB(3, 3, 3)}, {0, 1, 2, 2, 1, 0});
  original->SetBounds(5, 6, 3, 2);
  original->SetInterlaced(true);
  original->ColorMap().SetOptimized(true);
  auto control = std::make_unique<TGIFGraphicControlExtension>(original);
  control->SetDelay(33);
  control->SetTransparentColorIndex(2);
  control->SetTransparent(true);
  original->Extensions().Add(std::move(control));
  auto comment = std::make_unique<TGIFCommentExtension>(original);
  comment->Lines = {"hello"};
  original->Extensions().Add(std::move(comment));

  TGIFImage copy;
  copy.Add(original);
  ASSERT_EQ(copy.Images().Count(), 1);
  TGIFSubImage& made = *copy.Images()[0];
  EXPECT_EQ(made.BoundsRect(), Rect(5, 6, 8, 8));
  EXPECT_EQ(copy.GetWidth(), 8);
  EXPECT_TRUE(made.Interlaced());
  EXPECT_TRUE(made.Transparent());
  ASSERT_NE(made.GraphicControlExtension(), nullptr);
  EXPECT_NE(made.GraphicControlExtension(), original->GraphicControlExtension());
  for (int i = 0; i < 2; ++i) ExpectSameExtension(*original->Extensions()[i], *made.Extensions()[i], "extension");
  EXPECT_EQ(PaddedTable(made.ColorMap()), PaddedTable(original->ColorMap()));
  EXPECT_TRUE(made.ColorMap().Optimized());
  EXPECT_EQ(Pixels(made), Pixels(*original));
  made.Data()[0] = 2;
  EXPECT_EQ(original->Data()[0], 0);
}

// A graphic that is not a bitmap: two coloured halves.
class TTwoHalves : public TGraphic {
public:
  int GetWidth() const override { return 6; }
  int GetHeight() const override { return 2; }
  bool GetEmpty() const override { return false; }
  void LoadFromStream(TStream&) override {}
  void SaveToStream(TStream&) override {}
  void Draw(TCanvas& canvas, const TRect& rect) override {
    canvas.BrushColor = RGB(200, 10, 10);
    canvas.FillRect(Rect(rect.Left, rect.Top, rect.Left + 3, rect.Bottom));
    canvas.BrushColor = RGB(10, 10, 200);
    canvas.FillRect(Rect(rect.Left + 3, rect.Top, rect.Right, rect.Bottom));
  }
};

TEST(GIFAddFrame, OtherGraphicsAreDrawnIntoATrueColourBitmapFirst) {
  TGIFImage image;
  image.ReductionMethod = ReduceNone;
  TTwoHalves halves;
  image.Add(&halves);
  const TGIFSubImage& frame = *image.Images()[0];
  ASSERT_EQ(frame.ColorMap().Count(), 2);
  EXPECT_EQ(frame.ColorMap().Colors(0), RGB(200, 10, 10));
  EXPECT_EQ(frame.ColorMap().Colors(1), RGB(10, 10, 200));
  EXPECT_EQ(Pixels(frame), (std::vector<uint8_t>{0, 0, 0, 1, 1, 1, 0, 0, 0, 1, 1, 1}));

  // A graphic that cannot draw itself fails the add and leaves no frame.
  struct TUnpaintable : TTwoHalves {
    void Draw(TCanvas&, const TRect&) override { throw GIFException("cannot draw"); }
  } unpaintable;
  EXPECT_THROW(image.Add(&unpaintable), GIFException);
  EXPECT_EQ(image.Images().Count(), 1);
  EXPECT_EQ(image.GetWidth(), 6);
}

TEST(GIFAddFrame, ConverterDocumentOfReducedFramesIsWrittenByteForByte) {
  const int width = 80, height = 60, count = 3;
  TGIFImage image;
  image.ReductionMethod = ReduceOctreeSystem;
  for (int t = 0; t < count; ++t) image.Add(Scene(width, height, t));
  std::vector<uint8_t> bytes = Save(image);
  const std::vector<uint8_t> header{'G', 'I', 'F', '8', '7', 'a', width, 0, height, 0, 0x77, 0, 0};
  ASSERT_GT(bytes.size(), header.size());
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 13), header);
  size_t offset = 13;
  for (int t = 0; t < count; ++t) {
    SCOPED_TRACE(t);
    const TGIFSubImage& frame = *image.Images()[t];
    std::vector<uint8_t> expected{0x2C, 0, 0, 0, 0, width, 0, height, 0, 0x87};
    for (int i = 0; i < 256; ++i) {
      TColor c = frame.ColorMap().Colors(i);
      expected.insert(expected.end(), {GetRValue(c), GetGValue(c), GetBValue(c)});
    }
    expected.push_back(8);
    ASSERT_LE(offset + expected.size(), bytes.size());
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + static_cast<long>(offset), bytes.begin() + static_cast<long>(offset + expected.size())),
              expected);
    TImageDataRead data = ReadImageData(bytes, offset + expected.size() - 1);
    for (size_t i = 0; i + 1 < data.SubBlockSizes.size(); ++i) EXPECT_EQ(data.SubBlockSizes[i], 255);
    EXPECT_LE(data.SubBlockSizes.back(), 255);
    EXPECT_EQ(data.Pixels, Pixels(frame));
    offset = data.End;
  }
  ASSERT_EQ(offset + 1, bytes.size());
  EXPECT_EQ(bytes.back(), 0x3B);
}

TEST(GIFAddFrame, ThirtyReducedPicturesDecodeThroughFFmpegCloseToTheSource) {
  const int width = 320, height = 240, count = 30;
  TGIFImage image;
  image.ReductionMethod = ReduceOctreeSystem;
  std::vector<TBitmap> pictures;
  for (int t = 0; t < count; ++t) {
    pictures.push_back(Scene(width, height, t));
    image.Add(pictures.back());
  }
  std::vector<TDecodedPicture> decoded = DecodeGIFWithFFmpeg(Save(image));
  ASSERT_EQ(decoded.size(), static_cast<size_t>(count));
  double total = 0;
  for (int t = 0; t < count; ++t) {
    ASSERT_EQ(decoded[static_cast<size_t>(t)].Width, width);
    ASSERT_EQ(decoded[static_cast<size_t>(t)].Height, height);
    double squared = 0;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        TColor want = pictures[static_cast<size_t>(t)].GetPixel(x, y);
        TColor got = decoded[static_cast<size_t>(t)].Colors[static_cast<size_t>(y * width + x)];
        for (int shift : {0, 8, 16}) {
          double d = double((want >> shift) & 0xFF) - double((got >> shift) & 0xFF);
          squared += d * d;
        }
      }
    double mse = squared / (3.0 * width * height);
    total += mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
  }
  double meanPSNR = total / count;
  RecordProperty("MeanPSNR", std::to_string(meanPSNR));
  std::printf("mean PSNR of %d frames: %.2f dB\n", count, meanPSNR);
  EXPECT_GT(meanPSNR, 30.0);
}

}  // namespace
}  // namespace vidorant
