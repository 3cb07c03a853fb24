// The session description (SDP) of a task that streams over RTP: a receiver cannot play an RTP
// stream without it, and the RTP muxer only knows its part of it once its header is written.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct AVFormatContext;

namespace vidorant {

// True when there is at least one output and every one is written by the "rtp" muxer.
bool AllOutputsAreRtp(const std::vector<AVFormatContext*>& outputs);

// The description of all the outputs, whose headers were written; errorCode (may be null) gets
// the libraries' error when there is none.
std::optional<std::string> RtpSessionDescription(const std::vector<AVFormatContext*>& outputs, int* errorCode);

}  // namespace vidorant
