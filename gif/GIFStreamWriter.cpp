// EncodeGIFFrame and TGIFStreamWriter.
#include "gif/GIFStreamWriter.h"

#include <algorithm>

#include "gif/GIFException.h"
#include "platform/MemoryStream.h"

namespace vidorant {

TGIFEncodedFrame EncodeGIFFrame(TGIFSubImage& frame) {
  if (!frame.Empty() && frame.ColorMap().Count() == 0)
    throw GIFException("A frame without a colour table of its own cannot be written before the whole file is known");
  TMemoryStream bytes;
  frame.SaveToStream(bytes);
  TGIFEncodedFrame encoded;
  encoded.Bytes = bytes.Bytes();
  encoded.Version = frame.GetVersion();
  encoded.BitsPerPixel = frame.ColorMap().BitsPerPixel();
  encoded.Right = frame.Left() + frame.Width();
  encoded.Bottom = frame.Top() + frame.Height();
  return encoded;
}

TGIFStreamWriter::TGIFStreamWriter(TStream& destination)
    : FDestination(destination), FStart(destination.GetPosition()) {}

std::vector<uint8_t> TGIFStreamWriter::HeaderBytes() {
  TMemoryStream header;
  FHeader.SaveToStream(header, FVersion, FLargestBits);
  return header.Bytes();
}

void TGIFStreamWriter::Append(const TGIFEncodedFrame& frame) {
  // The document grows its screen to hold every frame and takes the highest version.
  FHeader.ScreenWidth = static_cast<uint16_t>(std::max<int>(FHeader.ScreenWidth, frame.Right));
  FHeader.ScreenHeight = static_cast<uint16_t>(std::max<int>(FHeader.ScreenHeight, frame.Bottom));
  FVersion = std::max(FVersion, frame.Version);
  FLargestBits = std::max(FLargestBits, frame.BitsPerPixel);
  if (FFrameCount == 0) {
    FHeaderWritten = HeaderBytes();
    FDestination.WriteBuffer(FHeaderWritten.data(), static_cast<int64_t>(FHeaderWritten.size()));
  }
  FDestination.WriteBuffer(frame.Bytes.data(), static_cast<int64_t>(frame.Bytes.size()));
  ++FFrameCount;
}

void TGIFStreamWriter::Finish() {
  const std::vector<uint8_t> header = HeaderBytes();  // raises without frames
  if (header != FHeaderWritten) {
    const int64_t end = FDestination.GetPosition();
    FDestination.SetPosition(FStart);
    FDestination.WriteBuffer(header.data(), static_cast<int64_t>(header.size()));
    FDestination.SetPosition(end);
    FHeaderWritten = header;
  }
  TGIFTrailer(nullptr).SaveToStream(FDestination);
}

}  // namespace vidorant
