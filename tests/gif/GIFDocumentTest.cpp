// The document model and the bytes the writer produces for it.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "GIFTestDecoder.h"
#include "GIFTestFrames.h"
#include "gif/ColorReduction.h"
#include "gif/GIFAppExtension.h"
#include "gif/GIFException.h"
#include "gif/GIFExtensionRegistry.h"
#include "gif/GIFImage.h"
#include "gif/RLEEncoder.h"
#include "platform/Bitmap.h"
#include "platform/Canvas.h"
#include "platform/FileStream.h"

#include <filesystem>
#include <unistd.h>

namespace vidorant {
namespace {

using namespace vidorant::testing;

std::vector<uint8_t> SaveItem(TGIFItem& item) {
  TMemoryStream stream;
  item.SaveToStream(stream);
  return stream.Bytes();
}

struct TWarningLog {
  std::vector<std::string> Messages;
  void Attach(TGIFImage& image) {
    image.OnWarning = [this](TObject*, TGIFSeverity, const std::string& message) { Messages.push_back(message); };
  }
};

TEST(GIFDocument, VersionIs89aAsSoonAsAnyFrameNeedsIt) {
  enum Change { Nothing, ControlOnSecond, CommentOnFirst, SortedTable, ExtensionOnEmptyFrame };
  const std::pair<Change, const char*> cases[] = {
      {Nothing, "GIF87a"}, {ControlOnSecond, "GIF89a"}, {CommentOnFirst, "GIF89a"},
      {SortedTable, "GIF89a"}, {ExtensionOnEmptyFrame, "GIF89a"},
  };
  for (const auto& [change, signature] : cases) {
    TGIFImage image;
    TGIFSubImage* first = AddFrame(image, 4, 4, {0x000000, 0xFFFFFF});
    TGIFSubImage* second = AddFrame(image, 4, 4, {0x0000FF, 0x00FF00});
    if (change == ControlOnSecond) second->Extensions().Add(std::make_unique<TGIFGraphicControlExtension>(second));
    if (change == CommentOnFirst) first->Extensions().Add(std::make_unique<TGIFCommentExtension>(first));
    if (change == SortedTable) second->ColorMap().SetOptimized(true);
    if (change == ExtensionOnEmptyFrame) {
      TGIFSubImage* empty = AddFrame(image, 0, 0, {});
      empty->Extensions().Add(std::make_unique<TGIFCommentExtension>(empty));
    }
    std::vector<uint8_t> bytes = Save(image);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 6), signature) << "case " << change;
    EXPECT_NO_THROW(ReadGIFFile(bytes)) << "case " << change;
  }
}

TEST(GIFDocument, ThreeColourTableIsPaddedToFourWithSizeFieldOne) {
  TGIFImage image;
  AddFrame(image, 2, 1, {0x030201, 0x060504, 0x090807}, {2, 1});
  std::vector<uint8_t> bytes = Save(image);
  // Header (13), descriptor from offset 13.
  EXPECT_EQ(bytes[10], 0x11) << "colour resolution 1, size field 1, no global table";
  const std::vector<uint8_t> descriptorAndTable{0x2C, 0, 0, 0, 0, 2, 0, 1, 0, 0x81, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0};
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 13, bytes.begin() + 35), descriptorAndTable);
  TFileRead read = ReadGIFFile(bytes);
  EXPECT_EQ(read.Frames.at(0).Data.MinCodeSize, 2);
  EXPECT_EQ(read.Frames.at(0).Rows, (std::vector<uint8_t>{2, 1}));
}

TEST(GIFDocument, FrameOfWidthZeroWritesOnlyItsExtensions) {
  TGIFImage image;
  AddFrame(image, 1, 1, {0x000000, 0xFFFFFF}, {1});
  size_t oneFrame = Save(image).size();
  TGIFSubImage* empty = AddFrame(image, 0, 3, {0x123456});
  auto comment = std::make_unique<TGIFCommentExtension>(empty);
  comment->Lines = {"x"};
  empty->Extensions().Add(std::move(comment));
  std::vector<uint8_t> bytes = Save(image);
  // The first frame's bytes, then only the comment, then the trailer.
  ASSERT_EQ(bytes.size(), oneFrame + 5);
  EXPECT_EQ(std::vector<uint8_t>(bytes.end() - 7, bytes.end()), (std::vector<uint8_t>{0, 0x21, 0xFE, 1, 'x', 0, 0x3B}));
}

