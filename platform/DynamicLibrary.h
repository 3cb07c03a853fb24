// Loading shared libraries at run time and looking up their exported names. A failed call
// leaves the system's own text for it (dlerror on this platform) for LastDynamicLibraryError;
// the text is kept per thread, so it belongs to the calling thread's most recent failure.
#pragma once

#include <string>

namespace vidorant {

// An opaque module handle; nullptr means "no module".
using TLibHandle = void*;

// Loads a library. A name with a folder part is loaded from exactly that file (its dependencies
// are searched beside it first when it carries an $ORIGIN run path); a bare name goes through
// the standard search. Returns nullptr on failure.
TLibHandle LoadDynamicLibrary(const std::string& fileName);

// The address of an exported function or variable, nullptr when the name does not resolve.
void* FindLibrarySymbol(TLibHandle library, const char* name);

// Releases one reference to a loaded library; its code stays mapped for the rest of the process
// (see LoadDynamicLibrary), but its handle must not be used again. Returns false on failure.
bool FreeDynamicLibrary(TLibHandle library);

// The system's text for the calling thread's last failure of the three functions above.
std::string LastDynamicLibraryError();

}  // namespace vidorant
