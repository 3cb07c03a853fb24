// The later inputs' sets of output stream records (JoinedInputs.h). A set is made after the
// output's streams were configured from the options, which those streams consumed: so each later
// record copies its encoder's configuration from the file's record instead of from the options.
#include "engine/core/JoinedInputs.h"

#include "engine/core/FFmpegException.h"
#include "engine/runtime/AVCodecStubs.h"
#include "engine/runtime/AVUtilStubs.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <cstring>
#include <string>

namespace vidorant {
namespace {

// The option's value as text, or empty when it cannot be read.
std::string OptionText(void* context, const char* name) {
  uint8_t* text = nullptr;
  if (ff::av_opt_get(context, name, 0, &text) < 0 || !text) return {};
  TAVMemoryPtr<uint8_t> owned(text);
  return reinterpret_cast<const char*>(text);
}

// Every settable option of the context (bit rate, flags, group size, quantiser limits...) that
// differs between the two, copied as the option system renders it. Deprecated and read-only
// options are left alone: setting them only logs complaints.
void CopyOptions(const AVCodecContext* from, AVCodecContext* to) {
  void* source = const_cast<AVCodecContext*>(from);
  for (const AVOption* option = nullptr; (option = ff::av_opt_next(source, option));) {
    if (option->type == AV_OPT_TYPE_CONST) continue;
    if (option->flags & (AV_OPT_FLAG_DEPRECATED | AV_OPT_FLAG_READONLY)) continue;
    const std::string value = OptionText(source, option->name);
    if (value != OptionText(to, option->name)) ff::av_opt_set(to, option->name, value.c_str(), 0);
  }
}

// A copy the context frees with itself (av_malloc'ed), of count elements.
template <typename T>
T* OwnedCopy(const T* from, size_t count) {
  if (!from || count == 0) return nullptr;
  auto* copy = static_cast<T*>(ff::av_malloc(count * sizeof(T)));
  if (!copy) throw FFmpegException("Could not alloc output stream");
  std::memcpy(copy, from, count * sizeof(T));
  return copy;
}

// A new, unopened encoder context configured like `from` (also unopened).
TCodecContextPtr CopyEncoder(const AVCodecContext* from, const AVCodec* codec) {
  TCodecContextPtr to(ff::avcodec_alloc_context3(codec));
  TCodecParametersPtr parameters(ff::avcodec_parameters_alloc());
  if (!to || !parameters) throw FFmpegException("Could not alloc output stream");
  // Size, pixel and sample formats, channel layout, tag: what the stream parameters carry.
  if (ff::avcodec_parameters_from_context(parameters.get(), from) < 0 ||
      ff::avcodec_parameters_to_context(to.get(), parameters.get()) < 0)
    throw FFmpegException("Could not alloc output stream");
  CopyOptions(from, to.get());
  // What the option system does not reach.
  to->time_base = from->time_base;
  to->framerate = from->framerate;
  to->sample_aspect_ratio = from->sample_aspect_ratio;
  to->flags = from->flags;
  to->flags2 = from->flags2;
  to->global_quality = from->global_quality;
  to->thread_count = from->thread_count;
  constexpr size_t MatrixSize = 64;
  to->intra_matrix = OwnedCopy(from->intra_matrix, MatrixSize);
  to->inter_matrix = OwnedCopy(from->inter_matrix, MatrixSize);
  to->rc_override = OwnedCopy(from->rc_override, static_cast<size_t>(std::max(0, from->rc_override_count)));
  to->rc_override_count = to->rc_override ? from->rc_override_count : 0;
  return to;
}

std::unique_ptr<TOutputStream> CopyRecord(const TOutputStream& from) {
  auto to = std::make_unique<TOutputStream>();
  to->File = from.File;
  to->Index = from.Index;
  to->Kind = from.Kind;
  to->Stream = from.Stream;
  to->Codec = from.Codec;
  to->StreamCopy = from.StreamCopy;
  to->Encoder = CopyEncoder(from.Encoder.get(), from.Codec);
  to->ForcedKeyFrames = from.ForcedKeyFrames;
  to->BitstreamFilterEntries = from.BitstreamFilterEntries;
  return to;
}

}  // namespace

void TJoinedInputs::MakeSets(const TOutputFile& file, int inputCount) {
  std::vector<std::vector<std::unique_ptr<TOutputStream>>> sets;
  for (int input = 1; input < inputCount; ++input) {
    std::vector<std::unique_ptr<TOutputStream>>& set = sets.emplace_back();
    for (const auto& stream : file.Streams) set.push_back(CopyRecord(*stream));
  }
  FLaterSets = std::move(sets);
}

bool TJoinedInputs::Made(const TOutputFile& file, int inputCount) const {
  if (static_cast<int>(FLaterSets.size()) != std::max(0, inputCount - 1)) return false;
  for (const auto& set : FLaterSets)
    if (set.size() != file.Streams.size()) return false;
  return true;
}

std::vector<TOutputStream*> TJoinedInputs::Set(const TOutputFile& file, int input) const {
  std::vector<TOutputStream*> streams;
  if (input == 0) {
    for (const auto& stream : file.Streams) streams.push_back(stream.get());
  } else if (input > 0 && input <= static_cast<int>(FLaterSets.size())) {
    for (const auto& stream : FLaterSets[input - 1]) streams.push_back(stream.get());
  }
  return streams;
}

std::vector<TOutputStream*> TJoinedInputs::LaterStreams() const {
  std::vector<TOutputStream*> streams;
  for (const auto& set : FLaterSets)
    for (const auto& stream : set) streams.push_back(stream.get());
  return streams;
}

int TJoinedInputs::InputServed(const TOutputStream* stream) const {
  for (size_t s = 0; s < FLaterSets.size(); ++s)
    for (const auto& record : FLaterSets[s])
      if (record.get() == stream) return static_cast<int>(s) + 1;
  return 0;
}

void ContinueTimeline(const TOutputStream& previous, TOutputStream& next) {
  next.FrameNumber = previous.FrameNumber;
  next.RateSync = previous.RateSync;
  next.LastPts = previous.LastPts;
  next.LastQuality = previous.LastQuality;
}

}  // namespace vidorant
