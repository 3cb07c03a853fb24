// Turns a library error code (negative) into the fixed English text the engine reports.
// Every code has a text: codes outside the table read "Error number %d occurred".
#pragma once

#include <string>

namespace vidorant {

// The message alone, without a prefix.
std::string AVErrorMessage(int code);

// "<prefix>: <message>".
std::string FormatAVError(const std::string& prefix, int code);

}  // namespace vidorant
