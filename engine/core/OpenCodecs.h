// The codecs a task has open: every encoder and decoder is listed right after it opened and taken
// off right after it closed, each under one process-wide lock, so that the clean-up after an
// interrupted transcode closes exactly what is still open, encoders first. Opening and closing
// themselves go through the codec lock of the lock manager, which serialises them across tasks.
// Invariant: a listed context is open and was opened through this object; the lists never hold
// a context twice. The contexts are owned elsewhere (the stream records): only their opening is
// tracked here, and they must stay alive until closed or until CloseAll.
#pragma once

#include <cstddef>
#include <vector>


struct AVCodec;
struct AVCodecContext;
struct AVDictionary;

namespace vidorant {

enum class TCodecRole { Encoder, Decoder };

class TOpenCodecs {
public:
  TOpenCodecs() = default;
  // Closes whatever is still open.
  ~TOpenCodecs();
  TOpenCodecs(const TOpenCodecs&) = delete;
  TOpenCodecs& operator=(const TOpenCodecs&) = delete;

  // Opens the context with the codec and its private options (the dictionary keeps what the codec
  // did not take) and lists it. Returns the library's result: listed only when it is 0 or more.
  int Open(TCodecRole role, AVCodecContext* context, const AVCodec* codec, AVDictionary** options);
  // Closes a listed context and takes it off its list; does nothing for one not listed.
  void Close(TCodecRole role, AVCodecContext* context);
  // Closes every listed encoder (its two-pass statistics input freed first), then every decoder.
  void CloseAll();
  size_t Count(TCodecRole role) const;

private:
  std::vector<AVCodecContext*>& List(TCodecRole role) { return role == TCodecRole::Encoder ? FEncoders : FDecoders; }

  std::vector<AVCodecContext*> FEncoders;  // guarded by the process-wide open-codecs lock
  std::vector<AVCodecContext*> FDecoders;  // guarded by the process-wide open-codecs lock
};

}  // namespace vidorant
