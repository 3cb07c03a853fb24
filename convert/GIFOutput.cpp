#include "convert/GIFOutput.h"

#include <algorithm>
#include <cstring>

#include "convert/OutputName.h"
#include "gif/GIFImage.h"
#include "platform/Bitmap.h"
#include "platform/Exception.h"
#include "platform/Format.h"

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

// The picture as a bitmap of its own: the packet is reused once the handler returns.
std::shared_ptr<TBitmap> CopyPicture(const TOutputFrameInfo& info) {
  auto bitmap = std::make_shared<TBitmap>(info.Width, info.Height, pf24bit);
  // Packet rows are tight; the bitmap's are padded to 4 bytes, so each row goes on its own.
  const size_t rowBytes = size_t(info.Width) * BytesPerPixel;
  const uint8_t* source = info.Packet->data;
  if (rowBytes > 0)
    for (int row = 0; row < info.Height; ++row) std::memcpy(bitmap->ScanLine(row), source + row * rowBytes, rowBytes);
  return bitmap;
}

// The frame the GIF library's add makes of the picture, encoded as its save writes it. A
// document of its own per picture: nothing of one frame's reduction depends on another's.
TGIFEncodedFrame EncodePicture(const TBitmap& picture) {
  TGIFImage document;
  document.ReductionMethod = ReduceOctreeSystem;
  document.Add(picture);
  return EncodeGIFFrame(*document.Images()[0]);
}

}  // namespace

TGIFOutput::TGIFOutput(int threads) : FThreads(std::max(1, threads)) {
  FOA.OnWriteHeader = [this](TObject* sender) { FOAWriteHeader(sender); };
  FOA.OnWriteFrame = [this](TObject* sender, POutputFrameInfo info) { FOAWriteFrame(sender, info); };
  FOA.OnWriteClose = [this](TObject* sender) { FOAWriteClose(sender); };
}

TGIFOutput::~TGIFOutput() {
  FOA.Retire();
  FinishFile();
}

void TGIFOutput::SetOutputFile(const std::string& folder, const std::string& fileName) {
  std::lock_guard<std::mutex> lock(FOutputLock);
  FOutputFolder = folder;
  FOutputName = fileName;
}

std::string TGIFOutput::OutputPath() const {
  std::lock_guard<std::mutex> lock(FOutputLock);
  return OutputFolderPrefix(FOutputFolder) + FOutputName;
}

void TGIFOutput::EndFile(bool report) {
  if (!FFile) return;
  std::exception_ptr failure;
  try {
    FPipeline->Drain();
  } catch (...) {
    failure = std::current_exception();
  }
  FPipeline.reset();
  const std::unique_ptr<TStreamedGIFFile> file = std::move(FFile);
  // After a failed write the bytes on disk describe no file; otherwise the frames written so
  // far still make a complete GIF, whatever failed after them.
  if (file->Broken()) {
    file->Abandon();
  } else if (!failure || file->FrameCount() > 0) {
    try {
      file->Commit();
    } catch (...) {
      if (!failure) failure = std::current_exception();
    }
  }
  if (failure && report) std::rethrow_exception(failure);
}

void TGIFOutput::FinishFile() {
  std::lock_guard<std::mutex> lock(FFileLock);
  EndFile(false);
}

void TGIFOutput::FOAWriteHeader(TObject*) {
  std::lock_guard<std::mutex> lock(FFileLock);
  EndFile(false);
  FFile = std::make_unique<TStreamedGIFFile>(OutputPath());
  TStreamedGIFFile* file = FFile.get();
  FPipeline = std::make_unique<TFramePipeline>(FThreads, [file](const TGIFEncodedFrame& frame) { file->Append(frame); });
}

void TGIFOutput::FOAWriteFrame(TObject*, POutputFrameInfo AFrameInfo) {
  std::lock_guard<std::mutex> lock(FFileLock);
  try {
    if (!FPipeline) throw Exception("A frame arrived before the output's header");
    CheckPicture(*AFrameInfo);
    std::shared_ptr<TBitmap> picture = CopyPicture(*AFrameInfo);
    FPipeline->Submit([picture] { return EncodePicture(*picture); });
  } catch (...) {
    // The task ends with this error and will not close its output: the file ends here.
    EndFile(false);
    throw;
  }
}

void TGIFOutput::FOAWriteClose(TObject*) {
  std::lock_guard<std::mutex> lock(FFileLock);
  if (!FFile) {
    // No header came: the close of a file without frames all the same.
    TStreamedGIFFile(OutputPath()).Commit();
    return;
  }
  EndFile(true);
}

}  // namespace vidorant
