// The logger: level conversions and names, engine messages, the singleton, and the library
// callback against the machine's avutil (pieces, prefixes, repeats, long texts, threads).
#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "engine/runtime/AVUtilStubs.h"
#include "engine/runtime/FFLoad.h"
#include "engine/runtime/FFLog.h"
#include "Isolated.h"
#include "platform/Exception.h"
#include "platform/Format.h"
#include "platform/Synchronize.h"
#include "platform/ThreadID.h"

namespace vidorant {
namespace {

struct TLine {
  TObject* Sender;
  uint32_t ThreadID;
  TLogLevel Level;
  std::string Text;
  uint32_t DeliveredOn;
};

// A logger that records what reaches OnLog.
struct TRecordingLogger {
  TRecordingLogger() {
    Logger.OnLog = [this](TObject* sender, uint32_t threadID, TLogLevel level, const std::string& text) {
      Lines.push_back({sender, threadID, level, text, CurrentThreadID()});
    };
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const TLine& line : Lines) texts.push_back(line.Text);
    return texts;
  }
  TFFLogger Logger;
  std::vector<TLine> Lines;
};

TEST(LogLevels, ConversionsBothWaysAndNames) {
  const int library[] = {-8, 0, 8, 16, 24, 32, 40, 48};
  const char* names[] = {"quiet", "panic", "fatal", "error", "warning", "info", "verbose", "debug"};
  for (int level = llQuiet; level <= llDebug; level++) {
    EXPECT_EQ(LogLevelToLibrary(static_cast<TLogLevel>(level)), library[level]);
    EXPECT_EQ(LogLevelFromLibrary(library[level]), level) << "round trip of " << names[level];
    EXPECT_STREQ(LogLevelName(static_cast<TLogLevel>(level)), names[level]);
  }
  const struct {
    int Library;
    TLogLevel Level;
  } kBands[] = {{-100, llQuiet}, {-9, llQuiet}, {-1, llQuiet}, {7, llPanic},    {15, llFatal},
                {20, llError},   {31, llWarning}, {39, llInfo}, {47, llVerbose}, {1000, llDebug}};
  for (const auto& band : kBands) EXPECT_EQ(LogLevelFromLibrary(band.Library), band.Level) << band.Library;
}

TEST(Logger, LevelByNameOrNumber) {
  TFFLogger logger;
  const struct {
    const char* Text;
    TLogLevel Level;
  } kCases[] = {{"Warning", llWarning}, {"24", llWarning}, {"20", llError}, {"QUIET", llQuiet},
                {"debug", llDebug},     {"-8", llQuiet},   {"info", llInfo}};
  for (const auto& c : kCases) {
    logger.SetLogLevelByName(c.Text);
    EXPECT_EQ(logger.LogLevel(), c.Level) << c.Text;
  }
  EXPECT_THROW(logger.SetLogLevelByName("loud"), EConvertError);
  EXPECT_THROW(logger.SetLogLevelByName(""), EConvertError);
  EXPECT_THROW(logger.SetLogLevelByName("24x"), EConvertError);
  EXPECT_EQ(logger.LogLevel(), llInfo);
}

TEST(Logger, EngineMessagesFilteredByLevelWithVerboseAlwaysPassingUnlessQuiet) {
  TRecordingLogger rec;
  TObject sender;
  ASSERT_EQ(rec.Logger.LogLevel(), llInfo);
  rec.Logger.Log(&sender, llError, "an error");
  rec.Logger.Log(&sender, llVerbose, "verbose passes");
  rec.Logger.Log(&sender, llDebug, "debug does not");
  rec.Logger.LogFmt(&sender, llInfo, "%d frames of %s", 12, "clip");
  rec.Logger.SetLogLevel(llQuiet);
  rec.Logger.Log(&sender, llVerbose, "not when quiet");
  rec.Logger.Log(&sender, llQuiet, "quiet itself");
  ASSERT_EQ(rec.Texts(), (std::vector<std::string>{"an error", "verbose passes", "12 frames of clip", "quiet itself"}));
  EXPECT_EQ(rec.Lines[0].Sender, &sender);
  EXPECT_EQ(rec.Lines[0].Level, llError);
  EXPECT_EQ(rec.Lines[0].ThreadID, CurrentThreadID());
  EXPECT_EQ(rec.Lines[1].Level, llVerbose);
  // Without a handler nothing happens.
  rec.Logger.OnLog = nullptr;
  rec.Logger.Log(&sender, llError, "nobody listens");
}

TEST(Logger, EngineMessageFromAWorkerIsDeliveredOnTheMainThread) {
  TRecordingLogger rec;
  std::atomic<bool> done{false};
  uint32_t workerID = 0;
  std::thread worker([&] {
    workerID = CurrentThreadID();
    rec.Logger.Log(nullptr, llWarning, "from the worker");
    done = true;
  });
  while (!done) CheckSynchronize();
  worker.join();
  ASSERT_EQ(rec.Lines.size(), 1u);
  EXPECT_EQ(rec.Lines[0].ThreadID, workerID);
  EXPECT_EQ(rec.Lines[0].DeliveredOn, MainThreadID());

  rec.Logger.TriggerEventInMainThread = false;
  std::thread([&] { rec.Logger.Log(nullptr, llWarning, "on its own thread"); }).join();
  ASSERT_EQ(rec.Lines.size(), 2u);
  EXPECT_NE(rec.Lines[1].DeliveredOn, MainThreadID());
}

TEST(Logger, SingleInstanceReplacingTheAutoCreatedOne) {
  RunIsolated([] {
    TFFLogger* automatic = FFLogger();
    EXPECT_TRUE(automatic->AutoCreated());
    EXPECT_EQ(FFLogger(), automatic);
    {
      TFFLogger own;  // replaces (frees) the auto-created one
      EXPECT_EQ(FFLogger(), &own);
      EXPECT_FALSE(own.AutoCreated());
      try {
        TFFLogger second;
        ADD_FAILURE() << "a second logger was created";
      } catch (const EAssertionFailed& e) {
        EXPECT_EQ(e.Message, "Allow creating only one instance of TFFLogger. (FFLog)");
      }
      EXPECT_EQ(FFLogger(), &own);
    }
    EXPECT_TRUE(FFLogger()->AutoCreated());
  });
}

TEST(Logger, ReplacingTheAutoCreatedLoggerWhileAWorkerLogsThroughIt) {
  RunIsolated([] {
    ASSERT_TRUE(FFLogger()->AutoCreated());
    std::atomic<bool> stop{false};
    std::atomic<int> logged{0};
    std::thread worker([&] {
      while (!stop) {
        FFLogger()->Log(nullptr, llError, "from the worker");
        logged++;
      }
    });
    while (logged.load() < 100) std::this_thread::yield();
    std::atomic<int> reachedOwn{0};
    {
      TFFLogger own;  // the worker is logging through the auto-created one at this moment
      own.TriggerEventInMainThread = false;
      own.OnLog = [&](TObject*, uint32_t, TLogLevel, const std::string&) { reachedOwn++; };
      while (reachedOwn.load() < 100) std::this_thread::yield();
      stop = true;
      worker.join();
    }
    EXPECT_GE(reachedOwn.load(), 100);
  });
}

TEST(Logger, LevelChangedOnTwoThreadsWhileAThirdLogsStaysInStepWithTheLibrary) {
  // A task's "loglevel" option sets the level on its worker thread while other threads log.
  RunIsolated([] {
    TFFLogger logger;
    logger.TriggerEventInMainThread = false;
    std::atomic<int> delivered{0};
    logger.OnLog = [&](TObject*, uint32_t, TLogLevel, const std::string&) { delivered++; };
    ASSERT_TRUE(FFLoader->LoadLibs(TLibraries{} + libAVUtil + libCRuntime)) << FFLoader->LastErrMsg();
    std::atomic<bool> stop{false};
    std::thread reader([&] {
      while (!stop) logger.Log(nullptr, llDebug, "detail");
    });
    auto setter = [&](TLogLevel a, TLogLevel b) {
      return std::thread([&logger, a, b] {
        for (int i = 0; i < 2000; i++) logger.SetLogLevel(i % 2 ? a : b);
      });
    };
    std::thread first = setter(llDebug, llError);
    std::thread second = setter(llWarning, llVerbose);
    first.join();
    second.join();
    stop = true;
    reader.join();
    EXPECT_EQ(ff::av_log_get_level(), LogLevelToLibrary(logger.LogLevel()));
  });
}

// An object the library can log for: its first member is its class.
struct TLoggingObject {
  const AVClass* Class;
  void* Parent;
};

const char* ClassName(void* object) { return (*static_cast<const AVClass**>(object))->class_name; }

AVClass MakeClass(const char* name, int parentOffset) {
  AVClass cls{};
  cls.class_name = name;
  cls.item_name = ClassName;
  cls.version = LIBAVUTIL_VERSION_INT;
  cls.parent_log_context_offset = parentOffset;
  return cls;
}

const AVClass kParentClass = MakeClass("Parent", 0);
const AVClass kChildClass = MakeClass("Child", offsetof(TLoggingObject, Parent));

// Loads avutil and the C runtime with a recording logger installed, then runs the check.
template <class Check>
void WithLibraryLogger(Check check) {
  RunIsolated([&] {
    TRecordingLogger rec;
    rec.Logger.TriggerEventInMainThread = false;
    ASSERT_TRUE(FFLoader->LoadLibs(TLibraries{} + libAVUtil + libCRuntime)) << FFLoader->LastErrMsg();
    check(rec);
  });
}

TEST(LibraryLog, LineInTwoPiecesCarriesThePrefixOnce) {
  WithLibraryLogger([](TRecordingLogger& rec) {
    TLoggingObject object{&kParentClass, nullptr};
    ff::av_log(&object, AV_LOG_ERROR, "first %d, ", 1);
    EXPECT_TRUE(rec.Lines.empty());
    ff::av_log(&object, AV_LOG_ERROR, "second\n");
    ASSERT_EQ(rec.Lines.size(), 1u);
    EXPECT_EQ(rec.Lines[0].Text, Format("[Parent @ %p]first 1, second", static_cast<void*>(&object)));
    EXPECT_EQ(rec.Lines[0].Level, llError);
    EXPECT_EQ(rec.Lines[0].Sender, &rec.Logger);
    EXPECT_EQ(rec.Lines[0].ThreadID, CurrentThreadID());

    // A parent log context comes first; no object means no prefix.
    TLoggingObject parent{&kParentClass, nullptr};
    TLoggingObject child{&kChildClass, &parent};
    ff::av_log(&child, AV_LOG_WARNING, "nested\n");
    ff::av_log(nullptr, AV_LOG_WARNING, "bare\n");
    ASSERT_EQ(rec.Lines.size(), 3u);
    EXPECT_EQ(rec.Lines[1].Text,
              Format("[Parent @ %p] [Child @ %p]nested", static_cast<void*>(&parent), static_cast<void*>(&child)));
    EXPECT_EQ(rec.Lines[1].Level, llWarning);
    EXPECT_EQ(rec.Lines[2].Text, "bare");

    // Several lines in one message, and a null text for "%s".
    ff::av_log(nullptr, AV_LOG_ERROR, "%s", static_cast<const char*>(nullptr));
    ff::av_log(nullptr, AV_LOG_ERROR, "one\ntwo\nthree");
    EXPECT_EQ(rec.Lines.size(), 5u);
    ff::av_log(nullptr, AV_LOG_ERROR, "\n");
    ASSERT_EQ(rec.Lines.size(), 6u);
    EXPECT_EQ(rec.Lines[3].Text, "one");
    EXPECT_EQ(rec.Lines[4].Text, "two");
    EXPECT_EQ(rec.Lines[5].Text, "three");
  });
}

TEST(LibraryLog, RepeatedLinesAreSuppressedAndCounted) {
  WithLibraryLogger([](TRecordingLogger& rec) {
    for (int i = 0; i < 5; i++) ff::av_log(nullptr, AV_LOG_ERROR, "same line\n");
    EXPECT_EQ(rec.Texts(), (std::vector<std::string>{"same line"}));
    ff::av_log(nullptr, AV_LOG_ERROR, "next line\n");
    ff::av_log(nullptr, AV_LOG_ERROR, "next line\n");  // a single repetition is not reported
    ff::av_log(nullptr, AV_LOG_ERROR, "last line\n");
    EXPECT_EQ(rec.Texts(), (std::vector<std::string>{"same line", "    Last message repeated 4 times", "next line",
                                                     "last line"}));
  });
}

TEST(LibraryLog, TenThousandCharacterMessageIsDeliveredWhole) {
  WithLibraryLogger([](TRecordingLogger& rec) {
    std::string big(10000, 'x');
    for (size_t i = 0; i < big.size(); i += 100) big[i] = static_cast<char>('a' + (i / 100) % 26);
    ff::av_log(nullptr, AV_LOG_ERROR, "%s\n", big.c_str());
    ASSERT_EQ(rec.Lines.size(), 1u);
    EXPECT_EQ(rec.Lines[0].Text, big);
    // Exactly at the first buffer's edge too.
    const std::string edge(2047, 'e');
    ff::av_log(nullptr, AV_LOG_ERROR, "%s\n", edge.c_str());
    ASSERT_EQ(rec.Lines.size(), 2u);
    EXPECT_EQ(rec.Lines[1].Text, edge);
  });
}

TEST(LibraryLog, ThresholdFollowsTheLogLevel) {
  WithLibraryLogger([](TRecordingLogger& rec) {
    EXPECT_EQ(ff::av_log_get_level(), AV_LOG_INFO);
    ff::av_log(nullptr, AV_LOG_DEBUG, "too detailed\n");
    ff::av_log(nullptr, AV_LOG_VERBOSE, "also too detailed\n");
    EXPECT_TRUE(rec.Lines.empty());
    rec.Logger.SetLogLevel(llDebug);
    EXPECT_EQ(ff::av_log_get_level(), AV_LOG_DEBUG);
    ff::av_log(nullptr, AV_LOG_DEBUG, "now shown\n");
    ASSERT_EQ(rec.Lines.size(), 1u);
    EXPECT_EQ(rec.Lines[0].Level, llDebug);
    rec.Logger.SetLogLevelByName("Warning");
    EXPECT_EQ(ff::av_log_get_level(), AV_LOG_WARNING);
  });
}

TEST(LibraryLog, WorkerThreadMessageReachesOnLogOnTheMainThread) {
  RunIsolated([] {
    TRecordingLogger rec;  // delivers on the main thread
    ASSERT_TRUE(FFLoader->LoadLibs(TLibraries{} + libAVUtil + libCRuntime)) << FFLoader->LastErrMsg();
    std::atomic<bool> done{false};
    uint32_t workerID = 0;
    std::thread worker([&] {
      workerID = CurrentThreadID();
      ff::av_log(nullptr, AV_LOG_ERROR, "logged on a worker\n");
      done = true;
    });
    while (!done) CheckSynchronize();
    worker.join();
    ASSERT_EQ(rec.Lines.size(), 1u);
    EXPECT_EQ(rec.Lines[0].Text, "logged on a worker");
    EXPECT_EQ(rec.Lines[0].ThreadID, workerID);
    EXPECT_EQ(rec.Lines[0].DeliveredOn, MainThreadID());
  });
}

TEST(LibraryLog, PartialLinesAreKeptPerThread) {
  WithLibraryLogger([](TRecordingLogger& rec) {
    ff::av_log(nullptr, AV_LOG_ERROR, "main begins ");
    std::thread([] { ff::av_log(nullptr, AV_LOG_ERROR, "worker line\n"); }).join();
    ff::av_log(nullptr, AV_LOG_ERROR, "main ends\n");
    EXPECT_EQ(rec.Texts(), (std::vector<std::string>{"worker line", "main begins main ends"}));
  });
}

TEST(LibraryLog, MainThreadLoggingWhileAWorkerWaitsForDeliveryDoesNotDeadlock) {
  RunIsolated([] {
    TRecordingLogger rec;
    ASSERT_TRUE(FFLoader->LoadLibs(TLibraries{} + libAVUtil + libCRuntime)) << FFLoader->LastErrMsg();
    std::atomic<bool> done{false};
    std::thread worker([&] {
      for (int i = 0; i < 50; i++) ff::av_log(nullptr, AV_LOG_ERROR, "worker %d\n", i);
      done = true;
    });
    int i = 0;
    while (!done) {
      ff::av_log(nullptr, AV_LOG_ERROR, "main %d\n", i++);
      CheckSynchronize();
    }
    worker.join();
    int fromWorker = 0;
    for (const TLine& line : rec.Lines) fromWorker += line.Text.rfind("worker ", 0) == 0;
    EXPECT_EQ(fromWorker, 50);
  });
}

}  // namespace
}  // namespace vidorant