TEST(GIFDocument, CommentLinesAreSplitIntoSubBlocksWithOneTerminator) {
  TGIFImage image;
  TGIFSubImage* frame = AddFrame(image, 1, 1, {0});
  TGIFCommentExtension comment(frame);
  comment.Lines = {std::string(300, 'a'), "", "bc"};
  std::vector<uint8_t> expected{0x21, 0xFE, 255};
  expected.insert(expected.end(), 255, 'a');
  expected.push_back(45);
  expected.insert(expected.end(), 45, 'a');
  for (int b : {2, int('b'), int('c'), 0}) expected.push_back(static_cast<uint8_t>(b));
  EXPECT_EQ(SaveItem(comment), expected);
}

TEST(GIFDocument, ExtensionBlocksAreWrittenFieldByField) {
  TGIFImage image;
  TGIFSubImage* frame = AddFrame(image, 1, 1, {0, 1, 2, 3, 4});

  TGIFGraphicControlExtension control(frame);
  EXPECT_EQ(SaveItem(control), (std::vector<uint8_t>{0x21, 0xF9, 4, 0, 0, 0, 0, 0}));
  control.SetTransparent(true);
  control.SetUserInput(true);
  control.SetDisposal(dmPrevious);
  control.SetDelay(0x0102);
  control.SetTransparentColorIndex(4);
  EXPECT_EQ(SaveItem(control), (std::vector<uint8_t>{0x21, 0xF9, 4, 0x0F, 0x02, 0x01, 4, 0}));

  TGIFTextExtension text(frame);
  text.Left = 0x0201;
  text.Top = 3;
  text.GridWidth = 0x0504;
  text.GridHeight = 6;
  text.CellWidth = 7;
  text.CellHeight = 8;
  text.ForegroundColorIndex = 9;
  text.BackgroundColorIndex = 10;
  text.Lines = {"hi"};
  EXPECT_EQ(SaveItem(text),
            (std::vector<uint8_t>{0x21, 0x01, 12, 1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 10, 2, 'h', 'i', 0}));

  TGIFAppExtNSLoop loop(frame);
  std::vector<uint8_t> expected{0x21, 0xFF, 11};
  for (char c : std::string("NETSCAPE2.0")) expected.push_back(static_cast<uint8_t>(c));
  std::vector<uint8_t> endless = expected;
  for (int b : {3, 1, 0, 0, 0}) endless.push_back(static_cast<uint8_t>(b));
  EXPECT_EQ(SaveItem(loop), endless);
  loop.Loops = 5;
  loop.BufferSize = 0x01020304;
  for (int b : {3, 1, 5, 0, 5, 2, 4, 3, 2, 1, 0}) expected.push_back(static_cast<uint8_t>(b));
  EXPECT_EQ(SaveItem(loop), expected);

  TGIFUnknownAppExtension unknown(frame);
  unknown.Identifier = MakeAppIdentifier("XMP DataXMP");
  unknown.Blocks.push_back(std::make_unique<TGIFBlock>(std::vector<uint8_t>{7, 8}));
  unknown.Blocks.push_back(std::make_unique<TGIFBlock>(std::vector<uint8_t>(255, 9)));
  std::vector<uint8_t> unknownBytes = SaveItem(unknown);
  ASSERT_EQ(unknownBytes.size(), 3u + 11 + 3 + 256 + 1);
  EXPECT_EQ(std::string(unknownBytes.begin() + 3, unknownBytes.begin() + 14), "XMP DataXMP");
  EXPECT_EQ(std::vector<uint8_t>(unknownBytes.begin() + 14, unknownBytes.begin() + 18), (std::vector<uint8_t>{2, 7, 8, 255}));
  EXPECT_EQ(unknownBytes.back(), 0);
  // A block of 0 bytes would read as the end of the data.
  EXPECT_THROW(TGIFBlock(std::vector<uint8_t>{}), GIFException);
  EXPECT_THROW(TGIFBlock(std::vector<uint8_t>(256, 1)), GIFException);
}

