// The input part of a task: the files it opened with the options pending at each opening, and
// for every stream of every input, in order, its decoder context. Opening reads the stream
// information, applies the clip start, sets the timestamp offset that maps the clip start to
// time 0, and copies the input's video and audio properties into the option state, where they
// become the defaults of the output streams made later.
// Invariants: an input and its stream codecs enter the lists together, only after every step
// succeeded; on any way out of Add the timeout check is unregistered and the per-input options
// (codec names, video channel, pending format) are consumed.
#pragma once

#include "engine/core/StreamKind.h"
#include "engine/runtime/FFPtr.h"
#include "engine/runtime/InputOpening.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct AVCodec;
struct AVCodecContext;
struct AVFormatContext;
struct AVStream;

namespace vidorant {

class TIOTimeout;
class TObject;
class TTaskOptions;

// One opened input file: its demuxer context over its byte stream, and its timing.
struct TInputFile : TOpenedInput {
  int64_t TsOffset = 0;          // µs added to every packet timestamp of the file
  std::vector<double> TsScales;  // per stream; 0 (or absent) means unscaled
};

// The decoder of one input stream: the one an option named (or none: the transcode start
// chooses by codec id) and the stream's own codec context, made from its parameters for the
// decoder it will be opened with, so that the decoder's private options can be applied to it.
struct TInputStreamCodec {
  const AVCodec* Decoder = nullptr;
  TCodecContextPtr Context;
};

class TInputSet {
public:
  using TBeforeFindStreamInfoEvent = std::function<void(TObject* sender, AVFormatContext* context)>;

  // sender: the task named in log lines and events; timeout: the task's I/O timeout. Both
  // outlive the set. capacity: inputs the set can hold.
  TInputSet(TObject* sender, int capacity, TIOTimeout& timeout);
  TInputSet(const TInputSet&) = delete;
  TInputSet& operator=(const TInputSet&) = delete;

  // Opens and probes fileName (UTF-8) with the options pending now. False with error set when
  // it fails in an expected way; raises FFmpegException for the rest.
  bool Add(const std::string& fileName, TTaskOptions& options, std::string& error);
  // Closes every input.
  void Clear();

  int Count() const { return static_cast<int>(FFiles.size()); }
  const TInputFile& File(int index) const { return FFiles.at(index); }
  // For the transcode, which reads packets and moves the file's timestamp offset.
  TInputFile& File(int index) { return FFiles.at(index); }
  const std::vector<TInputStreamCodec>& StreamCodecs() const { return FStreamCodecs; }
  // For the transcode, which opens, uses and closes the decoders in these contexts.
  std::vector<TInputStreamCodec>& StreamCodecs() { return FStreamCodecs; }

  // Fired after the container is open and before its stream information is read.
  TBeforeFindStreamInfoEvent OnBeforeFindStreamInfo;

private:
  bool Open(const std::string& fileName, const AVInputFormat* format, TTaskOptions& options, std::string& error);
  static bool SelectProgram(AVFormatContext* context, int32_t programId, std::string& error);
  // The stream codecs of a probed input; copies its properties into the option state.
  std::vector<TInputStreamCodec> SetUpStreams(AVFormatContext* context, TTaskOptions& options,
                                              const TPerKind<const AVCodec*>& forced) const;
  void SetUpVideoStream(AVStream* stream, AVCodecContext* decoder, const AVCodec* codec,
                        TTaskOptions& options) const;
  void SetUpAudioStream(AVStream* stream, AVCodecContext* decoder, const AVCodec* codec,
                        TTaskOptions& options) const;

  TObject* FSender;
  int FCapacity;
  TIOTimeout& FTimeout;
  std::vector<TInputFile> FFiles;
  std::vector<TInputStreamCodec> FStreamCodecs;
};

}  // namespace vidorant
