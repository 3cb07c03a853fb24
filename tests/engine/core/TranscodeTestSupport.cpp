// The direct reading of media files, the independent schedule and the recorders of the
// end-to-end transcoding tests.
#include "tests/engine/core/TranscodeTestSupport.h"

#include "platform/Event.h"
#include "platform/Synchronize.h"
#include "platform/Thread.h"
#include "tools/testvideo/LinkedFFPtr.h"
#include "tools/testvideo/TestPattern.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

extern "C" {
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

namespace vidorant::testing {
namespace {

struct ScaleFree {
  void operator()(SwsContext* s) const { sws_freeContext(s); }
};

// Reads the pattern through a BGR conversion, so that limited-range, full-range (MJPEG) and
// packed pictures are all read the way the adapter's pictures are.
class TPatternReader {
public:
  int Read(const AVFrame& frame) {
    if (frame.width != FWidth || frame.height != FHeight || frame.format != FFormat) {
      FScale.reset(sws_getContext(frame.width, frame.height, static_cast<AVPixelFormat>(frame.format), frame.width,
                                  frame.height, AV_PIX_FMT_BGR24, SWS_POINT, nullptr, nullptr, nullptr));
      FBGR.reset(av_frame_alloc());
      FBGR->width = FWidth = frame.width;
      FBGR->height = FHeight = frame.height;
      FBGR->format = AV_PIX_FMT_BGR24;
      FFormat = frame.format;
      // The scaler's SIMD code writes past tightly sized rows: let the library pad them.
      if (!FScale || av_frame_get_buffer(FBGR.get(), 64) < 0) return -1;
    }
    sws_scale(FScale.get(), frame.data, frame.linesize, 0, frame.height, FBGR->data, FBGR->linesize);
    return FrameIndexFromBGR24(FBGR->data[0], FBGR->linesize[0], FWidth, FHeight);
  }

private:
  std::unique_ptr<SwsContext, ScaleFree> FScale;
  FramePtr FBGR;
  int FWidth = 0, FHeight = 0, FFormat = -1;
};

}  // namespace

TVideoRecipe Shaped(TVideoRecipe recipe, int width, int height, AVRational rate, int frames, bool tone) {
  recipe.Width = width;
  recipe.Height = height;
  recipe.FrameRate = rate;
  recipe.FrameCount = frames;
  if (tone) recipe.Audio = {TTestAudio{}};
  return recipe;
}

TMediaFile ReadMediaFile(const std::string& path) {
  TMediaFile file;
  AVFormatContext* raw = nullptr;
  if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) {
    ADD_FAILURE() << "cannot open " << path;
    return file;
  }
  InputPtr in(raw);
  EXPECT_GE(avformat_find_stream_info(in.get(), nullptr), 0) << path;
  if (in->start_time != AV_NOPTS_VALUE) file.StartTime = in->start_time;
  if (in->duration != AV_NOPTS_VALUE) file.Duration = in->duration;
  int video = -1;
  for (unsigned i = 0; i < in->nb_streams; ++i) {
    const AVMediaType type = in->streams[i]->codecpar->codec_type;
    if (type == AVMEDIA_TYPE_AUDIO) ++file.AudioStreams;
    if (type != AVMEDIA_TYPE_VIDEO) continue;
    if (file.VideoStreams++ == 0) video = static_cast<int>(i);
  }
  if (video < 0) return file;
  const AVStream* stream = in->streams[video];
  file.Width = stream->codecpar->width;
  file.Height = stream->codecpar->height;
  const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
  if (!codec) {
    ADD_FAILURE() << "no decoder for the video of " << path;
    return file;
  }
  file.VideoCodec = codec->name;
  CodecContextPtr decoder(avcodec_alloc_context3(codec));
  avcodec_parameters_to_context(decoder.get(), stream->codecpar);
  decoder->pkt_timebase = stream->time_base;
  if (avcodec_open2(decoder.get(), codec, nullptr) < 0) {
    ADD_FAILURE() << "cannot open the decoder for " << path;
    return file;
  }
  PacketPtr packet(av_packet_alloc());
  FramePtr frame(av_frame_alloc());
  TPatternReader reader;
  auto receive = [&] {
    while (avcodec_receive_frame(decoder.get(), frame.get()) >= 0) {
      const int64_t ts = frame->best_effort_timestamp;
      file.Pictures.push_back({ts == AV_NOPTS_VALUE ? 0 : av_rescale_q(ts, stream->time_base, AVRational{1, 1000000}),
                               reader.Read(*frame), frame->key_frame != 0});
      av_frame_unref(frame.get());
    }
  };
  while (av_read_frame(in.get(), packet.get()) >= 0) {
    if (packet->stream_index == video) {
      file.PacketSizes.push_back(packet->size);
      avcodec_send_packet(decoder.get(), packet.get());
      receive();
    }
    av_packet_unref(packet.get());
  }
  avcodec_send_packet(decoder.get(), nullptr);
  receive();
  std::stable_sort(file.Pictures.begin(), file.Pictures.end(),
                   [](const TSourcePicture& a, const TSourcePicture& b) { return a.Time < b.Time; });
  return file;
}

std::vector<int> ConstantRateSchedule(const TMediaFile& source, const TRateRule& rule) {
  const std::vector<TSourcePicture>& pictures = source.Pictures;
  // A clip start makes the reading begin at the last key picture at or before it.
  size_t first = 0;
  if (rule.ClipStart > 0)
    for (size_t i = 0; i < pictures.size(); ++i)
      if (pictures[i].Key && pictures[i].Time <= source.StartTime + rule.ClipStart) first = i;
  std::vector<int> frames;
  for (size_t i = first; i < pictures.size(); ++i) {
    const int64_t sinceClip = pictures[i].Time - source.StartTime - rule.ClipStart;
    if (rule.ClipLength >= 0 && sinceClip >= rule.ClipLength) break;
    int64_t count = 1;
    if (!rule.OneFramePerPicture) {
      // Exact to the last bit for the rates used here: 0.1 s at 25 frames/s is exactly 2.5.
      const double position = static_cast<double>(sinceClip * rule.Rate.num) / (1e6 * rule.Rate.den);
      const double delta = position - static_cast<double>(frames.size());
      if (delta < -1.1)
        count = 0;
      else if (delta > 1.1)
        count = static_cast<int64_t>(std::nearbyint(delta));  // the default mode: ties to even
    }
    count = std::min<int64_t>(count, rule.MaxFrames - static_cast<int64_t>(frames.size()));
    frames.insert(frames.end(), std::max<int64_t>(count, 0), pictures[i].Index);
  }
  return frames;
}

void TAdapterRecord::Attach(TFrameOutputAdapter& adapter) {
  adapter.OnWriteHeader = [this, &adapter](TObject*) {
    ++Headers;
    if (const POutputFrameInfo info = adapter.FrameInfo()) {
      Width = info->Width;
      Height = info->Height;
      PixFmt = info->PixFmt;
    }
    if (AfterHeader) AfterHeader();
  };
  adapter.OnWriteFrame = [this](TObject*, POutputFrameInfo info) {
    FrameNumbers.push_back(info->FrameNumber);
    PacketSizes.push_back(info->Packet->size);
    const bool whole = info->Packet->size == info->Width * info->Height * 3;
    Indices.push_back(whole ? FrameIndexFromBGR24(info->Packet->data, info->Width * 3, info->Width, info->Height) : -1);
    if (AfterFrame) AfterFrame(info->FrameNumber);
  };
  adapter.OnWriteClose = [this](TObject*) { ++Closes; };
}

void RecordProgress(TTestTask& task, std::vector<TProgressRecord>& into) {
  task.OnProgress = [&into](TObject*, int32_t fileIndex, int32_t frameNumber, int32_t fps, float quality,
                            float bitrate, int64_t totalSize, int64_t currentTime, int64_t expectedDuration) {
    into.push_back({fileIndex, frameNumber, fps, quality, bitrate, totalSize, currentTime, expectedDuration});
  };
}

TOptionList AdapterOutputOptions() {
  return {{"f", "rawrgb"}, {"vcodec", "rawvideo"}, {"r", "10"}, {"s", "320x240"}, {"pix_fmt", "bgr24"}};
}

bool SetUpTask(TTestTask& task, const TOptionList& inputOptions, const std::string& input,
               const TOptionList& outputOptions, const std::string& output) {
  for (const auto& [name, value] : inputOptions) task.ParseOption(name, value);
  if (!task.AddInputFile(input)) {
    ADD_FAILURE() << "input " << input << ": " << task.LastErrorMessage();
    return false;
  }
  for (const auto& [name, value] : outputOptions) task.ParseOption(name, value);
  if (task.AddOutputFile(output) < 1) {
    ADD_FAILURE() << "output " << output << ": " << task.LastErrorMessage();
    return false;
  }
  return true;
}

void PrepareTranscodeTests() {
  BindLibrariesForTests();
  RegisterFrameOutputFormats();
}

void RunOnWorker(TTestTask& task, const std::function<void(TThread& worker)>& begin) {
  // OnTerminate is the task's last word on its worker; the finished event follows it once
  // Execute has returned, after which the task may be destroyed.
  TEvent terminated;
  auto previous = task.OnTerminate;
  task.OnTerminate = [&terminated, previous](TObject* sender) {
    if (previous) previous(sender);
    terminated.SetEvent();
  };
  TThread* worker = task.Start(true);
  ASSERT_NE(worker, nullptr) << task.ErrorMessage();
  if (begin)
    begin(*worker);
  else
    worker->Resume();
  WaitServingSynchronize(terminated);
  WaitServingSynchronize(task.FinishedEvent());
  task.OnTerminate = previous;
}

}  // namespace vidorant::testing