TEST(GIFDocument, SecondLargerFrameGrowsTheScreenWithThreeWarnings) {
  struct Case {
    int width, height;
    std::vector<std::string> warnings;
  };
  const Case cases[] = {
      {10, 8, {}},
      {5, 5, {}},
      {12, 8, {"Image width too small for contained frames", "Image exceeds Logical Screen size"}},
      {10, 9, {"Image height too small for contained frames", "Image exceeds Logical Screen size"}},
      {11, 9,
       {"Image width too small for contained frames", "Image height too small for contained frames",
        "Image exceeds Logical Screen size"}},
  };
  for (const Case& c : cases) {
    TGIFImage image;
    TWarningLog log;
    log.Attach(image);
    AddFrame(image, 10, 8, {0});
    EXPECT_TRUE(log.Messages.empty()) << "the first frame sets an empty screen silently";
    AddFrame(image, c.width, c.height, {0});
    EXPECT_EQ(log.Messages, c.warnings) << c.width << "x" << c.height;
    EXPECT_EQ(image.GetWidth(), std::max(10, c.width));
    EXPECT_EQ(image.GetHeight(), std::max(8, c.height));
  }
}

TEST(GIFDocument, ScreenCannotShrinkBelowAFrame) {
  TGIFImage image;
  int changes = 0;
  image.OnChange = [&](TObject*) { ++changes; };
  TGIFSubImage* frame = AddFrame(image, 10, 8, {0});
  frame->SetLeft(5);
  EXPECT_EQ(image.GetWidth(), 15);
  changes = 0;
  try {
    image.SetWidth(14);
    FAIL();
  } catch (const GIFException& e) {
    EXPECT_EQ(e.Message, "Image width too small for contained frames");
  }
  try {
    image.SetHeight(7);
    FAIL();
  } catch (const GIFException& e) {
    EXPECT_EQ(e.Message, "Image height too small for contained frames");
  }
  EXPECT_EQ(changes, 0);
  image.SetWidth(15);
  EXPECT_EQ(changes, 0) << "same value, no change";
  image.SetWidth(20);
  image.SetHeight(8);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(image.GetWidth(), 20);
}

TEST(GIFDocument, SettingTheSizeReallocatesZeroedPixelsButMovingDoesNot) {
  TGIFImage image;
  TGIFSubImage* frame = AddFrame(image, 3, 2, {0, 1, 2}, {1, 2, 1, 2, 1, 2});
  frame->SetTop(4);
  EXPECT_EQ(frame->Data()[1], 2) << "moving keeps the pixels";
  frame->SetWidth(4);
  ASSERT_EQ(frame->DataSize(), 8);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(frame->Data()[i], 0);
  frame->SetHeight(0);
  EXPECT_EQ(frame->DataSize(), 0);
  EXPECT_TRUE(frame->Empty());
  EXPECT_THROW(frame->ScanLine(0), GIFException);
}

TEST(GIFDocument, FramesBeyondTheSixteenBitLimitAreRefused) {
  const std::tuple<int, int, int, int> refused[] = {
      {0, 0, 65536, 1}, {0, 0, 1, 65536}, {1, 0, 65535, 1}, {0, 65535, 1, 1}, {-1, 0, 1, 1}, {0, 0, -5, 1},
  };
  for (const auto& [left, top, width, height] : refused) {
    TGIFImage image;
    TGIFSubImage* frame = AddFrame(image, 2, 2, {0}, {0, 0, 0, 0});
    EXPECT_THROW(frame->SetBounds(left, top, width, height), GIFException) << left << "," << top << " " << width << "x" << height;
    EXPECT_EQ(frame->BoundsRect(), Rect(0, 0, 2, 2)) << "nothing changed";
    EXPECT_EQ(frame->DataSize(), 4);
    EXPECT_EQ(image.GetWidth(), 2);
    EXPECT_THROW(image.SetWidth(65536), GIFException);
  }
  // The largest width that fits is written and read back whole.
  TGIFImage image;
  std::vector<uint8_t> pixels(65535);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i % 3);
  AddFrame(image, 65535, 1, {0xFF, 0xFF00, 0xFF0000}, pixels);
  TFileRead read = ReadGIFFile(Save(image));
  EXPECT_EQ(read.ScreenWidth, 65535);
  EXPECT_EQ(read.Frames.at(0).Width, 65535);
  EXPECT_EQ(read.Frames.at(0).Rows, pixels);
}

