// File names for the media libraries. The libraries take names as narrow (locale character set)
// texts; a name that the narrow set cannot carry is handed to them as "unicode:utf8:" + the
// name in UTF-8 and opened by the engine's own "unicode" protocol. Names that carry a stream or
// network scheme are never converted.
#pragma once

#include <string>

#include "platform/Exception.h"

namespace vidorant {

struct TProtocol;

// Raised by FileNameToLib for a name whose library form would reach LibFileNameLimit bytes.
class EFileNameTooLong : public Exception {
public:
  using Exception::Exception;
};

// Library file names are limited to fewer than this many bytes.
constexpr size_t LibFileNameLimit = 2048;

inline constexpr char UnicodeNamePrefix[] = "unicode:utf8:";

// True when the name must take the "unicode:utf8:" road.
bool NeedsUnicodeName(const std::string& name);

// The name as handed to the libraries. Throws EFileNameTooLong when that form reaches
// LibFileNameLimit bytes.
std::string FileNameToLib(const std::string& name);

// True for a library name that starts with the prefix and has at least one byte after it.
bool IsUnicodeName(const std::string& libName);

// The inverse of FileNameToLib.
std::string LibToFileName(const std::string& libName);

// The protocol record (name "unicode").
const TProtocol* UnicodeProtocol();

// Adds the protocol to the engine's protocol registry unless one named "unicode" is there.
void RegisterUnicodeProtocol();

}  // namespace vidorant
