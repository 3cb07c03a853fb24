#include "engine/core/StreamMapping.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/core/FFmpegException.h"

namespace vidorant {
namespace {

using K = TStreamKind;

TMappableInput In(int file, int stream, K kind, bool seen = true, int64_t frames = 0) {
  TMappableInput in;
  in.File = file;
  in.Stream = stream;
  in.Kind = kind;
  in.SeenWhileProbing = seen;
  in.FrameCount = frames;
  return in;
}

TMappableOutput Out(int file, int stream, K kind, int servedInput = 0) { return {file, stream, kind, servedInput}; }

std::vector<int> Sources(const std::vector<TStreamSource>& mapped) {
  std::vector<int> result;
  for (const TStreamSource& s : mapped) {
    EXPECT_EQ(s.Sync, s.Source);  // without maps a stream syncs on itself
    result.push_back(s.Source);
  }
  return result;
}

TEST(StreamMapping, WithoutMapsEachOutputTakesTheBestUnusedStreamOfItsKind) {
  const struct {
    const char* Case;
    std::vector<TMappableInput> Inputs;
    std::vector<TMappableOutput> Outputs;
    TMappingRules Rules;
    std::vector<int> Expected;
  } cases[] = {
      {"more frames wins", {In(0, 0, K::Video, true, 100), In(1, 0, K::Video, true, 250)}, {Out(0, 0, K::Video)}, {}, {1}},
      {"seen while probing outranks more frames",
       {In(0, 0, K::Video, false, 900), In(1, 0, K::Video, true, 10)}, {Out(0, 0, K::Video)}, {}, {1}},
      {"the first wins a tie", {In(0, 0, K::Audio), In(0, 1, K::Audio)}, {Out(0, 0, K::Audio)}, {}, {0}},
      {"each kind to its own, used streams skipped",
       {In(0, 0, K::Audio), In(0, 1, K::Video), In(0, 2, K::Video)},
       {Out(0, 0, K::Video), Out(0, 1, K::Audio), Out(0, 2, K::Video)}, {}, {1, 0, 2}},
      {"all used: the last stream of the kind feeds again",
       {In(0, 0, K::Video), In(0, 1, K::Video)}, {Out(0, 0, K::Video), Out(0, 1, K::Video), Out(1, 0, K::Video)}, {},
       {0, 1, 1}},
      {"a joined output takes streams of the input it serves",
       {In(0, 0, K::Video, true, 5), In(1, 0, K::Video, true, 50)},
       {Out(0, 0, K::Video, 0), Out(0, 0, K::Video, 1)}, {false, true}, {0, 1}},
  };
  for (const auto& c : cases) {
    int files = 0;
    for (const TMappableOutput& o : c.Outputs) files = std::max(files, o.File + 1);
    EXPECT_EQ(Sources(MapStreams(c.Inputs, files, c.Outputs, {}, c.Rules)), c.Expected) << c.Case;
  }
}

TEST(StreamMapping, DiscardedAndOutOfProgramStreamsAreNotChosen) {
  std::vector<TMappableInput> inputs = {In(0, 0, K::Video, true, 500), In(0, 1, K::Video, true, 5)};
  inputs[0].InProgram = false;
  EXPECT_EQ(Sources(MapStreams(inputs, 1, {Out(0, 0, K::Video)}, {}, {true, false})), std::vector<int>{1});
  inputs[1].DiscardedEntirely = true;
  EXPECT_THROW(MapStreams(inputs, 1, {Out(0, 0, K::Video)}, {}, {true, false}), FFmpegException);
  // Without a program the fallback may take the stream outside it, never a discarded one.
  EXPECT_EQ(Sources(MapStreams(inputs, 1, {Out(0, 0, K::Video)}, {}, {})), std::vector<int>{0});
}

TEST(StreamMapping, MapsAreTakenInOrderWithTheirSyncStreams) {
  const std::vector<TMappableInput> inputs = {In(0, 0, K::Video), In(0, 1, K::Audio), In(1, 0, K::Audio)};
  const std::vector<TStreamSource> mapped =
      MapStreams(inputs, 1, {Out(0, 0, K::Audio), Out(0, 1, K::Video)}, {{1, 0, 0, 0}, {0, 0, 0, 0}}, {});
  ASSERT_EQ(mapped.size(), 2u);
  EXPECT_EQ(mapped[0].Source, 2);
  EXPECT_EQ(mapped[0].Sync, 0);
  EXPECT_EQ(mapped[1].Source, 0);
}

TEST(StreamMapping, RefusalsNameTheirReason) {
  const std::vector<TMappableInput> inputs = {In(0, 0, K::Video), In(0, 1, K::Audio)};
  const struct {
    int OutputFiles;
    std::vector<TMappableOutput> Outputs;
    std::vector<TStreamMap> Maps;
    const char* Message;
  } cases[] = {
      {2, {Out(0, 0, K::Video)}, {}, "Output file #1 does not contain any stream"},
      {1, {Out(0, 0, K::Subtitle)}, {}, "Could not find input stream matching output stream #0.0 (Subtitle)"},
      {1, {Out(0, 0, K::Video), Out(0, 1, K::Audio)}, {{0, 0, 0, 0}},
       "Number of stream maps must match number of output streams"},
      {1, {Out(0, 0, K::Video)}, {{0, 2, 0, 0}}, "Could not find input stream #0.2"},
      {1, {Out(0, 0, K::Video)}, {{0, 0, 3, 1}}, "Could not find sync stream #3.1"},
      {1, {Out(0, 0, K::Video)}, {{0, 1, 0, 1}}, "Codec type mismatch for mapping #0.1 (Audio) -> #0.0 (Video)"},
  };
  for (const auto& c : cases) {
    try {
      MapStreams(inputs, c.OutputFiles, c.Outputs, c.Maps, {});
      ADD_FAILURE() << "no refusal: " << c.Message;
    } catch (const FFmpegException& e) {
      EXPECT_EQ(e.Message, c.Message);
    }
  }
}

}  // namespace
}  // namespace vidorant
