#include "video/mpeg_video.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "fixture.h"
#include "mpeg_test_support.h"

namespace probex {
namespace {

using test::Bytes;

TEST(FindStartCode, FirstOffsetInsideTheBuffer) {
  struct Case {
    const char* name;
    Bytes bytes;
    uint32_t value;
    size_t start;
    int64_t at;
  };
  const Case cases[] = {
      {"at 0", {0x00, 0x00, 0x01, 0xB3, 0x00}, 0x1B3, 0, 0},
      {"after zeros", {0x00, 0x00, 0x00, 0x00, 0x01, 0xB3}, 0x1B3, 0, 2},
      {"last four bytes", {0xFF, 0x01, 0x00, 0x00, 0x01, 0xB5}, 0x1B5, 0, 2},
      {"cut by the end", {0xFF, 0x00, 0x00, 0x01}, 0x1B3, 0, -1},
      {"other code only", {0x00, 0x00, 0x01, 0xB5, 0x00}, 0x1B3, 0, -1},
      {"from start", {0x00, 0x00, 0x01, 0xB3, 0x00, 0x00, 0x01, 0xB3}, 0x1B3, 1, 4},
      {"start past the end", {0x00, 0x00, 0x01, 0xB3}, 0x1B3, 9, -1},
      {"unprefixed value", {0x12, 0x34, 0x56, 0x78, 0x9A}, 0x3456789A, 0, 1},
      {"empty", {}, 0x1B3, 0, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(FindStartCode(c.bytes.data(), c.bytes.size(), c.value, c.start), c.at);
  }
  Bytes last = {0x00, 0x00, 0x01, 0xBA, 0x00, 0x00, 0x01, 0xBA, 0x00, 0x00, 0x01};
  EXPECT_EQ(FindLastStartCode(last.data(), last.size(), 0x1BA), 4);
  EXPECT_EQ(FindLastStartCode(last.data(), last.size(), 0x1BA, 5), -1);
  EXPECT_EQ(FindLastStartCode(last.data(), 7, 0x1BA), 0);
  EXPECT_EQ(FindLastStartCode(last.data(), 3, 0x1BA), -1);
}

// Both searches skip offsets that cannot start a code; on buffers dense in
// zeros, ones and near misses they must still find what a plain scan finds.
TEST(FindStartCode, AgreesWithAPlainScan) {
  auto plainFirst = [](const Bytes& b, uint32_t value, size_t from) -> int64_t {
    for (size_t i = from; i + 4 <= b.size(); ++i)
      if ((uint32_t(b[i]) << 24 | uint32_t(b[i + 1]) << 16 | uint32_t(b[i + 2]) << 8 | b[i + 3]) == value)
        return static_cast<int64_t>(i);
    return -1;
  };
  auto plainLast = [](const Bytes& b, uint32_t value, size_t from) -> int64_t {
    for (size_t i = b.size() < 4 ? 0 : b.size() - 3; i-- > from;)
      if ((uint32_t(b[i]) << 24 | uint32_t(b[i + 1]) << 16 | uint32_t(b[i + 2]) << 8 | b[i + 3]) == value)
        return static_cast<int64_t>(i);
    return -1;
  };
  const uint8_t alphabet[] = {0x00, 0x00, 0x00, 0x01, 0x01, 0xBA, 0xB3, 0x02};
  uint32_t seed = 12345;
  for (int round = 0; round < 3000; ++round) {
    seed = seed * 1103515245u + 12345u;
    Bytes b((seed >> 16) % 24);
    for (uint8_t& x : b) {
      seed = seed * 1103515245u + 12345u;
      x = alphabet[(seed >> 16) % sizeof alphabet];
    }
    for (uint32_t value : {0x1BAu, 0x1B3u, 0x101u}) {
      for (size_t from = 0; from <= b.size(); ++from) {
        ASSERT_EQ(FindStartCode(b.data(), b.size(), value, from), plainFirst(b, value, from)) << round << " " << from;
        ASSERT_EQ(FindLastStartCode(b.data(), b.size(), value, from), plainLast(b, value, from)) << round << " " << from;
      }
    }
  }
}

TEST(MpegSequenceHeader, Fields) {
  struct Case {
    uint32_t width, height, aspect, rate, bitRate;
    const char* aspectText;
    double frameRate;
    double bitsPerSecond;
    bool vbr;
  };
  const Case cases[] = {
      {352, 240, 1, 4, 2875, "1:1", 29.97, 1150000, false},
      {720, 576, 3, 3, 0x3FFFF, "16:9 625line", 25, 0, true},
      {720, 480, 2, 1, 20000, "4:3", 23.976, 8000000, false},
      {1920, 1080, 12, 8, 1, "4:3 525line CCIR601", 60, 400, false},
      {4095, 4095, 0, 0, 0, "forbidden", 0, 0, false},
      {16, 16, 15, 9, 0, "reserved", 0, 0, false},
      {640, 480, 7, 7, 0, "0.8935", 59.94, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.aspectText);
    Bytes b = mpegtest::SequenceHeader(c.width, c.height, c.aspect, c.rate, c.bitRate);
    MpegVideoInfo info{};
    ASSERT_TRUE(ParseMpegSequenceHeader(info, b.data() + 4, b.size() - 4));
    EXPECT_EQ(info.width, static_cast<int32_t>(c.width));
    EXPECT_EQ(info.height, static_cast<int32_t>(c.height));
    EXPECT_STREQ(info.aspect, c.aspectText);
    EXPECT_DOUBLE_EQ(info.frameRate, c.frameRate);
    EXPECT_DOUBLE_EQ(info.bitRate, c.bitsPerSecond);
    EXPECT_EQ(info.variableBitRate, c.vbr);
  }
  Bytes b = mpegtest::SequenceHeader(352, 288, 1, 3, 100);
  MpegVideoInfo cut{};
  EXPECT_FALSE(ParseMpegSequenceHeader(cut, b.data() + 4, 6));
  EXPECT_EQ(cut.width, 0);
}

TEST(MpegSequenceExtension, ProfileLevelAndProgressive) {
  struct Case {
    uint32_t profile, level;
    bool progressive;
    const char* text;
  };
  const Case cases[] = {
      {4, 8, false, "MP@ML"},  {1, 4, true, "HP@HL"},     {5, 8, false, "SP@ML"},
      {4, 6, true, "MP@HL1440"}, {3, 10, false, "SNR@LL"}, {2, 6, false, "SSP@HL1440"},
      {0, 8, false, "UnknownProfile(0)@ML"}, {4, 15, false, "MP@UnknownLevel(15)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Bytes b = mpegtest::SequenceExtension(c.profile, c.level, c.progressive);
    MpegVideoInfo info{};
    ASSERT_TRUE(ParseMpegSequenceExtension(info, b.data(), b.size()));
    EXPECT_STREQ(info.profile, c.text);
    EXPECT_EQ(info.progressive, c.progressive);
  }
  // A sequence display extension (identifier 2) changes nothing.
  Bytes display = mpegtest::SequenceExtension(4, 8, true, 2);
  MpegVideoInfo info{};
  EXPECT_FALSE(ParseMpegSequenceExtension(info, display.data(), display.size()));
  EXPECT_STREQ(info.profile, "");
  EXPECT_FALSE(info.progressive);
  Bytes cut = mpegtest::SequenceExtension(4, 8, true);
  EXPECT_FALSE(ParseMpegSequenceExtension(info, cut.data(), 5));
}

TEST(MpegVideoText, KeyByProfileAndRateByMode) {
  mpegtest::MpegTemplates templates;
  MpegVideoInfo info{};
  info.width = 720;
  info.height = 576;
  std::strcpy(info.codec, "MPEG2");
  std::strcpy(info.aspect, "16:9 625line");
  info.frameRate = 25;
  info.bitRate = 8000000;
  info.averageBitRate = 5000000;
  char out[512];

  // Without an accepted extension the MPEG-1 template serves, codec as set.
  FormatMpegVideoText(out, sizeof out, info);
  EXPECT_STREQ(out, "M1|MPEG2|720x576|16:9 625line|25.00|8000.00|8000000.00|CBR|Interlace");

  std::strcpy(info.profile, "MP@ML");
  info.progressive = true;
  FormatMpegVideoText(out, sizeof out, info);
  EXPECT_STREQ(out, "M2|MPEG2|MP@ML|720x576|16:9 625line|25.00|8000.00|8000000.00|CBR|Progressive");

  info.variableBitRate = true;
  info.bitRate = 0;
  FormatMpegVideoText(out, sizeof out, info);
  EXPECT_STREQ(out, "M2|MPEG2|MP@ML|720x576|16:9 625line|25.00|5000.00|5000000.00|VBR|Progressive");
}

}  // namespace
}  // namespace probex
