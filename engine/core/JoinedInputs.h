// The output stream records of a joined output: when inputs play one after the other into one
// output file, every input gets a set of records of its own, one per stream of the output, each
// with its own encoder context, scaler and source, while all sets write to the same library
// streams. The file's own records serve the first input; this holds the sets of the later ones.
// An input's set takes over from the one before when that input ends: its encoder is opened
// then, and it continues the frame count and the timeline of the previous set.
//
// Invariants: every later set has exactly as many records as the file had streams when the sets
// were made, in the same order, each pointing at the same library stream as the file's record at
// its position; a record's encoder is configured like the file's record but opened only when its
// input begins to play.
#pragma once

#include "engine/core/TranscodeStreams.h"

#include <memory>
#include <vector>

namespace vidorant {

class TJoinedInputs {
public:
  // One set per input after the first (inputCount - 1 sets), each record a copy of the file's
  // record at its position as configured before any encoder was opened. Replaces sets made
  // before. Raises FFmpegException when an encoder context cannot be made.
  void MakeSets(const TOutputFile& file, int inputCount);
  // True once sets were made for that many inputs from the file as it stands.
  bool Made(const TOutputFile& file, int inputCount) const;

  // The records that serve the input; input 0 is served by the file's own records.
  std::vector<TOutputStream*> Set(const TOutputFile& file, int input) const;
  // The records of every later set, input after input.
  std::vector<TOutputStream*> LaterStreams() const;
  // Which input a record serves: 0 for the file's records and anything not in a later set.
  int InputServed(const TOutputStream* stream) const;

  void Clear() { FLaterSets.clear(); }

private:
  std::vector<std::vector<std::unique_ptr<TOutputStream>>> FLaterSets;  // [input - 1][stream]
};

// The next input's record takes over from the previous one's: its frame count, its place on the
// output's timeline (the frame-rate sync with its duplicate and drop counts) and the time its
// packets reached, so that the output goes on where the previous input left it.
void ContinueTimeline(const TOutputStream& previous, TOutputStream& next);

}  // namespace vidorant
