#include "convert/FileTask.h"

#include "engine/encoder/EncoderRecords.h"
#include "platform/Format.h"

namespace vidorant {

namespace {

TOutputOptions GIFFrameOptions(const TFrameOutputAdapter& adapter, const std::string& frameWidth,
                               const std::string& frameHeight, const TClipRange& clip) {
  TOutputOptions options;
  options.FileName = AdapterOutputName(adapter);
  options.FileFormat = "rawrgb";
  options.VideoCodec = "rawvideo";
  options.FrameRate = "10";
  options.FrameSize = frameWidth + "x" + frameHeight;
  // One encoding thread: the raw encoder only copies each picture into a packet, and on
  // threads of its own that copy costs more in hand-overs than it takes (the decoder's thread
  // count, given with the input, would otherwise apply here too).
  options.ExtOptions = "pix_fmt=bgr24\nthreads=1";
  options.RecordingTime = clip.RecordingTime;
  return options;
}

}  // namespace

TFileTaskSetup SetupFileTask(TFFEncoder& encoder, const TFrameOutputAdapter& adapter, const std::string& videoPath,
                             const std::string& frameWidth, const std::string& frameHeight, const TClipRange& clip,
                             int decoderThreads) {
  TInputOptions input;
  input.FileName = videoPath;
  input.StartTime = clip.StartTime;
  if (decoderThreads > 1) input.ExtOptions = Format("threads=%d", decoderThreads);
  const int task = encoder.AddTask(videoPath, &input);
  if (task < 0) return {-1, encoder.LastErrMsg()};
  const TOutputOptions output = GIFFrameOptions(adapter, frameWidth, frameHeight, clip);
  if (!encoder.SetOutputFile(task, output.FileName, &output)) {
    TFileTaskSetup failed{-1, encoder.LastErrMsg()};
    encoder.RemoveTask(task);
    return failed;
  }
  return {task, {}};
}

std::string UnsupportedFileText(const std::string& videoPath) {
  return Format("Convertion of file \"%s\" is not supported.", videoPath.c_str());
}

}  // namespace vidorant
