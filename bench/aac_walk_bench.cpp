// Times the ADTS frame walk over one hour of AAC (44.1 kHz, 128 kbit/s):
// about 155,000 frame headers, each read through the FileReader.
//
//   aac_walk_bench [runs]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "audio/aac.h"
#include "core/file_reader.h"

namespace {

constexpr uint32_t kSampleRate = 44100;
constexpr uint32_t kFrameBytes = 372;  // 128 kbit/s at 1024 samples per frame
constexpr double kSeconds = 3600;

std::vector<uint8_t> Frame() {
  std::vector<uint8_t> f(kFrameBytes, 0);
  // LC, 44.1 kHz, stereo, no CRC.
  f[0] = 0xFF;
  f[1] = 0xF1;
  f[2] = 0x50;
  f[3] = 0x80 | static_cast<uint8_t>(kFrameBytes >> 11);
  f[4] = static_cast<uint8_t>(kFrameBytes >> 3);
  f[5] = static_cast<uint8_t>((kFrameBytes & 7) << 5) | 0x1F;
  f[6] = 0xFC;
  for (size_t i = 7; i < f.size(); ++i) f[i] = static_cast<uint8_t>(i * 131);
  return f;
}

std::u16string Wide(const std::string& s) { return std::u16string(s.begin(), s.end()); }

}  // namespace

int main(int argc, char** argv) {
  int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  uint64_t frames = static_cast<uint64_t>(kSeconds * kSampleRate / 1024) + 1;
  std::string path = "/tmp/aac_walk_bench_" + std::to_string(getpid()) + ".aac";

  FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) {
    std::perror(path.c_str());
    return 1;
  }
  std::vector<uint8_t> frame = Frame();
  for (uint64_t i = 0; i < frames; ++i) std::fwrite(frame.data(), 1, frame.size(), out);
  std::fclose(out);

  std::vector<double> times;
  probex::AacInfo info{};
  for (int r = 0; r < runs; ++r) {
    probex::FileReader reader;
    if (!reader.Open(Wide(path).c_str())) {
      std::fprintf(stderr, "cannot open %s\n", path.c_str());
      std::remove(path.c_str());
      return 1;
    }
    info = probex::AacInfo{};
    info.walkFrames = true;
    info.streamSize = reader.Size();
    auto start = std::chrono::steady_clock::now();
    bool ok = probex::ParseAdtsHeader(info, reader);
    auto end = std::chrono::steady_clock::now();
    if (!ok) {
      std::fprintf(stderr, "walk failed: %s\n", info.error);
      std::remove(path.c_str());
      return 1;
    }
    times.push_back(std::chrono::duration<double>(end - start).count());
  }
  std::remove(path.c_str());

  std::sort(times.begin(), times.end());
  std::printf("ADTS walk: %llu frames, %.1f MB, %.1f s of audio\n", static_cast<unsigned long long>(info.frameCount),
              frames * kFrameBytes / 1e6, info.duration);
  std::printf("best %.1f ms, median %.1f ms, worst %.1f ms over %d runs (file in the page cache)\n",
              times.front() * 1e3, times[times.size() / 2] * 1e3, times.back() * 1e3, runs);
  return 0;
}
