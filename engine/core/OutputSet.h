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

#include "engine/core/OpenCodecs.h"
#include "engine/core/StreamKind.h"
#include "engine/core/TranscodeStreams.h"

#include <cstdint>
#include <string>
#include <vector>

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
  // Returns the new number of output files, or -1 with error set (nothing is kept then). Raises
  // FFmpegException where the option state cannot make a stream.
  int Add(const std::string& fileName, bool join, TTaskOptions& options, const TInputSet& inputs,
          std::string& error);
  // NewVideoStream, NewAudioStream, NewSubtitleStream: one more stream of the kind in the file.
  // Raises FFmpegException.
  void NewStream(TStreamKind kind, int fileIndex, TTaskOptions& options);

  int Count() const { return static_cast<int>(FFiles.size()); }
  TOutputFile& File(int index) { return *FFiles.at(index); }
  const TOutputFile& File(int index) const { return *FFiles.at(index); }
  // All streams of all files, in file order then stream order.
  std::vector<TOutputStream*> Streams() const;
  bool Joining() const { return FJoining; }

  // The transcode start, after the mapping set every stream's Source and Sync: the codec set-up
  // of each output stream (copy or encoding; scalers, filter graphs, bitstream filters), the
  // opening of every encoder, then of the decoder of every input stream that needs one (listed
  // in codecs), and every header. Raises FFmpegException with the fixed texts.
  void Prepare(std::vector<TInputStreamState>& inputs, const TInputSet& inputSet, TTaskOptions& options,
               TDecodedFrameUsers users, TOpenCodecs& codecs, TRunCounters& counters);

  // Writes one packet of the stream (timestamps in the stream's time base): through the stream's
  // bitstream filters in order, then to the format (the engine format's packet operation, or the
  // libraries' interleaving writer). A filter failure is logged, or raised with exitOnError; a
  // write failure raises "av_interleaved_write_frame()" followed by the library's text.
  void WritePacket(TOutputStream& stream, AVPacket& packet, bool exitOnError);

  // Every output's trailer (when joining, the first only), for the files whose header was written.
  // Raises FFmpegException when a trailer cannot be written.
  void WriteTrailers();

  // The size of the first output's file so far (its size when known, else its write position);
  // 0 without a file.
  int64_t FirstOutputSize() const;

  // CloseFiles for the outputs: closes each file, deletes the ones still empty, frees every
  // context; the count becomes 0 and join mode ends.
  void Clear();

private:
  TObject* FSender;
  int FCapacity;
  TIOTimeout& FTimeout;
  std::vector<std::unique_ptr<TOutputFile>> FFiles;
  bool FJoining = false;
};

}  // namespace vidorant
