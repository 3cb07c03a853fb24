// Runs a test body in a forked child, so that process-wide state (loaded libraries, the bound
// entry points, the logger, the search variable, the codec mutex) starts fresh for every test
// whether the tests run one per process (ctest) or all in one.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "platform/ThreadID.h"

namespace vidorant {

// How the child ends: at once (no static destructors, no leak check), or through exit(), which
// runs the units' finalisation and the leak checker as a real process end does.
enum class TChildEnd { ceImmediate, ceNormalExit };

// A body still running after limitSeconds (a deadlock) is ended by SIGALRM and fails the test.
inline void RunIsolated(const std::function<void()>& body, TChildEnd end = TChildEnd::ceImmediate,
                        unsigned limitSeconds = 120) {
  // Thread ids are cached per thread; taking ours before the fork makes the child's main thread
  // keep the main thread's id (the kernel gives the child a new one).
  ASSERT_TRUE(InMainThread());
  std::fflush(nullptr);
  const pid_t child = fork();
  ASSERT_GE(child, 0) << "fork failed";
  if (child == 0) {
    // A hung body (a deadlock) ends as a failure instead of stalling the run.
    alarm(limitSeconds);
    int code = 0;
    try {
      body();
      code = ::testing::Test::HasFailure() ? 1 : 0;
    } catch (const std::exception& e) {
      std::fprintf(stderr, "uncaught exception: %s\n", e.what());
      code = 2;
    }
    std::fflush(nullptr);
    if (end == TChildEnd::ceNormalExit) std::exit(code);
    _exit(code);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "the isolated test body crashed (signal " << WTERMSIG(status) << ")";
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the isolated test body failed; see its output above";
}

// A fresh folder under the test build's scratch folder (or /tmp).
inline std::string MakeTempFolder() {
  const char* root = std::getenv("VIDORANT_TEST_TMP");
  std::string base = root && *root ? root : "/tmp";
  std::string pattern = base + "/vidorant-XXXXXX";
  std::system(("mkdir -p '" + base + "'").c_str());
  char* made = mkdtemp(pattern.data());
  return made ? std::string(made) : std::string();
}

}  // namespace vidorant
