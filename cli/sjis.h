// CP932 (Shift_JIS) report text to UTF-8 for terminals and JSON.
#pragma once

#include <string>

namespace probex_cli {

// Bytes that are not CP932 become U+FFFD; the conversion never fails.
std::string Cp932ToUtf8(const std::string& text);

}  // namespace probex_cli
