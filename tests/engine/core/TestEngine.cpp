// Binding for the tests and the log capture.
#include "tests/engine/core/TestEngine.h"

#include "engine/runtime/FFLoad.h"
#include "engine/runtime/UnicodeProtocol.h"

#include <stdexcept>

namespace vidorant::testing {

void BindLibrariesForTests() {
  if (FFLoader->LibsLoaded(RequiredLibraries)) return;
  if (!FFLoader->LoadLibs(RequiredLibraries)) throw std::runtime_error(FFLoader->LastErrMsg());
  RegisterUnicodeProtocol();
}

TLogCapture::TLogCapture() : FOldLevel(FFLogger()->LogLevel()) {
  FFLogger()->TriggerEventInMainThread = false;
  FFLogger()->SetLogLevel(llDebug);
  FFLogger()->OnLog = [this](TObject*, uint32_t, TLogLevel level, const std::string& text) {
    std::lock_guard<std::mutex> lock(FLock);
    FLines.emplace_back(level, text);
  };
}

TLogCapture::~TLogCapture() {
  FFLogger()->OnLog = nullptr;
  FFLogger()->SetLogLevel(FOldLevel);
}

int TLogCapture::Count(TLogLevel level, const std::string& text) const {
  std::lock_guard<std::mutex> lock(FLock);
  int n = 0;
  for (const auto& [l, t] : FLines) n += (l == level && t == text);
  return n;
}

int TLogCapture::LinesAt(TLogLevel level) const {
  std::lock_guard<std::mutex> lock(FLock);
  int n = 0;
  for (const auto& line : FLines) n += line.first == level;
  return n;
}

bool TLogCapture::Contains(const std::string& text) const {
  std::lock_guard<std::mutex> lock(FLock);
  for (const auto& line : FLines)
    if (line.second.find(text) != std::string::npos) return true;
  return false;
}

bool TTestTask::HasGenericOption(const std::string& name) const {
  for (const TStoredOption& option : GenericOptions().Options)
    if (option.Name == name) return true;
  return false;
}

}  // namespace vidorant::testing
