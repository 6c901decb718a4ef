// Every fixture's and sample's one-line summary and playing time against
// tests/golden/summaries.tsv, so that any change to a description shows in
// review. PROBEX_GOLDEN_UPDATE=1 rewrites the file instead (regenerate.sh).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "fixture.h"
#include "report.h"

namespace probex::test {
namespace {

namespace fs = std::filesystem;

const std::string kGolden = std::string(VORTAQ_SOURCE_DIR) + "/tests/golden/summaries.tsv";

// Paths relative to the source tree, sorted. Generator scripts, the fuzzer's
// crash inputs and the player's own fixtures (another suite's) stay out.
std::vector<std::string> GoldenFiles() {
  std::vector<std::string> files;
  const fs::path source(VORTAQ_SOURCE_DIR);
  for (const char* root : {"samples", "tests/fixtures"}) {
    std::error_code ec;
    for (const auto& entry : fs::recursive_directory_iterator(source / root, ec)) {
      if (!entry.is_regular_file()) continue;
      std::string relative = fs::relative(entry.path(), source).string();
      std::string ext = entry.path().extension().string();
      if (ext == ".sh" || ext == ".py" || ext == ".md" || entry.path().filename().string()[0] == '.') continue;
      if (relative.rfind("tests/fixtures/crashes/", 0) == 0 || relative.rfind("tests/fixtures/player/", 0) == 0)
        continue;
      files.push_back(relative);
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::string GoldenLine(const std::string& relative) {
  MediaInfo info = AnalyzeFile(std::string(VORTAQ_SOURCE_DIR) + "/" + relative);
  char duration[64];
  if (info.duration < 0)
    std::snprintf(duration, sizeof duration, "-");
  else
    std::snprintf(duration, sizeof duration, "%.3f", info.duration);
  return relative + "\t" + std::to_string(info.formatId) + "\t" + Utf8(OneLineReport(info)) + "\t" + duration;
}

std::vector<std::string> ReadLines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(GoldenSummaries, EveryFileDescribedAsRecorded) {
  UseShippedTemplates();
  std::vector<std::string> actual;
  actual.push_back("# path\tformatId\tsummary\tseconds");
  for (const std::string& file : GoldenFiles()) actual.push_back(GoldenLine(file));

  const char* update = std::getenv("PROBEX_GOLDEN_UPDATE");
  if (update && *update == '1') {
    std::ofstream out(kGolden, std::ios::binary | std::ios::trunc);
    for (const std::string& line : actual) out << line << '\n';
    ASSERT_TRUE(out.good()) << kGolden;
    return;
  }

  std::vector<std::string> expected = ReadLines(kGolden);
  ASSERT_FALSE(expected.empty()) << kGolden << " is missing: run tests/golden/regenerate.sh";
  std::ostringstream diff;
  size_t shown = 0;
  for (size_t i = 0; i < std::max(expected.size(), actual.size()) && shown < 40; ++i) {
    const std::string want = i < expected.size() ? expected[i] : "<none>";
    const std::string got = i < actual.size() ? actual[i] : "<none>";
    if (want == got) continue;
    diff << "line " << i + 1 << "\n  recorded: " << want << "\n  now:      " << got << "\n";
    ++shown;
  }
  EXPECT_TRUE(diff.str().empty()) << diff.str() << "(run tests/golden/regenerate.sh and review the change)";
}

}  // namespace
}  // namespace probex::test
