// Loads the machine's FFmpeg 5.1 through the engine's loader (standard search, no library
// folder) for tests that call the libraries through the engine.
#pragma once

#include <gtest/gtest.h>

#include "engine/runtime/FFLoad.h"

namespace vidorant {

// True when the required libraries are loaded; otherwise the calling test fails with the
// loader's text (a missing library is a broken fixture, never a silent pass).
inline bool LoadTestLibraries() {
  FFLoader->SetLibraryPath("");
  const bool loaded = FFLoader->LoadLibs(RequiredLibraries);
  EXPECT_TRUE(loaded) << FFLoader->LastErrMsg();
  return loaded;
}

}  // namespace vidorant
