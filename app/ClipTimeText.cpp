#include "app/ClipTimeText.h"

namespace vidorant {

namespace {
// Two digits within the range. Comparing as text alone would let a colon pass for a digit
// ("0:" lies between "00" and "99"), and such a time could not be read when the batch starts.
bool Within(const std::string& part, const char* low, const char* high) {
  for (char c : part) {
    if (c < '0' || c > '9') {
      return false;
    }
  }
  return part >= low && part <= high;
}
}  // namespace

bool IsWellFormedClipTime(const std::string& text) {
  return text.size() == 8 && text[2] == ':' && text[5] == ':' && Within(text.substr(0, 2), "00", "99") &&
         Within(text.substr(3, 2), "00", "59") && Within(text.substr(6, 2), "00", "59");
}

}  // namespace vidorant
