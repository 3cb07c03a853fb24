// The streamed file against the document's own save of the same frames: byte for byte, also
// when later frames change what the header says about the file.
#include "gif/GIFException.h"
#include "gif/GIFExtension.h"
#include "gif/GIFStreamWriter.h"
#include "tests/gif/GIFTestFrames.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace vidorant::testing {
namespace {

struct TStreamCase {
  const char* Name;
  std::function<void(TGIFImage&, std::mt19937&)> Build;
};

void ConverterFrames(TGIFImage& image, std::mt19937& random, int count) {
  for (int i = 0; i < count; ++i) AddFrame(image, 32, 24, RandomColors(256, random), RandomIndices(32 * 24, 256, random));
}

const TStreamCase StreamCases[] = {
    {"OneFrameOfTheConverter", [](TGIFImage& image, std::mt19937& random) { ConverterFrames(image, random, 1); }},
    {"SeveralFramesOfTheConverter", [](TGIFImage& image, std::mt19937& random) { ConverterFrames(image, random, 6); }},
    // The first frame's header would say 87a, 8x8 and 2 bits: each later frame changes it.
    {"LaterFramesGrowTheScreenDeepenTheTablesAndNeed89a",
     [](TGIFImage& image, std::mt19937& random) {
       AddFrame(image, 8, 8, RandomColors(4, random), RandomIndices(64, 4, random));
       TGIFSubImage* wide = AddFrame(image, 20, 10, RandomColors(200, random), RandomIndices(200, 200, random));
       wide->SetBounds(3, 2, 20, 10);
       AddFrame(image, 5, 30, RandomColors(3, random), RandomIndices(150, 3, random));
       auto comment = std::make_unique<TGIFCommentExtension>(nullptr);
       comment->Lines = {"made frame by frame"};
       image.Images()[2]->Extensions().Add(std::move(comment));
     }},
    {"InterlacedFramesCodedAsRuns",
     [](TGIFImage& image, std::mt19937& random) {
       image.EncoderKind = EncodeRLE;
       for (int i = 0; i < 3; ++i)
         AddFrame(image, 17, 11, RandomColors(16, random), RandomIndices(17 * 11, 16, random))->SetInterlaced(true);
     }},
    // A frame of width 0 writes only its extensions, and needs no colour table.
    {"AnEmptyFrameBetweenTwo",
     [](TGIFImage& image, std::mt19937& random) {
       AddFrame(image, 9, 9, RandomColors(7, random), RandomIndices(81, 7, random));
       TGIFSubImage* empty = AddFrame(image, 0, 0, {});
       empty->Extensions().Add(std::make_unique<TGIFGraphicControlExtension>(nullptr));
       AddFrame(image, 9, 9, RandomColors(7, random), RandomIndices(81, 7, random));
     }},
};

class GIFStreamWriterOracle : public ::testing::TestWithParam<TStreamCase> {};

TEST_P(GIFStreamWriterOracle, StreamedBytesAreTheSavesBytes) {
  std::mt19937 random(7);
  TGIFImage image;
  GetParam().Build(image, random);

  // Written after other bytes, so a header written again must land where the file starts.
  const std::string before = "before";
  TMemoryStream streamed;
  streamed.WriteBuffer(before.data(), static_cast<int64_t>(before.size()));
  TGIFStreamWriter writer(streamed);
  for (int i = 0; i < image.Images().Count(); ++i) writer.Append(EncodeGIFFrame(*image.Images()[i]));
  writer.Finish();

  std::vector<uint8_t> expected(before.begin(), before.end());
  const std::vector<uint8_t> saved = Save(image);
  expected.insert(expected.end(), saved.begin(), saved.end());
  EXPECT_EQ(streamed.Bytes(), expected);
}

INSTANTIATE_TEST_SUITE_P(Documents, GIFStreamWriterOracle, ::testing::ValuesIn(StreamCases),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(GIFStreamWriter, NoFrameFailsAsTheEmptyDocumentsSaveAndWritesNothing) {
  TMemoryStream streamed;
  TGIFStreamWriter writer(streamed);
  try {
    writer.Finish();
    FAIL() << "finished without a frame";
  } catch (const GIFException& e) {
    EXPECT_EQ(e.Message, "Unsupported GIF version");
  }
  EXPECT_EQ(streamed.GetSize(), 0);
}

// Its code size would be the largest depth of the whole file, unknown while streaming.
TEST(GIFStreamWriter, AFrameWithPixelsButNoColourTableIsRefused) {
  TGIFImage image;
  TGIFSubImage* frame = AddFrame(image, 4, 4, {});
  EXPECT_THROW(EncodeGIFFrame(*frame), GIFException);
}

}  // namespace
}  // namespace vidorant::testing
