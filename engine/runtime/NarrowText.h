// Conversion between UTF-8 (the engine's text) and the process locale's narrow character set
// (nl_langinfo(CODESET), what the C library and the media libraries take file names in).
// A conversion either succeeds exactly or reports failure: nothing is replaced silently.
#pragma once

#include <optional>
#include <string>

namespace vidorant {

// nullopt when some character has no form in the narrow set (or the text is not UTF-8).
std::optional<std::string> Utf8ToNarrow(const std::string& text);

// nullopt when the bytes are not valid in the narrow set.
std::optional<std::string> NarrowToUtf8(const std::string& text);

}  // namespace vidorant