TEST(GIFDocument, EmptyDocumentFailsAfterReportingStartAndEndsWithZeroPercent) {
  TGIFImage image;
  std::vector<std::tuple<TProgressStage, int, std::string>> progress;
  image.OnProgress = [&](TObject*, TProgressStage stage, int percent, const std::string& message) {
    progress.emplace_back(stage, percent, message);
  };
  TMemoryStream stream;
  try {
    image.SaveToStream(stream);
    FAIL() << "an empty document was saved";
  } catch (const GIFException& e) {
    EXPECT_EQ(e.Message, "Unsupported GIF version");
  }
  using P = std::tuple<TProgressStage, int, std::string>;
  EXPECT_EQ(progress, (std::vector<P>{{psStarting, 0, "Saving..."}, {psEnding, 0, "Saving..."}}));
  EXPECT_EQ(stream.GetSize(), 0);

  progress.clear();
  for (int i = 0; i < 3; ++i) AddFrame(image, 2, 2, {0});
  image.SaveToStream(stream);
  EXPECT_EQ(progress, (std::vector<P>{{psStarting, 0, "Saving..."},
                                      {psRunning, 33, "Saving..."},
                                      {psRunning, 66, "Saving..."},
                                      {psRunning, 100, "Saving..."},
                                      {psEnding, 100, "Saving..."}}));
}

TEST(GIFDocument, FailedSaveReportsZeroPercentAndKeepsWhatWasWritten) {
  TGIFImage image;
  AddFrame(image, 2, 1, {0, 1}, {0, 1});
  AddFrame(image, 2, 1, {0, 1, 2}, {0, 3});  // index 3 is outside the 3-colour table
  int lastPercent = -1;
  image.OnProgress = [&](TObject*, TProgressStage stage, int percent, const std::string&) {
    if (stage == psEnding) lastPercent = percent;
  };
  TMemoryStream stream;
  try {
    image.SaveToStream(stream);
    FAIL();
  } catch (const GIFException& e) {
    EXPECT_EQ(e.Message, "Color not in color table");
  }
  EXPECT_EQ(lastPercent, 0);
  EXPECT_GT(stream.GetSize(), 13 + 10 + 6) << "header and the first frame stay";
  EXPECT_NE(stream.Bytes().back(), 0x3B);
}

TEST(GIFDocument, InterlacedFrameWithALocalTableStaysInterlaced) {
  TGIFImage image;
  std::vector<uint8_t> pixels;
  for (int row = 0; row < 9; ++row) pixels.insert(pixels.end(), 3, static_cast<uint8_t>(row));
  std::vector<TColor> colors(256);
  for (int i = 0; i < 256; ++i) colors[i] = static_cast<TColor>(i * 0x010101);
  TGIFSubImage* frame = AddFrame(image, 3, 9, colors, pixels);
  frame->SetInterlaced(true);
  TFileRead read = ReadGIFFile(Save(image));
  EXPECT_EQ(read.Frames.at(0).Packed, 0xC7);
  EXPECT_EQ(read.Frames.at(0).Rows, pixels);
  EXPECT_EQ(read.Frames.at(0).Data.Pixels[3], 8) << "the second row written is row 8";
}

TEST(GIFDocument, GlobalTableSizeFieldDescribesTheGlobalTable) {
  TGIFImage image;
  for (TColor c : {0x0000FFu, 0x00FF00u, 0xFF0000u}) image.GlobalColorMap().Add(c);
  AddFrame(image, 2, 2, {}, {0, 1, 2, 1});  // coded with the global table
  std::vector<TColor> big(200, 0x808080);
  AddFrame(image, 2, 2, big, {199, 0, 0, 199});
  TFileRead read = ReadGIFFile(Save(image));
  EXPECT_EQ(read.Packed, 0xF1) << "global table, resolution from the largest table, size of the global";
  EXPECT_EQ(read.GlobalTable.size(), 12u);
  EXPECT_EQ(read.Frames.at(0).Packed & 0x80, 0);
  EXPECT_EQ(read.Frames.at(0).Data.MinCodeSize, 2);
  EXPECT_EQ(read.Frames.at(0).Rows, (std::vector<uint8_t>{0, 1, 2, 1}));
  EXPECT_EQ(read.Frames.at(1).Data.MinCodeSize, 8);
}

