// The output part of a task: the files it writes, each with its streams made from the option state
// when the file was added, and what the transcode start does to them: the codec set-up of every
// output stream (copy or encoding), the opening of encoders and decoders, the headers; while the
// task runs, the writing of packets and, at its end, the trailers and the closing of the files.
// An output whose format is one of the engine's own (the frame output adapter's) has a context for
// its streams like any other, but the set calls the format's operations itself.
//
// Invariants: a file is in the set only when every step of its adding succeeded; a stream record
// exists for every library stream of a file, in the same order; Clear leaves no file open and
// deletes each output file that is still empty.
#pragma once

#include "engine/core/JoinedInputs.h"
#include "engine/core/OpenCodecs.h"
#include "engine/core/StreamKind.h"
#include "engine/core/TranscodeStreams.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/codec_id.h>
}

struct AVPacket;

namespace vidorant {

class TInputSet;
class TIOTimeout;
class TObject;
class TTaskOptions;

// What the task attached that a copied stream cannot serve (its frames are not decoded).
struct TDecodedFrameUsers {
  bool VideoOutputHook = false;  // OnVideoOutputHook assigned
  bool Preview = false;          // previews asked for
  bool FrameHooks = false;       // frame-hook modules active
  bool AudioHook = false;        // OnAudioHook assigned
  bool PostHooks = false;        // post hooks registered
};

class TOutputSet {
public:
  // sender: the task named in log lines; timeout: the task's I/O timeout; capacity: files the
  // set can hold. sender and timeout outlive the set.
  TOutputSet(TObject* sender, int capacity, TIOTimeout& timeout);
  ~TOutputSet();
  TOutputSet(const TOutputSet&) = delete;
  TOutputSet& operator=(const TOutputSet&) = delete;

  // AddOutputFile: makes the output fileName (UTF-8) from the pending options, which it consumes.
  // Returns the new number of output files, or -1 with error set (nothing is kept then; a stream
  // that cannot be made is such a failure, "new_video_stream fail: ..."). Raises FFmpegException
  // when no context can be allocated and for the outputs the engine cannot write (feed server,
  // joined inputs after another output). join with two or more inputs: the inputs play one after
  // the other into this output, whose streams are those the first input can feed.
  int Add(const std::string& fileName, bool join, TTaskOptions& options, const TInputSet& inputs,
          std::string& error);
  // NewVideoStream, NewAudioStream, NewSubtitleStream: one more stream of the kind in the file.
  // Raises FFmpegException; the file and the option state are unchanged then.
  void NewStream(TStreamKind kind, int fileIndex, TTaskOptions& options);

  int Count() const { return static_cast<int>(FFiles.size()); }
  TOutputFile& File(int index) { return *FFiles.at(index); }
  const TOutputFile& File(int index) const { return *FFiles.at(index); }
  // All streams of all files, in file order then stream order.
  std::vector<TOutputStream*> Streams() const;
  bool Joining() const { return FJoining; }

  // Join mode: a set of stream records for every input after the first, copies of the output's
  // own records (which serve the first input); nothing when not joining or when made already.
  void MakeJoinedSets(int inputCount);
  // The records that serve the input when joining (input 0: the output's own).
  std::vector<TOutputStream*> JoinedSet(int input) const;
  // Which input the record serves when joining; 0 otherwise.
  int InputServed(const TOutputStream* stream) const { return FJoined.InputServed(stream); }
  // When the input begins to play: opens the encoders of its set (the output's streams keep the
  // parameters their header was written with) and makes its bitstream filters. Raises as the
  // encoder opening of Prepare.
  void OpenJoinedSet(int input, const TTaskOptions& options, TOpenCodecs& codecs, TRunCounters& counters);

  // The transcode start, after the mapping set every stream's Source and Sync: the codec set-up
  // of each output stream (copy or encoding; scalers, filter graphs, bitstream filters), the
  // opening of every encoder, then of the decoder of every input stream that needs one (listed
  // in codecs), the inputs' tags and chapters (MetadataMaps.h), and every header; when every
  // output is an RTP stream, the session description is logged. A joined output's later records
  // are set up too, without touching the streams; their encoders open when their input plays
  // (OpenJoinedSet). Raises FFmpegException with the fixed texts, and with a text of its own for
  // what a run cannot do yet (audio and subtitle encoding), before any codec is opened or header
  // written.
  void Prepare(std::vector<TInputStreamState>& inputs, const TInputSet& inputSet, TTaskOptions& options,
               TDecodedFrameUsers users, TOpenCodecs& codecs, TRunCounters& counters);

  // Writes one packet of the stream (timestamps in the stream's time base): through the stream's
  // bitstream filters in order, then to the format (the engine format's packet operation, or the
  // libraries' interleaving writer). A filter failure is logged, or raised with exitOnError; a
  // write failure raises "av_interleaved_write_frame()" followed by the library's text.
  void WritePacket(TOutputStream& stream, AVPacket& packet, bool exitOnError);

  // Every output's trailer (when joining, the first only), for the files whose header was written,
  // each once; then each file's byte stream is closed. Raises FFmpegException, after every file
  // had its turn, when a trailer or the closing of a file failed (the first failure's text).
  void WriteTrailers();

  // The size of the first output's file so far (its size when known, else its write position;
  // after the trailers, its size on disk); 0 without a file.
  int64_t FirstOutputSize() const;

  // CloseFiles for the outputs: closes each file, deletes the ones still empty, frees every
  // context; the count becomes 0 and join mode ends. The encoders must be closed before (the
  // stream records own them).
  void Clear();

private:
  // One stream of the kind made from the option state and added to the file; the state's
  // per-stream options are consumed only when it succeeds.
  TOutputStream& MakeStream(TOutputFile& file, int fileIndex, TStreamKind kind, TTaskOptions& options);
  // What the file's format declares, whether a library muxer or one of the engine's formats.
  static int FormatFlags(const TOutputFile& file);
  static AVCodecID DefaultCodec(const TOutputFile& file, TStreamKind kind);

  TObject* FSender;
  int FCapacity;
  TIOTimeout& FTimeout;
  std::vector<std::unique_ptr<TOutputFile>> FFiles;
  bool FJoining = false;
  TJoinedInputs FJoined;
};

}  // namespace vidorant
