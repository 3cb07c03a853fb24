// printf-style text building. Every fixed text of the system that carries "%d", "%s" or "%.1f"
// is formatted with this one helper, so the format strings stay exactly as written.
#pragma once

#include <cstdarg>
#include <string>

namespace vidorant {

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string FormatV(const char* format, va_list args) __attribute__((format(printf, 1, 0)));

}  // namespace vidorant
