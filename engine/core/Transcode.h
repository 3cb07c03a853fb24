// One run of a task's transcode: the stream mapping and the output set's preparation, then the
// loop that reads packets from the input the outputs need next, moves their timestamps onto the
// task's timeline, decodes them, hands pictures to the video path and copies packets of copied
// streams, reports progress at its interval, and at the end flushes every decoder and encoder,
// writes the trailers and makes the final report. Joined inputs play one after the other, each
// through its own set of output stream records (JoinTimeline.cpp).
//
// Invariants: the loop ends when every output stream is past the clip end or its input is at its
// end, when a frame limit or the size limit is reached, or when a stop is requested (checked at
// every pass, and by the interrupt check of blocking reads); whatever way the loop ends, every
// decoder and encoder that was given data is drained and every header written gets its trailer,
// so a stopped run leaves complete files.
#pragma once

#include "engine/core/AudioPath.h"
#include "engine/core/OutputSet.h"
#include "engine/core/PreviewStep.h"
#include "engine/core/SubtitleEncoding.h"
#include "engine/core/TaskEvents.h"
#include "engine/core/TranscodeStreams.h"
#include "engine/core/VideoPath.h"
#include "engine/runtime/FFPtr.h"
#include "engine/runtime/FormatConverter.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

struct AVPacket;

namespace vidorant {

class TInputSet;
class TIOTimeout;
class TObject;
class TOpenCodecs;
class TOutputSet;
class TTaskOptions;

// What the run needs of its task; every pointer outlives the run.
struct TTranscodeEnv {
  TObject* Sender = nullptr;
  TTaskOptions* Options = nullptr;
  TInputSet* Inputs = nullptr;
  TOutputSet* Outputs = nullptr;
  TOpenCodecs* Codecs = nullptr;
  const std::atomic<bool>* StopRequested = nullptr;
  // Cancelled by a stop: ends a blocking read at once. Only reads are made interruptible, so a
  // stopped run still writes out what it has and its trailers.
  TIOTimeout* IOTimeout = nullptr;
  int64_t ProgressInterval = 500000;  // µs
  int64_t PreviewInterval = 100000;   // µs
  bool Previewer = false;             // previews in the previewer's window
  bool PreviewEvent = false;          // previews through OnPreviewBitmap
  int HookBitsPixel = 24;             // of the bitmaps the picture events and previews get
  TProgressEvent* OnProgress = nullptr;
  TVideoHookEvent* OnVideoInputHook = nullptr;
  TVideoHookEvent* OnVideoOutputHook = nullptr;
  TPreviewBitmapEvent* OnPreviewBitmap = nullptr;
  TAudioHookEvent* OnAudioHook = nullptr;
};

class TTranscode {
public:
  explicit TTranscode(TTranscodeEnv env);
  ~TTranscode();
  TTranscode(const TTranscode&) = delete;
  TTranscode& operator=(const TTranscode&) = delete;

  // The whole run. Raises FFmpegException for what ends it with an error; the caller closes
  // what is left open.
  void Run();

private:
  // Per input file while the loop runs.
  struct TFileState {
    int FirstStream = 0;
    int StreamCount = 0;
    bool AtEnd = false;
    bool NoPacketNow = false;
  };

  // Set-up (Transcode.cpp).
  void BuildInputStreams();
  void Map();
  void LogMapping() const;
  void StartTimestamps();
  TDecodedFrameUsers DecodedFrameUsers() const;

  // The loop (Transcode.cpp).
  void Loop();
  std::optional<int> SelectInput() const;
  // What the loop does after a packet was read (or not).
  enum class TReadResult { Report, NoReport, End };
  TReadResult ReadAndProcess(int file);
  void Finish();
  // The output streams the progress report and the frame limits look at: when inputs are joined,
  // those of the input playing; otherwise all.
  std::vector<TOutputStream*> PlayingStreams() const;

  // Joined inputs (JoinTimeline.cpp). Every output stream record of every input's set.
  std::vector<TOutputStream*> CollectOutputStreams();
  // The end of a joined input: its decoders and its set's encoders drained, and the next input
  // set playing where it ended. End after the last input.
  TReadResult NextJoinedInput(int file);
  // Seconds of output the input's set reached: the furthest of its streams' presentation times
  // and, for copied streams, of the ends of the packets their sources gave.
  double JoinedTimeReached(int file) const;
  void Report(bool final);
  double PresentationTime(const TOutputStream& output) const;
  void Log(TLogLevel level, const std::string& text) const;
  bool StopRequested() const { return FEnv.StopRequested->load(); }

  // The packet output step (PacketOutput.cpp): one packet of the input stream, or none to flush.
  // False when decoding failed.
  bool OutputPacket(int streamIndex, const AVPacket* packet);
  // Sends the packet (none: drain) to the stream's decoder and hands every frame it gives, with
  // the stream's current timestamp set to the frame's time, to each. False when decoding failed.
  bool DecodeFrames(int streamIndex, const AVPacket* packet,
                    const std::function<void(TInputStreamState& input, AVFrame& frame)>& each);
  bool DecodeVideo(int streamIndex, const AVPacket* packet);
  void PictureToOutputs(int streamIndex, const AVFrame& decoded);
  bool DecodeAudio(int streamIndex, const AVPacket* packet);
  void SamplesToOutputs(int streamIndex, const AVFrame& decoded);
  bool DecodeSubtitle(int streamIndex, const AVPacket* packet);
  void CopyPacket(TOutputStream& output, TInputStreamState& input, const AVPacket& packet);
  void FlushEncoders(int streamIndex);
  void EmulateRate(const TInputStreamState& input) const;
  // The output streams the input stream feeds.
  std::vector<TOutputStream*> OutputsOf(int streamIndex) const;

  TTranscodeEnv FEnv;
  std::vector<TInputStreamState> FStreams;
  std::vector<TFileState> FFiles;
  std::vector<TOutputStream*> FOutputStreams;
  TRunCounters FCounters;
  TPreviewStep FPreview;
  TFormatConverter FConverter;
  TFormatConverter FPreviewConverter;
  std::unique_ptr<TVideoPath> FVideo;
  std::unique_ptr<TAudioPath> FAudio;
  std::unique_ptr<TSubtitleEncoding> FSubtitles;
  TFramePtr FDecoded;
  TPacketPtr FPacket;
  int64_t FTimerStart = 0;
  int64_t FLastReport = 0;
  int FCurrentFile = 0;
  int64_t FReportedDuplicated = 0;
  int64_t FReportedDropped = 0;
};

}  // namespace vidorant
