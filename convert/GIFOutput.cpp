#include "convert/GIFOutput.h"

#include <cstring>

#include "convert/OutputName.h"
#include "platform/Exception.h"
#include "platform/Format.h"
#include "platform/MemoryStream.h"

extern "C" {
#include <libavcodec/packet.h>
#include <libavutil/pixfmt.h>
}

namespace vidorant {

namespace {

constexpr int BytesPerPixel = 3;  // blue, green, red

// The packet must be the whole picture as the output was set up to deliver it; anything else
// would be copied from outside the packet's bytes.
void CheckPicture(const TOutputFrameInfo& info) {
  const AVPacket* packet = info.Packet;
  if (info.PixFmt != AV_PIX_FMT_BGR24 || info.Width < 0 || info.Height < 0)
    throw Exception(Format("Unsupported frame: pixel format %d, %dx%d", info.PixFmt, info.Width, info.Height));
  const int64_t needed = int64_t(info.Width) * info.Height * BytesPerPixel;
  const int64_t held = packet && packet->data ? packet->size : 0;
  if (held < needed)
    throw Exception(Format("Incomplete frame %d: %lld bytes for %dx%d pixels", info.FrameNumber,
                           static_cast<long long>(held), info.Width, info.Height));
}

}  // namespace

TGIFOutput::TGIFOutput() : FBmpFrame(std::make_unique<TBitmap>(0, 0, pf24bit)), FGifImage(std::make_unique<TGIFImage>()) {
  FGifImage->ReductionMethod = ReduceOctreeSystem;
  FOA.OnWriteHeader = [this](TObject* sender) { FOAWriteHeader(sender); };
  FOA.OnWriteFrame = [this](TObject* sender, POutputFrameInfo info) { FOAWriteFrame(sender, info); };
  FOA.OnWriteClose = [this](TObject* sender) { FOAWriteClose(sender); };
}

TGIFOutput::~TGIFOutput() { FOA.Retire(); }

void TGIFOutput::SetOutputFile(const std::string& folder, const std::string& fileName) {
  std::lock_guard<std::mutex> lock(FOutputLock);
  FOutputFolder = folder;
  FOutputName = fileName;
}

std::string TGIFOutput::OutputPath() const {
  std::lock_guard<std::mutex> lock(FOutputLock);
  return OutputFolderPrefix(FOutputFolder) + FOutputName;
}

void TGIFOutput::FOAWriteHeader(TObject*) { FGifImage->Clear(); }

void TGIFOutput::FOAWriteFrame(TObject*, POutputFrameInfo AFrameInfo) {
  CheckPicture(*AFrameInfo);
  const int width = AFrameInfo->Width;
  const int height = AFrameInfo->Height;
  FBmpFrame->SetSize(width, height);
  // Packet rows are tight; the bitmap's are padded to 4 bytes, so each row goes on its own.
  const size_t rowBytes = size_t(width) * BytesPerPixel;
  const uint8_t* source = AFrameInfo->Packet->data;
  if (rowBytes > 0)
    for (int row = 0; row < height; ++row) std::memcpy(FBmpFrame->ScanLine(row), source + row * rowBytes, rowBytes);
  FGifImage->Add(*FBmpFrame);
}

void TGIFOutput::FOAWriteClose(TObject*) {
  const std::string path = OutputPath();
  if (FGifImage->GetEmpty()) {
    // The save refuses a document without frames before it writes a byte. Refused in memory,
    // it leaves no empty file under a GIF's name (and no existing file emptied).
    TMemoryStream nowhere;
    FGifImage->SaveToStream(nowhere);
  }
  FGifImage->SaveToFile(path);
}

}  // namespace vidorant
