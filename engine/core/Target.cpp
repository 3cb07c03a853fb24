// Delivery targets: "vcd", "svcd", "dvd", "dv" and "dv50" in a PAL, NTSC or film norm, each a
// fixed set of options applied through the same paths as option text.
#include "engine/core/TaskOptions.h"

#include "engine/core/FFmpegException.h"
#include "engine/core/OptionValues.h"
#include "engine/runtime/FFLog.h"
#include "platform/Format.h"

#include <cmath>
#include <optional>

namespace vidorant {
namespace {

// The norm a frame rate belongs to, or none.
std::optional<TTargetNorm> NormOfRate(double rate) {
  const long milli = std::lround(rate * 1000);
  if (milli == 23976 || milli == 29970) return TTargetNorm::Ntsc;
  if (milli == 25000) return TTargetNorm::Pal;
  return std::nullopt;
}

}  // namespace

void TTaskOptions::ApplyTarget(const std::string& value, TTargetNorm fallback) {
  const TTargetName target = SplitTarget(value);
  TTargetNorm norm = target.Norm;
  const std::string& type = target.Type;
  if (norm == TTargetNorm::Auto) {
    if (FState.FrameRateDen == 0) throw FFmpegException("frame_rate is invalid.");
    std::optional<TTargetNorm> derived = NormOfRate(static_cast<double>(FState.FrameRateNum) / FState.FrameRateDen);
    for (int i = 0; !derived && i < FFiles.InputCount(); ++i) {
      const AVFormatContext* input = FFiles.InputContext(i);
      for (unsigned s = 0; s < input->nb_streams; ++s) {
        const AVStream* stream = input->streams[s];
        if (stream->codecpar->codec_type != AVMEDIA_TYPE_VIDEO) continue;
        if (stream->r_frame_rate.den) derived = NormOfRate(av_q2d(stream->r_frame_rate));
        break;
      }
    }
    // Neither the rate nor the inputs tell: the caller's fallback (PAL for the option text).
    norm = derived.value_or(fallback);
    if (FState.Verbose > 0)
      Log(llVerbose, Format("Assuming %s for target.", norm == TTargetNorm::Pal ? "PAL" : "NTSC"));
  }
  const bool pal = norm == TTargetNorm::Pal;
  const char* rate = pal ? "25" : norm == TTargetNorm::Ntsc ? "30000/1001" : "24000/1001";
  const char* gop = pal ? "15" : "18";
  auto aspectDefault = [&](const char* aspect) {
    if (FState.FrameAspectRatio != 0) return;
    Parse("aspect", aspect);
    Log(llInfo, Format("Assuming %s for aspect ratio", aspect));
  };
  auto set = [&](std::initializer_list<std::pair<const char*, const char*>> pairs) {
    for (const auto& [name, text] : pairs) Parse(name, text);
  };
  if (type == "vcd") {
    set({{"vcodec", "mpeg1video"}, {"acodec", "mp2"}, {"f", "vcd"},
         {"s", pal ? "352x288" : "352x240"}, {"r", rate}, {"g", gop}, {"b", "1150000"},
         {"maxrate", "1150000"}, {"minrate", "1150000"}, {"bufsize", "327680"}, {"ab", "224000"},
         {"packetsize", "2324"}, {"muxrate", "1411200"}});
    FState.AudioSampleRate = 44100;
    FState.AudioChannels = 2;
    FState.MuxPreload = 0.44f;
    aspectDefault("4:3");
  } else if (type == "svcd") {
    set({{"vcodec", "mpeg2video"}, {"acodec", "mp2"}, {"f", "svcd"},
         {"s", pal ? "480x576" : "480x480"}, {"r", rate}, {"g", gop}, {"b", "2040000"},
         {"maxrate", "2516000"}, {"minrate", "0"}, {"bufsize", "1835008"},
         {"scan_offset", "1"}, {"ab", "224000"}, {"packetsize", "2324"}});
    FState.AudioSampleRate = 44100;
    if (FState.AudioChannels == 1) FState.AudioChannels = 2;
    aspectDefault("4:3");
  } else if (type == "dvd") {
    set({{"vcodec", "mpeg2video"}, {"acodec", "ac3"}, {"f", "dvd"},
         {"s", pal ? "720x576" : "720x480"}, {"r", rate}, {"g", gop}, {"b", "6000000"},
         {"maxrate", "9000000"}, {"minrate", "0"}, {"bufsize", "1835008"},
         {"packetsize", "2048"}, {"muxrate", "10080000"}, {"ab", "448000"}});
    FState.AudioSampleRate = 48000;
    if (FState.AudioChannels == 1) FState.AudioChannels = 2;
    aspectDefault("16:9");
  } else if (type == "dv" || type == "dv50") {
    set({{"f", "dv"}, {"s", pal ? "720x576" : "720x480"},
         {"pix_fmt", type == "dv50" ? "yuv422p" : pal ? "yuv420p" : "yuv411p"}, {"r", rate}});
    FState.AudioSampleRate = 48000;
    FState.AudioChannels = 2;
  } else {
    throw FFmpegException("Unknown target type");
  }
}

}  // namespace vidorant
