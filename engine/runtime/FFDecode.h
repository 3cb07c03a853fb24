// The decoder component: opens a media file with the format library, reads its stream
// information and reports its properties (start time, duration, bit rate, tags, stream counts)
// without transcoding it. The application fills its batch list from it when files are added.
// Invariants: without a file every count, index and the file size are -1; the decoder closes only
// a context it opened itself (an attached one stays its owner's), and the byte stream it opened
// for that context lives exactly as long as the context.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/runtime/FFBaseComponent.h"
#include "engine/runtime/FFPtr.h"
#include "engine/runtime/FormatConverter.h"
#include "engine/runtime/IOTimeout.h"
#include "engine/runtime/InputOpening.h"

namespace vidorant {

// The properties of an open file, as GetFileInfo reports them.
struct TFileStreamInfo {
  int64_t StartTime = -1;  // microseconds; -1 unknown
  int64_t Duration = -1;   // microseconds; -1 unknown
  int32_t BitRate = -1;    // bits per second
  int64_t Timestamp = -1;  // creation time, seconds since 1970-01-01 UTC; 0 when not stored
  int32_t Year = -1;
  int32_t Track = -1;
  std::string Title;
  std::string Author;
  std::string Copyright;
  std::string Comment;
  std::string Album;
  std::string Genre;
};

class TCustomDecoder : public TFFBaseComponent {
public:
  TCustomDecoder();
  ~TCustomDecoder() override;
  TCustomDecoder(const TCustomDecoder&) = delete;
  TCustomDecoder& operator=(const TCustomDecoder&) = delete;

  // Throws Exception "LibAVCodec not loaded.", "LibAVFormat not loaded.", "LibAVUtil not
  // loaded." or "LibSwScale not loaded." for the first of those libraries that is not loaded.
  void CheckLibraries();
  // Opens the file (UTF-8 name), with the named input format or, when empty, the one the library
  // detects. False with LastErrMsg when the format is unknown, the file cannot be opened (also
  // logged) or its stream parameters cannot be found. Throws as CheckLibraries.
  bool LoadFile(const std::string& fileName, const std::string& formatName = "");
  // The open file's properties; without one, a record of -1 and empty texts and the warning
  // "file not loaded.".
  void GetFileInfo(TFileStreamInfo& info);
  // Forgets the file (closing the context when the decoder opened it) and the forced format.
  virtual void CloseFile();
  // Recomputes the file size, the counts and the first indices from the context.
  virtual void ReadInfo();
  // Reports on a context opened elsewhere; its owner keeps it and must close it after the
  // decoder has let go of it (CloseFile, another file, or the decoder's end). Throws as
  // CheckLibraries.
  virtual void AttachContext(AVFormatContext* context);
  // Sends the text to the logger with this decoder as Sender, at the level the library level
  // (AV_LOG_ERROR, AV_LOG_WARNING, ...) falls in, and keeps it as LastErrMsg.
  void LogError(int libraryLevel, const std::string& text);

  // Milliseconds an opening or probing step may wait (a pipe nobody writes to); 0 or less: no
  // limit. Default: the task's default.
  int32_t IOTimeout() const { return FIOTimeout.Timeout(); }
  void SetIOTimeout(int32_t milliseconds) { FIOTimeout.SetTimeout(milliseconds); }

  const std::string& LastErrMsg() const { return FLastErrMsg; }
  // The open context, or null; not to be closed by the caller when OwnsContext.
  AVFormatContext* FormatContext() const { return FFormatContext; }
  bool OwnsContext() const { return FInput.Context != nullptr; }
  // The input format forced by the LoadFile that opened the file; empty for detection.
  const std::string& FormatName() const { return FFormatName; }
  int64_t FileSize() const { return FFileSize; }
  int StreamCount() const { return FStreamCount; }
  int ProgramCount() const { return FProgramCount; }
  int AudioStreamCount() const { return FAudioStreamCount; }
  int VideoStreamCount() const { return FVideoStreamCount; }
  int SubtitleStreamCount() const { return FSubtitleStreamCount; }
  int FirstAudioStreamIndex() const { return FFirstAudioStreamIndex; }
  int FirstVideoStreamIndex() const { return FFirstVideoStreamIndex; }
  int FirstSubtitleStreamIndex() const { return FFirstSubtitleStreamIndex; }

private:
  void CloseContext();

  AVFormatContext* FFormatContext = nullptr;  // the file in hand; owned through FInput
  TOpenedInput FInput;                        // set exactly when the decoder opened the file
  TIOTimeout FIOTimeout{this};
  std::string FLastErrMsg;
  std::string FFormatName;
  int64_t FFileSize = -1;
  int FStreamCount = -1;
  int FProgramCount = -1;
  int FAudioStreamCount = -1;
  int FVideoStreamCount = -1;
  int FSubtitleStreamCount = -1;
  int FFirstAudioStreamIndex = -1;
  int FFirstVideoStreamIndex = -1;
  int FFirstSubtitleStreamIndex = -1;
};

// Where decoding of the chosen stream stands; starts afresh with each file.
struct TDecodeState {
  int64_t CurrentTimestamp = 0;  // microseconds
  int64_t NextTimestamp = 0;     // microseconds
  int64_t VideoFrames = 0;       // pictures decoded
  int64_t AudioSamples = 0;      // samples per channel decoded
};

class TFFDecoder : public TCustomDecoder {
public:
  TFFDecoder();

  void CloseFile() override;
  void ReadInfo() override;

  // The stream decoded: the first video stream, else the first audio stream, else -1.
  int DecodedStreamIndex() const { return FDecodedStreamIndex; }
  // Start of that stream in microseconds (of the file when the stream has none; 0 unknown).
  int64_t StreamStartTime() const { return FStreamStartTime; }
  const TDecodeState& State() const { return FState; }
  TFormatConverter& Converter() { return *FConverter; }

  // What decoded audio is converted to.
  int AudioChannels = 2;
  int AudioSampleRate = 44100;

private:
  void ResetState();

  std::unique_ptr<TFormatConverter> FConverter;
  int FDecodedStreamIndex = -1;
  int64_t FStreamStartTime = 0;
  TDecodeState FState;
};

}  // namespace vidorant
