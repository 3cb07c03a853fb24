// The video path of a task: every decoded picture is pre-processed once (deinterlacing, the input
// hook or the frame-hook modules), then, for each output video stream it feeds, becomes zero, one
// or several output frames by the frame-rate rule, is brought to the encoder's size and pixel
// format (scaler or filter graph), offered to the output hook and the preview, encoded, and each
// packet the encoder gives is handed to the writer. At the end of the input the filter graph and
// the encoder are drained.
//
// Invariants: an output stream's sync timestamp and frame number grow by one for every frame
// handed to its encoder, never beyond the frame limit; the decoded picture the caller owns is
// never written into (a picture that must change is copied first); packets reach the writer with
// timestamps in the stream's time base.
#pragma once

#include "engine/core/PictureEvent.h"
#include "engine/core/PreviewStep.h"
#include "engine/core/TranscodeStreams.h"
#include "engine/runtime/FFLog.h"
#include "engine/runtime/FFPtr.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct AVFrame;
struct AVPacket;

namespace vidorant {

class TFormatConverter;
class TFrameHookChain;
class TObject;
struct TOptionState;

// What the path needs of its task. References outlive the path.
struct TVideoPathEnv {
  TObject* Sender = nullptr;
  const TOptionState* Options = nullptr;  // vsync, frame limits, sameq, top, deinterlace, start...
  const std::atomic<bool>* StopRequested = nullptr;
  TVideoHookEvent* OnVideoInputHook = nullptr;   // cleared by the path when it detaches
  TVideoHookEvent* OnVideoOutputHook = nullptr;  // cleared by the path when it detaches
  TFrameHookChain* FrameHooks = nullptr;         // used when FrameHooksActive
  bool FrameHooksActive = false;
  TPreviewStep* Preview = nullptr;               // may be null: no previews
  TFormatConverter* Converter = nullptr;         // the hooks' converter
  TFormatConverter* PreviewConverter = nullptr;  // the preview's converter
  TRunCounters* Counters = nullptr;
  // The transcode's input streams, which an output stream's Sync indexes: the frame-rate rule
  // follows the sync stream's timestamp. Null: every output follows the stream that feeds it.
  const std::vector<TInputStreamState>* InputStreams = nullptr;
  // Whether the output file of the stream declares a variable frame rate, which decides the
  // automatic sync method (DeclaresVariableFrameRate below). Unset: constant rate.
  std::function<bool(const TOutputStream& stream)> VariableFrameRate;
  // Hands one encoded packet of the stream to the output set (TOutputSet::WritePacket).
  std::function<void(TOutputStream& stream, AVPacket& packet)> Write;
  // Logs one line of the task.
  std::function<void(TLogLevel level, const std::string& text)> Log;
};

// True when the file's library format declares a variable frame rate (AVFMT_VARIABLE_FPS); false
// for the engine's own formats, which have no library format.
bool DeclaresVariableFrameRate(const TOutputFile& file);

class TVideoPath {
public:
  explicit TVideoPath(TVideoPathEnv env);
  ~TVideoPath();
  TVideoPath(const TVideoPath&) = delete;
  TVideoPath& operator=(const TVideoPath&) = delete;

  // Pre-processing of one decoded picture of the input stream (counted on it). Returns the
  // picture the outputs get: the decoded one, or the path's hook buffer when it was deinterlaced
  // or processed by a hook. The result stays valid until the next call.
  const AVFrame* PreProcess(TInputStreamState& input, const AVFrame& decoded);

  // One picture (the input stream's current timestamp is its time) to one output video stream
  // that encodes: the frame-rate rule, scaling or filtering, the hooks, the preview, encoding and
  // writing. Raises FFmpegException ("Video encoding failed", "Cannot get resampling context",
  // "Video filtering failed: ...", or the frame-size change of an input that an output set up
  // without resampling cannot follow).
  void Output(TOutputStream& output, TInputStreamState& input, const AVFrame& picture);

  // End of input for the stream: drains its filter graph (its pictures go out as above) and its
  // encoder; every packet is written. A further call for the same output does nothing unless
  // pictures came in between.
  void Flush(TOutputStream& output, TInputStreamState& input);

private:
  struct TImpl;
  std::unique_ptr<TImpl> FImpl;
};

}  // namespace vidorant
