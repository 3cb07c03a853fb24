// The media libraries as the converter's front ends load them: from the "LibAV" folder beside the
// program (the system's FFmpeg when there is none), with the frame output adapter's formats
// registered, once per process.
#pragma once

#include <string>

namespace vidorant {

class TFFEncoder;

// False with the loader's text in error when the libraries cannot be loaded.
bool LoadConverterLibraries(TFFEncoder& encoder, std::string& error);

}  // namespace vidorant
