// The output set on generated videos: the choice of format, the streams an output gets, the
// encoders' settings, stream copy, the frame output adapter's road, packets written through
// bitstream filters, files FFmpeg reads back (linked directly, independent of the engine), the
// deletion of empty files, and the features a run refuses with a clear text.
#include "engine/core/FFmpegException.h"
#include "engine/core/OutputSet.h"
#include "engine/core/StreamMapping.h"
#include "engine/runtime/FrameOutput.h"
#include "platform/Environment.h"
#include "tests/engine/core/TestEngine.h"
#include "tools/testvideo/LinkedFFPtr.h"
#include "tests/fixtures/TempFolder.h"
#include "tools/testvideo/TestVideo.h"

#include <gtest/gtest.h>

#include <cstring>

extern "C" {
#include <libavutil/pixdesc.h>
}

namespace vidorant::testing {
namespace {

using TOptionPairs = std::vector<std::pair<std::string, std::string>>;

// A task's option, input and output parts, wired as the task wires them.
class TOutputHarness final : public TTaskFiles {
public:
  TOutputHarness() { Options.Reset(); }
  int InputCount() const override { return Inputs.Count(); }
  const AVFormatContext* InputContext(int index) const override { return Inputs.File(index).Context.get(); }
  int OutputCount() const override { return Outputs.Count(); }

  void Set(const TOptionPairs& pairs) {
    for (const auto& [name, value] : pairs) Options.Parse(name, value);
  }
  void AddInput(const std::string& path) {
    std::string error;
    if (!Inputs.Add(path, Options, error)) throw std::runtime_error(error);
  }
  int AddOutput(const std::string& name, bool join = false) { return Outputs.Add(name, join, Options, Inputs, Error); }

  // The transcode start: every input stream described, mapped without maps, then prepared.
  void Prepare(TDecodedFrameUsers users = {}) {
    States.clear();
    std::vector<TMappableInput> mappable;
    for (int f = 0; f < Inputs.Count(); ++f) {
      const AVFormatContext* ic = Inputs.File(f).Context.get();
      for (int s = 0; s < static_cast<int>(ic->nb_streams); ++s) {
        States.push_back({.File = f, .Index = s, .Stream = ic->streams[s]});
        const TStreamKind kind = StreamKindOf(ic->streams[s]->codecpar->codec_type).value_or(TStreamKind::Data);
        mappable.push_back({.File = f, .Stream = s, .Kind = kind});
      }
    }
    std::vector<TMappableOutput> outputs;
    for (TOutputStream* os : Outputs.Streams()) outputs.push_back({os->File, os->Index, os->Kind, 0});
    const std::vector<TStreamSource> sources =
        MapStreams(mappable, Outputs.Count(), outputs, Options.State().StreamMaps, {});
    const std::vector<TOutputStream*> streams = Outputs.Streams();
    for (size_t i = 0; i < streams.size(); ++i) streams[i]->Source = streams[i]->Sync = sources[i].Source;
    Outputs.Prepare(States, Inputs, Options, users, Codecs, Counters);
  }

  TOutputStream& Stream(int index) { return *Outputs.Streams().at(index); }

