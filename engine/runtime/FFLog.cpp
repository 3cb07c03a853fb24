// The logger and the libraries' log callback. The callback serialises the per-thread partial
// lines, the last-line memory and the repeat counter under one lock, but hands finished lines to
// OnLog only after leaving it: OnLog may wait for the main thread, and the main thread may log
// (and so need the lock) at the same moment.
#include "engine/runtime/FFLog.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <strings.h>
#include <unordered_map>
#include <vector>

#include "engine/runtime/AVUtilStubs.h"
#include "engine/runtime/MyUtilStubs.h"
#include "platform/Exception.h"
#include "platform/Format.h"
#include "platform/Synchronize.h"
#include "platform/ThreadID.h"

namespace vidorant {

// Hands one finished library line to the logger (a friend of TFFLogger).
void EmitLogLine(uint32_t threadID, int libraryLevel, const std::string& text);

namespace {

const char* const kUnit = "FFLog";
const char* const kLevelNames[] = {"quiet", "panic", "fatal", "error", "warning", "info", "verbose", "debug"};

// Unit state. The atomics outlive finalisation (trivial destructors), so a late library message
// after the unit has finalised is dropped instead of touching destroyed objects.
std::atomic<TFFLogger*> gLogger{nullptr};
std::atomic<int> gLibraryThreshold{AV_LOG_INFO};
std::atomic<bool> gFinalized{false};

// Creation, replacement and retirement of the singleton. Recursive: FFLogger() constructs the
// auto-created logger while holding it.
std::recursive_mutex gSingletonLock;
// Auto-created loggers that an application's logger replaced; freed when the unit finalises.
std::vector<std::unique_ptr<TFFLogger>> gRetired;
// Serialises level changes, so that the stored level, the threshold and the level avutil was
// told always come from the same change.
std::mutex gLevelLock;

struct TLogState {
  std::mutex Lock;
  std::unordered_map<uint32_t, std::string> PendingByThread;  // beginnings of unfinished lines
  std::string LastLine;
  int RepeatCount = 0;
};
TLogState gState;

struct TLogUnit {
  ~TLogUnit() {
    gFinalized = true;
    std::lock_guard<std::recursive_mutex> lock(gSingletonLock);
    TFFLogger* logger = gLogger.load();
    if (logger && logger->AutoCreated()) delete logger;
    gRetired.clear();
  }
} gLogUnit;

// Moves the threshold and avutil's own level to the level; with gLevelLock held.
void TellLibrary(TLogLevel level) {
  if (!VIDORANT_FF_BOUND(av_log_set_level)) return;
  gLibraryThreshold = LogLevelToLibrary(level);
  ff::av_log_set_level(gLibraryThreshold);
}

// Formats a library message: first into 2048 bytes, then 4096, growing by 2048 until it fits,
// so that no message is ever cut.
std::string FormatLibraryText(const char* format, va_list args) {
  if (std::strcmp(format, "%s") == 0) {
    va_list peek;
    va_copy(peek, args);
    const char* only = va_arg(peek, const char*);
    va_end(peek);
    if (!only) return std::string();
  }
  auto formatter = VIDORANT_FF_BOUND(vsnprintf) ? ff::vsnprintf : &std::vsnprintf;
  std::vector<char> buffer(2048, 0);
  for (;;) {
    va_list attempt;
    va_copy(attempt, args);
    int length = formatter(buffer.data(), buffer.size(), format, attempt);
    va_end(attempt);
    if (length < 0) return std::string();  // an encoding error: no text can be made
    if (static_cast<size_t>(length) < buffer.size()) return std::string(buffer.data(), length);
    buffer.assign(buffer.size() == 2048 ? 4096 : buffer.size() + 2048, 0);
  }
}

// "[parent @ address] [object @ address]" for an object that has a log class; "" otherwise.
std::string ObjectPrefix(void* object) {
  if (!object) return std::string();
  const AVClass* cls = *static_cast<const AVClass**>(object);
  if (!cls) return std::string();
  std::string prefix;
  if (cls->parent_log_context_offset) {
    auto* parent = *reinterpret_cast<const AVClass***>(static_cast<uint8_t*>(object) + cls->parent_log_context_offset);
    if (parent && *parent) prefix = Format("[%s @ %p] ", (*parent)->item_name(parent), static_cast<void*>(parent));
  }
  return prefix + Format("[%s @ %p]", cls->item_name(object), object);
}

void LibraryLogCallback(void* object, int level, const char* format, va_list args) {
  if (gFinalized || gLibraryThreshold.load() < level || !format) return;
  try {
    const uint32_t threadID = CurrentThreadID();
    std::vector<std::string> lines;
    {
      std::lock_guard<std::mutex> lock(gState.Lock);
      std::string& pending = gState.PendingByThread[threadID];
      const std::string message = (pending.empty() ? ObjectPrefix(object) : std::string()) +
                                  FormatLibraryText(format, args);
      if (!message.empty() && message.back() == '\n' && message == gState.LastLine) {
        gState.RepeatCount++;
        return;
      }
      if (gState.RepeatCount > 1) lines.push_back(Format("    Last message repeated %d times", gState.RepeatCount));
      gState.RepeatCount = 0;
      gState.LastLine = message;
      pending += message;
      for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
        lines.push_back(pending.substr(0, end));
        pending.erase(0, end + 1);
      }
    }
    for (const std::string& line : lines) EmitLogLine(threadID, level, line);
  } catch (...) {
    // The libraries call this from C: nothing may escape, and a failed line is simply lost.
  }
}

}  // namespace

