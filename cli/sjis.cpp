#include "sjis.h"

#include <iconv.h>

#include <cerrno>

namespace probex_cli {

std::string Cp932ToUtf8(const std::string& text) {
  // glibc's SHIFT_JIS refuses the CP932 extensions (～, ①…): use CP932.
  iconv_t cd = iconv_open("UTF-8", "CP932");
  if (cd == reinterpret_cast<iconv_t>(-1)) return text;
  std::string out;
  char buffer[4096];
  char* in = const_cast<char*>(text.data());
  size_t inLeft = text.size();
  while (inLeft > 0) {
    char* o = buffer;
    size_t oLeft = sizeof buffer;
    size_t r = iconv(cd, &in, &inLeft, &o, &oLeft);
    out.append(buffer, o - buffer);
    if (r == static_cast<size_t>(-1)) {
      if (errno == E2BIG) continue;
      // EILSEQ or EINVAL: one bad byte, shown as U+FFFD.
      out += "\xEF\xBF\xBD";
      ++in;
      --inLeft;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  iconv_close(cd);
  return out;
}

}  // namespace probex_cli
