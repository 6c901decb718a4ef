// Seeds of the codec fuzzer: fuzz_codec_seeds OUT_DIR FIXTURE_DIR. Each
// fixture whose name ends like a unit's input becomes that unit's selector
// byte followed by the fixture.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "codec_units.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: fuzz_codec_seeds OUT_DIR FIXTURE_DIR\n");
    return 2;
  }
  fs::path out = argv[1];
  fs::create_directories(out);
  const auto& units = probex::fuzz::CodecUnits();
  int count = 0;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(argv[2], ec)) {
    std::string name = entry.path().filename().string();
    for (size_t i = 0; i < units.size(); ++i) {
      std::string ext = units[i].extension;
      if (name.size() <= ext.size() || name.compare(name.size() - ext.size(), ext.size(), ext) != 0) continue;
      std::ifstream in(entry.path(), std::ios::binary);
      std::string seed(1, static_cast<char>(i));
      seed.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
      std::ofstream(out / ("seed-" + std::to_string(count++)), std::ios::binary) << seed;
    }
  }
  std::printf("%d codec seeds\n", count);
  return count > 0 ? 0 : 1;
}