TEST(GIFDocument, ClearEmptiesTheDocumentButKeepsItsSettings) {
  TGIFImage image;
  image.EncoderKind = EncodeRLE;
  image.ReductionMethod = ReduceOctreeSystem;
  image.GlobalColorMap().Add(0x123456);
  image.Header().BackgroundColorIndex = 3;
  AddFrame(image, 7, 5, {0});
  image.Clear();
  EXPECT_TRUE(image.GetEmpty());
  EXPECT_EQ(image.Images().Count(), 0);
  EXPECT_EQ(image.GetWidth(), 0);
  EXPECT_EQ(image.GetHeight(), 0);
  EXPECT_EQ(image.GlobalColorMap().Count(), 0);
  EXPECT_EQ(image.Header().BackgroundColorIndex, 0);
  EXPECT_EQ(image.EncoderKind, EncodeRLE);
  EXPECT_EQ(image.ReductionMethod, ReduceOctreeSystem);
  // A frame after Clear sets the screen without warnings.
  TWarningLog log;
  log.Attach(image);
  AddFrame(image, 3, 3, {0});
  EXPECT_TRUE(log.Messages.empty());
}

TEST(GIFDocument, AddTakesOnlyFramesMadeForTheDocument) {
  TGIFImage image, other;
  int changes = 0;
  image.OnChange = [&](TObject*) { ++changes; };
  for (int attempt = 0; attempt < 2; ++attempt) {
    try {
      image.Add(attempt == 0 ? nullptr : std::make_unique<TGIFSubImage>(&other));
      FAIL() << "attempt " << attempt;
    } catch (const GIFException& e) {
      EXPECT_EQ(e.Message, "Object type not supported for operation");
    }
  }
  EXPECT_EQ(image.Images().Count(), 0);
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(image.Add(std::make_unique<TGIFSubImage>(&image)), 0);
  EXPECT_EQ(image.Add(std::make_unique<TGIFSubImage>(&image)), 1);
  EXPECT_EQ(changes, 2);
  image.Images().Delete(0);
  EXPECT_EQ(changes, 3) << "deleting a frame changes the document";
  std::unique_ptr<TGIFSubImage> taken = image.Images().Extract(0);
  EXPECT_EQ(changes, 4);
  EXPECT_TRUE(image.GetEmpty());
  EXPECT_EQ(image.Add(std::move(taken)), 0) << "an extracted frame can come back";
}

TEST(GIFDocument, DocumentEncoderKindSelectsTheRunLengthEncoder) {
  std::vector<uint8_t> pixels(4000, 1);
  TGIFImage lzw, rle;
  rle.EncoderKind = EncodeRLE;
  AddFrame(lzw, 100, 40, {0, 0xFFFFFF}, pixels);
  AddFrame(rle, 100, 40, {0, 0xFFFFFF}, pixels);
  std::vector<uint8_t> lzwBytes = Save(lzw), rleBytes = Save(rle);
  TMemoryStream direct;
  TRLEEncoder().Compress(direct, 1, 2, pixels.data(), false, 40, 100);
  const size_t dataStart = 13 + 10 + 6;
  EXPECT_EQ(std::vector<uint8_t>(rleBytes.begin() + dataStart, rleBytes.end() - 1), direct.Bytes());
  EXPECT_NE(lzwBytes, rleBytes);
  EXPECT_EQ(ReadGIFFile(rleBytes).Frames.at(0).Rows, pixels);
}

