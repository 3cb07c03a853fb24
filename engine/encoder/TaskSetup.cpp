// Adding tasks and their outputs from the option records (FFEncode.h).
#include "engine/encoder/FFEncode.h"

#include "engine/encoder/ExtOptions.h"
#include "engine/encoder/RecordOptions.h"
#include "platform/Exception.h"
#include "platform/Format.h"

#include <optional>

namespace vidorant {

void TCustomEncoder::AttachTaskEvents(TFFmpeg& task) {
  TFFmpeg* t = &task;
  task.SetOnBeforeFindStreamInfo([this, t](TObject*, AVFormatContext* context) {
    if (OnBeforeFindStreamInfo) OnBeforeFindStreamInfo(t, context);
  });
  task.OnPreviewBitmap = [this, t](TObject*, const TBitmap& bitmap, int32_t frameNumber, int64_t pts) {
    RelayPreviewBitmap(*t, bitmap, frameNumber, pts);
  };
}

void TCustomEncoder::AttachOutputHooks(TFFmpeg& task, const TOutputOptions& options) {
  TFFmpeg* t = &task;
  if (options.AudioHook)
    task.OnAudioHook = [this, t](TObject*, uint8_t* samples, int64_t pts, int32_t size, int32_t sampleRate,
                                 int32_t channels, AVSampleFormat format) {
      RelayAudioHook(*t, pts, samples, size, sampleRate, channels, format);
    };
  if (options.VideoInputHook)
    task.OnVideoInputHook = [this, t](TObject*, TBitmap& bitmap, int32_t frame, int64_t pts, bool& update,
                                      bool& detach) { RelayVideoInputHook(*t, bitmap, frame, pts, update, detach); };
  if (options.VideoOutputHook)
    task.OnVideoOutputHook = [this, t](TObject*, TBitmap& bitmap, int32_t frame, int64_t pts, bool& update,
                                       bool& detach) { RelayVideoOutputHook(*t, bitmap, frame, pts, update, detach); };
}

int TCustomEncoder::AddTask(const std::string& fileName, const TInputOptions* options) {
  CheckNotWorking("AddTask");
  auto task = std::make_unique<TFFmpeg>(FMaxFiles, this);
  task->SetRaiseOptionErrors(FRaiseOptionErrors);
  try {
    task->SetVerbosity(FVerbosity);
    task->SetPreviewFlags(FPreview, FPreviewBitmap);
    AttachTaskEvents(*task);
    if (options) {
      TInputOptions& stored = task->InputOptions(task->InputCount());
      stored = *options;
      if (stored.FileName.empty()) stored.FileName = fileName;
      ApplyOptionLines(*task, ParseExtOptions(options->ExtOptions), TExtOptionsUse::Input);
      ApplyInputFields(*task, *options);
    }
    task->SetIOTimeout(FIOTimeout);
    if (!task->AddInputFile(fileName)) {
      FLastErrMsg = task->LastErrorMessage();
      return -1;
    }
    task->InputDecoder(task->InputCount() - 1);
    TFFmpeg* t = task.get();
    task->OnProgress = [this, t](TObject*, int32_t fileIndex, int32_t frameNumber, int32_t fps, float quality,
                                 float bitRate, int64_t totalSize, int64_t currentTime, int64_t expectedDuration) {
      RelayProgress(*t, fileIndex, frameNumber, fps, quality, bitRate, totalSize, currentTime, expectedDuration);
    };
    task->OnTerminate = [this, t](TObject*) {
      // The task has closed its files: its decoders must let go of the inputs first.
      t->ReleaseDecoders();
      RelayTerminate(*t);
    };
    return FTasks.Add(std::move(task));
  } catch (const Exception& e) {
    FLastErrMsg = e.Message;
    return -1;
  }
}

bool TCustomEncoder::SetOutputFile(int taskIndex, const std::string& fileName, const TOutputOptions* options) {
  CheckNotWorking("SetOutputFile");
  TOutputOptions* stored = nullptr;
  try {
    TFFmpeg& task = FTasks.Get(taskIndex);
    if (task.OutputCount() >= task.FileCapacity()) {
      FLastErrMsg = Format("max output files %d reached", task.FileCapacity());
      return false;
    }
    task.SetRaiseOptionErrors(FRaiseOptionErrors);
    stored = &task.OutputOptions(task.OutputCount());
    *stored = options ? *options : TOutputOptions{};
    std::vector<TOptionLine> lines;
    std::optional<TStreamDefaults> defaults;
    if (options) {
      if (stored->FileName.empty()) stored->FileName = fileName;
      lines = ParseExtOptions(options->ExtOptions);
      defaults.emplace(*options, lines);
      ApplyTarget(task, *options);
      for (const char* name : {"acodec", "vcodec", "scodec", "apre", "vpre", "spre"})
        ApplyIfSet(task, name, defaults->Default(name));
      ApplyOptionLines(task, lines, TExtOptionsUse::Output);
      ApplyOutputFields(task, *options);
      ApplyIfSet(task, "s", defaults->Default("s"));
      ApplyIfSet(task, "vf", defaults->Default("vf"));
      AttachOutputHooks(task, *options);
      task.SetHookBitsPixel(options->HookBitsPixel);
    }
    task.SetIOTimeout(FIOTimeout);
    if (task.AddOutputFile(fileName, options && options->Join) < 0) {
      FLastErrMsg = task.LastErrorMessage();
      *stored = TOutputOptions{};
      return false;
    }
    // The streams the lines add, each with the stream options the lines give it in turn.
    for (const TOptionLine& line : lines) {
      const std::vector<std::string>& streamOptions = StreamLineOptions(line.Name);
      if (streamOptions.empty()) continue;
      for (const std::string& name : streamOptions) ApplyIfSet(task, name, defaults->Take(name));
      task.ParseOption(line.Name, line.Value);
    }
    if (options && options->Join) task.PrepareJoinedInputs();
    return true;
  } catch (const Exception& e) {
    FLastErrMsg = e.Message;
    if (stored) *stored = TOutputOptions{};
    return false;
  }
}

}  // namespace vidorant
