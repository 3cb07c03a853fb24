// Whether a clip time typed by the user is "hh:mm:ss": eight characters, colons at the third
// and sixth, hours "00".."99", minutes and seconds "00".."59", compared as text the way the
// durations in the list compare, so that a well-formed time orders against a duration text.
#pragma once

#include <string>

namespace vidorant {

bool IsWellFormedClipTime(const std::string& text);

}  // namespace vidorant
