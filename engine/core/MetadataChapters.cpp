// The copying of one input's chapters into an output (MetadataMaps.h). The output's chapter list
// is the libraries' own array of av_malloc'ed chapters, which the output's context frees with
// everything else it holds.
#include "engine/core/MetadataMaps.h"

#include "engine/core/FFmpegException.h"
#include "engine/runtime/AVUtilStubs.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <limits>

namespace vidorant {
namespace {

constexpr int64_t Unlimited = std::numeric_limits<int64_t>::max();

// Appends a zeroed chapter to the output's list; the list owns it from then on.
AVChapter* AppendChapter(AVFormatContext* output) {
  auto* chapter = static_cast<AVChapter*>(ff::av_mallocz(sizeof(AVChapter)));
  if (!chapter) throw FFmpegException("av_mallocz fail");
  auto** grown = static_cast<AVChapter**>(
      ff::av_realloc(output->chapters, (static_cast<size_t>(output->nb_chapters) + 1) * sizeof(AVChapter*)));
  if (!grown) {
    ff::av_free(chapter);
    throw FFmpegException("av_realloc fail");
  }
  output->chapters = grown;
  output->chapters[output->nb_chapters++] = chapter;
  return chapter;
}

}  // namespace

void CopyChapters(const TMetadataInput& input, AVFormatContext* output, int64_t startTime, int64_t recordingTime,
                  bool copyTags) {
  const AVRational microseconds{1, 1000000};
  for (unsigned i = 0; i < input.Context->nb_chapters; ++i) {
    const AVChapter* source = input.Context->chapters[i];
    const int64_t offset = ff::av_rescale_q(startTime - input.TsOffset, microseconds, source->time_base);
    // The unlimited clip stays unlimited: rescaled, the largest number would wrap.
    const int64_t limit =
        recordingTime == Unlimited ? Unlimited : ff::av_rescale_q(recordingTime, microseconds, source->time_base);
    if (source->end < offset) continue;
    if (limit != Unlimited && source->start >= offset + limit) break;

    AVChapter* chapter = AppendChapter(output);
    chapter->id = source->id;
    chapter->time_base = source->time_base;
    chapter->start = std::max<int64_t>(0, source->start - offset);
    chapter->end = std::min(limit, source->end - offset);
    if (copyTags) ff::av_dict_copy(&chapter->metadata, source->metadata, 0);
  }
}

}  // namespace vidorant
