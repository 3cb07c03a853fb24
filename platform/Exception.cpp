#include "platform/Exception.h"

namespace vidorant {

void AssertionFailed(const std::string& message, const char* unit) {
  throw EAssertionFailed(message + " (" + unit + ")");
}

}  // namespace vidorant