TEST(GIFGraphicControl, TransparentIndexOutsideTheActiveTableWarnsAndStoresZero) {
  struct Case {
    int localColors, globalColors, index, stored;
    bool warns;
  };
  const Case cases[] = {
      {4, 0, 3, 3, false}, {4, 0, 4, 0, true}, {4, 0, 200, 0, true},
      {0, 2, 1, 1, false}, {0, 2, 2, 0, true},    // the global table when there is no local one
      {0, 0, 200, 200, false},                    // no table at all: stored as given
  };
  for (const Case& c : cases) {
    TGIFImage image;
    TWarningLog log;
    log.Attach(image);
    for (int i = 0; i < c.globalColors; ++i) image.GlobalColorMap().Add(static_cast<TColor>(i));
    TGIFSubImage* frame = AddFrame(image, 1, 1, std::vector<TColor>(static_cast<size_t>(c.localColors), 0));
    TGIFGraphicControlExtension control(frame);
    control.SetTransparentColorIndex(c.index);
    EXPECT_EQ(control.TransparentColorIndex(), c.stored) << c.localColors << "/" << c.globalColors << " " << c.index;
    EXPECT_EQ(log.Messages, c.warns ? std::vector<std::string>{"Invalid color index"} : std::vector<std::string>{});
  }
}

TEST(GIFGraphicControl, DestroyingItClearsTheFramesTransparencyAndReference) {
  // The frame's extension is the one its list holds: the first, or the first transparent one.
  TGIFImage image;
  TGIFSubImage* frame = AddFrame(image, 1, 1, {0, 1});
  auto first = std::make_unique<TGIFGraphicControlExtension>(frame);
  first->SetTransparent(true);
  TGIFGraphicControlExtension* control = first.get();
  frame->Extensions().Add(std::move(first));
  frame->Extensions().Add(std::make_unique<TGIFGraphicControlExtension>(frame));
  EXPECT_EQ(frame->GraphicControlExtension(), control) << "the first one is the frame's";
  EXPECT_TRUE(frame->Transparent());
  frame->Extensions().Remove(control);
  EXPECT_EQ(frame->GraphicControlExtension(), frame->Extensions()[0]) << "the one left is the frame's";
  EXPECT_FALSE(frame->Transparent());
  EXPECT_EQ(frame->Extensions().Count(), 1);
  frame->Extensions().Delete(0);
  EXPECT_EQ(frame->GraphicControlExtension(), nullptr);
  image.Images().Delete(0);  // destroying the frame destroys its extensions safely
  EXPECT_EQ(image.Images().Count(), 0);
}

TEST(GIFGraphicControl, ExtractedAndMovedToAnotherFrameItLeavesNoReferenceBehind) {
  TGIFImage image;
  TGIFSubImage* first = AddFrame(image, 2, 1, {0, 1}, {0, 1});
  TGIFSubImage* second = AddFrame(image, 2, 1, {0, 1}, {1, 0});
  auto made = std::make_unique<TGIFGraphicControlExtension>(first);
  made->SetTransparent(true);
  made->SetTransparentColorIndex(1);
  first->Extensions().Add(std::move(made));
  ASSERT_TRUE(first->Transparent());

  std::unique_ptr<TGIFExtension> moved = first->Extensions().Extract(0);
  EXPECT_EQ(first->GraphicControlExtension(), nullptr);
  EXPECT_FALSE(first->Transparent());
  second->Extensions().Add(std::move(moved));
  EXPECT_TRUE(second->Transparent());
  second->Extensions().Delete(0);
  EXPECT_FALSE(second->Transparent());
  // The first frame's state and what is written of it come from no freed block.
  EXPECT_EQ(first->GraphicControlExtension(), nullptr);
  EXPECT_FALSE(first->Transparent());
  image.Optimize(OptimizeCrop | OptimizeMerge | OptimizeCleanup | OptimizeColorMaps, ReduceNone, 8, DitherNearest);
  EXPECT_EQ(Save(image).back(), 0x3B);
}

