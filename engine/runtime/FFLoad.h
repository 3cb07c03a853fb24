// The media library loader: finds, loads and binds the FFmpeg libraries and the C runtime at run
// time, installs the engine's hooks into them, and reports failures as text. Every other engine
// part asks LibLoaded/LibsLoaded before it calls a library. Invariant: a library counts as loaded
// only when its module is loaded, every required name is bound and its major version is the one
// the engine was compiled against; a failed load leaves it unloaded.
#pragma once

#include <cstdint>
#include <string>

#include "platform/DynamicLibrary.h"
#include "platform/TObject.h"

namespace vidorant {

// In load order; the value is also the library's bit in a TLibraries set.
enum TLibrary {
  libAVCodec,
  libSwResample,  // the successor of the old avcore library's audio role
  libAVDevice,
  libAVFilter,
  libAVFormat,
  libAVUtil,
  libSwScale,
  libCRuntime,  // the system's C runtime, always loaded by bare name
};

// An 8-bit set over TLibrary.
struct TLibraries {
  uint8_t Bits = 0;
  constexpr bool Contains(TLibrary library) const { return Bits & (1u << library); }
  constexpr bool Empty() const { return Bits == 0; }
};
constexpr TLibraries operator+(TLibraries set, TLibrary library) {
  return TLibraries{static_cast<uint8_t>(set.Bits | (1u << library))};
}
constexpr TLibraries operator-(TLibraries set, TLibrary library) {
  return TLibraries{static_cast<uint8_t>(set.Bits & ~(1u << library))};
}

constexpr TLibraries AllLibraries{0xFF};
// Every library but avdevice.
constexpr TLibraries RequiredLibraries = AllLibraries - libAVDevice;
static_assert(RequiredLibraries.Bits == 0xFB);

class TFFLoader : public TObject {
public:
  TFFLoader();
  ~TFFLoader() override;
  TFFLoader(const TFFLoader&) = delete;
  TFFLoader& operator=(const TFFLoader&) = delete;

  // The folder to load the libraries from (affects later loads only); empty: standard search.
  void SetLibraryPath(const std::string& folder) { FLibraryPath = folder; }
  const std::string& LibraryPath() const { return FLibraryPath; }
  // The text of the most recent failure; a success does not clear it.
  const std::string& LastErrMsg() const { return FLastErrMsg; }

  // "lib" + base + ".so." + major, e.g. "libavcodec.so.59", "libc.so.6".
  std::string LibFileName(TLibrary library) const;
  // Loads and binds one library, then runs its post-load hooks (also when already loaded).
  bool LoadLib(TLibrary library);
  // Loads the members in order; at the first failure unloads every member and returns false.
  // An empty set is an assertion (FFLoad), as for the other set operations.
  bool LoadLibs(TLibraries libraries);
  bool LibLoaded(TLibrary library) const;
  bool LibsLoaded(TLibraries libraries) const;
  void UnloadLib(TLibrary library);
  void UnloadLibs(TLibraries libraries);
  // The name the module was loaded by: a full path from LibraryPath, or the bare file name;
  // empty when not loaded.
  const std::string& LoadedFrom(TLibrary library) const { return FStatus[library].LoadedFrom; }

  // When true (the default), loading avutil installs the logger's callback into it.
  bool AutoInstallLogger = true;

private:
  struct TLibraryStatus {
    TLibHandle Handle = nullptr;
    bool Loaded = false;
    std::string LoadedFrom;
  };

  TLibHandle LoadModule(const std::string& folder, const std::string& bareName, std::string& loadedFrom);
  void RunPostLoadHooks(TLibrary library);

  std::string FLibraryPath;
  std::string FLastErrMsg;
  TLibraryStatus FStatus[8];
};

// The loader of the process: exists from the unit's initialisation to its finalisation, which
// unloads every library.
extern TFFLoader* FFLoader;

}  // namespace vidorant