  std::string Error;
  TIOTimeout Timeout{nullptr};
  TTaskOptions Options{nullptr, *this};
  TInputSet Inputs{nullptr, 4, Timeout};
  TOutputSet Outputs{nullptr, 4, Timeout};
  std::vector<TInputStreamState> States;
  TRunCounters Counters;
  TOpenCodecs Codecs;  // last: closes the codecs before the records that own them go
};

// Encodes count flat pictures with the stream's (opened) encoder, drains it, and writes every
// packet through the set in the stream's time base. Returns the packets written.
int EncodeAndWrite(TOutputSet& set, TOutputStream& os, int count) {
  AVCodecContext* enc = os.Encoder.get();
  FramePtr frame(av_frame_alloc());
  frame->format = enc->pix_fmt;
  frame->width = enc->width;
  frame->height = enc->height;
  if (av_frame_get_buffer(frame.get(), 32) < 0) return -1;
  const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(enc->pix_fmt);
  PacketPtr packet(av_packet_alloc());
  int written = 0;
  auto drain = [&] {
    while (avcodec_receive_packet(enc, packet.get()) == 0) {
      av_packet_rescale_ts(packet.get(), enc->time_base, os.Stream->time_base);
      set.WritePacket(os, *packet, true);
      ++written;
    }
  };
  for (int i = 0; i < count; ++i) {
    av_frame_make_writable(frame.get());
    for (int p = 0; p < 4 && frame->data[p]; ++p) {
      const int rows = p == 0 ? enc->height : AV_CEIL_RSHIFT(enc->height, desc->log2_chroma_h);
      // One picture over and over: an encoder that detects scene changes keeps to its group of
      // pictures, so only the first is a key picture.
      std::memset(frame->data[p], 100, static_cast<size_t>(frame->linesize[p]) * rows);
    }
    frame->pts = i;
    if (avcodec_send_frame(enc, frame.get()) < 0) return -1;
    drain();
  }
  avcodec_send_frame(enc, nullptr);
  drain();
  return written;
}

class OutputSetTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    BindLibrariesForTests();
    RegisterFrameOutputFormats();
    // An engine format no library muxer shares an extension with.
    static TOutputFormat probe{"vdrprobe", "engine format found by extension", nullptr, "vdrprobe",
                               AV_CODEC_ID_NONE, AV_CODEC_ID_RAWVIDEO, AV_CODEC_ID_NONE, AVFMT_NOFILE, 0,
                               nullptr, nullptr, nullptr};
    RegisterOutputFormat(&probe);
  }

  std::string Video(const std::string& name, TVideoRecipe recipe, bool audio = false, bool subtitle = false) {
    if (audio) recipe.Audio = {TTestAudio{}};
    recipe.Subtitle = subtitle;
    return MakeTestVideo(Tmp.Path(), name, recipe);
  }

  TTempFolder Tmp;
};

