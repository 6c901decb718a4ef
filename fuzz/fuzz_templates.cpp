// Input: two size bytes, then INI text, section, key, placeholder and value
// separated by 0xFF bytes.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string dir = [] {
    char pattern[] = "/tmp/probex-fuzz-ini-XXXXXX";
    const char* made = mkdtemp(pattern);
    return std::string(made ? made : "/tmp");
  }();
  std::string fault = probex::fuzz::CheckTemplates(data, size, dir);
  if (!fault.empty()) {
    std::fprintf(stderr, "probex template fault: %s\n", fault.c_str());
    std::abort();
  }
  return 0;
}
