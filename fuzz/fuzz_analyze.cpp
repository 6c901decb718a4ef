// Input: one selector byte (a FormatId, see SelectFormat), then the file.
#include <cstdio>
#include <cstdlib>

#include "harness.h"
#include "probex.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static probex::fuzz::ScratchFile file;
  static const bool templates = [] {
    std::u16string dir;
    for (char c : std::string(PROBEX_FUZZ_DATA_DIR)) dir += static_cast<char16_t>(c);
    return SetPath(dir.c_str()) == 0;
  }();
  if (size == 0 || !templates) return 0;
  if (!file.Write(data + 1, size - 1)) return 0;
  std::string fault = probex::fuzz::CheckFile(file.Path(), probex::fuzz::SelectFormat(data[0]));
  if (!fault.empty()) {
    std::fprintf(stderr, "probex invariant broken %s\n", fault.c_str());
    std::abort();
  }
  return 0;
}
