// Every fixture, truncated and with bytes changed, analysed under its own
// FormatId and under every other one. Each file runs in a child process with
// a time bound, so a crash or a hang names the file it came from.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "damage.h"
#include "detect.h"
#include "fixture.h"
#include "harness.h"

namespace probex::test {
namespace {

namespace fs = std::filesystem;

// Generous: sanitizer builds run several times slower than release ones.
constexpr int kSecondsPerFile = 120;
constexpr size_t kMaxBytes = 1 << 20;

std::vector<std::string> MediaFiles(const std::string& root) {
  std::vector<std::string> files;
  std::error_code ec;
  if (!fs::is_directory(root, ec)) return files;
  for (const auto& entry : fs::recursive_directory_iterator(root, ec)) {
    if (!entry.is_regular_file()) continue;
    std::string path = entry.path().string();
    std::string ext = entry.path().extension().string();
    if (ext == ".sh" || ext == ".py" || ext == ".md" || path.find("/crashes/") != std::string::npos) continue;
    files.push_back(path);
  }
  std::sort(files.begin(), files.end());
  return files;
}

// The child's work: returns the first fault.
std::string SweepFile(const std::string& path) {
  Bytes file = ReadFile(path);
  if (file.size() > kMaxBytes) file.resize(kMaxBytes);
  MediaInfo record = MakeRecord(path);
  DetectFormat(record);
  int32_t own = record.formatId;
  fuzz::ScratchFile scratch;
  auto check = [&](const Bytes& bytes, int32_t formatId, const char* what) -> std::string {
    if (!scratch.Write(bytes.data(), bytes.size())) return "scratch file not written";
    std::string fault = fuzz::CheckFile(scratch.Path(), formatId);
    if (fault.empty()) return "";
    return std::string(what) + " (" + std::to_string(bytes.size()) + " bytes) " + fault;
  };

  std::vector<Bytes> truncations = Truncations(file);
  std::vector<Bytes> flips = Flips(file, path);
  for (const Bytes& bytes : truncations)
    if (std::string fault = check(bytes, own, "truncated"); !fault.empty()) return fault;
  for (const Bytes& bytes : flips)
    if (std::string fault = check(bytes, own, "damaged"); !fault.empty()) return fault;
  for (const Bytes& bytes : Splices(file, path))
    if (std::string fault = check(bytes, own, "spliced"); !fault.empty()) return fault;

  // Under every other analyzer: the file whole, cut in half, and damaged.
  std::vector<const Bytes*> foreign = {&file};
  if (!truncations.empty()) foreign.push_back(&truncations[truncations.size() / 2 + truncations.size() / 4]);
  for (size_t i = 0; i < std::min<size_t>(flips.size(), 12); i += 5) foreign.push_back(&flips[i]);
  for (int32_t formatId : fuzz::AnalyzerFormats()) {
    if (formatId == own) continue;
    for (const Bytes* bytes : foreign)
      if (std::string fault = check(*bytes, formatId, "foreign"); !fault.empty()) return fault;
  }
  return "";
}

// Runs SweepFile in a child; returns its fault, a crash or a hang.
std::string SweepInChild(const std::string& path) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return "pipe failed";
  pid_t pid = fork();
  if (pid < 0) return "fork failed";
  if (pid == 0) {
    close(pipeFds[0]);
    std::string fault = SweepFile(path);
    if (!fault.empty() && write(pipeFds[1], fault.data(), fault.size()) < 0) _exit(3);
    _exit(fault.empty() ? 0 : 1);
  }
  close(pipeFds[1]);
  std::string fault;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kSecondsPerFile);
  bool hung = false;
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      hung = true;
      break;
    }
    pollfd p{pipeFds[0], POLLIN, 0};
    int ready = poll(&p, 1, static_cast<int>(left.count()));
    if (ready <= 0) continue;
    char chunk[512];
    ssize_t n = read(pipeFds[0], chunk, sizeof chunk);
    if (n <= 0) break;  // the child closed its end: it has finished
    fault.append(chunk, static_cast<size_t>(n));
  }
  close(pipeFds[0]);
  if (hung) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return "no result within " + std::to_string(kSecondsPerFile) + " s (hang)";
  }
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFSIGNALED(status)) return "crashed with signal " + std::to_string(WTERMSIG(status));
  if (WIFEXITED(status) && WEXITSTATUS(status) != 0 && fault.empty())
    return "child failed with status " + std::to_string(WEXITSTATUS(status));
  return fault;
}

class CorruptionSweep : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override { UseShippedTemplates(); }
};

void SweepFolder(const std::string& root) {
  std::vector<std::string> files = MediaFiles(root);
  if (files.empty()) GTEST_SKIP() << root << " holds no media";
  for (const std::string& file : files) EXPECT_EQ(SweepInChild(file), "") << file;
}

TEST_P(CorruptionSweep, NoCrashHangOrBrokenRecord) { SweepFolder(FixturePath(GetParam())); }

INSTANTIATE_TEST_SUITE_P(Fixtures, CorruptionSweep,
                         ::testing::Values("audio", "containers", "images", "mpeg", "video", "player", "tools"));

TEST(CorruptionSweepSamples, NoCrashHangOrBrokenRecord) {
  UseShippedTemplates();
  SweepFolder(VORTAQ_SAMPLES);
}

// Real files from other projects' bug reports; skipped when the folder is absent.
TEST(CorruptionSweepPublicMedia, NoCrashHangOrBrokenRecord) {
  UseShippedTemplates();
  std::string root = PublicMedia("");
  if (root.empty()) GTEST_SKIP() << "public media absent";
  SweepFolder(root);
}

}  // namespace
}  // namespace probex::test
