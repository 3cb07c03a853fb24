// Loads and binds the machine's FFmpeg 5.1 for tests that call the libraries through the engine.
#pragma once

#include <gtest/gtest.h>

#include "engine/runtime/AVCodecStubs.h"
#include "engine/runtime/AVFilterStubs.h"
#include "engine/runtime/AVFormatStubs.h"
#include "engine/runtime/AVUtilStubs.h"
#include "engine/runtime/MyUtilStubs.h"
#include "engine/runtime/SwResampleStubs.h"
#include "engine/runtime/SwScaleStubs.h"

namespace vidorant {

// Binds every library the engine requires, once per process. Fails the calling test when a
// library is missing; the caller ASSERTs on HasFatalFailure or checks the result.
inline bool LoadTestLibraries() {
  static const bool loaded = [] {
    const struct {
      const TBindingModule* Module;
      const char* SoName;
    } modules[] = {
        {&AVUtilStubs, "libavutil.so.57"},   {&SwResampleStubs, "libswresample.so.4"},
        {&AVCodecStubs, "libavcodec.so.59"}, {&AVFormatStubs, "libavformat.so.59"},
        {&SwScaleStubs, "libswscale.so.6"},  {&AVFilterStubs, "libavfilter.so.8"},
        {&MyUtilStubs, "libc.so.6"},
    };
    for (const auto& m : modules) {
      TLibHandle handle = LoadDynamicLibrary(m.SoName);
      if (!handle) return false;
      BindModule(*m.Module, m.SoName, handle);
    }
    return true;
  }();
  EXPECT_TRUE(loaded) << "the FFmpeg 5.1 libraries could not be loaded";
  return loaded;
}

}  // namespace vidorant
