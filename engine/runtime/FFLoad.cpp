// The loader's table of libraries, the load/unload algorithms, the folder step and the unit's
// initialisation and finalisation.
#include "engine/runtime/FFLoad.h"

#include <cfenv>

#include "engine/runtime/AVCodecStubs.h"
#include "engine/runtime/AVDeviceStubs.h"
#include "engine/runtime/AVFilterStubs.h"
#include "engine/runtime/AVFormatStubs.h"
#include "engine/runtime/AVUtilStubs.h"
#include "engine/runtime/CodecLock.h"
#include "engine/runtime/FFLog.h"
#include "engine/runtime/InterruptCB.h"
#include "engine/runtime/MyUtilStubs.h"
#include "engine/runtime/SwResampleStubs.h"
#include "engine/runtime/SwScaleStubs.h"
#include "engine/runtime/UnicodeProtocol.h"
#include "platform/Environment.h"
#include "platform/Exception.h"
#include "platform/Format.h"

namespace vidorant {
namespace {

const char* const kUnit = "FFLoad";

// The constant description of one library.
struct TLibraryItem {
  const char* BaseName;
  bool SystemLibrary;  // never loaded from LibraryPath
  int FileVersion;     // the number in the file name
  const TBindingModule* Module;
  void (*AfterBind)();  // once per binding; nullptr when the library needs nothing
};

// Input and output devices are found by name only after avdevice has registered them.
void RegisterDevices() { ff::avdevice_register_all(); }

// Majors from the headers we compile against: struct layouts differ between majors.
const TLibraryItem kLibraries[8] = {
    {"avcodec", false, LIBAVCODEC_VERSION_MAJOR, &AVCodecStubs, nullptr},
    {"swresample", false, LIBSWRESAMPLE_VERSION_MAJOR, &SwResampleStubs, nullptr},
    {"avdevice", false, LIBAVDEVICE_VERSION_MAJOR, &AVDeviceStubs, RegisterDevices},
    {"avfilter", false, LIBAVFILTER_VERSION_MAJOR, &AVFilterStubs, nullptr},
    {"avformat", false, LIBAVFORMAT_VERSION_MAJOR, &AVFormatStubs, nullptr},
    {"avutil", false, LIBAVUTIL_VERSION_MAJOR, &AVUtilStubs, nullptr},
    {"swscale", false, LIBSWSCALE_VERSION_MAJOR, &SwScaleStubs, nullptr},
    {"c", true, 6, &MyUtilStubs, nullptr},  // glibc's C runtime, libc.so.6
};

std::string WithoutTrailingDelimiter(std::string folder) {
  while (folder.size() > 1 && folder.back() == PathDelimiter) folder.pop_back();
  return folder;
}

// True when the search list holds the folder as one of its entries.
bool SearchListHolds(const std::string& list, const std::string& folder) {
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(LibrarySearchSeparator, start);
    if (end == std::string::npos) end = list.size();
    if (WithoutTrailingDelimiter(list.substr(start, end - start)) == folder) return true;
    start = end + 1;
  }
  return false;
}

// Restores the current directory when the load is done, whatever happened.
class TCurrentDirScope {
public:
  explicit TCurrentDirScope(const std::string& folder) : FSaved(GetCurrentDir()) { SetCurrentDir(folder); }
  ~TCurrentDirScope() {
    if (!FSaved.empty()) SetCurrentDir(FSaved);
  }

private:
  std::string FSaved;
};

// The avformat hooks: the Unicode file protocol joins the engine's protocol registry (once; a
// second load finds it there). FFmpeg 5.1 has no process-wide interrupt callback: every format
// context and byte stream the engine opens carries EngineInterruptCallback itself, so installing
// it here means making sure the registry it asks exists.
void InstallFormatHooks() {
  RegisterUnicodeProtocol();
  FFInterruptCB();
}

}  // namespace

TFFLoader* FFLoader = nullptr;

TFFLoader::TFFLoader() = default;

TFFLoader::~TFFLoader() = default;

std::string TFFLoader::LibFileName(TLibrary library) const {
  const TLibraryItem& item = kLibraries[library];
  return Format("lib%s.so.%d", item.BaseName, item.FileVersion);
}

TLibHandle TFFLoader::LoadModule(const std::string& folder, const std::string& bareName, std::string& loadedFrom) {
  if (!folder.empty() && FileExists(folder + bareName)) {
    TCurrentDirScope current(folder);
    // The libraries load each other; with the folder first in the search list their
    // dependencies come from the same folder (on Linux the dynamic loader reads the list only
    // at start-up, so a bundle also carries an $ORIGIN run path; child processes see it).
    const std::string entry = WithoutTrailingDelimiter(folder);
    const std::string searchList = GetEnvironmentVariable(LibrarySearchVariable);
    if (!SearchListHolds(searchList, entry))
      SetEnvironmentVariable(LibrarySearchVariable,
                             searchList.empty() ? entry : entry + LibrarySearchSeparator + searchList);
    loadedFrom = folder + bareName;
    return LoadDynamicLibrary(loadedFrom);
  }
  loadedFrom = bareName;
  return LoadDynamicLibrary(bareName);
}

