// The engine's single logger. Engine parts log through Log/LogFmt; the libraries' own messages
// arrive through the callback installed into avutil, which assembles them into whole lines per
// thread, prefixes the logging object, suppresses repeats, and hands each line to OnLog,
// by default on the main thread. Invariant: at most one TFFLogger is the process's logger;
// FFLogger() creates one on first use, and an application's own logger replaces that
// auto-created one. A replaced auto-created logger stays alive until the unit finalises, since
// other threads may be logging through it; an application's own logger must outlive the threads
// that log (the application stops its tasks before freeing it). Level, handler and delivery mode
// may be changed on any thread while others log.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "engine/runtime/FFBaseComponent.h"
#include "platform/TObject.h"

namespace vidorant {

enum TLogLevel { llQuiet, llPanic, llFatal, llError, llWarning, llInfo, llVerbose, llDebug };

using TLogEvent =
    std::function<void(TObject* Sender, uint32_t AThreadID, TLogLevel ALogLevel, const std::string& ALogMsg)>;

// (level - 1) * 8: the libraries' numbers -8, 0, 8, ..., 48.
int LogLevelToLibrary(TLogLevel level);
// The level band a library number falls in (-8..-1 quiet, 0..7 panic, ..., 48 and above debug).
TLogLevel LogLevelFromLibrary(int libraryLevel);
// "quiet", "panic", ..., "debug".
const char* LogLevelName(TLogLevel level);

// Holds OnLog: assigned on one thread (the application detaching its handler) while others
// raise the event, so every access is guarded and a raise calls its own copy.
class TLogEventHandler {
public:
  TLogEventHandler& operator=(TLogEvent handler);
  explicit operator bool() const;
  TLogEvent Get() const;

private:
  mutable std::mutex FLock;
  TLogEvent FHandler;
};

class TFFLogger : public TFFBaseComponent {
public:
  // Replaces an auto-created logger; a second application logger is an assertion (FFLog).
  TFFLogger();
  ~TFFLogger() override;
  TFFLogger(const TFFLogger&) = delete;
  TFFLogger& operator=(const TFFLogger&) = delete;

  TLogLevel LogLevel() const { return FLogLevel; }
  // Changes the level the libraries are told and the engine filters by.
  void SetLogLevel(TLogLevel level);
  // A level name (any letter case) or a decimal library level; raises EConvertError otherwise.
  void SetLogLevelByName(const std::string& name);

  // Installs the unit's callback into avutil and applies the level (asserts, FFLog, that
  // av_log_set_callback and av_log_set_level are bound). The loader calls it after avutil loads.
  void InstallLogCallback();
  // Tells avutil the current level, when avutil is bound.
  void ApplyLogLevel();

  // An engine message: delivered when OnLog is assigned and the level is at most LogLevel, or it
  // is llVerbose and LogLevel is not llQuiet.
  void Log(TObject* Sender, TLogLevel level, const std::string& message);
  void LogFmt(TObject* Sender, TLogLevel level, const char* format, ...) __attribute__((format(printf, 4, 5)));

  bool AutoCreated() const { return FAutoCreated; }

  // True: OnLog runs on the main thread (a worker waits until it has run); false: on the
  // logging thread.
  std::atomic<bool> TriggerEventInMainThread{true};
  TLogEventHandler OnLog;

private:
  friend TFFLogger* FFLogger();
  friend void EmitLogLine(uint32_t threadID, int libraryLevel, const std::string& text);
  explicit TFFLogger(bool autoCreated);
  void RaiseLog(TObject* Sender, uint32_t threadID, TLogLevel level, const std::string& message);

  const bool FAutoCreated;
  std::atomic<TLogLevel> FLogLevel;
};

// The logger of the process, created (auto-created) on first use.
TFFLogger* FFLogger();

}  // namespace vidorant
