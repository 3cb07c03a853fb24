// dlopen-based implementation. dlerror's text is consumed on read, so each failure copies it at
// once into a thread-local slot.
#include "platform/DynamicLibrary.h"

#include <dlfcn.h>

namespace vidorant {
namespace {

thread_local std::string tLastError;

void RememberError(const char* fallback) {
  const char* text = dlerror();
  tLastError = text ? text : fallback;
}

}  // namespace

TLibHandle LoadDynamicLibrary(const std::string& fileName) {
  dlerror();
  // RTLD_LOCAL keeps one library's names from leaking into another's lookups, so a lookup in a
  // handle finds only what that library and its dependencies export. RTLD_NODELETE keeps the
  // code mapped after the last FreeDynamicLibrary: libraries such as FFmpeg's dependencies leave
  // at-exit handlers and thread-local destructors behind, which would jump into unmapped memory.
  TLibHandle handle = dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (!handle) RememberError("cannot load library");
  return handle;
}

void* FindLibrarySymbol(TLibHandle library, const char* name) {
  if (!library) {
    tLastError = "invalid module handle";
    return nullptr;
  }
  dlerror();
  void* address = dlsym(library, name);
  if (!address) RememberError("undefined symbol");
  return address;
}

bool FreeDynamicLibrary(TLibHandle library) {
  if (!library) return true;
  dlerror();
  if (dlclose(library) == 0) return true;
  RememberError("cannot close library");
  return false;
}

std::string LastDynamicLibraryError() { return tLastError; }

}  // namespace vidorant
