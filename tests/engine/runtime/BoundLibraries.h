// Binds the libraries the converter and frame-hook tests call (avutil, swscale) for a test suite
// and puts the placeholders back afterwards.
#pragma once

#include <gtest/gtest.h>

#include "engine/runtime/AVUtilStubs.h"
#include "engine/runtime/SwScaleStubs.h"
#include "platform/DynamicLibrary.h"

namespace vidorant {

class TBoundLibraries {
public:
  static void Bind() {
    for (const TModule& module : Modules()) {
      TLibHandle handle = LoadDynamicLibrary(module.SoName);
      ASSERT_NE(handle, nullptr) << LastDynamicLibraryError();
      ASSERT_NO_THROW(BindModule(*module.Module, module.SoName, handle)) << module.SoName;
    }
  }
  // The libraries stay mapped; a later Bind finds them loaded.
  static void Unbind() {
    for (const TModule& module : Modules()) UnbindModule(*module.Module);
  }

private:
  struct TModule {
    const TBindingModule* Module;
    const char* SoName;
  };
  static const std::vector<TModule>& Modules() {
    static const std::vector<TModule> modules{{&AVUtilStubs, "libavutil.so.57"}, {&SwScaleStubs, "libswscale.so.6"}};
    return modules;
  }
};

}  // namespace vidorant