TEST_F(OutputSetTest, FormatIsTheRequestedOneElseGuessedFromTheName) {
  const struct {
    const char* Format;
    std::string Name;
    int Result;
    std::string Error;      // "{}" stands for the name
    const char* Engine;     // the engine format chosen, or null for a library muxer
    bool OpensFile;
  } cases[] = {
      {"nosuchformat", Tmp.File("a.mkv"), -1, "Requested output format 'nosuchformat' is not a suitable output format",
       nullptr, false},
      {"", Tmp.File("a.nosuchext"), -1, "Unable to find a suitable output format for '{}'", nullptr, false},
      {"", Tmp.File("nofolder/a.mkv"), -1, "{}: No such file or directory", nullptr, false},
      {"rawrgb", "a=1", 1, "", "rawrgb", false},
      {"matroska", Tmp.File("b.xyz"), 1, "", nullptr, true},
      {"", Tmp.File("c.mkv"), 1, "", nullptr, true},
      {"", Tmp.File("d.vdrprobe"), 1, "", "vdrprobe", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TOutputHarness h;
    h.Set({{"vcodec", "rawvideo"}});
    if (*c.Format) h.Set({{"f", c.Format}});
    EXPECT_EQ(h.AddOutput(c.Name), c.Result);
    std::string expected = c.Error;
    if (const size_t at = expected.find("{}"); at != std::string::npos) expected.replace(at, 2, c.Name);
    EXPECT_EQ(h.Error, expected);
    EXPECT_EQ(h.Options.State().FormatName, "");  // consumed either way
    if (c.Result < 0) {
      EXPECT_EQ(h.Outputs.Count(), 0);
      continue;
    }
    const TOutputFile& file = h.Outputs.File(0);
    EXPECT_EQ(std::string(file.EngineFormat ? file.EngineFormat->Name : ""), std::string(c.Engine ? c.Engine : ""));
    EXPECT_EQ(file.IO != nullptr, c.OpensFile);
    EXPECT_EQ(FileExists(c.Name), c.OpensFile);
  }
}

TEST_F(OutputSetTest, StreamsAreThoseTheInputsCanFeedLessTheDisabledKinds) {
  using K = TStreamKind;
  const std::string videoOnly = Video("v", MatroskaRecipe());
  const std::string withAudio = Video("va", MatroskaRecipe(), true);
  const std::string withSubtitle = Video("vas", MatroskaRecipe(), true, true);
  const struct {
    const char* Case;
    std::string Input;  // empty: no input
    TOptionPairs Options;
    std::vector<K> Expected;
  } cases[] = {
      {"video input", videoOnly, {}, {K::Video}},
      {"video and audio", withAudio, {}, {K::Video, K::Audio}},
      {"all three", withSubtitle, {}, {K::Video, K::Audio, K::Subtitle}},
      {"an", withAudio, {{"an", ""}}, {K::Video}},
      {"vn", withAudio, {{"vn", ""}}, {K::Audio}},
      {"sn", withSubtitle, {{"sn", ""}}, {K::Video, K::Audio}},
      {"adapter format has no audio", withAudio, {{"f", "rawrgb"}}, {K::Video}},
      {"audio asked for by name", withAudio, {{"f", "rawrgb"}, {"acodec", "pcm_s16le"}}, {K::Video, K::Audio}},
      {"no input: what the format has", "", {}, {K::Video, K::Audio, K::Subtitle}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Case);
    TOutputHarness h;
    if (!c.Input.empty()) h.AddInput(c.Input);
    h.Set(c.Options);
    ASSERT_EQ(h.AddOutput(Tmp.File("out.mkv")), 1) << h.Error;
    std::vector<K> kinds;
    for (TOutputStream* os : h.Outputs.Streams()) kinds.push_back(os->Kind);
    EXPECT_EQ(kinds, c.Expected);
    EXPECT_EQ(h.Outputs.File(0).Context->nb_streams, c.Expected.size());
    for (K kind : c.Expected) EXPECT_FALSE(h.Options.State().CodecNames[kind]);  // taken by the stream
  }
}

TEST_F(OutputSetTest, ConverterOutputReachesTheAdapterAsScaledBgrPictures) {
  TOutputHarness h;
  TFrameOutputAdapter adapter;
  int headers = 0, closes = 0;
  std::vector<int> sizes;
  TOutputFrameInfo atHeader{};
  adapter.OnWriteHeader = [&](TObject*) { ++headers, atHeader = *adapter.FrameInfo(); };
  adapter.OnWriteFrame = [&](TObject*, POutputFrameInfo info) { sizes.push_back(info->Packet->size); };
  adapter.OnWriteClose = [&](TObject*) { ++closes; };
  h.AddInput(Video("in", MatroskaRecipe(), true));
  h.Set({{"f", "rawrgb"}, {"vcodec", "rawvideo"}, {"r", "10"}, {"s", "320x240"}, {"pix_fmt", "bgr24"}});
  ASSERT_EQ(h.AddOutput(AdapterOutputName(adapter)), 1) << h.Error;
  EXPECT_EQ(h.Outputs.File(0).IO, nullptr);
  ASSERT_EQ(h.Outputs.Streams().size(), 1u);

  h.Prepare();
  TOutputStream& os = h.Stream(0);
  EXPECT_EQ(headers, 1);
  EXPECT_EQ(atHeader.Width, 320);
  EXPECT_EQ(atHeader.Height, 240);
  EXPECT_EQ(atHeader.PixFmt, AV_PIX_FMT_BGR24);
  EXPECT_EQ(av_cmp_q(os.Encoder->time_base, AVRational{1, 10}), 0);
  EXPECT_TRUE(os.ResampleNeeded);
  ASSERT_NE(os.Scaler, nullptr);  // from the input's 64x48 yuv420p
  EXPECT_TRUE(h.States[os.Source].DecoderOpen);

  EXPECT_EQ(EncodeAndWrite(h.Outputs, os, 3), 3);
  EXPECT_EQ(sizes, std::vector<int>(3, 320 * 240 * 3));
  EXPECT_EQ(os.LastPts, 2);
  h.Outputs.WriteTrailers();
  h.Outputs.WriteTrailers();  // once only
  EXPECT_EQ(closes, 1);
}

TEST_F(OutputSetTest, EncoderTakesWhatItSupportsOfTheRequestedFormatAndRate) {
  const std::string input = Video("in", MatroskaRecipe());
  const struct {
    const char* Case;
    bool WithInput;
    TOptionPairs Options;
    AVPixelFormat PixFmt;
    AVRational TimeBase;
  } cases[] = {
      {"unsupported format: the first listed", true, {{"vcodec", "mpeg4"}, {"pix_fmt", "rgb24"}}, AV_PIX_FMT_YUV420P, {1, 25}},
      {"supported format kept", true, {{"vcodec", "mjpeg"}, {"pix_fmt", "yuvj444p"}}, AV_PIX_FMT_YUVJ444P, {1, 25}},
      {"unofficial JPEG list", true, {{"vcodec", "mjpeg"}, {"strict", "-1"}, {"pix_fmt", "yuvj444p"}}, AV_PIX_FMT_YUVJ420P, {1, 25}},
      {"nearest supported rate", true, {{"vcodec", "mpeg1video"}, {"r", "26"}}, AV_PIX_FMT_YUV420P, {1, 25}},
      {"force_fps keeps the rate", true, {{"vcodec", "mpeg1video"}, {"r", "26"}, {"force_fps", ""}}, AV_PIX_FMT_YUV420P, {1, 26}},
      {"any rate where none is listed", true, {{"vcodec", "mpeg4"}, {"r", "10"}}, AV_PIX_FMT_YUV420P, {1, 10}},
      {"no rate at all: 25", false, {{"vcodec", "mpeg4"}, {"s", "64x48"}, {"pix_fmt", "yuv420p"}}, AV_PIX_FMT_YUV420P, {1, 25}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Case);
    TOutputHarness h;
    if (c.WithInput) h.AddInput(input);
    h.Set(c.Options);
    h.Set({{"f", "null"}});
    ASSERT_EQ(h.AddOutput("-"), 1) << h.Error;
    const AVCodecContext* enc = h.Stream(0).Encoder.get();
    EXPECT_EQ(enc->pix_fmt, c.PixFmt);
    EXPECT_EQ(av_cmp_q(enc->time_base, c.TimeBase), 0) << enc->time_base.num << "/" << enc->time_base.den;
    EXPECT_EQ(h.Options.State().FramePixFmt, AV_PIX_FMT_NONE);  // consumed by the stream
  }
}

TEST_F(OutputSetTest, AudioEncoderTakesTheNearestSupportedSampleRate) {
  const std::string input = Video("in", MatroskaRecipe(), true);
  const struct {
    const char* Rate;
    int Expected;
    bool Warned;
  } cases[] = {{"47000", 48000, true}, {"44100", 44100, false}, {"20000", 22050, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Rate);
    TLogCapture log;
    TOutputHarness h;
    h.AddInput(input);
    h.Set({{"f", "null"}, {"vn", ""}, {"acodec", "mp2"}, {"ar", c.Rate}});
    ASSERT_EQ(h.AddOutput("-"), 1) << h.Error;
    EXPECT_EQ(h.Stream(0).Encoder->sample_rate, c.Expected);
    EXPECT_EQ(av_cmp_q(h.Stream(0).Encoder->time_base, AVRational{1, c.Expected}), 0);
    const std::string warning = "Requested sampling rate unsupported using closest supported (" +
                                std::to_string(c.Expected) + ")";
    EXPECT_EQ(log.Has(llWarning, warning), c.Warned);
  }
}

TEST_F(OutputSetTest, StreamCopyTakesTheSourceParametersATagTheContainerAcceptsAndACoarseTimeBase) {
  const std::string avi = Video("in", AviRecipe(), true);  // time base 1/25, tag of its own
  const std::string mp4 = Video("in", Mp4Recipe());  // time base finer than 1/1000
  const AVRational sourceBase{0, 0};                       // stands for the source's time base
  const struct {
    std::string Input;
    const char* Output;
    TOptionPairs Options;
    bool TagKept;
    AVRational TimeBase;
  } cases[] = {
      {avi, "out.avi", {}, true, sourceBase},
      {avi, "out.mp4", {{"an", ""}}, false, sourceBase},  // mp4 holds no PCM audio
      {avi, "out.mkv", {}, true, sourceBase},
      {mp4, "out.mkv", {{"an", ""}}, true, {1, 25}},
      {mp4, "out.mkv", {{"an", ""}, {"copytb", ""}}, true, sourceBase},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Input + " -> " + c.Output);
    TOutputHarness h;
    h.AddInput(c.Input);
    const AVStream* source = h.Inputs.File(0).Context->streams[0];
    h.Set({{"vcodec", "copy"}, {"acodec", "copy"}});
    h.Set(c.Options);
    ASSERT_EQ(h.AddOutput(Tmp.File(c.Output)), 1) << h.Error;
    h.Prepare();  // the mp4 muxer refuses the AVI tag in its header: it must have been dropped
    EXPECT_TRUE(h.Outputs.File(0).HeaderWritten);
    const AVCodecParameters* copied = h.Stream(0).Stream->codecpar;
    EXPECT_EQ(copied->codec_id, AV_CODEC_ID_MPEG4);
    EXPECT_EQ(copied->width, 64);
    ASSERT_EQ(copied->extradata_size, source->codecpar->extradata_size);
    EXPECT_EQ(std::memcmp(copied->extradata, source->codecpar->extradata, copied->extradata_size), 0);
    EXPECT_EQ(copied->codec_tag == source->codecpar->codec_tag, c.TagKept);
    EXPECT_EQ(av_cmp_q(h.Stream(0).Encoder->time_base, c.TimeBase.den ? c.TimeBase : source->time_base), 0);
    if (h.Outputs.Streams().size() > 1) {
      EXPECT_EQ(h.Stream(1).Stream->codecpar->codec_id, AV_CODEC_ID_PCM_S16LE);
    }
    EXPECT_FALSE(h.States[h.Stream(0).Source].DecoderOpen);  // nothing is decoded for a copy
    h.Outputs.WriteTrailers();
  }
}

