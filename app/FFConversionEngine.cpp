#include "app/FFConversionEngine.h"

#include "engine/runtime/FFDecode.h"
#include "engine/runtime/FFLoad.h"
#include "engine/runtime/FrameOutput.h"
#include "platform/Exception.h"
#include "platform/ProgramFolder.h"

namespace vidorant {

bool TFFConversionEngine::LoadLibraries(std::string& error) {
  if (FFLoader->LibsLoaded(RequiredLibraries)) {
    return true;
  }
  FFLoader->SetLibraryPath(ProgramFolder() + "LibAV");
  if (!FFLoader->LoadLibs(RequiredLibraries)) {
    error = FFLoader->LastErrMsg();
    return false;
  }
  RegisterFrameOutputFormats();
  return true;
}

bool TFFConversionEngine::AddFileTask(const TConversionJob&) {
  return false;
}

std::optional<TFileProbe> TFFConversionEngine::Probe(const std::string& fileName) {
  try {
    TFFDecoder decoder;
    if (!decoder.LoadFile(fileName)) {
      return std::nullopt;
    }
    TFileStreamInfo info;
    decoder.GetFileInfo(info);
    TFileProbe probe{info.Duration, decoder.FileSize()};
    decoder.CloseFile();
    return probe;
  } catch (const Exception&) {
    return std::nullopt;  // libraries missing: the file reads as one of unknown length
  }
}

}  // namespace vidorant
