// Stream mapping: which input stream feeds each output stream of a task, chosen once when the
// transcode starts. With `map` options every output stream takes its map in order; without them
// each output stream takes the best unused input stream of its kind. The choice works on plain
// descriptions of the streams, so it is decided (and checked) apart from the libraries' contexts.
// Invariant: every output stream gets exactly one source and one sync stream, each an index into
// the input list, or the mapping raises FFmpegException with the reason.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/core/OptionValues.h"
#include "engine/core/StreamKind.h"

namespace vidorant {

// One input stream as the mapping sees it.
struct TMappableInput {
  int File = 0;
  int Stream = 0;
  TStreamKind Kind = TStreamKind::Video;
  bool DiscardedEntirely = false;  // the user asked for none of its packets
  bool SeenWhileProbing = false;   // packets of it were read while the input was probed
  int64_t FrameCount = 0;          // as the container states it; 0 when it does not say
  bool InProgram = true;           // belongs to the program chosen by `programid` (when one is)
};

// One output stream: its file and position there, its kind, and, when inputs are joined, the
// input file whose set of output streams it belongs to.
struct TMappableOutput {
  int File = 0;
  int Stream = 0;
  TStreamKind Kind = TStreamKind::Video;
  int ServedInput = 0;
};

struct TStreamSource {
  int Source = 0;  // index into the inputs
  int Sync = 0;    // index into the inputs
};

struct TMappingRules {
  bool ProgramSelected = false;  // `programid` was given
  bool Joining = false;          // the inputs play one after the other into one output
};

// Raises FFmpegException ("Output file #%d does not contain any stream", the texts of the maps,
// "Could not find input stream matching output stream #%d.%d (%s)").
std::vector<TStreamSource> MapStreams(const std::vector<TMappableInput>& inputs, int outputFileCount,
                                      const std::vector<TMappableOutput>& outputs,
                                      const std::vector<TStreamMap>& maps, TMappingRules rules);

}  // namespace vidorant