TEST_F(OutputSetTest, CopyRefusesWhatNeedsDecodedFrames) {
  const std::string input = Video("in", MatroskaRecipe(), true);
  const TOptionPairs videoCopy = {{"vcodec", "copy"}, {"an", ""}};
  const TOptionPairs audioCopy = {{"acodec", "copy"}, {"vn", ""}};
  TDecodedFrameUsers hook, preview, vhook, post, audioHook;
  hook.VideoOutputHook = preview.Preview = vhook.FrameHooks = post.PostHooks = audioHook.AudioHook = true;
  const struct {
    TOptionPairs Options;
    TDecodedFrameUsers Users;
    const char* Expected;
  } cases[] = {
      {videoCopy, hook, "-vcodec copy and VideoHook are incompatible (frames are not decoded)"},
      {videoCopy, preview, "-vcodec copy and VideoHook are incompatible (frames are not decoded)"},
      {videoCopy, vhook, "-vcodec copy and -vhook are incompatible (frames are not decoded)"},
      {videoCopy, post, "-vcodec copy and PostHooks are incompatible (frames are not decoded)"},
      {audioCopy, audioHook, "-acodec copy and AudioHook are incompatible (frames are not decoded)"},
      {{{"acodec", "copy"}, {"vn", ""}, {"vol", "512"}}, {}, "-acodec copy and -vol are incompatible (frames are not decoded)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Expected);
    TOutputHarness h;
    h.AddInput(input);
    h.Set(c.Options);
    ASSERT_EQ(h.AddOutput(Tmp.File("out.mkv")), 1) << h.Error;
    try {
      h.Prepare(c.Users);
      ADD_FAILURE() << "not refused";
    } catch (const FFmpegException& e) {
      EXPECT_EQ(e.Message, c.Expected);
    }
    EXPECT_FALSE(h.Outputs.File(0).HeaderWritten);
  }
}

// Stream 0 of a file as FFmpeg reads it back: codec, size and packet count.
struct TReadBack {
  AVCodecID Codec = AV_CODEC_ID_NONE;
  int Width = 0, Height = 0, Packets = 0;
};

TReadBack ReadBack(const std::string& path) {
  TReadBack result;
  AVFormatContext* opened = nullptr;
  if (avformat_open_input(&opened, path.c_str(), nullptr, nullptr) < 0) return result;
  InputPtr ic(opened);
  if (avformat_find_stream_info(ic.get(), nullptr) < 0) return result;
  result.Codec = ic->streams[0]->codecpar->codec_id;
  result.Width = ic->streams[0]->codecpar->width;
  result.Height = ic->streams[0]->codecpar->height;
  PacketPtr packet(av_packet_alloc());
  while (av_read_frame(ic.get(), packet.get()) >= 0) {
    result.Packets += packet->stream_index == 0;
    av_packet_unref(packet.get());
  }
  return result;
}

TEST_F(OutputSetTest, EncodedOutputIsAFileFFmpegReadsBack) {
  TOutputHarness h;
  h.AddInput(Video("in", MatroskaRecipe(), true));
  h.Set({{"vcodec", "mpeg4"}, {"an", ""}});
  const std::string out = Tmp.File("out.mkv");
  ASSERT_EQ(h.AddOutput(out), 1) << h.Error;
  h.Prepare();
  EXPECT_GT(h.Counters.HeaderBytes, 0);  // matroska wants global headers
  EXPECT_EQ(EncodeAndWrite(h.Outputs, h.Stream(0), 5), 5);
  h.Outputs.WriteTrailers();
  EXPECT_EQ(h.Outputs.FirstOutputSize(), FileSizeOf(out));
  h.Codecs.CloseAll();  // the encoders belong to the records Clear frees
  h.Outputs.Clear();
  const TReadBack back = ReadBack(out);
  EXPECT_EQ(back.Codec, AV_CODEC_ID_MPEG4);
  EXPECT_EQ(back.Width, 64);
  EXPECT_EQ(back.Height, 48);
  EXPECT_EQ(back.Packets, 5);
}

TEST_F(OutputSetTest, AnOutputLeftEmptyIsDeletedWhenTheSetIsCleared) {
  for (const std::string name : {"empty.mkv", "leer \xd0\xbf\xd1\x83\xd1\x81\xd1\x82\xd0\xbe.mkv"}) {
    SCOPED_TRACE(name);
    TOutputHarness h;
    h.Set({{"vcodec", "mpeg4"}, {"s", "64x48"}, {"pix_fmt", "yuv420p"}});
    const std::string path = Tmp.File(name);
    ASSERT_EQ(h.AddOutput(path), 1) << h.Error;
    EXPECT_TRUE(FileExists(path));
    EXPECT_EQ(h.Outputs.FirstOutputSize(), 0);
    h.Outputs.Clear();
    EXPECT_FALSE(FileExists(path));
    EXPECT_EQ(h.Outputs.Count(), 0);
  }
}

TEST_F(OutputSetTest, BitstreamFiltersRewriteEveryPacketWithTheirArguments) {
  const std::string input = Video("in", MatroskaRecipe());
  enum TPrefixed { Never, KeyOnly, Always };  // which packets begin with the stream's global header
  const struct {
    const char* Filter;
    TPrefixed Prefixed;
  } cases[] = {{"null", Never}, {"dump_extra", KeyOnly}, {"dump_extra=all", Always}, {"dump_extra=freq=all", Always}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Filter);
    TOutputHarness h;
    TFrameOutputAdapter adapter;
    std::vector<std::pair<bool, std::vector<uint8_t>>> packets;  // key flag, bytes
    adapter.OnWriteFrame = [&](TObject*, POutputFrameInfo info) {
      const AVPacket* p = info->Packet;
      packets.emplace_back((p->flags & AV_PKT_FLAG_KEY) != 0, std::vector<uint8_t>(p->data, p->data + p->size));
    };
    h.AddInput(input);
    h.Set({{"f", "rawrgb"}, {"vcodec", "mpeg4"}, {"vglobal", "1"}, {"vbsf", c.Filter}});
    ASSERT_EQ(h.AddOutput(AdapterOutputName(adapter)), 1) << h.Error;
    h.Prepare();
    const AVCodecParameters* par = h.Stream(0).Stream->codecpar;
    ASSERT_GT(par->extradata_size, 0);
    const std::vector<uint8_t> header(par->extradata, par->extradata + par->extradata_size);
    ASSERT_EQ(EncodeAndWrite(h.Outputs, h.Stream(0), 3), 3);
    int keys = 0;
    for (const auto& [key, bytes] : packets) {
      keys += key;
      const bool prefixed = bytes.size() > header.size() && std::equal(header.begin(), header.end(), bytes.begin());
      EXPECT_EQ(prefixed, c.Prefixed == Always || (c.Prefixed == KeyOnly && key));
    }
    EXPECT_EQ(keys, 1);  // both kinds of packet were seen
  }
}

