// The records a transcode works on: one per output file, one per output stream and one per input
// stream. The output set makes the output records when an output is added and prepares them when
// the transcode starts; the transcode loop and the video path read and advance them while the
// task runs. The records hold state only; the parts that own each concern act on them.
//
// Invariants: an output stream's Stream belongs to its file's Context and lives as long as it;
// Source and Sync are indices into the transcode's input-stream list once the mapping ran (-1
// before); an input stream's Decoder belongs to the task's input set, which outlives the run.
#pragma once

#include "engine/core/FrameRateSync.h"
#include "engine/core/OptionState.h"
#include "engine/core/StreamKind.h"
#include "engine/core/TwoPass.h"
#include "engine/core/VideoFilterGraph.h"
#include "engine/core/VideoScaler.h"
#include "engine/runtime/EngineIO.h"
#include "engine/runtime/FFPtr.h"
#include "engine/runtime/FFTypes.h"
#include "engine/runtime/OutputFormats.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct AVCodec;
struct AVCodecContext;
struct AVFormatContext;
struct AVStream;

namespace vidorant {

// One output stream of an output file.
struct TOutputStream {
  int File = 0;   // index of its output file
  int Index = 0;  // its position in that file
  TStreamKind Kind = TStreamKind::Video;
  AVStream* Stream = nullptr;  // owned by the file's context
  // The encoder's context; for a copied stream it only carries the parameters.
  TCodecContextPtr Encoder;
  const AVCodec* Codec = nullptr;  // the encoder; null for a copied stream
  bool StreamCopy = false;
  bool EncodingNeeded = false;
  int Source = -1;  // input stream (flat index) that feeds it
  int Sync = -1;    // input stream it keeps in step with

  int32_t FrameNumber = 0;  // frames (packets for a copy) put out so far
  // Video: the output's timeline, in encoder time-base units, with its dup/drop counts.
  TFrameRateSync RateSync;
  // Presentation time (stream time base) reached by the packets written so far; NoValue before.
  int64_t LastPts = NoValue;

  // Video encoding: how pictures reach the encoder's size and format.
  bool ResampleNeeded = false;
  std::unique_ptr<TVideoScaler> Scaler;         // without filters, when resampling
  std::unique_ptr<TVideoFilterGraph> Filters;   // with the vf option
  std::vector<int64_t> ForcedKeyFrames;         // encoder time base, ascending
  size_t NextForcedKeyFrame = 0;
  float LastQuality = 0;                        // the encoder's last quality (lambda units)

  // The first pass's statistics log, appended to after every packet; null in other runs.
  std::unique_ptr<TTwoPassLog> PassLog;

  // Stream copy: copying begins at a key frame unless copyinkf says otherwise.
  bool KeyFrameCopied = false;

  // The bitstream filters given for the stream's kind when it was made, and their contexts once
  // the transcode start built them, applied in order to every packet written.
  std::vector<TBitstreamFilterEntry> BitstreamFilterEntries;
  std::vector<TBSFContextPtr> BitstreamFilters;
};

// One output file: the library's context for its streams and metadata, and how it is written.
struct TOutputFile {
  TOutputFormatContextPtr Context;
  // One of the engine's own formats (the frame output adapter's): the task calls its operations
  // itself and no library muxer is ever opened. Null for the libraries' formats.
  const TOutputFormat* EngineFormat = nullptr;
  // The file's byte stream when the format writes one (the context is flagged custom I/O).
  std::unique_ptr<TEngineIO> IO;
  std::string FileName;  // UTF-8, as given
  // The format writes a file of that name (the set opened it); kept after the byte stream
  // closed, so that the closing of the set finds an empty file to delete.
  bool WritesFile = false;
  std::vector<std::unique_ptr<TOutputStream>> Streams;
  bool HeaderWritten = false;
  bool TrailerWritten = false;
};

// Bytes the run produced, for the progress report's last line.
struct TRunCounters {
  int64_t VideoBytes = 0;
  int64_t AudioBytes = 0;
  int64_t SubtitleBytes = 0;
  int64_t HeaderBytes = 0;  // encoders' global headers
};

// One input stream as the transcode uses it.
struct TInputStreamState {
  int File = 0;
  int Index = 0;                      // position in its file
  AVStream* Stream = nullptr;         // owned by the input's context
  AVCodecContext* Decoder = nullptr;  // owned by the input set
  const AVCodec* DecoderCodec = nullptr;
  bool Discard = true;                // until a mapping uses it
  bool DecodingNeeded = false;
  bool DecoderOpen = false;
  int64_t NextPts = NoValue;          // µs; the next expected timestamp
  int64_t Pts = 0;                    // µs; the current timestamp
  int64_t WallClockStart = 0;         // µs of the library clock, for rate emulation
  bool Flushed = false;
  bool PastRecordingTime = false;
  int64_t PictureCount = 0;           // pictures decoded
  bool MultipleFramesLogged = false;
};

}  // namespace vidorant
