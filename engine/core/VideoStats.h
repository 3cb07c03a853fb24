// The video statistics file (vstats): one line for every packet a video encoder gave, telling
// the frames encoded so far, the quality, the packet's size, the stream's running size, time and
// bit rates, and the picture type. The file is created (emptied) by the first line of a run, so
// a run that encodes nothing leaves none, and closed with the run.
#pragma once

#include "platform/FileStream.h"

#include <cstdint>
#include <memory>
#include <string>

extern "C" {
#include <libavutil/rational.h>
}

namespace vidorant {

// What one line tells.
struct TVideoStatsEntry {
  int32_t FrameNumber = 0;  // frames handed to the encoder so far
  float Quality = 0;        // lambda units of the packet's picture
  bool Psnr = false;        // the encoder computed the error of its pictures
  double Error = 0;         // with Psnr: sum of squared errors of the first plane
  int Width = 0, Height = 0;
  int FrameSize = 0;        // bytes of this packet
  int64_t VideoBytes = 0;   // bytes of encoded video so far, this packet included
  AVRational TimeBase{1, 25};  // the encoder's: one frame
  char PictureType = '?';
};

// "frame= %5d q= %2.1f ", "PSNR= %6.2f " (with Psnr), "f_size= %6d ", "s_size= %8.0fkB time= %0.3f
// br= %7.1fkbits/s avg_br= %7.1fkbits/s " and "type= %c\n".
std::string VideoStatsLine(const TVideoStatsEntry& entry);

class TVideoStats {
public:
  explicit TVideoStats(std::string fileName) : FFileName(std::move(fileName)) {}
  // Appends the entry's line. Raises FFmpegException "fopen fail: " followed by the name when
  // the file cannot be created or written.
  void Append(const TVideoStatsEntry& entry);

private:
  std::string FFileName;
  std::unique_ptr<TFileStream> FFile;  // from the first line on
};

}  // namespace vidorant
