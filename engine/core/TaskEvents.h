// The events a transcoding task fires while it runs, on the thread that runs it; the encoder
// component marshals them to the main thread where the application wants them there.
#pragma once

#include <cstdint>
#include <functional>

extern "C" {
#include <libavutil/samplefmt.h>
}

namespace vidorant {

class TBitmap;
class TObject;

// Sender, FileIndex (the input being read; -1 for the final report), FrameNumber, FPS, Quality,
// Bitrate (kbit/s), TotalSize (bytes), CurrentTime (µs), ExpectedDuration (µs).
using TProgressEvent = std::function<void(TObject* sender, int32_t fileIndex, int32_t frameNumber, int32_t fps,
                                          float quality, float bitrate, int64_t totalSize, int64_t currentTime,
                                          int64_t expectedDuration)>;

// Sender, the preview picture, the output frame number, its time (µs).
using TPreviewBitmapEvent =
    std::function<void(TObject* sender, const TBitmap& bitmap, int32_t frameNumber, int64_t timestamp)>;

// Sender, the decoded samples (packed, writable: a handler may change them in place), their time
// (µs), their size in bytes, the sample rate (Hz), the channel count and the sample format.
using TAudioHookEvent = std::function<void(TObject* sender, uint8_t* samples, int64_t timestamp, int32_t byteCount,
                                           int32_t sampleRate, int32_t channels, AVSampleFormat sampleFormat)>;

}  // namespace vidorant