TEST(GIFColorMap, AppendSearchAndSizeRules) {
  TGIFColorMap map;
  for (int i = 0; i < 256; ++i) map.Add(static_cast<TColor>(i % 128));
  try {
    map.Add(0);
    FAIL();
  } catch (const GIFException& e) {
    EXPECT_EQ(e.Message, "Color table overflow");
  }
  EXPECT_EQ(map.IndexOf(5), 133) << "an unsorted table is searched from the last entry";
  map.SetOptimized(true);
  EXPECT_EQ(map.IndexOf(5), 5) << "a sorted table from the first";
  EXPECT_EQ(map.IndexOf(0x999999), -1);
  EXPECT_EQ(map.AddUnique(7), 7);
  EXPECT_THROW(map.AddUnique(0x999999), GIFException);

  TGIFColorMap small;
  small.SetOptimized(true);
  EXPECT_EQ(small.AddUnique(0x010203), 0);
  EXPECT_FALSE(small.Optimized()) << "appending clears the sorted mark";
  EXPECT_EQ(small.Color(0), (TGIFColor{3, 2, 1}));
  EXPECT_EQ(small.Colors(0), 0x010203u);

  const std::pair<int, int> bits[] = {{0, 0}, {1, 1}, {2, 1}, {3, 2}, {4, 2}, {5, 3}, {16, 4}, {17, 5}, {128, 7}, {129, 8}, {256, 8}};
  for (const auto& [count, expected] : bits) EXPECT_EQ(TGIFColorMap::BitsFor(count), expected) << count;

  small.ImportDIBColors({TRGBQuad{10, 20, 30, 0}, TRGBQuad{40, 50, 60, 0}});
  EXPECT_EQ(small.Count(), 2);
  EXPECT_EQ(small.Color(1), (TGIFColor{60, 50, 40})) << "blue, green, red quads become red, green, blue";
  small.ImportDIBColors(std::vector<TRGBQuad>(300, TRGBQuad{1, 2, 3, 0}));
  EXPECT_EQ(small.Count(), 256) << "at most 256 entries are read";
  small.ImportPalette(TPalette::Default());
  EXPECT_EQ(small.Count(), 20);
  EXPECT_EQ(small.Color(1), (TGIFColor{128, 0, 0}));
}

TEST(GIFRegistries, LabelsAndIdentifiersMapToTheirClasses) {
  TGIFImage image;
  TGIFSubImage* frame = AddFrame(image, 1, 1, {0});
  for (uint8_t label : {LabelGraphicControl, LabelPlainText, LabelComment, LabelApplication}) {
    TGIFExtensionFactory factory = TExtensionList::Instance().Find(label).Create;
    ASSERT_NE(factory, nullptr) << int(label);
    EXPECT_EQ(factory(frame)->GetExtensionType(), label);
  }
  EXPECT_EQ(TExtensionList::Instance().Find(0x02).Create, nullptr);
  for (const char* id : {"NETSCAPE2.0", "ANIMEXTS1.0"}) {
    auto made = TGIFApplicationExtension::FindExtension(MakeAppIdentifier(id))(frame);
    EXPECT_NE(dynamic_cast<TGIFAppExtNSLoop*>(made.get()), nullptr) << id;
  }
  EXPECT_EQ(TAppExtensionList::Instance().Find(MakeAppIdentifier("NETSCAPE2.1")), nullptr);
  auto unknown = TGIFApplicationExtension::FindExtension(MakeAppIdentifier("NETSCAPE2.1"))(frame);
  EXPECT_NE(dynamic_cast<TGIFUnknownAppExtension*>(unknown.get()), nullptr);
}

TEST(GIFDocument, SaveToFileReplacesTheFileWithTheSavedBytes) {
  TGIFImage image;
  AddFrame(image, 3, 3, {0, 0xFFFFFF}, {0, 1, 0, 1, 0, 1, 0, 1, 0});
  const char* root = std::getenv("VIDORANT_TEST_TMP");
  std::string folder = root ? root : "/tmp";
  std::filesystem::create_directories(folder);
  std::string name = folder + "/document-save-" + std::to_string(::getpid()) + ".gif";
  {
    TFileStream old(name, fmCreate);
    old.WriteBuffer(std::string(5000, 'x').data(), 5000);
  }
  image.SaveToFile(name);
  TMemoryStream back;
  back.LoadFromFile(name);
  std::filesystem::remove(name);
  EXPECT_EQ(back.Bytes(), Save(image));
  EXPECT_THROW(image.SaveToFile(folder + "/no such folder/x.gif"), EFCreateError);
}

}  // namespace
}  // namespace vidorant
