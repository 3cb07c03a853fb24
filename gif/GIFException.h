// Hard errors of the GIF library. Soft problems go to the document's warning event instead.
#pragma once

#include "platform/Exception.h"

namespace vidorant {

class GIFException : public Exception {
public:
  using Exception::Exception;
};

}  // namespace vidorant
