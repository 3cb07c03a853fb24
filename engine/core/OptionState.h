// The option state of one transcoding task: every value its options set, with the defaults a
// fresh task starts from. Opening an input copies the input's video and audio properties into it
// (they become the defaults of the outputs' streams); opening an output consumes the parts that
// belong to one file only. Times are microseconds unless a field says otherwise.
// Invariant: a default-constructed TOptionState is the state of a task nobody configured.
#pragma once

#include "engine/core/OptionValues.h"
#include "engine/runtime/ScalerFlags.h"

#include <array>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vidorant {

// Media kinds in the libraries' order, for the per-kind arrays below.
enum TStreamKind { skVideo = 0, skAudio = 1, skData = 2, skSubtitle = 3 };

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

  std::string FormatName;  // pending format, consumed by the next input or output opening

  // Video.
  int32_t FrameWidth = 0;
  int32_t FrameHeight = 0;
  float FrameAspectRatio = 0;
  int32_t FramePixFmt = -1;  // AVPixelFormat, -1 none
  std::array<int32_t, 4> MaxFrames{Unlimited32, Unlimited32, Unlimited32, Unlimited32};
  int32_t FrameRateNum = 25;
  int32_t FrameRateDen = 0;
  float VideoQScale = 0;
  std::unique_ptr<TQuantMatrix> IntraMatrix;  // absent until intra_matrix
  std::unique_ptr<TQuantMatrix> InterMatrix;  // absent until inter_matrix
  std::optional<std::string> RcOverride;
  bool VideoDisable = false;
  int32_t VideoDiscard = 0;
  std::optional<std::string> VideoCodecName;
  uint32_t VideoCodecTag = 0;
  std::string VideoLanguage;
  bool SameQuality = false;
  bool DoDeinterlace = false;
  int32_t TopFieldFirst = -1;  // -1: as the input
  int32_t MeThreshold = 0;
  int32_t IntraDcPrecision = 8;
  bool LoopInput = false;
  int32_t LoopOutput = -1;  // -1: no loop
  bool QpHist = false;
  std::string VideoFilters;
  bool IntraOnly = false;

  // Audio.
  int32_t AudioSampleFmt = -1;  // AVSampleFormat, -1 none
  int32_t AudioSampleRate = 44100;
  int64_t AudioChannelLayout = 0;
  float AudioQScale = NoAudioQuality;
  bool AudioDisable = false;
  int32_t AudioChannels = 2;
  std::optional<std::string> AudioCodecName;
  uint32_t AudioCodecTag = 0;
  std::string AudioLanguage;

  // Subtitles.
  bool SubtitleDisable = false;
  std::optional<std::string> SubtitleCodecName;
  uint32_t SubtitleCodecTag = 0;
  std::string SubtitleLanguage;

  bool VideoStreamCopy = false;
  bool AudioStreamCopy = false;
  bool SubtitleStreamCopy = false;

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
  int32_t VideoSyncMethod = -1;  // automatic
  int32_t AudioSyncMethod = 0;
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
  int32_t AudioVolume = 256;  // 256: unchanged
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
  std::array<std::vector<TBitstreamFilterEntry>, 3> BitstreamFilters;  // video, audio, subtitle

  bool MetadataGlobalAutoCopy = true;
  bool MetadataStreamsAutoCopy = true;
  bool MetadataChaptersAutoCopy = true;
};

}  // namespace vidorant
