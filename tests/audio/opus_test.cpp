#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "audio/opus.h"

namespace probex {
namespace {

std::vector<uint8_t> OpusHead(uint8_t channels, uint16_t preSkip, uint32_t inputRate) {
  std::vector<uint8_t> h = {'O', 'p', 'u', 's', 'H', 'e', 'a', 'd', 1, channels};
  h.push_back(static_cast<uint8_t>(preSkip)), h.push_back(static_cast<uint8_t>(preSkip >> 8));
  for (int i = 0; i < 4; ++i) h.push_back(static_cast<uint8_t>(inputRate >> (8 * i)));
  h.insert(h.end(), {0, 0, 0});
  return h;
}

std::vector<uint8_t> Cut(std::vector<uint8_t> bytes, size_t n) {
  bytes.resize(n);
  return bytes;
}

TEST(Opus, HeaderAndTimeFromGranules) {
  struct Case {
    std::vector<uint8_t> packet;
    bool parsed;
    int32_t channels;
    int64_t granule;
    double seconds;
  } cases[] = {
      {OpusHead(2, 312, 44100), true, 2, 312 + 48000 * 3, 3.0},  // the pre-skip is not played
      {OpusHead(1, 3840, 16000), true, 1, 3840 + 24000, 0.5},
      {OpusHead(6, 312, 48000), true, 6, 100, 0.0},             // a granule inside the pre-skip
      {OpusHead(2, 312, 48000), true, 2, -1, 0.0},
      {Cut(OpusHead(2, 312, 0), 10), true, 2, 48000, 1.0},  // fields past the packet read as 0
      {{'O', 'p', 'u', 's', 'T', 'a', 'g', 's', 1, 2}, false, 0, 48000, 1.0},
      {{'O', 'p', 'u', 's'}, false, 0, 0, 0.0},
  };
  for (const Case& c : cases) {
    OpusInfo info{};
    EXPECT_EQ(ParseOpusHead(c.packet.data(), c.packet.size(), info), c.parsed);
    EXPECT_EQ(info.channels, c.channels);
    EXPECT_DOUBLE_EQ(OpusSeconds(info, c.granule), c.seconds) << c.granule;
  }
  OpusInfo info{};
  EXPECT_FALSE(ParseOpusHead(nullptr, 19, info));
}

}  // namespace
}  // namespace probex
