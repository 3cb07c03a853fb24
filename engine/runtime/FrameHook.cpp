// Frame hooks: the process-wide module cache, adding a configured hook to a chain, running and
// releasing a chain.
#include "engine/runtime/FrameHook.h"

#include <filesystem>
#include <map>
#include <mutex>
#include <new>
#include <string>

extern "C" {
#include <libavutil/log.h>
}

#include "engine/runtime/AVUtilStubs.h"
#include "engine/runtime/LibraryFolder.h"
#include "platform/DynamicLibrary.h"
#include "platform/Environment.h"

namespace vidorant {

namespace {

#ifdef _WIN32
// File names are not case-sensitive there, so neither are the cache's keys.
struct TPathLess {
  bool operator()(const std::string& a, const std::string& b) const { return _stricmp(a.c_str(), b.c_str()) < 0; }
};
#else
// File names are case-sensitive: two names that differ only in case are two modules.
using TPathLess = std::less<std::string>;
#endif

// Module files by the path text as given. Shared by every task, which may add hooks from
// several threads at once; the lock also covers the folder step, which changes the process's
// current directory and search variable. Modules are never unloaded.
struct TModuleCache {
  std::mutex Lock;
  std::map<std::string, TLibHandle, TPathLess> Modules;
};

TModuleCache& ModuleCache() {
  static TModuleCache cache;
  return cache;
}

// The folder part of a path, delimiter included; empty for a bare name.
std::string FolderOf(const std::string& path) {
  const size_t delimiter = path.find_last_of(PathDelimiter);
  return delimiter == std::string::npos ? std::string() : path.substr(0, delimiter + 1);
}

// Finds the module for path in the cache or loads it; null after logging the failure.
TLibHandle LoadHookModule(TModuleCache& cache, const std::string& path) {
  // A path with a folder is made absolute before its folder becomes current, or a relative one
  // would be looked up relative to its own folder; a bare name goes to the standard search.
  const std::string folder = FolderOf(path);
  std::error_code error;
  const std::filesystem::path absolute =
      folder.empty() ? std::filesystem::path(path) : std::filesystem::absolute(path, error);
  const std::string fullPath = error ? path : absolute.string();
  TLibraryFolderScope folderScope(FolderOf(fullPath));
  const auto found = cache.Modules.find(path);
  if (found != cache.Modules.end()) return found->second;
  const TLibHandle module = LoadDynamicLibrary(fullPath);
  if (!module) {
    ff::av_log(nullptr, AV_LOG_ERROR, "%s\n", LastDynamicLibraryError().c_str());
    return nullptr;
  }
  cache.Modules.emplace(path, module);
  return module;
}

}  // namespace

TFrameHookChain::~TFrameHookChain() { ReleaseFrameHooks(*this); }

int AddFrameHook(TFrameHookChain& chain, int argc, char* argv[]) {
  if (argc < 1 || !argv || !argv[0]) return -2;
  const std::string path = argv[0];

  std::unique_ptr<TFrameHookEntry> entry;
  {
    TModuleCache& cache = ModuleCache();
    std::lock_guard<std::mutex> guard(cache.Lock);
    const TLibHandle module = LoadHookModule(cache, path);
    if (!module) return -1;
    entry.reset(new (std::nothrow) TFrameHookEntry);
    if (!entry) return -12;
    entry->Configure = reinterpret_cast<TFrameHookConfigure>(FindLibrarySymbol(module, "Configure"));
    entry->Process = reinterpret_cast<TFrameHookProcess>(FindLibrarySymbol(module, "Process"));
    entry->Release = reinterpret_cast<TFrameHookRelease>(FindLibrarySymbol(module, "Release"));
  }

  if (!entry->Process) {
    ff::av_log(nullptr, AV_LOG_ERROR, "Failed to find Process entrypoint in %s\n", path.c_str());
    return -2;
  }
  if (!entry->Configure && argc > 1) {
    ff::av_log(nullptr, AV_LOG_ERROR, "Failed to find Configure entrypoint in %s\n", path.c_str());
    return -2;
  }
  if (entry->Configure && entry->Configure(&entry->Context, argc, argv) != 0) {
    ff::av_log(nullptr, AV_LOG_ERROR, "Failed to Configure %s\n", path.c_str());
    return -22;
  }
  try {
    chain.FEntries.push_back(std::move(entry));
  } catch (const std::bad_alloc&) {
    // push_back leaves the entry with us when it cannot grow; it was configured, so release it.
    if (entry->Release) entry->Release(entry->Context);
    return -12;
  }
  return 0;
}

void ProcessFrameHooks(TFrameHookChain& chain, TAVPicture* picture, AVPixelFormat pixFmt, int width, int height,
                       int64_t pts) {
  for (const auto& entry : chain.FEntries) entry->Process(entry->Context, picture, pixFmt, width, height, pts);
}

void ReleaseFrameHooks(TFrameHookChain& chain) {
  // Taken out first so that the chain is empty even if a module misbehaves on release.
  std::vector<std::unique_ptr<TFrameHookEntry>> entries = std::move(chain.FEntries);
  chain.FEntries.clear();
  for (const auto& entry : entries)
    if (entry->Release) entry->Release(entry->Context);
}

size_t FrameHookModuleCount() {
  TModuleCache& cache = ModuleCache();
  std::lock_guard<std::mutex> guard(cache.Lock);
  return cache.Modules.size();
}

}  // namespace vidorant
