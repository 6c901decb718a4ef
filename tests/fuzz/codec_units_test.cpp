// The codec units on their fixtures, on damaged copies of them, and on the
// codec fuzzer's kept findings (tests/fixtures/crashes/codec-*). The
// sanitizer build turns any read outside the input into a failure here.
#include "codec_units.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "fixture.h"

namespace probex {
namespace {

namespace fs = std::filesystem;
using test::Bytes;

struct Input {
  std::string name;
  size_t unit;
  Bytes bytes;
};

std::vector<Input> CodecFixtures() {
  std::vector<Input> inputs;
  const auto& units = fuzz::CodecUnits();
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(test::FixturePath("codecs"), ec)) {
    std::string name = entry.path().filename().string();
    for (size_t i = 0; i < units.size(); ++i) {
      std::string ext = units[i].extension;
      if (name.size() > ext.size() && name.compare(name.size() - ext.size(), ext.size(), ext) == 0) {
        inputs.push_back({name, i, test::ReadFile(entry.path().string())});
      }
    }
  }
  return inputs;
}

TEST(CodecUnits, EveryFixtureDecodesThroughItsUnit) {
  std::vector<Input> inputs = CodecFixtures();
  ASSERT_FALSE(inputs.empty());
  for (const Input& in : inputs) {
    EXPECT_FALSE(fuzz::CodecUnits()[in.unit].run(in.bytes.data(), in.bytes.size()).empty()) << in.name;
  }
}

// Cuts, flipped bits and every unit on every fixture (a record given to the
// wrong parser is hostile input too).
TEST(CodecUnits, DamagedFixturesStayInBounds) {
  const auto& units = fuzz::CodecUnits();
  for (const Input& in : CodecFixtures()) {
    SCOPED_TRACE(in.name);
    const Bytes& b = in.bytes;
    size_t step = b.size() / 64 + 1;
    for (size_t n = 0; n <= b.size(); n += step) {
      Bytes cut(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(n));
      units[in.unit].run(cut.data(), cut.size());
    }
    for (size_t at = 0; at < b.size() && at < 512; at += 3) {
      for (uint8_t mask : {0x01, 0x80, 0xFF}) {
        Bytes flipped = b;
        flipped[at] ^= mask;
        units[in.unit].run(flipped.data(), flipped.size());
      }
    }
    for (const auto& unit : units) unit.run(b.data(), b.size());
  }
}

TEST(CodecUnits, KeptFuzzerFindings) {
  std::error_code ec;
  const auto& units = fuzz::CodecUnits();
  for (const auto& entry : fs::directory_iterator(test::FixturePath("crashes"), ec)) {
    if (entry.path().filename().string().rfind("codec-", 0) != 0) continue;
    Bytes b = test::ReadFile(entry.path().string());
    if (b.empty()) continue;
    Bytes input(b.begin() + 1, b.end());
    units[b[0] % units.size()].run(input.data(), input.size());
  }
}

}  // namespace
}  // namespace probex
