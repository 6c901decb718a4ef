#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fixture.h"
#include "video/vp9.h"

namespace probex {
namespace {

using test::Bytes;

Bytes Fixture(const std::string& name) { return test::ReadFile(test::FixturePath("codecs/" + name)); }

// ffprobe: "Profile 2", yuv420p10le, bt2020nc/smpte2084/bt2020, tv range.
TEST(Vp9Unit, RecordOfTenBitPq) {
  Bytes bytes = Fixture("vp9_p2_10bit.vpcc");
  Vp9VideoInfo info;
  ASSERT_TRUE(ParseVpCodecConfig(bytes.data(), bytes.size(), info));
  EXPECT_EQ(Vp9VideoText(info), "VP9 Profile 2 10bit 4:2:0 PQ");
  EXPECT_EQ(info.level, 20);
  EXPECT_EQ(info.hdr.colour.primaries, 9);
  EXPECT_EQ(info.hdr.colour.matrix, 9);
  EXPECT_FALSE(info.hdr.colour.fullRange);
  for (size_t n = 0; n < bytes.size(); ++n) {
    Vp9VideoInfo cut;
    EXPECT_FALSE(ParseVpCodecConfig(bytes.data(), n, cut)) << n;
  }
  Bytes lying = bytes;
  lying[11] = 1;  // codec initialisation data past the end
  EXPECT_FALSE(ParseVpCodecConfig(lying.data(), lying.size(), info));
}

// ffprobe on the IVF: "Profile 0", 320x240, yuv420p.
TEST(Vp9Unit, EncoderKeyFrame) {
  Bytes frame = Fixture("vp9_p0_key.vp9");
  Vp9VideoInfo info;
  ASSERT_TRUE(ParseVp9KeyFrame(frame.data(), frame.size(), info));
  EXPECT_EQ(Vp9VideoText(info), "VP9 Profile 0 320x240 8bit 4:2:0");
  EXPECT_EQ(info.colorSpace, 0);
  std::vector<std::string> lines;
  Vp9DetailLines(info, lines);
  EXPECT_EQ(lines[2], "Size: 320x240");

  // The same key frame behind a superframe index, after a 3-byte frame that is
  // no key frame: found through the index.
  Bytes super = {0x86, 0x00, 0x40};
  super.insert(super.end(), frame.begin(), frame.end());
  uint32_t n = static_cast<uint32_t>(frame.size());
  Bytes index = {0xC9, 0x03, 0x00, static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8), 0xC9};
  super.insert(super.end(), index.begin(), index.end());
  EXPECT_EQ(Vp9SuperframeSizes(super.data(), super.size()), (std::vector<uint32_t>{3, n}));
  Vp9VideoInfo fromSuper;
  ASSERT_TRUE(ParseVp9KeyFrame(super.data(), super.size(), fromSuper));
  EXPECT_EQ(fromSuper.width, 320u);

  // An index whose sizes add up to more than the chunk is no index.
  Bytes lying = super;
  lying[lying.size() - 3] = 0xFF;
  EXPECT_TRUE(Vp9SuperframeSizes(lying.data(), lying.size()).empty());
}

// Hand-made uncompressed headers for the profiles the encoder fixture lacks.
TEST(Vp9Unit, ProfilesAndColour) {
  struct Case {
    const char* name;
    Bytes bytes;
    bool ok;
    const char* line;
  } cases[] = {
      // profile 1, BT.709, 4:4:4, 64x32
      {"profile 1 4:4:4",
       {0xA2, 0x49, 0x83, 0x42, 0x40, 0x00, 0x7E, 0x00, 0x3E},
       true,
       "VP9 Profile 1 64x32 8bit 4:4:4"},
      // profile 2, 12 bit, BT.2020, 4:2:0, 64x32 rendered as 60x30
      {"profile 2 12 bit",
       {0x92, 0x49, 0x83, 0x42, 0xD0, 0x01, 0xF8, 0x00, 0xFC, 0x00, 0xEC, 0x00, 0x74},
       true,
       "VP9 Profile 2 60x30 12bit 4:2:0"},
      {"inter frame", {0x86, 0x49, 0x83, 0x42, 0x00}, false, ""},
      {"wrong sync code", {0x82, 0x49, 0x83, 0x43, 0x00, 0x00, 0x7E, 0x00, 0x3E}, false, ""},
      {"cut before the size", {0x82, 0x49, 0x83, 0x42, 0x00, 0x00}, false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Vp9VideoInfo info;
    ASSERT_EQ(ParseVp9KeyFrame(c.bytes.data(), c.bytes.size(), info), c.ok);
    if (c.ok) {
      EXPECT_EQ(Vp9VideoText(info), c.line);
    }
  }
}

// ffprobe on the IVF: 176x144.
TEST(Vp8Unit, KeyFrames) {
  Bytes frame = Fixture("vp8_key_176x144.vp8");
  Bytes scaled = {0x50, 0x01, 0x00, 0x9D, 0x01, 0x2A, 0x80, 0x42, 0xE0, 0xC0};
  struct Case {
    const char* name;
    Bytes bytes;
    bool ok;
    uint32_t width, height;
    uint8_t hscale, vscale;
  } cases[] = {
      {"encoder key frame", frame, true, 176, 144, 0, 0},
      {"upscaled 640x480", scaled, true, 640, 224, 1, 3},
      {"inter frame", {0x51, 0x01, 0x00, 0x9D, 0x01, 0x2A, 0xB0, 0x00, 0x90, 0x00}, false, 0, 0, 0, 0},
      {"no start code", {0x50, 0x01, 0x00, 0x9D, 0x01, 0x2B, 0xB0, 0x00, 0x90, 0x00}, false, 0, 0, 0, 0},
      {"zero width", {0x50, 0x01, 0x00, 0x9D, 0x01, 0x2A, 0x00, 0x00, 0x90, 0x00}, false, 0, 0, 0, 0},
      {"cut", {0x50, 0x01, 0x00, 0x9D, 0x01, 0x2A, 0xB0, 0x00, 0x90}, false, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Vp8VideoInfo info;
    ASSERT_EQ(ParseVp8KeyFrame(c.bytes.data(), c.bytes.size(), info), c.ok);
    EXPECT_EQ(info.width, c.width);
    EXPECT_EQ(info.height, c.height);
    EXPECT_EQ(info.horizontalScale, c.hscale);
    EXPECT_EQ(info.verticalScale, c.vscale);
  }
  Vp8VideoInfo info;
  ASSERT_TRUE(ParseVp8KeyFrame(frame.data(), frame.size(), info));
  EXPECT_EQ(Vp8VideoText(info), "VP8 176x144");
}

}  // namespace
}  // namespace probex
