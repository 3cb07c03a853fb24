// Frame hooks with real modules built beside this test: the module cache, which functions a
// module must have, the order hooks run in, and what is released and logged.
#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include "engine/runtime/AVUtilStubs.h"
#include "engine/runtime/FrameHook.h"
#include "engine/runtime/LibraryFolder.h"
#include "BoundLibraries.h"
#include "hooks/HookRecorder.h"
#include "platform/Environment.h"

namespace vidorant {
namespace {

std::string HookPath(const char* name) {
  return std::string(VIDORANT_TEST_HOOK_DIR) + name + VIDORANT_TEST_HOOK_SUFFIX;
}

// A folder of this process's own for copies of the hook modules: a copy under a new name is a
// module the process has not loaded yet.
std::filesystem::path ScratchFolder() {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("vidorant-hooks-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  return folder;
}

std::string CopyOfHook(const char* name, const std::string& copyName) {
  const std::filesystem::path copy = ScratchFolder() / (copyName + VIDORANT_TEST_HOOK_SUFFIX);
  std::filesystem::copy_file(HookPath(name), copy, std::filesystem::copy_options::overwrite_existing);
  return copy.string();
}

// Collects what is logged through the library log at error level while it lives, then gives
// the library its default handler back (the engine's logger is installed again by every load).
class TLibraryLogCapture {
public:
  TLibraryLogCapture() {
    std::lock_guard<std::mutex> guard(Lock());
    Lines().clear();
    ff::av_log_set_callback(&Collect);
  }
  ~TLibraryLogCapture() { ff::av_log_set_callback(ff::av_log_default_callback); }
  std::vector<std::string> ErrorLines() const {
    std::lock_guard<std::mutex> guard(Lock());
    return Lines();
  }

private:
  static std::mutex& Lock() {
    static std::mutex lock;
    return lock;
  }
  static std::vector<std::string>& Lines() {
    static std::vector<std::string> lines;
    return lines;
  }
  static void Collect(void*, int level, const char* format, va_list args) {
    if (level > AV_LOG_ERROR) return;
    char text[1024];
    vsnprintf(text, sizeof text, format, args);
    std::lock_guard<std::mutex> guard(Lock());
    Lines().push_back(text);
  }
};

// Arguments as AddFrameHook takes them: writable C texts.
class TArgs {
public:
  TArgs(std::initializer_list<std::string> args) : FTexts(args) {
    for (std::string& text : FTexts) FPointers.push_back(text.data());
  }
  int Count() const { return static_cast<int>(FPointers.size()); }
  char** Values() { return FPointers.data(); }

private:
  std::vector<std::string> FTexts;
  std::vector<char*> FPointers;
};

int Add(TFrameHookChain& chain, std::initializer_list<std::string> args) {
  TArgs values(args);
  return AddFrameHook(chain, values.Count(), values.Values());
}

// Runs the chain once on a one-pixel picture; returns the pixel's value afterwards.
int ProcessOnePixel(TFrameHookChain& chain, int64_t pts) {
  uint8_t pixel[4] = {0, 0, 0, 0};
  TAVPicture picture{};
  picture.data[0] = pixel;
  picture.linesize[0] = 4;
  ProcessFrameHooks(chain, &picture, AV_PIX_FMT_BGR24, 1, 1, pts);
  return pixel[0];
}

class FrameHookTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    TBoundLibraries::Bind();
    ASSERT_TRUE(std::filesystem::exists(HookPath("FullHook"))) << HookPath("FullHook");
  }
  static void TearDownTestSuite() {
    TBoundLibraries::Unbind();
    std::error_code ignored;
    std::filesystem::remove_all(ScratchFolder(), ignored);
  }
  void SetUp() override { HookClearEvents(); }
  std::string Events() const { return HookEvents(); }
};

TEST_F(FrameHookTest, SameModuleForTwoTasksLoadsOnceAndConfiguresTwoEntries) {
  const std::string path = CopyOfHook("FullHook", "SharedHook");
  const size_t modulesBefore = FrameHookModuleCount();
  TFrameHookChain first, second;
  ASSERT_EQ(Add(first, {path, "one"}), 0);
  ASSERT_EQ(Add(second, {path, "two"}), 0);
  EXPECT_EQ(FrameHookModuleCount(), modulesBefore + 1);
  ASSERT_EQ(first.Count(), 1u);
  ASSERT_EQ(second.Count(), 1u);
  EXPECT_EQ(first.Entry(0).Process, second.Entry(0).Process);
  EXPECT_NE(first.Entry(0).Context, second.Entry(0).Context);
  EXPECT_EQ(ProcessOnePixel(first, 40) + ProcessOnePixel(second, 80), 2);
  ReleaseFrameHooks(first);
  EXPECT_TRUE(first.Empty());
  ReleaseFrameHooks(second);
  EXPECT_EQ(Events(), "configure:2;configure:2;process:one:40:1x1;process:two:80:1x1;release:one;release:two;");
  // Modules stay loaded: adding again loads nothing new.
  const size_t modulesLoaded = FrameHookModuleCount();
  TFrameHookChain third;
  ASSERT_EQ(Add(third, {path}), 0);
  EXPECT_EQ(FrameHookModuleCount(), modulesLoaded);
}

TEST_F(FrameHookTest, TasksAddingOnSeveralThreadsEachLoadModulesOnce) {
  // Every thread adds the same modules, so several threads load and enter the same and
  // different modules into the cache at once.
  constexpr int kThreads = 6, kModules = 12, kRounds = 3;
  std::vector<std::string> paths;
  for (int m = 0; m < kModules; ++m) paths.push_back(CopyOfHook("NoReleaseHook", "ThreadedHook" + std::to_string(m)));
  const size_t modulesBefore = FrameHookModuleCount();
  std::vector<TFrameHookChain> chains(kThreads);
  std::vector<int> failures(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      for (int round = 0; round < kRounds; ++round)
        for (int m = 0; m < kModules; ++m)
          if (Add(chains[t], {paths[(m + t) % kModules]}) != 0) ++failures[t];
    });
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(FrameHookModuleCount(), modulesBefore + kModules);
  for (int t = 0; t < kThreads; ++t) {
    EXPECT_EQ(failures[t], 0) << "thread " << t;
    EXPECT_EQ(chains[t].Count(), static_cast<size_t>(kModules * kRounds)) << "thread " << t;
  }
}

