// The window's engine over the media engine: the libraries are loaded by the engine's loader and
// files are probed by its decoder. Setting up, running and stopping tasks belong to the encoder
// component, which this program does not contain yet: until it does, no file can be set up, and
// the window says so for each file the user adds.
#pragma once

#include "app/ConversionEngine.h"

namespace vidorant {

class TFFConversionEngine : public TConversionEngine {
public:
  bool LoadLibraries(std::string& error) override;
  bool AddFileTask(const TConversionJob& job) override;
  void ClearTasks() override {}
  std::optional<TFileProbe> Probe(const std::string& fileName) override;
  void StartTasks() override {}
  void StopTasks() override {}
};

}  // namespace vidorant
