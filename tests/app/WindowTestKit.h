// What the window's tests drive it with: an engine whose answers the test sets and whose calls
// it records, and a user who answers every modal dialog the window opens.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QTimer>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/ConversionEngine.h"
#include "app/MessageDlg.h"

namespace vidorant::testing {

class TFakeEngine : public TConversionEngine {
public:
  std::string LoadError;                       // non-empty: loading fails with it
  std::set<std::string> Unsupported;           // files whose task cannot be set up
  std::map<std::string, TFileProbe> Probes;    // files the decoder opens
  std::vector<TConversionJob> Jobs;            // tasks set up, in order
  int Starts = 0;
  int Stops = 0;

  bool LoadLibraries(std::string& error) override {
    error = LoadError;
    return LoadError.empty();
  }
  bool AddFileTask(const TConversionJob& job) override {
    if (Unsupported.count(job.FileName) != 0) {
      return false;
    }
    Jobs.push_back(job);
    return true;
  }
  void ClearTasks() override { Jobs.clear(); }
  std::optional<TFileProbe> Probe(const std::string& fileName) override {
    const auto found = Probes.find(fileName);
    return found == Probes.end() ? std::nullopt : std::optional(found->second);
  }
  void StartTasks() override { ++Starts; }
  void StopTasks() override { ++Stops; }
};

struct TSeenMessage {
  QString Caption;
  QString Text;
  QString Clipboard;  // what Ctrl+C in the message put on the clipboard
};

// While it lives, closes every modal message as a user who read it, after pressing Ctrl+C in it.
class TMessageReader {
public:
  std::vector<TSeenMessage> Seen;
  TMessageReader() {
    QObject::connect(&FTimer, &QTimer::timeout, [this] { Answer(); });
    FTimer.start(5);
  }

private:
  void Answer();
  QTimer FTimer;
};

}  // namespace vidorant::testing