bool TFFLoader::LoadLib(TLibrary library) {
  const TLibraryItem& item = kLibraries[library];
  TLibraryStatus& status = FStatus[library];
  const std::string fileName = LibFileName(library);
  if (!status.Handle) {
    std::string folder;
    if (!FLibraryPath.empty() && !item.SystemLibrary) {
      folder = FLibraryPath;
      if (folder.back() != PathDelimiter) folder += PathDelimiter;
    }
    std::string loadedFrom;
    status.Handle = LoadModule(folder, fileName, loadedFrom);
    if (!status.Handle) {
      FLastErrMsg = Format("Load library %s error: %s", (folder + fileName).c_str(), LastDynamicLibraryError().c_str());
      return false;
    }
    status.LoadedFrom = loadedFrom;
  }
  if (!status.Loaded) {
    try {
      BindModule(*item.Module, fileName, status.Handle);
      const int expected = item.Module->ExpectedMajor;
      const long long major = expected < 0 ? expected : ModuleVersion(*item.Module) >> 16;
      if (major != expected)
        throw Exception(Format("Load library %s error: %s", status.LoadedFrom.c_str(),
                               Format("major version %lld, expected %d", major, expected).c_str()));
      if (item.AfterBind) item.AfterBind();
      status.Loaded = true;
    } catch (const Exception& e) {
      FLastErrMsg = e.Message;
    }
  }
  if (!status.Loaded) {
    UnloadLib(library);
    return false;
  }
  RunPostLoadHooks(library);
  return true;
}

void TFFLoader::RunPostLoadHooks(TLibrary library) {
  switch (library) {
    case libAVCodec:
      RegisterCodecLockManager(CodecLockManager);
      break;
    case libAVUtil:
      if (AutoInstallLogger) FFLogger()->InstallLogCallback();
      break;
    case libAVFormat:
      InstallFormatHooks();
      break;
    default:
      break;
  }
}

bool TFFLoader::LoadLibs(TLibraries libraries) {
  Assert(!libraries.Empty(), "Library set is empty", kUnit);
  for (int i = libAVCodec; i <= libCRuntime; i++) {
    const auto library = static_cast<TLibrary>(i);
    if (libraries.Contains(library) && !LoadLib(library)) {
      UnloadLibs(libraries);
      return false;
    }
  }
  return true;
}

bool TFFLoader::LibLoaded(TLibrary library) const {
  return FStatus[library].Handle != nullptr && FStatus[library].Loaded;
}

bool TFFLoader::LibsLoaded(TLibraries libraries) const {
  Assert(!libraries.Empty(), "Library set is empty", kUnit);
  for (int i = libAVCodec; i <= libCRuntime; i++)
    if (libraries.Contains(static_cast<TLibrary>(i)) && !LibLoaded(static_cast<TLibrary>(i))) return false;
  return true;
}

void TFFLoader::UnloadLib(TLibrary library) {
  TLibraryStatus& status = FStatus[library];
  if (status.Loaded && library == libAVCodec) RegisterCodecLockManager(nullptr);
  // Also undoes a bind that failed part-way, after some names were stored.
  UnbindModule(*kLibraries[library].Module);
  status.Loaded = false;
  if (status.Handle) {
    FreeDynamicLibrary(status.Handle);
    status.Handle = nullptr;
  }
  status.LoadedFrom.clear();
}

void TFFLoader::UnloadLibs(TLibraries libraries) {
  Assert(!libraries.Empty(), "Library set is empty", kUnit);
  for (int i = libAVCodec; i <= libCRuntime; i++)
    if (libraries.Contains(static_cast<TLibrary>(i))) UnloadLib(static_cast<TLibrary>(i));
}

namespace {

// Unit initialisation and finalisation. The libraries' code runs with every floating-point
// exception masked (x87 precision control has no portable equivalent and is not needed on
// SSE); the caller's setting comes back when the unit finalises.
struct TLoadUnit {
  TLoadUnit() {
    std::fegetenv(&FSavedEnvironment);
    std::fenv_t held;
    std::feholdexcept(&held);
    FFLoader = new TFFLoader();
  }
  ~TLoadUnit() {
    std::fesetenv(&FSavedEnvironment);
    SetCodecLockFinalizing(true);
    FFLoader->UnloadLibs(AllLibraries);
    delete FFLoader;
    FFLoader = nullptr;
  }
  std::fenv_t FSavedEnvironment;
} gLoadUnit;

}  // namespace

}  // namespace vidorant
