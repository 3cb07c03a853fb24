// The audio path of a task. Every decoded audio frame is brought once to packed signed 16-bit
// samples at its own rate and channel count, offered to the audio hook and scaled by the volume;
// then, for each output audio stream it feeds, the path follows format changes of the input,
// keeps the output in step with the timestamps (silence, trimming or drift compensation),
// resamples or converts to the encoder's format and hands the samples to the stream's encoding
// (AudioEncoding.h). At the end of the input the resampler and the encoding are drained.
//
// Invariants: the decoded frame the caller owns is never written into; the buffer of PreProcess
// is shared by every output of the stream, so an output changes only its own copy of it; each
// output stream has at most one resampler or reformatter, rebuilt only when the input's format,
// channels or rate change.
#pragma once

#include "engine/core/AudioEncoding.h"
#include "engine/core/AudioResampling.h"
#include "engine/core/TaskEvents.h"
#include "engine/core/TranscodeStreams.h"
#include "engine/runtime/FFLog.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

struct AVFrame;
struct AVPacket;

namespace vidorant {

class TObject;
struct TOptionState;

// What the path needs of its task. References outlive the path.
struct TAudioPathEnv {
  TObject* Sender = nullptr;
  const TOptionState* Options = nullptr;  // async, adrift_threshold, vol, xerror, verbosity, start
  TAudioHookEvent* OnAudioHook = nullptr;  // may be null or unassigned
  TRunCounters* Counters = nullptr;
  // The transcode's input streams, which an output stream's Sync indexes; null: each output
  // follows the stream that feeds it.
  const std::vector<TInputStreamState>* InputStreams = nullptr;
  TAudioEncoding::TWrite Write;
  std::function<void(TLogLevel level, const std::string& text)> Log;
};

// One decoded frame as packed signed 16-bit samples.
struct TAudioBuffer {
  std::vector<uint8_t> Bytes;
  TAudioFormat Decoded;  // what the decoder gave: its format, channels and rate
  int Samples() const { return Decoded.Channels > 0 ? static_cast<int>(Bytes.size() / (2 * Decoded.Channels)) : 0; }
};

class TAudioPath {
public:
  explicit TAudioPath(TAudioPathEnv env);
  ~TAudioPath();
  TAudioPath(const TAudioPath&) = delete;
  TAudioPath& operator=(const TAudioPath&) = delete;

  // The decoded frame as packed 16-bit samples, after the hook and the volume. The result stays
  // valid until the next call. Raises FFmpegException when the frame cannot be converted.
  const TAudioBuffer& PreProcess(const TInputStreamState& input, const AVFrame& decoded);

  // One buffer (the input stream's current timestamp is its time) to one output audio stream
  // that encodes. Raises FFmpegException with the path's fixed texts.
  void Output(TOutputStream& output, TInputStreamState& input, const TAudioBuffer& buffer);

  // End of input for the output: what the resampler holds back and what waits in the FIFO is
  // encoded, then the encoder is drained. Further calls do nothing.
  void Flush(TOutputStream& output);

private:
  struct TStreamState;
  TStreamState& StateOf(TOutputStream& output, const TInputStreamState& input);
  // Inserts silence or trims the front of samples (packed 16-bit at the buffer's rate) as the
  // sync rule says; false when nothing is left to encode.
  bool Synchronise(TOutputStream& output, TStreamState& state, const TInputStreamState& input,
                   const TAudioFormat& format, std::vector<uint8_t>& samples);
  // Brings samples to the encoder's format (and, with resample, its rate and channels) and hands
  // them to the encoding.
  void Encode(TStreamState& state, const std::vector<uint8_t>& samples, int channels, bool resample);
  // Encodes what the resampler still holds back.
  void DrainResampler(TStreamState& state);
  void Log(TLogLevel level, const std::string& text) const;

  TAudioPathEnv FEnv;
  std::map<const TInputStreamState*, std::unique_ptr<TAudioResampler>> FToPacked;  // per input stream
  std::map<const TInputStreamState*, bool> FStarted;  // inserted or trimmed once already
  std::map<const TOutputStream*, std::unique_ptr<TStreamState>> FStreams;
  TAudioBuffer FBuffer;
};

}  // namespace vidorant
