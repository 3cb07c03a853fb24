// iconv-based conversions of NarrowText.h. The locale's character set is read on every call, so
// a change of locale takes effect at once.
#include "engine/runtime/NarrowText.h"

#include <iconv.h>
#include <langinfo.h>

#include <cerrno>
#include <vector>

namespace vidorant {

namespace {

std::optional<std::string> Convert(const std::string& text, const char* to, const char* from) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  // Four output bytes per input byte cover every conversion between UTF-8 and a narrow set;
  // E2BIG still grows the buffer in case a set needs more.
  std::vector<char> out(text.size() * 4 + 16);
  char* in = const_cast<char*>(text.data());
  size_t inLeft = text.size();
  size_t done = 0;
  std::optional<std::string> result;
  for (;;) {
    char* outPtr = out.data() + done;
    size_t outLeft = out.size() - done;
    size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    done = out.size() - outLeft;
    if (rc != static_cast<size_t>(-1)) {
      // A stateful set may need its shift sequence closed.
      outPtr = out.data() + done;
      outLeft = out.size() - done;
      if (iconv(cd, nullptr, nullptr, &outPtr, &outLeft) != static_cast<size_t>(-1))
        result = std::string(out.data(), out.size() - outLeft);
      break;
    }
    if (errno != E2BIG) break;  // EILSEQ, EINVAL: not representable or cut short
    out.resize(out.size() * 2);
  }
  iconv_close(cd);
  return result;
}

}  // namespace

std::optional<std::string> Utf8ToNarrow(const std::string& text) {
  return Convert(text, nl_langinfo(CODESET), "UTF-8");
}

std::optional<std::string> NarrowToUtf8(const std::string& text) {
  return Convert(text, "UTF-8", nl_langinfo(CODESET));
}

}  // namespace vidorant
