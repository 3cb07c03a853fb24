// The exception a transcoding task raises for a refused option or a failed transcoding step. Its
// Message is the fixed English text the task reports as its termination error.
#pragma once

#include "platform/Exception.h"

namespace vidorant {

class FFmpegException : public Exception {
public:
  using Exception::Exception;
};

}  // namespace vidorant
