// Binding for the tests and the log capture.
#include "tests/engine/core/TestEngine.h"

#include "engine/runtime/AVCodecStubs.h"
#include "engine/runtime/AVFilterStubs.h"
#include "engine/runtime/AVFormatStubs.h"
#include "engine/runtime/AVUtilStubs.h"
#include "engine/runtime/MyUtilStubs.h"
#include "engine/runtime/SwResampleStubs.h"
#include "engine/runtime/SwScaleStubs.h"
#include "engine/runtime/UnicodeProtocol.h"
#include "platform/DynamicLibrary.h"

#include <mutex>
#include <stdexcept>

namespace vidorant::testing {

void BindLibrariesForTests() {
  static std::once_flag once;
  std::call_once(once, [] {
    const std::pair<const TBindingModule*, const char*> modules[] = {
        {&AVUtilStubs, "libavutil.so.57"},     {&SwResampleStubs, "libswresample.so.4"},
        {&AVCodecStubs, "libavcodec.so.59"},   {&AVFormatStubs, "libavformat.so.59"},
        {&SwScaleStubs, "libswscale.so.6"},    {&AVFilterStubs, "libavfilter.so.8"},
        {&MyUtilStubs, "libc.so.6"}};
    for (const auto& [module, file] : modules) {
      TLibHandle library = LoadDynamicLibrary(file);
      if (!library) throw std::runtime_error(std::string("cannot load ") + file);
      BindModule(*module, file, library);
    }
    RegisterUnicodeProtocol();
  });
}

TLogCapture::TLogCapture() {
  FFLogger()->Hook = [this](TLogLevel level, const std::string& text) { FLines.emplace_back(level, text); };
}

TLogCapture::~TLogCapture() { FFLogger()->Hook = nullptr; }

int TLogCapture::Count(TLogLevel level, const std::string& text) const {
  int n = 0;
  for (const auto& [l, t] : FLines) n += (l == level && t == text);
  return n;
}

int TLogCapture::LinesAt(TLogLevel level) const {
  int n = 0;
  for (const auto& line : FLines) n += line.first == level;
  return n;
}

bool TTestTask::HasGenericOption(const std::string& name) const {
  for (const TStoredOption& option : FOptionContext.Options)
    if (option.Name == name) return true;
  return false;
}

}  // namespace vidorant::testing
