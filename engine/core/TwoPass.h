// Two-pass encoding of one output stream: the first pass writes the encoder's statistics into a
// log file named for the stream, the second hands that file back to the encoder before it opens.
// Encoders of the libraries' common kind give their statistics as text after each packet
// (stats_out) and read them whole (stats_in); an encoder with a private "stats" option (libx264)
// keeps its own file, and is told the same name, so two tasks never share the encoder's default
// file in the working folder.
//
// Invariants: a stats_in buffer handed to an encoder is av_malloc'ed memory owned by the encoder's
// context from then on (the open-codecs list frees it when it closes the encoder); a log file is
// created only for the first pass, read only for the second.
#pragma once

#include "platform/FileStream.h"

#include <memory>
#include <string>

struct AVCodec;
struct AVCodecContext;
struct AVDictionary;

namespace vidorant {

// The log file of the output stream at that position among all output streams of the task:
// prefix ("ffmpeg2pass" when empty), "-", position, ".log", cut to 1023 characters.
std::string TwoPassLogName(const std::string& prefix, int streamPosition);

// The first pass's log file, receiving the statistics as the encoder gives them.
class TTwoPassLog {
public:
  // Creates (or empties) the file. Raises FFmpegException "Cannot write log file %s for pass-1
  // encoding".
  explicit TTwoPassLog(const std::string& fileName);
  // Appends the text as it stands. A failed write raises the same text as the creation: a
  // statistics file with a gap would mislead the second pass.
  void Append(const char* text);
  // Appends what the encoder holds once it has given its last packet, unless that is the text
  // appended last: most encoders still hold their last packet's statistics then, while libvpx
  // gives all of its statistics only at that point.
  void AppendDrained(const char* text);
  const std::string& FileName() const { return FFileName; }

private:
  std::string FFileName;
  std::string FLastAppended;
  std::unique_ptr<TFileStream> FFile;
};

// Readies an encoder whose flags ask for pass 1 or 2, before it opens: the "stats" option goes
// into privateOptions (a value the user gave stays, and is then the file used), otherwise pass 2
// reads the whole log into the encoder's stats_in. Returns the log to append stats_out to in
// pass 1, null otherwise. Raises FFmpegException with "Cannot write log file %s for pass-1
// encoding", "Could not allocate file buffer: Error reading log file "%s" for pass-2 encoding" or
// "Cannot read file: Error reading log file "%s" for pass-2 encoding".
std::unique_ptr<TTwoPassLog> PrepareTwoPass(AVCodecContext* encoder, const AVCodec* codec, const std::string& logName,
                                            AVDictionary** privateOptions);

}  // namespace vidorant
