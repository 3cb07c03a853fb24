// The reader: documents the writer made read back to the same model, hand-made streams exercise
// the tolerant paths (offset signature, missing trailer, short LZW data, interlacing) and every
// hard error leaves the stream where the document began.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include <unistd.h>

#include "AllocationProbe.h"
#include "GIFReadTestSupport.h"
#include "GIFTestFrames.h"
#include "gif/GIFExtensionRegistry.h"
#include "platform/FileStream.h"

namespace vidorant {
namespace {

using namespace vidorant::testing;

// A document using a random mix of everything the writer can write. Only the last frame may
// be without an image: elsewhere its extensions would, once written, precede the next image.
void BuildRandomDocument(TGIFImage& image, std::mt19937& random) {
  image.EncoderKind = random() % 3 == 0 ? EncodeRLE : EncodeLZW;
  bool global = random() % 3 == 0;
  if (global) {
    for (TColor c : RandomColors(1 << (1 + random() % 8), random)) image.GlobalColorMap().Add(c);
    image.GlobalColorMap().SetOptimized(random() % 2 == 0);
  }
  int frames = 1 + static_cast<int>(random() % 4);
  for (int f = 0; f < frames; ++f) {
    bool imageless = f == frames - 1 && frames > 1 && random() % 5 == 0;
    int width = imageless ? 0 : 1 + static_cast<int>(random() % 40);
    int height = imageless ? 0 : 1 + static_cast<int>(random() % 30);
    int colors = imageless || (global && random() % 2) ? 0 : 1 << (1 + random() % 8);
    TGIFSubImage* frame = AddFrame(image, width, height, RandomColors(colors, random));
    if (!imageless) frame->SetBounds(static_cast<int>(random() % 20), static_cast<int>(random() % 20), width, height);
    int range = colors > 0 ? colors : image.GlobalColorMap().Count();
    std::vector<uint8_t> pixels = RandomIndices(static_cast<size_t>(width) * height, range, random);
    std::copy(pixels.begin(), pixels.end(), frame->Data());
    frame->SetInterlaced(!imageless && random() % 3 == 0);
    frame->ColorMap().SetOptimized(colors > 0 && random() % 3 == 0);
    if (random() % 2) {
      auto control = std::make_unique<TGIFGraphicControlExtension>(frame);
      control->SetDelay(static_cast<uint16_t>(random()));
      control->SetDisposal(static_cast<TDisposalMethod>(random() % 4));
      control->SetUserInput(random() % 2);
      TGIFGraphicControlExtension* added = control.get();
      frame->Extensions().Add(std::move(control));
      added->SetTransparentColorIndex(static_cast<int>(random() % static_cast<unsigned>(std::max(range, 1))));
      added->SetTransparent(random() % 2);
    }
    if (imageless || random() % 3 == 0) {
      auto comment = std::make_unique<TGIFCommentExtension>(frame);
      comment->Lines = {std::string(1 + random() % 300, 'a'), "second line"};
      frame->Extensions().Add(std::move(comment));
    }
    if (random() % 4 == 0) {
      auto text = std::make_unique<TGIFTextExtension>(frame);
      text->Left = static_cast<uint16_t>(random());
      text->GridWidth = static_cast<uint16_t>(random());
      text->CellHeight = static_cast<uint8_t>(random());
      text->BackgroundColorIndex = 3;
      text->Lines = {"text"};
      frame->Extensions().Add(std::move(text));
    }
    if (f == 0 && random() % 2) {
      auto loop = std::make_unique<TGIFAppExtNSLoop>(frame);
      loop->Loops = static_cast<uint16_t>(random());
      loop->BufferSize = random() % 2 ? 0 : static_cast<uint32_t>(random());
      if (random() % 2) loop->Identifier = MakeAppIdentifier("ANIMEXTS1.0");
      frame->Extensions().Add(std::move(loop));
    }
    if (random() % 4 == 0) {
      auto unknown = std::make_unique<TGIFUnknownAppExtension>(frame);
      unknown->Identifier = MakeAppIdentifier("VIDORANTX.1");
      unknown->Blocks.push_back(std::make_unique<TGIFBlock>(std::vector<uint8_t>(1 + random() % 255, 7)));
      unknown->Blocks.push_back(std::make_unique<TGIFBlock>(std::vector<uint8_t>{0, 1, 2}));
      frame->Extensions().Add(std::move(unknown));
    }
  }
}

TEST(GIFReader, WrittenDocumentsReadBackToTheSameModelAndBytes) {
  std::mt19937 random(99);
  for (int round = 0; round < 300; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    TGIFImage original;
    BuildRandomDocument(original, random);
    std::vector<uint8_t> first = Save(original);

    TGIFImage reread;
    TLoadResult loaded = LoadBytes(reread, first);
    ASSERT_EQ(loaded.Error, "");
    EXPECT_EQ(loaded.Warnings, std::vector<std::string>{});
    ExpectSameDocument(original, reread);
    reread.EncoderKind = original.EncoderKind;
    ASSERT_EQ(Save(reread), first);
  }
}

TEST(GIFReader, SignatureFourBytesInIsFound) {
  TGIFImage source;
  AddFrame(source, 3, 2, {0x102030, 0x405060}, {0, 1, 1, 0, 1, 0});
  std::vector<uint8_t> bytes{'M', 'A', 'C', '0'};
  Append(bytes, Save(source));
  TGIFImage image;
  TLoadResult loaded = LoadBytes(image, bytes);
  ASSERT_EQ(loaded.Error, "");
  ExpectSameDocument(source, image);
}

TEST(GIFReader, MissingTrailerGivesOneWarningAndKeepsEveryFrame) {
  TGIFImage source;
  AddFrame(source, 3, 2, {0x102030, 0x405060}, {0, 1, 1, 0, 1, 0});
  AddFrame(source, 2, 2, {0x102030, 0x405060}, {1, 1, 1, 0});
  std::vector<uint8_t> bytes = Save(source);
  bytes.pop_back();
  TGIFImage image;
  TLoadResult loaded = LoadBytes(image, bytes);
  ASSERT_EQ(loaded.Error, "");
  EXPECT_EQ(loaded.Warnings, std::vector<std::string>{"Invalid Image trailer"});
  ExpectSameDocument(source, image);
}

// A 4 x 2 frame whose data stops after four pixels. clear(4), then 1 four times: the third
// code fills the table up to 7, so the fourth is read 4 bits wide; 16 bits, nothing left.
std::vector<uint8_t> HalfImage(bool transparent, bool terminated) {
  std::vector<uint8_t> bytes = HeaderBytes(4, 2);
  if (transparent) Append(bytes, {0x21, 0xF9, 4, 0x01, 0, 0, 2, 0});
  Append(bytes, ImageBytes(4, 2, false, 2, PackCodes({{4, 3}, {1, 3}, {1, 3}, {1, 3}, {1, 4}}), terminated));
  if (terminated) bytes.push_back(0x3B);
  return bytes;
}

TEST(GIFReader, ShortImageDataKeepsTheFillValueInTheMissingPixels) {
  struct TCase {
    bool Transparent, Terminated;
    std::vector<uint8_t> Pixels;
    std::vector<std::string> Warnings;
  };
  const TCase cases[] = {
      {false, true, {1, 1, 1, 1, 0, 0, 0, 0}, {"Decoder bit buffer under-run"}},
      {true, true, {1, 1, 1, 1, 2, 2, 2, 2}, {"Decoder bit buffer under-run"}},
      // A file cut inside the image data: what was read stays, the rest is the fill value.
      {true, false, {1, 1, 1, 1, 2, 2, 2, 2}, {"Premature end of data", "Invalid Image trailer"}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.Transparent) + std::to_string(c.Terminated));
    TGIFImage image;
    TLoadResult loaded = LoadBytes(image, HalfImage(c.Transparent, c.Terminated));
    ASSERT_EQ(loaded.Error, "");
    EXPECT_EQ(loaded.Warnings, c.Warnings);
    ASSERT_EQ(image.Images().Count(), 1);
    const TGIFSubImage& frame = *image.Images()[0];
    EXPECT_EQ(std::vector<uint8_t>(frame.Data(), frame.Data() + frame.DataSize()), c.Pixels);
  }
}

TEST(GIFReader, InterlacedRowsAreFilledInPassOrder) {
  // Pixels 0, 1, 2 in stream order land in rows 0, 2, 1 of a 1 x 3 frame.
  std::vector<uint8_t> bytes = HeaderBytes(1, 3);
  Append(bytes, ImageBytes(1, 3, true, 2, PackCodes({{4, 3}, {0, 3}, {1, 3}, {2, 3}, {5, 4}})));
  bytes.push_back(0x3B);
  TGIFImage image;
  TLoadResult loaded = LoadBytes(image, bytes);
  ASSERT_EQ(loaded.Error, "");
  EXPECT_TRUE(loaded.Warnings.empty());
  const TGIFSubImage& frame = *image.Images()[0];
  EXPECT_TRUE(frame.Interlaced());
  EXPECT_EQ(std::vector<uint8_t>(frame.Data(), frame.Data() + 3), (std::vector<uint8_t>{0, 2, 1}));

  // Ten rows: the published pass order.
  TGIFImage tall;
  std::vector<uint8_t> rows(10);
  for (int i = 0; i < 10; ++i) rows[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
  TGIFSubImage* written = AddFrame(tall, 1, 10, RandomColors(16, *std::make_unique<std::mt19937>(1)), rows);
  written->SetInterlaced(true);
  TGIFImage back;
  ASSERT_EQ(LoadBytes(back, Save(tall)).Error, "");
  EXPECT_EQ(std::vector<uint8_t>(back.Images()[0]->Data(), back.Images()[0]->Data() + 10), rows);
}

// Registers, once for the process, a class that claims a label it does not write.
std::unique_ptr<TGIFExtension> MakeMislabelled(TGIFSubImage* frame) { return std::make_unique<TGIFCommentExtension>(frame); }

TEST(GIFReader, HardErrorsNameTheFaultAndRestoreTheStreamPosition) {
  static const bool registered = (TExtensionList::Instance().Register(0xFA, &MakeMislabelled), true);
  ASSERT_TRUE(registered);
  auto withHeader = [](std::vector<uint8_t> rest) {
    std::vector<uint8_t> bytes = HeaderBytes(4, 4);
    Append(bytes, rest);
    return bytes;
  };
  std::vector<uint8_t> circular = HeaderBytes(4, 4);
  // clear, 0, then 7 three times: the second 7 makes entry 7 its own prefix.
  Append(circular, ImageBytes(4, 4, false, 2, PackCodes({{4, 3}, {0, 3}, {7, 3}, {7, 3}, {7, 4}})));
  const std::pair<std::vector<uint8_t>, const char*> cases[] = {
      {{'G', 'I', 'X', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, 0, 0}, "Invalid GIF signature"},
      {{'G', 'I', 'F', '8', '9', 'a', 1, 0}, "Premature end of data"},
      {{'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0, 1, 2, 3}, "Premature end of data"},
      {withHeader({0x21, 0x01, 12, 0, 0}), "Premature end of data"},
      {withHeader({0x2C, 0, 0, 0, 0, 1, 0}), "Premature end of data"},
      {withHeader({0x21, 0x02, 1, 0, 0}), "Unknown extension type"},
      {withHeader({0x21, 0xFA, 1, 0, 0}), "Internal error: Extension Instance does not match Extension Label"},
      {withHeader({0x21, 0xFF, 9, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', 0}), "Unsupported Application Extension block size"},
      {withHeader({0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 2, 1, 0, 0}), "Invalid GIF data"},
      {withHeader({0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 4, 2, 0, 0, 0, 0}), "Invalid GIF data"},
      {circular, "Circular decoder table entry"},
  };
  for (const auto& [body, message] : cases) {
    SCOPED_TRACE(message);
    std::vector<uint8_t> bytes{9, 9, 9};  // the document begins at offset 3
    Append(bytes, body);
    TGIFImage image;
    TLoadResult loaded = LoadBytes(image, bytes, 3);
    EXPECT_EQ(loaded.Error, message);
    EXPECT_EQ(loaded.PositionAfter, 3);
  }
}

// An application block of the tests' own, chosen by the class registered for the label.
class TTestAppBlock : public TGIFUnknownAppExtension {
public:
  using TGIFUnknownAppExtension::TGIFUnknownAppExtension;
};

std::unique_ptr<TGIFExtension> MakeUnknownAppBlock(TGIFSubImage* frame) { return std::make_unique<TGIFUnknownAppExtension>(frame); }

// Takes the blocks named "VIDORANTR1.0" and leaves every other one to the built-in refinement.
std::unique_ptr<TGIFExtension> RefineTestAppBlock(TGIFSubImage* frame, TStream& block) {
  const int64_t start = block.GetPosition();
  TGIFAppIdentifier identifier{};
  if (TGIFApplicationExtension::ReadIdentifier(block, identifier) && identifier == MakeAppIdentifier("VIDORANTR1.0"))
    return std::make_unique<TTestAppBlock>(frame);
  block.SetPosition(start);
  return TGIFApplicationExtension::Refine(frame, block);
}

TEST(GIFReader, AClassRegisteredForTheApplicationLabelRefinesTheChoice) {
  static const bool registered =
      (TExtensionList::Instance().Register(LabelApplication, &MakeUnknownAppBlock, &RefineTestAppBlock), true);
  ASSERT_TRUE(registered);
  auto block = [](const char* identifier) {
    std::vector<uint8_t> bytes{0x21, 0xFF, 11};
    bytes.insert(bytes.end(), identifier, identifier + 11);
    Append(bytes, {3, 1, 0, 0, 0});
    return bytes;
  };
  std::vector<uint8_t> bytes = HeaderBytes(1, 1);
  for (const char* identifier : {"VIDORANTR1.0", "NETSCAPE2.0", "VIDORANTQ1.0"}) Append(bytes, block(identifier));
  Append(bytes, ImageBytes(1, 1, false, 2, PackCodes({{4, 3}, {1, 3}, {5, 3}})));
  bytes.push_back(0x3B);
  TGIFImage image;
  TLoadResult loaded = LoadBytes(image, bytes);
  ASSERT_EQ(loaded.Error, "");
  ASSERT_EQ(image.Images().Count(), 1);
  const TGIFExtensionList& extensions = image.Images()[0]->Extensions();
  ASSERT_EQ(extensions.Count(), 3);
  EXPECT_NE(dynamic_cast<TTestAppBlock*>(extensions[0]), nullptr);
  EXPECT_NE(dynamic_cast<TGIFAppExtNSLoop*>(extensions[1]), nullptr);
  EXPECT_EQ(typeid(*extensions[2]), typeid(TGIFUnknownAppExtension));
}

TEST(GIFReader, SoftDefectsWarnAndKeepWhatWasRead) {
  std::vector<uint8_t> pixels = PackCodes({{4, 3}, {1, 3}, {5, 3}});
  struct TCase {
    const char* Name;
    std::vector<uint8_t> Body;
    std::vector<std::string> Warnings;
    int Frames;
  };
  auto image = [&pixels](int width, int height) { return ImageBytes(width, height, false, 2, pixels); };
  std::vector<uint8_t> twoFrames = image(1, 1);
  Append(twoFrames, {'X'});
  Append(twoFrames, image(1, 1));
  std::vector<uint8_t> badIntroducer = {0x21, 0xFE, 1, 'a', 0, 'Z'};
  std::vector<uint8_t> shortControl = {0x21, 0xF9, 4, 1};
  std::vector<uint8_t> zeroSize = image(0, 0);
  const TCase cases[] = {
      {"unknown block", twoFrames, {"Unknown GIF block type", "Invalid Image trailer"}, 1},
      {"bad introducer", badIntroducer, {"Invalid extension introducer", "Unknown GIF block type", "Invalid Image trailer"}, 1},
      {"short control", shortControl, {"Premature end of data", "Invalid Image trailer"}, 1},
      {"zero size", zeroSize, {"Image exceeds Logical Screen size"}, 1},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    std::vector<uint8_t> bytes = HeaderBytes(2, 2);
    Append(bytes, c.Body);
    if (c.Body != twoFrames && c.Body != badIntroducer && c.Body != shortControl) bytes.push_back(0x3B);
    TGIFImage doc;
    TLoadResult loaded = LoadBytes(doc, bytes);
    ASSERT_EQ(loaded.Error, "");
    EXPECT_EQ(loaded.Warnings, c.Warnings);
    EXPECT_EQ(doc.Images().Count(), c.Frames);
  }
  // The zero-sized frame took the screen's size.
  TGIFImage doc;
  std::vector<uint8_t> bytes = HeaderBytes(2, 2);
  Append(bytes, zeroSize);
  LoadBytes(doc, bytes);
  ASSERT_EQ(doc.Images().Count(), 1);
  EXPECT_EQ(doc.Images()[0]->BoundsRect(), Rect(0, 0, 2, 2));
}

TEST(GIFReader, FramesLargerThanTheFileCanHoldAreRefusedNotAllocated) {
  // The largest frame the reader's limit allows from a few bytes, and many mid-sized frames
  // whose total would not fit.
  std::vector<uint8_t> huge = HeaderBytes(16384, 16384);
  Append(huge, ImageBytes(16384, 16384, false, 2, PackCodes({{4, 3}, {5, 3}})));
  std::vector<uint8_t> many = HeaderBytes(4000, 4000);
  for (int i = 0; i < 20; ++i) Append(many, ImageBytes(4000, 4000, false, 2, PackCodes({{4, 3}, {5, 3}})));
  for (const auto& bytes : {huge, many}) {
    TGIFImage image;
    TLoadResult loaded = LoadBytes(image, bytes);
    EXPECT_NE(loaded.Error.find("larger than the file can hold"), std::string::npos) << loaded.Error;
    EXPECT_EQ(loaded.PositionAfter, 0);
  }
  // One such frame alone is a truncated file, read with its fill value.
  std::vector<uint8_t> one = HeaderBytes(4000, 4000);
  Append(one, ImageBytes(4000, 4000, false, 2, PackCodes({{4, 3}, {1, 3}, {5, 3}})));
  TGIFImage image;
  ASSERT_EQ(LoadBytes(image, one).Error, "");
  EXPECT_EQ(image.Images()[0]->DataSize(), 4000 * 4000);
}

TEST(GIFReader, ApplicationBlocksOfOtherSizesKeepTheirData) {
  // Size 10 (the eleventh identifier byte is the first data length) and size 12 (one extra
  // byte skipped): both read as unknown blocks, then the image after them.
  std::vector<uint8_t> tail = ImageBytes(1, 1, false, 2, PackCodes({{4, 3}, {1, 3}, {5, 3}}));
  tail.push_back(0x3B);
  std::vector<uint8_t> ten = HeaderBytes(1, 1);
  Append(ten, {0x21, 0xFF, 10, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', '1', '2', 2, 'x', 'y', 0});
  Append(ten, tail);
  std::vector<uint8_t> twelve = HeaderBytes(1, 1);
  Append(twelve, {0x21, 0xFF, 12, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', '!', 3, 1, 5, 0, 0});
  Append(twelve, tail);
  for (const auto& bytes : {ten, twelve}) {
    TGIFImage image;
    TLoadResult loaded = LoadBytes(image, bytes);
    ASSERT_EQ(loaded.Error, "");
    EXPECT_TRUE(loaded.Warnings.empty());
    ASSERT_EQ(image.Images().Count(), 1);
    ASSERT_EQ(image.Images()[0]->Extensions().Count(), 1);
    auto* unknown = dynamic_cast<TGIFUnknownAppExtension*>(image.Images()[0]->Extensions()[0]);
    ASSERT_NE(unknown, nullptr);
    ASSERT_EQ(unknown->Blocks.size(), 1u);
    EXPECT_EQ(unknown->Blocks[0]->Data().size(), bytes == ten ? 2u : 3u);
    EXPECT_EQ(image.Images()[0]->Data()[0], 1);
  }
}

TEST(GIFReader, LoadFromFileReadsWhatSaveToFileWrote) {
  TGIFImage source;
  AddFrame(source, 5, 3, {0x112233, 0x445566, 0x778899, 0}, {0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2});
  const char* root = std::getenv("VIDORANT_TEST_TMP");
  std::filesystem::path folder = root ? root : std::filesystem::temp_directory_path();
  std::filesystem::create_directories(folder);
  std::string name = (folder / ("reader-" + std::to_string(::getpid()) + ".gif")).string();
  source.SaveToFile(name);
  TGIFImage loaded;
  loaded.LoadFromFile(name);
  std::filesystem::remove(name);
  ExpectSameDocument(source, loaded);
  EXPECT_THROW(loaded.LoadFromFile(name), EFOpenError);
}

// Every file of the regression corpus loads or fails with a GIFException (LoadBytes lets any
// other exception fail the test), and what was read can be written again without any single
// allocation beyond the reader's default frame limit (one byte per pixel).
TEST(GIFReader, RegressionCorpusNeverCrashes) {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(VIDORANT_GIF_CORPUS))
    if (entry.path().extension() == ".gif") files.push_back(entry.path());
  ASSERT_FALSE(files.empty()) << "no regression files in " << VIDORANT_GIF_CORPUS;
  for (const auto& path : files) {
    SCOPED_TRACE(path.filename().string());
    TMemoryStream stream;
    stream.LoadFromFile(path.string());
    TGIFImage image;
    ResetLargestAllocation();
    TLoadResult loaded = LoadBytes(image, stream.Bytes());
    TMemoryStream out;
    try {
      image.SaveToStream(out);
    } catch (const GIFException&) {
    }
    EXPECT_LE(LargestAllocation(), static_cast<size_t>(TGIFReadLimits().MaxFramePixels));
    if (!loaded.Error.empty()) {
      EXPECT_EQ(loaded.PositionAfter, 0) << loaded.Error;
    }
  }
}

}  // namespace
}  // namespace vidorant
