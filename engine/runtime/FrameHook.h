// Frame hooks: external picture-processing modules that a task runs on every decoded picture
// before it is encoded. Each module file is loaded once per process and never unloaded; a task
// keeps its own chain of configured hooks, each with the private context its Configure made.
//
// Invariants: every entry in a chain has a Process function and was configured successfully;
// Release is called exactly once per entry in the chain, by ReleaseFrameHooks or the chain's
// destructor; an entry that fails while being added never enters the chain and is not released.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/runtime/FrameHookABI.h"

namespace vidorant {

// One configured hook of a chain.
struct TFrameHookEntry {
  TFrameHookConfigure Configure = nullptr;
  TFrameHookProcess Process = nullptr;
  TFrameHookRelease Release = nullptr;  // may be null: then nothing is called on release
  void* Context = nullptr;              // owned by the module, made by Configure
};

// The hooks of one task, in the order they were added. Owned by the task; releasing the chain
// (explicitly or by destruction) calls each hook's Release.
class TFrameHookChain {
public:
  TFrameHookChain() = default;
  ~TFrameHookChain();
  TFrameHookChain(const TFrameHookChain&) = delete;
  TFrameHookChain& operator=(const TFrameHookChain&) = delete;

  bool Empty() const { return FEntries.empty(); }
  size_t Count() const { return FEntries.size(); }
  const TFrameHookEntry& Entry(size_t index) const { return *FEntries.at(index); }

private:
  friend int AddFrameHook(TFrameHookChain& chain, int argc, char* argv[]);
  friend void ProcessFrameHooks(TFrameHookChain& chain, TAVPicture* picture, AVPixelFormat pixFmt, int width,
                                int height, int64_t pts);
  friend void ReleaseFrameHooks(TFrameHookChain& chain);

  std::vector<std::unique_ptr<TFrameHookEntry>> FEntries;
};

// Loads (once per process) the module argv[0] and appends a hook configured with argv[0..argc-1].
// Returns 0, or: -2 without arguments, without a Process function, or with options but without
// a Configure function; -1 when the module cannot be loaded; -12 when out of memory; -22 when
// Configure fails. Every failure is logged at error level through the library log.
int AddFrameHook(TFrameHookChain& chain, int argc, char* argv[]);

// Calls Process of every hook in chain order with that hook's context; pts in microseconds.
void ProcessFrameHooks(TFrameHookChain& chain, TAVPicture* picture, AVPixelFormat pixFmt, int width, int height,
                       int64_t pts);

// Calls Release (when the module has one) of every hook in chain order; the chain becomes empty.
void ReleaseFrameHooks(TFrameHookChain& chain);

// The number of module files loaded by frame hooks so far in this process.
size_t FrameHookModuleCount();

}  // namespace vidorant
