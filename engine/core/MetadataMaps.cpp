// The metadata maps, the global autocopy and the order of the whole copying (MetadataMaps.h).
#include "engine/core/MetadataMaps.h"

#include "engine/core/FFmpegException.h"
#include "engine/core/OptionState.h"
#include "engine/runtime/AVUtilStubs.h"
#include "platform/Format.h"

extern "C" {
#include <libavformat/avformat.h>
}

namespace vidorant {
namespace {

// The kind of item a map side names, as the refusal calls it; null for the global tags.
const char* ItemKind(char type) {
  switch (type) {
    case 's':
      return "stream";
    case 'c':
      return "chapter";
    case 'p':
      return "program";
    default:
      return nullptr;
  }
}

int ItemCount(const AVFormatContext* context, char type) {
  switch (type) {
    case 's':
      return static_cast<int>(context->nb_streams);
    case 'c':
      return static_cast<int>(context->nb_chapters);
    case 'p':
      return static_cast<int>(context->nb_programs);
    default:
      return 1;
  }
}

// Where the tags of a side's item live; the side was checked against the context.
AVDictionary** TagsOf(const AVFormatContext* context, const TMetaDataSide& side) {
  auto* mutableContext = const_cast<AVFormatContext*>(context);
  switch (side.Type) {
    case 's':
      return &mutableContext->streams[side.Index]->metadata;
    case 'c':
      return &mutableContext->chapters[side.Index]->metadata;
    case 'p':
      return &mutableContext->programs[side.Index]->metadata;
    default:
      return &mutableContext->metadata;
  }
}

std::string SideText(const char* direction, const TMetaDataSide& side) {
  const char* kind = ItemKind(side.Type);
  return kind ? Format("%s file %d, %s %d", direction, side.File, kind, side.Index)
              : Format("%s file %d, global", direction, side.File);
}

class TMapChecker {
public:
  TMapChecker(const TMetaDataMap& map, int number, const TMetadataLog& log) : FMap(map), FNumber(number), FLog(log) {}

  void Check(const char* kind, int index, int count) const {
    if (index >= 0 && index < count) return;
    const std::string text = Format("Invalid %s index %d while processing metadata maps", kind, index);
    if (FLog) {
      FLog(llError, Format("Metadata map #%d: %s from %s", FNumber, SideText("output", FMap.Out).c_str(),
                           SideText("input", FMap.In).c_str()));
      FLog(llError, text);
    }
    throw FFmpegException(text);
  }
  void CheckItem(const AVFormatContext* context, const TMetaDataSide& side) const {
    if (const char* kind = ItemKind(side.Type)) Check(kind, side.Index, ItemCount(context, side.Type));
  }

private:
  const TMetaDataMap& FMap;
  int FNumber;
  const TMetadataLog& FLog;
};

void ApplyMetadataMaps(const std::vector<TMetaDataMap>& maps, const std::vector<TMetadataInput>& inputs,
                       const std::vector<AVFormatContext*>& outputs, const TMetadataLog& log) {
  for (size_t i = 0; i < maps.size(); ++i) {
    const TMetaDataMap& map = maps[i];
    const TMapChecker checker(map, static_cast<int>(i), log);
    checker.Check("output file", map.Out.File, static_cast<int>(outputs.size()));
    checker.Check("input file", map.In.File, static_cast<int>(inputs.size()));
    const AVFormatContext* output = outputs[map.Out.File];
    const AVFormatContext* input = inputs[map.In.File].Context;
    checker.CheckItem(output, map.Out);
    checker.CheckItem(input, map.In);
    ff::av_dict_copy(TagsOf(output, map.Out), *TagsOf(input, map.In), AV_DICT_DONT_OVERWRITE);
  }
}

void CopyChapterMaps(const TOptionState& options, const std::vector<TMetadataInput>& inputs,
                     const std::vector<AVFormatContext*>& outputs) {
  const auto copy = [&](const TMetadataInput& input, AVFormatContext* output) {
    CopyChapters(input, output, options.StartTime, options.RecordingTime, options.MetadataChaptersAutoCopy);
  };
  if (options.ChapterMaps.empty()) {
    for (const TMetadataInput& input : inputs) {
      if (input.Context->nb_chapters == 0) continue;
      for (AVFormatContext* output : outputs) copy(input, output);
      return;
    }
    return;
  }
  for (const TChapterMap& map : options.ChapterMaps) {
    // A negative index is how a map asks for no chapters at all.
    if (map.InFile < 0 || map.OutFile < 0) continue;
    if (map.InFile >= static_cast<int>(inputs.size()))
      throw FFmpegException(Format("Invalid input file index %d in chapter mapping.", map.InFile));
    if (map.OutFile >= static_cast<int>(outputs.size()))
      throw FFmpegException(Format("Invalid output file index %d in chapter mapping.", map.OutFile));
    copy(inputs[map.InFile], outputs[map.OutFile]);
  }
}

}  // namespace

void CopyMetadataAndChapters(const TOptionState& options, const std::vector<TMetadataInput>& inputs,
                             const std::vector<AVFormatContext*>& outputs, const TMetadataLog& log) {
  CopyChapterMaps(options, inputs, outputs);
  ApplyMetadataMaps(options.MetaDataMaps, inputs, outputs, log);
  if (options.MetadataGlobalAutoCopy && !inputs.empty())
    for (AVFormatContext* output : outputs)
      ff::av_dict_copy(&output->metadata, inputs.front().Context->metadata, AV_DICT_DONT_OVERWRITE);
}

}  // namespace vidorant
