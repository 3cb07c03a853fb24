// Collects the process logger's lines on the logging thread while it lives, for tests that check
// what the engine or the libraries logged.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "engine/runtime/FFLog.h"

namespace vidorant {

class TLogCapture {
public:
  TLogCapture() {
    FFLogger()->TriggerEventInMainThread = false;
    FFLogger()->OnLog = [this](TObject*, uint32_t, TLogLevel level, const std::string& line) {
      Lines.push_back({level, line});
    };
  }
  ~TLogCapture() {
    FFLogger()->OnLog = nullptr;
    FFLogger()->TriggerEventInMainThread = true;
  }
  TLogCapture(const TLogCapture&) = delete;
  TLogCapture& operator=(const TLogCapture&) = delete;

  std::vector<std::pair<TLogLevel, std::string>> Lines;
};

}  // namespace vidorant
