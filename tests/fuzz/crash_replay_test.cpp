// Inputs that once broke a fuzz target, replayed by the ordinary suite.
// analyze-*: a selector byte then the file; templates-*: a fuzz_templates input.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "fixture.h"
#include "harness.h"

namespace probex::test {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> Inputs(const std::string& prefix) {
  std::vector<fs::path> out;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(FixturePath("crashes"), ec))
    if (entry.path().filename().string().rfind(prefix, 0) == 0) out.push_back(entry.path());
  std::sort(out.begin(), out.end());
  return out;
}

TEST(CrashReplay, AnalyzeInputs) {
  UseShippedTemplates();
  std::vector<fs::path> inputs = Inputs("analyze-");
  if (inputs.empty()) GTEST_SKIP() << "no analyze inputs kept";
  fuzz::ScratchFile scratch;
  for (const fs::path& input : inputs) {
    Bytes bytes = ReadFile(input.string());
    ASSERT_FALSE(bytes.empty()) << input;
    ASSERT_TRUE(scratch.Write(bytes.data() + 1, bytes.size() - 1));
    EXPECT_EQ(fuzz::CheckFile(scratch.Path(), fuzz::SelectFormat(bytes[0])), "") << input;
  }
}

TEST(CrashReplay, TemplateInputs) {
  std::vector<fs::path> inputs = Inputs("templates-");
  if (inputs.empty()) GTEST_SKIP() << "no template inputs kept";
  char pattern[] = "/tmp/probex-replay-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  for (const fs::path& input : inputs) {
    Bytes bytes = ReadFile(input.string());
    EXPECT_EQ(fuzz::CheckTemplates(bytes.data(), bytes.size(), pattern), "") << input;
  }
  fs::remove_all(pattern);
  UseShippedTemplates();
}

}  // namespace
}  // namespace probex::test
