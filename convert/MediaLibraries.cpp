#include "convert/MediaLibraries.h"

#include "engine/encoder/FFEncode.h"
#include "engine/runtime/FrameOutput.h"
#include "platform/ProgramFolder.h"

namespace vidorant {

bool LoadConverterLibraries(TFFEncoder& encoder, std::string& error) {
  if (!encoder.LibrariesLoaded() && !encoder.LoadLibraries(ProgramFolder() + "LibAV")) {
    error = encoder.LastErrMsg();
    return false;
  }
  RegisterFrameOutputFormats();
  return true;
}

}  // namespace vidorant
