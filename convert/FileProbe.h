// What the batch list shows of a video before it converts: its length and size, read with the
// encoder's probe decoder. The decoder is left without a file afterwards, whatever happened.
#pragma once

#include <cstdint>
#include <string>

#include "engine/encoder/FFEncode.h"

namespace vidorant {

struct TProbedFile {
  bool Opened = false;      // the decoder could read the file's stream information
  int64_t Duration = -1;    // µs; not above 0 when nobody can tell (DurationText shows "N/A")
  int64_t FileSize = -1;    // bytes; from the directory entry when the decoder could not open it
  std::string ErrorText;    // the decoder's reason when not Opened
};

// Raises as TCustomDecoder::CheckLibraries when the libraries are not loaded.
TProbedFile ProbeFile(TFFEncoder& encoder, const std::string& videoPath);

}  // namespace vidorant
