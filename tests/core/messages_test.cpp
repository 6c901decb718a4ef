#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "fixture.h"

namespace probex {
namespace {

// Undoes the C escapes of a literal ("\x83" "C" pieces joined).
std::string Unescape(const std::string& literal) {
  std::string out;
  for (size_t i = 0; i < literal.size(); ++i) {
    if (literal[i] == '"') {
      size_t close = literal.find('"', i + 1);
      for (size_t k = i + 1; k < close; ++k) {
        if (literal[k] == '\\' && literal[k + 1] == 'x') {
          out += static_cast<char>(std::stoi(literal.substr(k + 2, 2), nullptr, 16));
          k += 3;
        } else {
          out += literal[k];
        }
      }
      i = close;
    }
  }
  return out;
}

TEST(Messages, EveryLiteralDecodesToItsComment) {
  std::ifstream in(std::string(VORTAQ_SOURCE_DIR) + "/probe/core/messages.h");
  ASSERT_TRUE(in);
  std::regex line(R"(inline constexpr char (\w+)\[\] = (.*);  // (.*))");
  int checked = 0;
  for (std::string text; std::getline(in, text);) {
    std::smatch m;
    if (!std::regex_match(text, m, line)) continue;
    EXPECT_EQ(test::Utf8(Unescape(m[2])), m[3].str()) << m[1];
    ++checked;
  }
  EXPECT_GT(checked, 0);
}

}  // namespace
}  // namespace probex
