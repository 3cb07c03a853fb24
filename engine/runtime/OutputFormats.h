// The engine's own output formats. FFmpeg 5.1 cannot take new muxers, so formats such as the
// frame output adapter's live in this registry; a task whose format is one of them keeps an
// AVFormatContext for its streams and metadata but calls the format's operations itself, with a
// zero-filled block of PrivDataSize bytes as the context's priv_data.
// Invariant: registered records are never removed and outlive every task that uses them.
#pragma once

#include <string>

extern "C" {
#include <libavcodec/codec_id.h>
}

struct AVFormatContext;
struct AVPacket;

namespace vidorant {

struct TOutputFormat {
  const char* Name;
  const char* LongName;
  const char* MimeType;    // may be null
  const char* Extensions;  // comma-separated, may be null
  AVCodecID AudioCodec;
  AVCodecID VideoCodec;
  AVCodecID SubtitleCodec;
  int Flags;  // AVFMT_NOFILE, AVFMT_NOTIMESTAMPS ...
  int PrivDataSize;
  // Results 0 or a negative library error.
  int (*WriteHeader)(AVFormatContext* context);
  int (*WritePacket)(AVFormatContext* context, AVPacket* packet);
  int (*WriteTrailer)(AVFormatContext* context);
};

// Adds the record unless the very record (the same name pointer) is registered; returns the
// registered record. Asserts that the format library is bound (FFUtils).
TOutputFormat* RegisterOutputFormat(TOutputFormat* format);

// Walks the registry: nullptr gives the first record; the last gives nullptr.
const TOutputFormat* NextOutputFormat(const TOutputFormat* previous);

// The first registered format of that exact name, or nullptr.
const TOutputFormat* FindOutputFormat(const std::string& name);

// Gives the context the format's private data: a zero-filled block of PrivDataSize bytes in place
// of any block it held. The context's own free (avformat_free_context) releases it with the
// context. False, with the context unchanged, when the block cannot be allocated.
bool AttachOutputFormatData(AVFormatContext* context, const TOutputFormat& format);

}  // namespace vidorant
