// The session description of RTP outputs (RtpDescription.h).
#include "engine/core/RtpDescription.h"

#include "engine/runtime/AVFormatStubs.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <cstring>

namespace vidorant {
namespace {

// Room for the description of many streams; the libraries cut a longer one short.
constexpr int DescriptionSize = 16384;

}  // namespace

bool AllOutputsAreRtp(const std::vector<AVFormatContext*>& outputs) {
  if (outputs.empty()) return false;
  for (const AVFormatContext* output : outputs)
    if (!output->oformat || std::strcmp(output->oformat->name, "rtp") != 0) return false;
  return true;
}

std::optional<std::string> RtpSessionDescription(const std::vector<AVFormatContext*>& outputs, int* errorCode) {
  std::string text(DescriptionSize, '\0');
  std::vector<AVFormatContext*> contexts = outputs;
  const int rc = ff::av_sdp_create(contexts.data(), static_cast<int>(contexts.size()), text.data(), DescriptionSize);
  if (errorCode) *errorCode = rc;
  if (rc < 0) return std::nullopt;
  text.resize(std::strlen(text.c_str()));
  return text;
}

}  // namespace vidorant
