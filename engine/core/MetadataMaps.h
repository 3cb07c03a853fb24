// What a run carries from its inputs' tags and chapters into its outputs, at the transcode start
// (after the codecs are open, before the headers): the chapters, by the chapter maps or, without
// any, those of the first input that has some; then the metadata maps, each copying one item's
// tags (global, a stream's, a chapter's or a program's) into an item of an output; then, unless a
// map took over the global tags, the first input's global tags into every output.
//
// Invariants: tags are only ever added, never overwritten, so what an output already holds (its
// own "metadata" options, a stream's language) wins; a map or chapter map that names an item
// that does not exist raises before it changes anything of its own. Chapters go first so that a
// metadata map can name an output chapter the run copies.
#pragma once

#include "engine/runtime/FFLog.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct AVFormatContext;

namespace vidorant {

struct TOptionState;

// One input as the copying sees it: its context (owned by the input set) and the µs its
// timestamps are moved by on the task's timeline.
struct TMetadataInput {
  const AVFormatContext* Context = nullptr;
  int64_t TsOffset = 0;
};

using TMetadataLog = std::function<void(TLogLevel level, const std::string& text)>;

// Copies the chapters and applies the metadata maps and the global autocopy of the options into
// the outputs' contexts (owned by the output set). Raises FFmpegException with "Invalid %s index
// %d while processing metadata maps" (logged at llError after the map's description), "Invalid
// input file index %d in chapter mapping.", "Invalid output file index %d in chapter mapping.",
// "av_mallocz fail" or "av_realloc fail".
void CopyMetadataAndChapters(const TOptionState& options, const std::vector<TMetadataInput>& inputs,
                             const std::vector<AVFormatContext*>& outputs, const TMetadataLog& log);

// The chapters of the input that fall into the clip [startTime, startTime + recordingTime) (µs
// on the task's timeline; recordingTime may be the unlimited int64 maximum), moved to the clip's
// start and cut at its end, appended to the output's; their tags only with copyTags.
void CopyChapters(const TMetadataInput& input, AVFormatContext* output, int64_t startTime, int64_t recordingTime,
                  bool copyTags);

}  // namespace vidorant
