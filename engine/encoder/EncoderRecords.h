// The records that cross the encoder component's boundary: the option records an application
// fills to add a task and its outputs, and the records its events carry. Every field starts at
// the value that means "not applied" (NoValue for times, -1 for numbers, empty for texts) unless
// its comment says otherwise.
#pragma once

#include <cstdint>
#include <string>

#include "engine/runtime/FFTypes.h"

namespace vidorant {

class TBitmap;

// The options of one input file.
struct TInputOptions {
  std::string FileName;            // UTF-8; an empty one takes the name AddTask is given
  std::string FileFormat;          // forced input format ("f")
  int64_t StartTime = NoValue;     // µs, start position ("ss")
  int32_t ProgramID = -1;          // "programid", applied when 0 or more
  std::string ExtOptions;          // further "name=value" lines
  int32_t Reserved1 = 0;           // no operation reads the reserved fields
  int32_t Reserved2 = 0;
};

// Metadata of an output.
struct TStreamInfo {
  // -1: none; 0: the time of the recording; above 0: a local date-time in days since
  // 30 December 1899 (the time of day as the fraction).
  double TimeStamp = -1.0;
  int32_t Year = -1;   // "year" when above 0
  int32_t Track = -1;  // "track" when above 0
  std::string Title;   // each text when not empty: "title", "author", "copyright", "comment",
  std::string Author;  // "album", "genre"
  std::string RightsNotice;
  std::string Comment;
  std::string Album;
  std::string Genre;
};

// The options of one output file, applied in the order of the fields.
struct TOutputOptions {
  std::string FileName;  // UTF-8; an empty one takes the name SetOutputFile is given
  std::string Reserved;  // no operation reads it
  std::string FileFormat;
  int32_t PacketSize = -1;
  int32_t MuxRate = -1;
  float MuxDelay = -1.0f;    // seconds
  float MuxPreload = -1.0f;  // seconds
  std::string AudioCodec;
  std::string AudioPreset;
  bool AudioDisable = false;
  int32_t AudioVolume = -1;  // 256 is unchanged
  int32_t AudioChannels = -1;
  int32_t AudioSampleRate = -1;
  int32_t AudioBitrate = -1;  // bit/s; not with a target
  int32_t AudioBitrateTolerance = -1;
  std::string AudioLanguage;
  int32_t AudioSync = 0;  // always applied
  std::string AudioTag;
  std::string VideoCodec;
  std::string VideoPreset;
  bool VideoDisable = false;
  std::string FrameRate;
  std::string FrameSize;
  std::string FrameAspectRatio;
  int32_t GOPSize = -1;
  int32_t VideoBitrate = -1;  // bit/s; not with a target
  int32_t VideoMaxRate = -1;
  int32_t VideoMinRate = -1;
  int32_t VideoBitrateTolerance = -1;
  int32_t VideoBufSize = -1;
  int32_t VideoSync = -1;  // always applied
  std::string VideoTag;
  std::string VideoFilters;
  std::string VideoLanguage;
  std::string SubtitleCodec;
  std::string SubtitlePreset;
  bool SubtitleDisable = false;
  std::string SubtitleLanguage;
  bool InputSync = false;  // always applied
  bool CopyTimestamps = false;
  int64_t StartTime = NoValue;      // µs
  int64_t RecordingTime = NoValue;  // µs; also the length progress counts against
  TStreamInfo StreamInfo;
  int32_t Target = 0;              // 1 "vcd", 2 "svcd", 3 "dvd"; 0 none
  int32_t TargetNorm = 0;          // 1 "pal", 2 "ntsc", otherwise "auto"
  int32_t TargetFallbackNorm = 1;  // 1 "pal", otherwise "ntsc": where "auto" cannot tell
  bool AudioHook = false;          // attach OnAudioHook
  bool VideoInputHook = false;     // attach OnVideoInputHook
  bool VideoOutputHook = false;    // attach OnVideoOutputHook
  int32_t HookBitsPixel = 24;      // of the hook and preview bitmaps
  bool Join = false;               // the inputs play one after the other into this output
  std::string ExtOptions;          // further "name=value" lines
  int32_t Reserved1 = 0;
  int32_t Reserved2 = 0;
};

// What OnProgress reports of one task.
struct TProgressInfo {
  int32_t TaskIndex = 0;
  int32_t FileIndex = 0;  // the input read next; -1 on the task's last report
  int32_t CurrentFrame = 0;
  int32_t FPS = 0;
  float Quality = 0;  // -1 without a video encoder's value
  float BitRate = 0;  // kbit/s
  int64_t TotalSize = 0;      // bytes
  int64_t CurrentTime = 0;    // µs
  int64_t TotalDuration = 0;  // µs the task is expected to last
};
using PProgressInfo = TProgressInfo*;

// How a task ended; TaskIndex -1 (Completed, no error) once every task of a run has ended.
struct TTerminateInfo {
  int32_t TaskIndex = 0;
  bool Completed = false;  // ran to its end
  bool HadError = false;
  std::string ErrorText;
};

// A picture handed to a video hook. Update (true on entry) writes the bitmap back into the
// picture; Detach (false on entry) ends the hook's calls for good.
struct THookInfo {
  int32_t TaskIndex = 0;
  TBitmap* Bitmap = nullptr;  // the task's; its canvas is locked during the event
  int32_t FrameNumber = 0;
  int64_t PTS = 0;  // µs
  bool Update = true;
  bool Detach = false;
};
using PHookInfo = THookInfo*;

struct TPreviewInfo {
  int32_t TaskIndex = 0;
  const TBitmap* Bitmap = nullptr;  // the task's, valid during the event
  int32_t FrameNumber = 0;
  int64_t PTS = 0;  // µs
};

}  // namespace vidorant