TEST_F(OutputSetTest, WhatTheEngineCannotDoIsRefusedWithAClearText) {
  const std::string input = Video("in", MatroskaRecipe(), true, true);
  enum TStage { AddFails, AddRaises, PrepareRaises };
  const TOptionPairs mpeg4 = {{"vcodec", "mpeg4"}};
  const struct {
    TOptionPairs Options;
    const char* Name;
    TStage Stage;
    const char* Expected;
  } cases[] = {
      {{{"vcodec", "nosuch"}}, "out.mkv", AddFails, "new_video_stream fail: Unknown encoder 'nosuch'"},
      {{{"f", "ffm"}}, "out.ffm", AddRaises, "Output format 'ffm' (feed server) is not available in this version"},
      {{{"f", "rawrgb"}, {"vcodec", "rawvideo"}}, "adapter=none", PrepareRaises,
       "Could not write header for output file #0 (incorrect codec parameters ?)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Expected);
    TOutputHarness h;
    h.AddInput(input);
    h.Set(mpeg4);
    h.Set(c.Options);
    const std::string name = std::strchr(c.Name, '.') ? Tmp.File(c.Name) : c.Name;
    std::string raised;
    try {
      const int result = h.AddOutput(name);
      if (c.Stage == AddFails) {
        EXPECT_EQ(result, -1);
        EXPECT_EQ(h.Error, c.Expected);
        continue;
      }
      ASSERT_EQ(result, 1) << h.Error;
      h.Prepare();
    } catch (const FFmpegException& e) {
      raised = e.Message;
    }
    EXPECT_EQ(raised, c.Expected);
    EXPECT_EQ(h.Outputs.Count(), c.Stage == PrepareRaises ? 1 : 0);
    EXPECT_TRUE(c.Stage == PrepareRaises || !FileExists(name));  // no file left by a refused output
  }
}

TEST_F(OutputSetTest, AStreamThatCannotBeMadeLeavesTheFileAndTheOptionsAsTheyWere) {
  TOutputHarness h;
  h.AddInput(Video("in", MatroskaRecipe()));
  h.Set({{"vcodec", "mpeg4"}});
  ASSERT_EQ(h.AddOutput(Tmp.File("out.mkv")), 1) << h.Error;
  h.Set({{"vcodec", "nosuch"}});
  EXPECT_THROW(h.Outputs.NewStream(TStreamKind::Video, 0, h.Options), FFmpegException);
  EXPECT_EQ(h.Outputs.File(0).Context->nb_streams, 1u);  // no stream without its record
  EXPECT_EQ(h.Options.State().CodecNames[TStreamKind::Video], "nosuch");
  h.Set({{"vcodec", "mpeg4"}});
  h.Outputs.NewStream(TStreamKind::Video, 0, h.Options);
  EXPECT_EQ(h.Outputs.Streams().size(), 2u);
  EXPECT_EQ(h.Stream(1).Index, 1);
}

}  // namespace
}  // namespace vidorant::testing
