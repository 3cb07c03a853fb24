#include "convert/FileProbe.h"

#include "platform/Environment.h"

namespace vidorant {

TProbedFile ProbeFile(TFFEncoder& encoder, const std::string& videoPath) {
  TFFDecoder& decoder = encoder.ProbeDecoder();
  TProbedFile probe;
  probe.Opened = decoder.LoadFile(videoPath);
  if (probe.Opened) {
    TFileStreamInfo info;
    decoder.GetFileInfo(info);
    probe.Duration = info.Duration;
    probe.FileSize = decoder.FileSize();
  } else {
    probe.ErrorText = decoder.LastErrMsg();
    probe.FileSize = FileSizeOf(videoPath);
  }
  decoder.CloseFile();
  return probe;
}

}  // namespace vidorant