TLogEventHandler& TLogEventHandler::operator=(TLogEvent handler) {
  std::lock_guard<std::mutex> lock(FLock);
  FHandler = std::move(handler);
  return *this;
}

TLogEventHandler::operator bool() const {
  std::lock_guard<std::mutex> lock(FLock);
  return static_cast<bool>(FHandler);
}

TLogEvent TLogEventHandler::Get() const {
  std::lock_guard<std::mutex> lock(FLock);
  return FHandler;
}

void EmitLogLine(uint32_t threadID, int libraryLevel, const std::string& text) {
  TFFLogger* logger = gLogger.load();
  if (logger && logger->OnLog) logger->RaiseLog(logger, threadID, LogLevelFromLibrary(libraryLevel), text);
}

int LogLevelToLibrary(TLogLevel level) { return (static_cast<int>(level) - 1) * 8; }

TLogLevel LogLevelFromLibrary(int libraryLevel) {
  if (libraryLevel < -8) return llQuiet;
  if (libraryLevel >= 48) return llDebug;
  // Floor division, so that -8 (quiet) and the numbers just below a band's start fall into the
  // band below, as the library's own thresholds do.
  const int band = libraryLevel >= 0 ? libraryLevel / 8 : (libraryLevel - 7) / 8;
  return static_cast<TLogLevel>(band + 1);
}

const char* LogLevelName(TLogLevel level) { return kLevelNames[level]; }

TFFLogger::TFFLogger() : TFFLogger(false) {}

TFFLogger::TFFLogger(bool autoCreated)
    : FAutoCreated(autoCreated), FLogLevel(LogLevelFromLibrary(gLibraryThreshold)) {
  std::lock_guard<std::recursive_mutex> lock(gSingletonLock);
  TFFLogger* existing = gLogger.load();
  if (existing && existing->FAutoCreated) {
    // Retired, not freed: a thread may be inside Log on it at this very moment.
    gLogger = nullptr;
    gRetired.emplace_back(existing);
  }
  Assert(gLogger.load() == nullptr, "Allow creating only one instance of TFFLogger.", kUnit);
  gLogger = this;
}

TFFLogger::~TFFLogger() {
  TFFLogger* self = this;
  gLogger.compare_exchange_strong(self, nullptr);
}

void TFFLogger::SetLogLevel(TLogLevel level) {
  std::lock_guard<std::mutex> lock(gLevelLock);
  if (FLogLevel.exchange(level) != level) TellLibrary(level);
}

void TFFLogger::SetLogLevelByName(const std::string& name) {
  for (int i = llQuiet; i <= llDebug; i++) {
    if (strcasecmp(name.c_str(), kLevelNames[i]) == 0) {
      SetLogLevel(static_cast<TLogLevel>(i));
      return;
    }
  }
  char* end = nullptr;
  errno = 0;
  const long number = std::strtol(name.c_str(), &end, 10);
  if (name.empty() || *end != '\0' || errno == ERANGE || number < INT32_MIN || number > INT32_MAX)
    throw EConvertError(Format("'%s' is not a valid integer value", name.c_str()));
  SetLogLevel(LogLevelFromLibrary(static_cast<int>(number)));
}

void TFFLogger::InstallLogCallback() {
  Assert(VIDORANT_FF_BOUND(av_log_set_callback) && VIDORANT_FF_BOUND(av_log_set_level),
         "The log functions of avutil are not bound", kUnit);
  ff::av_log_set_callback(LibraryLogCallback);
  ApplyLogLevel();
}

void TFFLogger::ApplyLogLevel() {
  std::lock_guard<std::mutex> lock(gLevelLock);
  TellLibrary(FLogLevel);
}

void TFFLogger::Log(TObject* Sender, TLogLevel level, const std::string& message) {
  if (!OnLog) return;
  const TLogLevel threshold = FLogLevel;
  if (level <= threshold || (level == llVerbose && threshold != llQuiet))
    RaiseLog(Sender, CurrentThreadID(), level, message);
}

void TFFLogger::LogFmt(TObject* Sender, TLogLevel level, const char* format, ...) {
  if (!OnLog) return;
  va_list args;
  va_start(args, format);
  const std::string message = FormatV(format, args);
  va_end(args);
  Log(Sender, level, message);
}

void TFFLogger::RaiseLog(TObject* Sender, uint32_t threadID, TLogLevel level, const std::string& message) {
  // Each call carries its own copy of the arguments: lines from several threads may be on
  // their way to the main thread at once.
  const TLogEvent handler = OnLog.Get();
  if (!handler) return;
  if (TriggerEventInMainThread) {
    Synchronize([&] { handler(Sender, threadID, level, message); });
  } else {
    handler(Sender, threadID, level, message);
  }
}

TFFLogger* FFLogger() {
  if (TFFLogger* logger = gLogger.load()) return logger;
  // Two threads logging for the first time at once must not both create one.
  std::lock_guard<std::recursive_mutex> lock(gSingletonLock);
  if (TFFLogger* logger = gLogger.load()) return logger;
  return new TFFLogger(true);  // owned by the unit: freed when replaced and retired, or at its end
}

}  // namespace vidorant
