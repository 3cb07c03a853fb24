#include "engine/core/StreamMapping.h"

#include <algorithm>
#include <optional>

#include "engine/core/FFmpegException.h"
#include "engine/runtime/FFUtils.h"
#include "platform/Format.h"

namespace vidorant {
namespace {

std::string KindName(TStreamKind kind) { return MediaTypeName(static_cast<int>(kind)); }

std::optional<int> FindInput(const std::vector<TMappableInput>& inputs, int file, int stream) {
  for (size_t i = 0; i < inputs.size(); i++)
    if (inputs[i].File == file && inputs[i].Stream == stream) return static_cast<int>(i);
  return std::nullopt;
}

void RequireStreamsInEveryOutput(int outputFileCount, const std::vector<TMappableOutput>& outputs) {
  for (int file = 0; file < outputFileCount; file++) {
    const bool any = std::any_of(outputs.begin(), outputs.end(), [&](const TMappableOutput& o) { return o.File == file; });
    if (!any) throw FFmpegException(Format("Output file #%d does not contain any stream", file));
  }
}

std::vector<TStreamSource> MapByOptions(const std::vector<TMappableInput>& inputs,
                                        const std::vector<TMappableOutput>& outputs,
                                        const std::vector<TStreamMap>& maps) {
  if (maps.size() != outputs.size())
    throw FFmpegException("Number of stream maps must match number of output streams");
  std::vector<TStreamSource> sources;
  for (size_t i = 0; i < maps.size(); i++) {
    const TStreamMap& map = maps[i];
    const std::optional<int> source = FindInput(inputs, map.FileIndex, map.StreamIndex);
    if (!source) throw FFmpegException(Format("Could not find input stream #%d.%d", map.FileIndex, map.StreamIndex));
    const std::optional<int> sync = FindInput(inputs, map.SyncFileIndex, map.SyncStreamIndex);
    if (!sync)
      throw FFmpegException(Format("Could not find sync stream #%d.%d", map.SyncFileIndex, map.SyncStreamIndex));
    const TMappableInput& in = inputs[*source];
    const TMappableOutput& out = outputs[i];
    if (in.Kind != out.Kind)
      throw FFmpegException(Format("Codec type mismatch for mapping #%d.%d (%s) -> #%d.%d (%s)", in.File, in.Stream,
                                   KindName(in.Kind).c_str(), out.File, out.Stream, KindName(out.Kind).c_str()));
    sources.push_back({*source, *sync});
  }
  return sources;
}

// A stream whose packets were seen while probing ranks above one without; among equals the one
// with more frames; being strict, it leaves a tie to the earlier stream.
bool Outranks(const TMappableInput& a, const TMappableInput& b) {
  if (a.SeenWhileProbing != b.SeenWhileProbing) return a.SeenWhileProbing;
  return a.FrameCount > b.FrameCount;
}

std::vector<TStreamSource> MapByRank(const std::vector<TMappableInput>& inputs,
                                     const std::vector<TMappableOutput>& outputs, TMappingRules rules) {
  std::vector<bool> used(inputs.size(), false);
  std::vector<TStreamSource> sources;
  for (const TMappableOutput& out : outputs) {
    std::optional<int> best;
    for (size_t i = 0; i < inputs.size(); i++) {
      const TMappableInput& in = inputs[i];
      if (in.Kind != out.Kind || in.DiscardedEntirely || used[i]) continue;
      if (rules.ProgramSelected && !in.InProgram) continue;
      if (rules.Joining && in.File != out.ServedInput) continue;
      if (!best || Outranks(in, inputs[*best])) best = static_cast<int>(i);
    }
    // Nothing unused: any stream of the kind will do (an input may feed several outputs), unless
    // a program or a join restricts the choice.
    if (!best && !rules.ProgramSelected && !rules.Joining) {
      for (size_t i = 0; i < inputs.size(); i++)
        if (inputs[i].Kind == out.Kind && !inputs[i].DiscardedEntirely) best = static_cast<int>(i);
    }
    if (!best)
      throw FFmpegException(Format("Could not find input stream matching output stream #%d.%d (%s)", out.File,
                                   out.Stream, KindName(out.Kind).c_str()));
    used[*best] = true;
    sources.push_back({*best, *best});
  }
  return sources;
}

}  // namespace

std::vector<TStreamSource> MapStreams(const std::vector<TMappableInput>& inputs, int outputFileCount,
                                      const std::vector<TMappableOutput>& outputs,
                                      const std::vector<TStreamMap>& maps, TMappingRules rules) {
  RequireStreamsInEveryOutput(outputFileCount, outputs);
  return maps.empty() ? MapByRank(inputs, outputs, rules) : MapByOptions(inputs, outputs, maps);
}

}  // namespace vidorant
