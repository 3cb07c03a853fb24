#include "engine/core/ProgressReport.h"

#include <algorithm>

#include "platform/Format.h"

namespace vidorant {
namespace {

// A report made before any output time has passed still divides by something.
constexpr double MinimumTime = 0.01;  // seconds

}  // namespace

std::optional<TProgressFigures> MakeProgressReport(const TProgressCounts& counts, bool final) {
  TProgressFigures figures;
  if (counts.HasVideoOutput) {
    if (counts.FrameNumber < 1) return std::nullopt;
    figures.FrameNumber = counts.FrameNumber;
    const double elapsed = static_cast<double>(counts.ElapsedUs) / 1000000;
    figures.FPS = elapsed > 1 ? static_cast<int32_t>(counts.FrameNumber / elapsed + 0.5) : 0;
    figures.Quality = counts.VideoCopied ? -1.0f : counts.LastQuality / QualityLambda;
  }
  const double time = std::max(counts.SmallestTime, MinimumTime);
  figures.TotalSize = counts.TotalSize;
  figures.CurrentTime = static_cast<int64_t>(time * 1000000);
  figures.Bitrate = static_cast<float>(static_cast<double>(counts.TotalSize) * 8 / time / 1000);
  figures.Text = Format("frame=%5d fps=%3d q=%3.1f ", figures.FrameNumber, figures.FPS, figures.Quality);
  if (final) figures.Text += "L";
  figures.Text += Format("size=%8.0fkB time=%0.2f bitrate=%6.1fkbits/s", static_cast<double>(counts.TotalSize) / 1024,
                         time, static_cast<double>(figures.Bitrate));
  if (counts.Duplicated || counts.Dropped)
    figures.Text += Format(" dup=%d drop=%d", static_cast<int>(counts.Duplicated), static_cast<int>(counts.Dropped));
  return figures;
}

std::string MuxingOverheadText(int64_t videoBytes, int64_t audioBytes, int64_t headerBytes, int64_t totalSize) {
  const double payload = static_cast<double>(videoBytes + audioBytes + headerBytes);
  // Nothing encoded: no overhead to speak of rather than a division by zero.
  const double overhead = payload > 0 ? 100.0 * (static_cast<double>(totalSize) - payload) / payload : 0;
  return Format("video:%1.0fkB audio:%1.0fkB global headers:%1.0fkB muxing overhead %f%%\r\n",
                static_cast<double>(videoBytes) / 1024, static_cast<double>(audioBytes) / 1024,
                static_cast<double>(headerBytes) / 1024, overhead);
}

}  // namespace vidorant
