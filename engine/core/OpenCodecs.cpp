#include "engine/core/OpenCodecs.h"

#include <algorithm>
#include <mutex>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "engine/runtime/AVCodecStubs.h"
#include "engine/runtime/AVUtilStubs.h"
#include "engine/runtime/CodecLock.h"

namespace vidorant {
namespace {

// One lock for the lists of every task: tasks on several threads open and close their codecs
// while another task's clean-up may run.
std::mutex& OpenCodecsLock() {
  static std::mutex lock;
  return lock;
}

// Closes one context through the lock manager's lock. The statistics input of a two-pass
// encoder was handed over as the engine's memory: the library does not free it.
void CloseContext(AVCodecContext* context) {
  TCodecLockGuard codecLock;
  if (context->stats_in) ff::av_freep(&context->stats_in);
  ff::avcodec_close(context);
}

}  // namespace

TOpenCodecs::~TOpenCodecs() { CloseAll(); }

int TOpenCodecs::Open(TCodecRole role, AVCodecContext* context, const AVCodec* codec, AVDictionary** options) {
  int rc;
  {
    TCodecLockGuard codecLock;
    rc = ff::avcodec_open2(context, codec, options);
  }
  if (rc >= 0) {
    std::lock_guard<std::mutex> lock(OpenCodecsLock());
    std::vector<AVCodecContext*>& list = List(role);
    if (std::find(list.begin(), list.end(), context) == list.end()) list.push_back(context);
  }
  return rc;
}

void TOpenCodecs::Close(TCodecRole role, AVCodecContext* context) {
  std::lock_guard<std::mutex> lock(OpenCodecsLock());
  std::vector<AVCodecContext*>& list = List(role);
  const auto it = std::find(list.begin(), list.end(), context);
  if (it == list.end()) return;
  CloseContext(context);
  list.erase(it);
}

void TOpenCodecs::CloseAll() {
  std::lock_guard<std::mutex> lock(OpenCodecsLock());
  for (TCodecRole role : {TCodecRole::Encoder, TCodecRole::Decoder}) {
    for (AVCodecContext* context : List(role)) CloseContext(context);
    List(role).clear();
  }
}

size_t TOpenCodecs::Count(TCodecRole role) const {
  std::lock_guard<std::mutex> lock(OpenCodecsLock());
  return (role == TCodecRole::Encoder ? FEncoders : FDecoders).size();
}

}  // namespace vidorant