TEST_F(FrameHookTest, HooksRunInTheOrderAdded) {
  TFrameHookChain chain;
  ASSERT_EQ(Add(chain, {HookPath("FullHook"), "a"}), 0);
  ASSERT_EQ(Add(chain, {HookPath("NoConfigureHook")}), 0);
  ASSERT_EQ(Add(chain, {HookPath("NoReleaseHook")}), 0);
  ASSERT_EQ(Add(chain, {HookPath("FullHook"), "b"}), 0);
  HookClearEvents();
  EXPECT_EQ(ProcessOnePixel(chain, 7), 2);
  EXPECT_EQ(Events(), "process:a:7:1x1;process:noconfigure:null;process:norelease:context;process:b:7:1x1;");
  HookClearEvents();
  ReleaseFrameHooks(chain);
  EXPECT_EQ(Events(), "release:a;release:noconfigure:null;release:b;");
}

TEST_F(FrameHookTest, ModuleWithoutConfigureAcceptedOnlyWithoutOptions) {
  TFrameHookChain chain;
  {
    TLibraryLogCapture log;
    EXPECT_EQ(Add(chain, {HookPath("NoConfigureHook")}), 0);
    EXPECT_TRUE(log.ErrorLines().empty());
  }
  TLibraryLogCapture log;
  EXPECT_EQ(Add(chain, {HookPath("NoConfigureHook"), "option"}), -2);
  EXPECT_EQ(chain.Count(), 1u);
  EXPECT_EQ(log.ErrorLines(),
            std::vector<std::string>{"Failed to find Configure entrypoint in " + HookPath("NoConfigureHook") + "\n"});
}

TEST_F(FrameHookTest, ModuleWithoutReleaseFreedWithoutACall) {
  {
    TFrameHookChain chain;
    ASSERT_EQ(Add(chain, {HookPath("NoReleaseHook"), "x"}), 0);
    EXPECT_EQ(chain.Entry(0).Release, nullptr);
    ProcessOnePixel(chain, 0);
    ReleaseFrameHooks(chain);
    EXPECT_TRUE(chain.Empty());
  }
  EXPECT_EQ(Events(), "configure:norelease:2;process:norelease:context;");
}

TEST_F(FrameHookTest, ChainDestructionReleasesEveryHook) {
  {
    TFrameHookChain chain;
    ASSERT_EQ(Add(chain, {HookPath("FullHook"), "p"}), 0);
    ASSERT_EQ(Add(chain, {HookPath("FullHook"), "q"}), 0);
  }
  EXPECT_EQ(Events(), "configure:2;configure:2;release:p;release:q;");
}

struct TRefusalCase {
  const char* Name;
  std::vector<std::string> Args;
  int Result;
  std::string LogLine;  // empty: only a non-empty line is expected
  std::string Events;
};

