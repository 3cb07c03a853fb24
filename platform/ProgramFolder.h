// The folder of the running program's executable, where the program keeps files beside itself.
#pragma once

#include <string>

namespace vidorant {

// The executable's folder with a trailing separator; the current folder's form ("./") when the
// system cannot tell.
std::string ProgramFolder();

}  // namespace vidorant
