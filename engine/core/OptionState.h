// The option state of one transcoding task: every value its options set, with the defaults a
// fresh task starts from. Opening an input copies the input's video and audio properties into it
// (they become the defaults of the outputs' streams); opening an output consumes the parts that
// belong to one file only. Times are microseconds unless a field says otherwise.
// Invariant: a default-constructed TOptionState is the state of a task nobody configured.
#pragma once

#include "engine/core/OptionValues.h"
#include "engine/core/StreamKind.h"
#include "engine/runtime/ScalerFlags.h"

#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

extern "C" {
#include <libavcodec/defs.h>
#include <libavutil/pixfmt.h>
#include <libavutil/samplefmt.h>
#include <libswscale/swscale.h>
}

namespace vidorant {

// How output video timestamps follow the input's (the vsync option's numbers).
enum class TVideoSyncMethod : int32_t {
  Auto = -1,         // chosen by the output format
  Passthrough = 0,   // timestamps as decoded
  ConstantRate = 1,  // pictures duplicated and dropped to hold the frame rate
  VariableRate = 2,  // pictures dropped, never duplicated
};

// Audio sync (the async option): none, stretch only at the start, or above that the largest
// number of samples per second the resampler may stretch or squeeze.
inline constexpr int32_t AudioSyncNone = 0;
inline constexpr int32_t AudioSyncStartOnly = 1;

// One bitstream filter of a chain as the option gave it: the filter's name and the whole text
// (name and, after "=", its arguments).
struct TBitstreamFilterEntry {
  std::string Name;
  std::string Text;
};

// Metadata key/value pairs in the order given; a later pair replaces an earlier one of the
// same key when it is moved into an output.
using TMetadataPairs = std::vector<std::pair<std::string, std::string>>;

struct TOptionState {
  static constexpr int32_t Unlimited32 = std::numeric_limits<int32_t>::max();
  static constexpr int64_t Unlimited64 = std::numeric_limits<int64_t>::max();
  static constexpr float NoAudioQuality = -99999.0f;
  static constexpr int32_t TopFieldAsInput = -1;
  static constexpr int32_t NoOutputLoop = -1;
  static constexpr int32_t UnchangedVolume = 256;  // volume in 1/256
  static constexpr int64_t UnknownDuration = -1;

  std::string FormatName;  // pending format, consumed by the next input or output opening

  // Video.
  int32_t FrameWidth = 0;
  int32_t FrameHeight = 0;
  float FrameAspectRatio = 0;
  AVPixelFormat FramePixFmt = AV_PIX_FMT_NONE;
  TPerKind<int32_t> MaxFrames{Unlimited32};
  int32_t FrameRateNum = 25;
  int32_t FrameRateDen = 0;
  float VideoQScale = 0;
  std::unique_ptr<TQuantMatrix> IntraMatrix;  // absent until intra_matrix
  std::unique_ptr<TQuantMatrix> InterMatrix;  // absent until inter_matrix
  std::optional<std::string> RcOverride;
  AVDiscard VideoDiscard = AVDISCARD_DEFAULT;  // the default (0) means no level was given
  bool SameQuality = false;
  bool DoDeinterlace = false;
  int32_t TopFieldFirst = TopFieldAsInput;
  int32_t MeThreshold = 0;
  int32_t IntraDcPrecision = 8;
  bool LoopInput = false;
  int32_t LoopOutput = NoOutputLoop;
  bool QpHist = false;
  std::string VideoFilters;
  bool IntraOnly = false;

  // Audio.
  AVSampleFormat AudioSampleFmt = AV_SAMPLE_FMT_NONE;
  int32_t AudioSampleRate = 44100;
  int64_t AudioChannelLayout = 0;
  float AudioQScale = NoAudioQuality;
  int32_t AudioChannels = 2;

  // Per coded kind (video, audio, subtitle): what the next input or output stream of that kind
  // takes. A codec name is looked up only when a stream is made; StreamCopy is set by "copy".
  TPerKind<bool> Disabled{false};
  TPerKind<std::optional<std::string>> CodecNames;
  TPerKind<uint32_t> CodecTags{0};
  TPerKind<std::string> Languages;
  TPerKind<bool> StreamCopy{false};

  float MuxPreload = 0.5f;   // seconds
  float MuxMaxDelay = 0.7f;  // seconds
  int64_t RecordingTime = Unlimited64;
  int64_t StartTime = 0;
  int64_t RecordingTimestamp = 0;  // seconds since 1970
  int64_t InputTsOffset = 0;
  TMetadataPairs PendingMetadata;  // moved to the next output file

  bool DoPktDump = false;
  bool DoHexDump = false;
  bool DoPSNR = false;
  int32_t DoPass = 0;
  std::string PassLogFileName;
  TVideoSyncMethod VideoSyncMethod = TVideoSyncMethod::Auto;
  int32_t AudioSyncMethod = AudioSyncNone;
  float AudioDriftThreshold = 0.1f;  // seconds
  bool CopyTs = false;
  bool CopyTb = false;
  bool OptShortest = false;
  int32_t VideoGlobalHeader = 0;
  std::optional<std::string> VStatsFileName;
  int32_t ProgramId = 0;  // 0: any
  int32_t CopyInitialNonKeyFrames = 0;
  bool RateEmu = false;
  int32_t VideoChannel = 0;
  std::optional<std::string> VideoStandard;
  int32_t AudioVolume = UnchangedVolume;
  bool ExitOnError = false;
  int32_t Verbose = 1;
  int32_t ThreadCount = 1;
  bool InputSync = false;
  int64_t LimitFileSize = 0;  // bytes, 0 none
  bool ForceFps = false;
  std::string ForcedKeyFrames;
  float DtsDeltaThreshold = 10.0f;  // seconds
  TScalerFlags SwsFlags = TScalerFlags::Bicubic;

  std::vector<TStreamMap> StreamMaps;
  std::vector<TMetaDataMap> MetaDataMaps;
  std::vector<TChapterMap> ChapterMaps;
  // Timestamp scale per stream, per input file (indexed by the input's number; 0 means unset).
  std::vector<std::vector<double>> TsScales;
  std::vector<int32_t> StreamIdMap;  // indexed by output stream
  TPerKind<std::vector<TBitstreamFilterEntry>> BitstreamFilters;  // chains of the coded kinds

  bool MetadataGlobalAutoCopy = true;
  bool MetadataStreamsAutoCopy = true;
  bool MetadataChaptersAutoCopy = true;

  // µs the progress of the transcode counts against: set with the recording time, raised by
  // each input that lasts longer.
  int64_t ExpectedDuration = UnknownDuration;
};

}  // namespace vidorant
