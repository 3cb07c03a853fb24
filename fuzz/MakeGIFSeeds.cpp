// Writes the fuzzer's seed corpus: small documents made by our own writer that between them use
// every block the reader knows (global and local tables, sorted tables, interlacing, both
// encoders, every extension kind, frames without images). Usage: make_gif_seeds DIRECTORY
#include <cstdio>
#include <random>
#include <string>

#include "gif/GIFAppExtension.h"
#include "gif/GIFImage.h"
#include "platform/MemoryStream.h"

using namespace vidorant;

namespace {

TGIFSubImage* AddFrame(TGIFImage& image, int left, int top, int width, int height, int colors, std::mt19937& random) {
  auto frame = std::make_unique<TGIFSubImage>(&image);
  TGIFSubImage* added = frame.get();
  image.Add(std::move(frame));
  added->SetBounds(left, top, width, height);
  for (int i = 0; i < colors; ++i) added->ColorMap().Add(random() & 0xFFFFFF);
  int range = colors > 0 ? colors : 1 << image.BitsPerPixel();
  for (int64_t i = 0; i < added->DataSize(); ++i)
    added->Data()[i] = static_cast<uint8_t>((i / (1 + random() % 4)) % static_cast<unsigned>(range));
  return added;
}

void Write(TGIFImage& image, const std::string& dir, int index) {
  TMemoryStream stream;
  image.SaveToStream(stream);
  stream.SaveToFile(dir + "/seed" + std::to_string(index) + ".gif");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s DIRECTORY\n", argv[0]);
    return 2;
  }
  std::string dir = argv[1];
  std::mt19937 random(7);
  int index = 0;
  for (int variant = 0; variant < 12; ++variant) {
    TGIFImage image;
    image.EncoderKind = variant % 3 == 2 ? EncodeRLE : EncodeLZW;
    bool global = variant % 4 == 1;
    if (global)
      for (int i = 0; i < 16; ++i) image.GlobalColorMap().Add(random() & 0xFFFFFF);
    int frames = 1 + variant % 3;
    for (int f = 0; f < frames; ++f) {
      int colors = global && f == 0 ? 0 : 2 + static_cast<int>(random() % 60);
      TGIFSubImage* frame = AddFrame(image, f * 2, f, 4 + variant * 3, 3 + variant * 2, colors, random);
      frame->SetInterlaced(variant % 2 == 1);
      if (variant % 5 == 3) frame->ColorMap().SetOptimized(true);
      if (variant >= 4) {
        auto control = std::make_unique<TGIFGraphicControlExtension>(frame);
        control->SetDelay(static_cast<uint16_t>(10 * f));
        control->SetDisposal(static_cast<TDisposalMethod>(f % 4));
        TGIFGraphicControlExtension* added = control.get();
        frame->Extensions().Add(std::move(control));
        if (variant % 2 == 0) {
          added->SetTransparentColorIndex(1);
          added->SetTransparent(true);
        }
      }
      if (variant >= 6 && f == 0) {
        auto loop = std::make_unique<TGIFAppExtNSLoop>(frame);
        loop->Loops = 3;
        loop->BufferSize = variant == 7 ? 1000 : 0;
        frame->Extensions().Add(std::move(loop));
        auto comment = std::make_unique<TGIFCommentExtension>(frame);
        comment->Lines = {"seed", std::string(300, 'c')};
        frame->Extensions().Add(std::move(comment));
      }
      if (variant >= 9) {
        auto text = std::make_unique<TGIFTextExtension>(frame);
        text->GridWidth = 40;
        text->CellWidth = 8;
        text->Lines = {"plain text"};
        frame->Extensions().Add(std::move(text));
        auto unknown = std::make_unique<TGIFUnknownAppExtension>(frame);
        unknown->Identifier = MakeAppIdentifier("VIDORANT1.0");
        unknown->Blocks.push_back(std::make_unique<TGIFBlock>(std::vector<uint8_t>{1, 2, 3}));
        frame->Extensions().Add(std::move(unknown));
      }
    }
    Write(image, dir, index++);
  }
  return 0;
}
