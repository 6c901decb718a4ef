// Times a one-process batch over every file under the folders given, as the
// player's playlist or `probex -r` runs it: GetFileFormat + GetFileInfo on a
// fresh record per file, the shipped templates, one thread. The read counts
// come from /proc/self/io around the first pass, so they count the template
// files as well as the media.
//
//   batch_bench [passes] DIR...     (default: the fixtures and samples)
//
// Compare with MediaInfo's own one-process batch on the same files:
//   bench/mediainfo_batch.sh DIR...
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "probex.h"

#ifndef BATCH_BENCH_SOURCE_DIR
#error "BATCH_BENCH_SOURCE_DIR must name the source tree"
#endif

namespace {

namespace fs = std::filesystem;

struct ProcIo {
  uint64_t rchar = 0, syscr = 0;
};

ProcIo ReadProcIo() {
  ProcIo io;
  std::ifstream in("/proc/self/io");
  std::string key;
  uint64_t value;
  while (in >> key >> value) {
    if (key == "rchar:") io.rchar = value;
    if (key == "syscr:") io.syscr = value;
  }
  return io;
}

double CpuMilliseconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

void Analyze(const std::u16string& path) {
  static MediaInfo info;
  std::memset(&info, 0, sizeof info);
  std::copy_n(path.c_str(), std::min<size_t>(path.size(), PROBEX_PATH_UNITS - 1), info.path);
  GetFileFormat(&info);
  GetFileInfo(&info);
}

}  // namespace

int main(int argc, char** argv) {
  int passes = 20;
  int first = 1;
  if (argc > 1 && std::atoi(argv[1]) > 0) {
    passes = std::atoi(argv[1]);
    first = 2;
  }
  std::vector<std::string> roots;
  for (int i = first; i < argc; ++i) roots.push_back(argv[i]);
  if (roots.empty()) {
    roots.push_back(std::string(BATCH_BENCH_SOURCE_DIR) + "/tests/fixtures");
    roots.push_back(std::string(BATCH_BENCH_SOURCE_DIR) + "/samples");
  }
  std::vector<std::u16string> files;
  for (const auto& root : roots) {
    std::error_code ec;
    for (const auto& entry : fs::recursive_directory_iterator(root, ec)) {
      std::string ext = entry.path().extension().string();
      if (!entry.is_regular_file() || ext == ".sh" || ext == ".py" || ext == ".md") continue;
      files.push_back(entry.path().u16string());
    }
  }
  if (files.empty()) {
    std::fprintf(stderr, "no files\n");
    return 1;
  }
  std::string data = std::string(BATCH_BENCH_SOURCE_DIR) + "/data/";
  SetPath(fs::path(data).u16string().c_str());

  ProcIo before = ReadProcIo();
  for (const auto& file : files) Analyze(file);
  ProcIo after = ReadProcIo();

  // Processor time as well as wall time: on a shared machine the wall clock
  // mostly measures the neighbours.
  auto start = std::chrono::steady_clock::now();
  double cpuStart = CpuMilliseconds();
  for (int p = 0; p < passes; ++p)
    for (const auto& file : files) Analyze(file);
  double cpu = CpuMilliseconds() - cpuStart;
  double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();

  double n = static_cast<double>(files.size());
  std::printf("%zu files, %d passes: %.4f ms per file (%.4f ms processor time); %.0f bytes in %.1f reads per file\n",
              files.size(), passes, ms / (n * passes), cpu / (n * passes),
              static_cast<double>(after.rchar - before.rchar) / n, static_cast<double>(after.syscr - before.syscr) / n);
  return 0;
}
