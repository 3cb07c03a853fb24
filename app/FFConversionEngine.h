// The window's engine over the media engine: the encoder component runs one task per row, each
// delivering its pictures to a GIF output of its own, so that every task writes its row's file
// whenever the encoder starts it; the libraries are loaded by the engine's loader and files are
// probed with the encoder's probe decoder.
// Invariants: Jobs[i] belongs to the encoder's task i (a set-up that fails leaves no task); a
// job's GIF output lives until the tasks are cleared, so no task ever delivers to a freed one.
#pragma once

#include "app/ConversionEngine.h"
#include "convert/GIFOutput.h"
#include "engine/encoder/FFEncode.h"

#include <memory>
#include <vector>

namespace vidorant {

class TFFConversionEngine : public TConversionEngine {
public:
  TFFConversionEngine();
  // Stops whatever runs and waits for it, serving the main thread's calls.
  ~TFFConversionEngine() override;

  bool LoadLibraries(std::string& error) override;
  bool AddFileTask(const TConversionJob& job) override;
  void ClearTasks() override;
  std::optional<TFileProbe> Probe(const std::string& fileName) override;
  void StartTasks() override;
  void StopTasks() override;

private:
  struct TJob {
    int Row = -1;
    std::unique_ptr<TGIFOutput> Output;
  };
  int RowOfTask(int taskIndex) const;

  // Declared first, destroyed last: the encoder's tasks deliver to them until it is gone.
  std::vector<TJob> FJobs;
  TFFEncoder FEncoder;
};

}  // namespace vidorant
