// Joined inputs in a run (Transcode.h): the inputs play one after the other into one output, each
// through its own set of output stream records. When an input ends, what its decoders and its
// set's encoders still hold is drained into the output, the next input's set takes over the frame
// count and the timeline, and the next input's timestamps are moved to begin where the output
// stands, so the output's timestamps keep rising across inputs.
#include "engine/core/Transcode.h"

#include "engine/core/InputSet.h"
#include "engine/core/JoinedInputs.h"
#include "engine/core/OutputSet.h"
#include "engine/core/TaskOptions.h"
#include "engine/runtime/AVCodecStubs.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <algorithm>
#include <cmath>

namespace vidorant {

std::vector<TOutputStream*> TTranscode::CollectOutputStreams() {
  TOutputSet& outputs = *FEnv.Outputs;
  std::vector<TOutputStream*> streams = outputs.Streams();
  if (!outputs.Joining()) return streams;
  // Made here when the task's owner did not ask for them after adding the output.
  outputs.MakeJoinedSets(FEnv.Inputs->Count());
  for (int input = 1; input < FEnv.Inputs->Count(); ++input) {
    const std::vector<TOutputStream*> set = outputs.JoinedSet(input);
    streams.insert(streams.end(), set.begin(), set.end());
  }
  return streams;
}

TTranscode::TReadResult TTranscode::NextJoinedInput(int file) {
  const TFileState& ended = FFiles[file];
  for (int i = ended.FirstStream; i < ended.FirstStream + ended.StreamCount; ++i) {
    TInputStreamState& stream = FStreams[i];
    if (!stream.DecodingNeeded || stream.Flushed) continue;
    OutputPacket(i, nullptr);
    // Drained decoders take no packet until reset.
    if (stream.Decoder) ff::avcodec_flush_buffers(stream.Decoder);
  }
  const int next = file + 1;
  if (next >= FEnv.Inputs->Count()) return TReadResult::End;

  const double reached = JoinedTimeReached(file);
  const std::vector<TOutputStream*> previous = FEnv.Outputs->JoinedSet(file);
  const std::vector<TOutputStream*> following = FEnv.Outputs->JoinedSet(next);
  for (size_t i = 0; i < previous.size() && i < following.size(); ++i) ContinueTimeline(*previous[i], *following[i]);
  FEnv.Outputs->OpenJoinedSet(next, *FEnv.Options, *FEnv.Codecs, FCounters);
  // Output time 0 is the input time of the output's start position, so the next input begins
  // that far beyond the time reached, or its first pictures would fall before the start and be
  // lost.
  FEnv.Inputs->File(next).TsOffset += std::llround(reached * 1000000.0) + FEnv.Options->State().StartTime;
  FCurrentFile = next;
  return TReadResult::NoReport;
}

double TTranscode::JoinedTimeReached(int file) const {
  const int64_t start = FEnv.Options->State().StartTime;
  double reached = 0;
  for (const TOutputStream* out : FEnv.Outputs->JoinedSet(file)) {
    reached = std::max(reached, PresentationTime(*out));
    // A copied packet's time is where it begins; the next input begins where it ends.
    if (out->StreamCopy && out->Source >= 0 && FStreams[out->Source].NextPts != NoValue)
      reached = std::max(reached, static_cast<double>(FStreams[out->Source].NextPts - start) / 1000000.0);
  }
  return reached;
}

}  // namespace vidorant
