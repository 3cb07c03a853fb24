// What the core's tests share: the media libraries bound through the engine's own binding
// modules (as the loader binds them), and a capture of the engine's log lines.
#pragma once

#include "engine/core/FFmpeg.h"
#include "engine/runtime/FFLog.h"

#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace vidorant::testing {

// Loads the system's FFmpeg through the engine's loader and registers the engine's protocols;
// safe to call again.
void BindLibrariesForTests();

// Collects the engine's log lines while it lives.
class TLogCapture {
public:
  TLogCapture();
  ~TLogCapture();
  TLogCapture(const TLogCapture&) = delete;
  TLogCapture& operator=(const TLogCapture&) = delete;

  // How many captured lines equal text at that level.
  int Count(TLogLevel level, const std::string& text) const;
  bool Has(TLogLevel level, const std::string& text) const { return Count(level, text) > 0; }
  int LinesAt(TLogLevel level) const;
  // True when some line at any level contains the text.
  bool Contains(const std::string& text) const;

private:
  mutable std::mutex FLock;  // library lines may come from codec threads
  std::vector<std::pair<TLogLevel, std::string>> FLines;
  TLogLevel FOldLevel;
};

// A task with the tests' question about its generic store.
class TTestTask : public TCustomFFmpeg {
public:
  explicit TTestTask(int capacity = 20) : TCustomFFmpeg(capacity) {}
  // True when the generic store kept an option of that name.
  bool HasGenericOption(const std::string& name) const;
};

}  // namespace vidorant::testing
