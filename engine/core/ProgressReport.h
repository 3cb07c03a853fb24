// The figures and the text of a task's progress report, made from what the transcode loop counted.
// The loop decides when to report and whom to tell; this part only computes, so every figure and
// every character of the text can be checked on its own.
// Invariant: a report exists only once a video output has put out a frame (or when the task has
// no video output at all, in which case frame, fps and quality are -1).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vidorant {

// What the loop knows when it reports.
struct TProgressCounts {
  bool HasVideoOutput = false;
  int32_t FrameNumber = 0;       // frames put out by the first active video output stream
  float LastQuality = 0;         // that encoder's last quality in the library's lambda units
  bool VideoCopied = false;      // that stream is copied, so it has no quality
  int64_t ElapsedUs = 0;         // since the transcode began
  int64_t TotalSize = 0;         // bytes of the first output so far
  double SmallestTime = 0;       // seconds: the smallest positive presentation time of the outputs
  int64_t Duplicated = 0;
  int64_t Dropped = 0;
};

struct TProgressFigures {
  int32_t FrameNumber = -1;
  int32_t FPS = -1;
  float Quality = -1;
  float Bitrate = 0;        // kbit/s
  int64_t TotalSize = 0;    // bytes
  int64_t CurrentTime = 0;  // µs
  std::string Text;         // "frame=... fps=... q=... size=... time=... bitrate=..." (+ dup/drop)
};

// The lambda units per quality step: the encoders' quality is reported divided by this.
inline constexpr float QualityLambda = 118.0f;

// None while the video output has not put out a frame yet (the report is skipped).
std::optional<TProgressFigures> MakeProgressReport(const TProgressCounts& counts, bool final);

// The last line of a run: "video:%1.0fkB audio:%1.0fkB global headers:%1.0fkB muxing overhead %f%%\r\n".
std::string MuxingOverheadText(int64_t videoBytes, int64_t audioBytes, int64_t headerBytes, int64_t totalSize);

}  // namespace vidorant
