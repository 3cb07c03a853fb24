// The encoding end of the video path (internal to the core): each picture that the frame-rate
// rule keeps goes out as one or more frames of an output stream, each seen by the output hook and
// the preview, encoded, and every packet the encoder gives is written with the stream's time base;
// at the end of the input the encoder is drained through the same packet writing.
//
// Invariants: the frame handed to the encoder is a reference of the path's own, so the picture it
// came from never changes under its owner; an output stream's sync timestamp and frame number
// advance together, once per frame that reached its encoder.
#pragma once

#include <string>

#include "engine/core/VideoPath.h"
#include "engine/core/VideoStats.h"
#include "engine/runtime/FFPtr.h"

namespace vidorant {

// One line of the task's log: through the task's writer, or the engine's logger without one.
void LogVideoPathLine(const TVideoPathEnv& env, TLogLevel level, const std::string& text);

class TVideoEncoding {
public:
  // env outlives the encoding.
  explicit TVideoEncoding(const TVideoPathEnv& env);

  // Emits up to count frames of picture (already in the encoder's size and pixel format), fewer
  // when a stop is requested. source is the picture as it came to the stream, whose quality,
  // picture type and field order the frames carry.
  void Emit(TOutputStream& output, const AVFrame& picture, const AVFrame& source, int count);

  // Tells the encoder the input ended and writes every packet it still held.
  void Drain(TOutputStream& output);

private:
  void EmitOne(TOutputStream& output, const AVFrame& picture, const AVFrame& source);
  void Offer(const AVFrame& frame, int32_t frameNumber, int64_t timestamp, bool hookConverted);
  // Sends the frame (null: the end of input) and writes every packet the encoder has ready.
  void Encode(TOutputStream& output, const AVFrame* frame);
  // framesSent: the frames the encoder was given so far, the one that made the packet included.
  void WritePacket(TOutputStream& output, int32_t framesSent);
  void AppendVideoStats(const TOutputStream& output, const AVPacket& packet, int32_t framesSent);

  const TVideoPathEnv& FEnv;
  std::unique_ptr<TVideoStats> FStats;  // with a statistics file name in the options
  TFramePtr FFrame;    // the frame being emitted: a reference to the picture with its own props
  TPacketPtr FPacket;  // the packet being written
};

}  // namespace vidorant
