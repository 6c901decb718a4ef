// libFuzzer target of the tag plug-in: the first byte picks the file name's
// extension (some kinds are told by it alone), the rest is the file.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "vrtqtags.h"

namespace {

constexpr const char* kExtensions[] = {"mp3", "rmp", "wav", "avi", "wma", "ogg", "opus", "flac",
                                       "m4a", "mp4", "ape", "mpc", "wv", "tta", "spx", "bin"};

const std::string& Folder() {
  static const std::string folder = [] {
    char name[] = "/tmp/fuzz_tags.XXXXXX";
    const char* made = mkdtemp(name);
    if (!made) abort();
    return std::string(made);
  }();
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const std::string path = Folder() + "/input." + kExtensions[data[0] % std::size(kExtensions)];
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) abort();
  if (size > 1 && std::fwrite(data + 1, 1, size - 1, f) != size - 1) abort();
  std::fclose(f);
  if (mp3infp_Load(nullptr, path.c_str()) == 0) {
    mp3infp_GetType();
    mp3infp_mp3_GetTagType();
    for (const char* name : {"INAM", "IART", "INAM_v1", "INAM_v2", "INAM_rmp", "INAM_APE", "VFMT"}) {
      char* value = nullptr;
      mp3infp_GetValue(name, &value);
    }
    char16_t* wide = nullptr;
    mp3infp_GetValueW(u"INAM", &wide);
  }
  return 0;
}
