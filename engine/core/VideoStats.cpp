// The video statistics file (VideoStats.h).
#include "engine/core/VideoStats.h"

#include "engine/core/FFmpegException.h"
#include "platform/Format.h"

extern "C" {
#include <libavutil/avutil.h>
}

#include <algorithm>
#include <cmath>

namespace vidorant {
namespace {

// The quality as a quantiser: lambda units per quantiser step.
constexpr double LambdaPerQuantiser = FF_QP2LAMBDA;

// Peak signal-to-noise ratio of a mean squared error given as a fraction of the peak's square.
double Psnr(double meanSquaredError) { return -10.0 * std::log10(meanSquaredError); }

}  // namespace

std::string VideoStatsLine(const TVideoStatsEntry& entry) {
  std::string line = Format("frame= %5d q= %2.1f ", entry.FrameNumber, entry.Quality / LambdaPerQuantiser);
  if (entry.Psnr) {
    const double peak = static_cast<double>(entry.Width) * entry.Height * 255.0 * 255.0;
    line += Format("PSNR= %6.2f ", Psnr(peak > 0 ? entry.Error / peak : 0));
  }
  line += Format("f_size= %6d ", entry.FrameSize);
  const double frameTime = av_q2d(entry.TimeBase);
  const double time = std::max(entry.FrameNumber * frameTime, 0.01);
  const double bitrate = frameTime > 0 ? entry.FrameSize * 8 / frameTime / 1000.0 : 0;
  const double average = static_cast<double>(entry.VideoBytes) * 8 / time / 1000.0;
  line += Format("s_size= %8.0fkB time= %0.3f br= %7.1fkbits/s avg_br= %7.1fkbits/s ",
                 static_cast<double>(entry.VideoBytes) / 1024, time, bitrate, average);
  line += Format("type= %c\n", entry.PictureType);
  return line;
}

void TVideoStats::Append(const TVideoStatsEntry& entry) {
  const std::string line = VideoStatsLine(entry);
  try {
    if (!FFile) FFile = std::make_unique<TFileStream>(FFileName, fmCreate);
    FFile->WriteBuffer(line.data(), static_cast<int64_t>(line.size()));
  } catch (const Exception&) {
    throw FFmpegException("fopen fail: " + FFileName);
  }
}

}  // namespace vidorant