TEST_F(FrameHookTest, RefusedHooksAreFreedLoggedAndNotChained) {
  const std::string full = HookPath("FullHook");
  const std::string noProcess = HookPath("NoProcessHook");
  const std::string missing = HookPath("NoSuchHook");
  const TRefusalCase cases[] = {
      {"configure fails", {full, "fail"}, -22, "Failed to Configure " + full + "\n", "configure:2;"},
      {"no Process", {noProcess}, -2, "Failed to find Process entrypoint in " + noProcess + "\n", ""},
      {"no Process with options", {noProcess, "x"}, -2, "Failed to find Process entrypoint in " + noProcess + "\n",
       ""},
      {"missing file", {missing}, -1, "", ""},
  };
  for (const TRefusalCase& c : cases) {
    SCOPED_TRACE(c.Name);
    HookClearEvents();
    TFrameHookChain chain;
    ASSERT_EQ(Add(chain, {full, "kept"}), 0);
    HookClearEvents();
    TLibraryLogCapture log;
    std::vector<char*> argv;
    std::vector<std::string> texts = c.Args;
    for (std::string& text : texts) argv.push_back(text.data());
    EXPECT_EQ(AddFrameHook(chain, static_cast<int>(argv.size()), argv.data()), c.Result);
    EXPECT_EQ(chain.Count(), 1u);
    EXPECT_EQ(Events(), c.Events);
    const std::vector<std::string> lines = log.ErrorLines();
    ASSERT_EQ(lines.size(), 1u);
    if (!c.LogLine.empty()) {
      EXPECT_EQ(lines[0], c.LogLine);
    } else {
      // The system's own text, which names the file it could not open.
      EXPECT_NE(lines[0].find("NoSuchHook"), std::string::npos) << lines[0];
      EXPECT_EQ(lines[0].back(), '\n');
    }
    HookClearEvents();
    ReleaseFrameHooks(chain);
    EXPECT_EQ(Events(), "release:kept;");
  }
}

TEST_F(FrameHookTest, NoArgumentsRefused) {
  TFrameHookChain chain;
  EXPECT_EQ(AddFrameHook(chain, 0, nullptr), -2);
  EXPECT_TRUE(chain.Empty());
}

TEST_F(FrameHookTest, FolderStepRestoresCurrentFolderAndJoinsSearchVariableOnce) {
  const std::string before = GetCurrentDir();
  TFrameHookChain chain;
  ASSERT_EQ(Add(chain, {HookPath("FullHook")}), 0);
  ASSERT_EQ(Add(chain, {HookPath("NoReleaseHook")}), 0);
  EXPECT_EQ(GetCurrentDir(), before);
  std::string folder = VIDORANT_TEST_HOOK_DIR;
  folder.pop_back();  // entries carry no trailing delimiter
  const std::string search = GetEnvironmentVariable(LibrarySearchVariable);
  int occurrences = 0;
  size_t start = 0;
  for (size_t end; start <= search.size(); start = end + 1) {
    end = search.find(LibrarySearchSeparator, start);
    if (end == std::string::npos) end = search.size();
    if (search.substr(start, end - start) == folder) ++occurrences;
  }
  EXPECT_EQ(occurrences, 1) << search;
  EXPECT_EQ(search.substr(0, folder.size()), folder) << "the folder goes first: " << search;
}

TEST(LibraryFolder, SearchListHoldsWholeEntriesOnly) {
  const std::string sep(1, LibrarySearchSeparator);
  struct TCase {
    std::string List, Folder;
    bool Holds;
  };
  const TCase cases[] = {
      {"/opt/a" + sep + "/opt/b", "/opt/b", true},
      {"/opt/a" + sep + "/opt/b/", "/opt/b", true},
      {"/opt/a", "/opt/a/", true},
      {"/opt/hooks", "/opt/hook", false},
      {"/opt/hook/x", "/opt/hook", false},
      {"", "/opt/a", false},
      {"/OPT/A", "/opt/a", false},
  };
  for (const TCase& c : cases) EXPECT_EQ(SearchListHolds(c.List, c.Folder), c.Holds) << c.List << " ? " << c.Folder;
}

TEST_F(FrameHookTest, RelativePathWithFolderLoads) {
  const std::string before = GetCurrentDir();
  const std::filesystem::path hookDir = std::filesystem::path(VIDORANT_TEST_HOOK_DIR).parent_path();
  ASSERT_TRUE(SetCurrentDir(hookDir.parent_path().string()));
  TFrameHookChain chain;
  const std::string relative = hookDir.filename().string() + "/NoReleaseHook" + VIDORANT_TEST_HOOK_SUFFIX;
  const int result = Add(chain, {relative});
  const std::string during = GetCurrentDir();
  SetCurrentDir(before);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(during, hookDir.parent_path().string());
}

TEST_F(FrameHookTest, NamesDifferingInCaseAreDistinctModules) {
  const std::string upper = CopyOfHook("FullHook", "CaseHook");
  const std::string lower = CopyOfHook("NoReleaseHook", "casehook");
  TFrameHookChain chain;
  ASSERT_EQ(Add(chain, {upper, "upper"}), 0);
  ASSERT_EQ(Add(chain, {lower}), 0);
  HookClearEvents();
  ProcessOnePixel(chain, 3);
  EXPECT_EQ(Events(), "process:upper:3:1x1;process:norelease:context;");
}

}  // namespace
}  // namespace vidorant
