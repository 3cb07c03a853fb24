// Small utilities shared by the engine around the media libraries: timestamps as text, media
// type names, whole-file reading, timestamp correction of decoded frames, metadata lookup and the
// last-error text of the option store. The option store itself is OptionContext.h, error texts
// AVErrorText.h and the engine's output formats OutputFormats.h.
#pragma once

#include <cstdint>
#include <string>

#include "engine/runtime/FFPtr.h"

namespace vidorant {

// "hh:mm:ss.mmm" of a time in microseconds; "N/A" for the no-timestamp value. Hours do not wrap.
// A negative time reads as "-" and the text of its magnitude.
std::string TimeToText(int64_t microseconds);

// "Video", "Audio", "Data", "Subtitle", "Attachment" for the media types 0 to 4, else "Unknown".
std::string MediaTypeName(int mediaType);

// Reads a whole file into a library buffer followed by one zero byte; size counts that zero
// byte. Result 0, -1 when the file cannot be opened or read (a folder, a failed read), -12 when
// the buffer cannot be allocated; buffer is empty and size 0 unless the result is 0.
int ReadWholeFile(const std::string& fileName, TAVMemoryPtr<uint8_t>& buffer, int64_t& size);

// Timestamp correction of one decoded stream: tells whether the decoder's reordered
// presentation timestamps or its decoding timestamps are the more trustworthy.
struct TPtsCorrection {
  int64_t NumFaultyPts;
  int64_t NumFaultyDts;
  int64_t LastPts;
  int64_t LastDts;
};

void InitPtsCorrection(TPtsCorrection& correction);
int64_t GuessCorrectPts(TPtsCorrection& correction, int64_t reorderedPts, int64_t dts);

// The dictionary's value for the key (letter case ignored), or the default when absent.
std::string MetadataValue(const AVDictionary* metadata, const std::string& key,
                          const std::string& defaultValue);

// The option store's last failure text. It is kept per thread: tasks set options on the threads
// they run on and read the text right after the failing call, so one task never sees another's.
const std::string& LastUtilsError();
void SetLastUtilsError(const std::string& text);

}  // namespace vidorant
