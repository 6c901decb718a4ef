#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fixture.h"
#include "video/av1.h"

namespace probex {
namespace {

using test::Bytes;

Bytes Fixture(const std::string& name) { return test::ReadFile(test::FixturePath("codecs/" + name)); }

// Agrees with ffprobe (profile, size, pix_fmt, colour) and MediaInfo
// ("Main@L2.0", bit depth, chroma subsampling) on the source files.
TEST(Av1Unit, EncoderRecords) {
  struct Case {
    const char* file;
    const char* line;
    uint8_t depth;
    bool colour;
    uint8_t primaries, transfer, matrix;
  } cases[] = {
      {"av1_svt_main8.av1c", "AV1 Main@L2.0@Main 320x240 8bit 4:2:0", 8, false, 2, 2, 2},
      {"av1_aom_main10_pq.av1c", "AV1 Main@L2.0@Main 320x240 10bit 4:2:0 PQ", 10, true, 9, 16, 9},
      {"av1_aom_high444.av1c", "AV1 High@L2.0@Main 320x240 8bit 4:4:4", 8, false, 2, 2, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    Bytes bytes = Fixture(c.file);
    Av1VideoInfo info;
    ASSERT_TRUE(ParseAv1Config(bytes.data(), bytes.size(), info));
    EXPECT_TRUE(info.sequenceHeaderSeen);
    EXPECT_EQ(Av1VideoText(info), c.line);
    EXPECT_EQ(info.bitDepth, c.depth);
    EXPECT_EQ(info.hdr.colour.present, c.colour);
    EXPECT_EQ(info.hdr.colour.primaries, c.primaries);
    EXPECT_EQ(info.hdr.colour.transfer, c.transfer);
    EXPECT_EQ(info.hdr.colour.matrix, c.matrix);
    EXPECT_FALSE(info.hdr.colour.fullRange);
  }
}

Bytes Obu(unsigned type, const Bytes& payload) {
  Bytes obu = {static_cast<uint8_t>(type << 3 | 2), static_cast<uint8_t>(payload.size())};
  obu.insert(obu.end(), payload.begin(), payload.end());
  return obu;
}

// Metadata OBUs after the sequence header of the PQ record: with mastering
// display and light level the tag becomes HDR10, with ST 2094-40 HDR10+.
TEST(Av1Unit, HdrMetadataObus) {
  Bytes record = Fixture("av1_aom_main10_pq.av1c");
  ASSERT_GT(record.size(), 4u);
  Bytes head(record.begin() + 4, record.end());
  Bytes cll = Obu(5, {0x01, 0x03, 0xE8, 0x01, 0x90, 0x80});
  // R(0.68,0.32) G(0.265,0.69) B(0.15,0.06) W(0.3127,0.329), 1000 and 0.005 cd/m2.
  Bytes mdcv = Obu(5, {0x02, 0xAE, 0x14, 0x51, 0xEC, 0x43, 0xD7, 0xB0, 0xA4, 0x26, 0x66, 0x0F, 0x5C,
                       0x50, 0x0D, 0x54, 0x39, 0x00, 0x03, 0xE8, 0x00, 0x00, 0x00, 0x00, 0x52, 0x80});
  Bytes t35 = Obu(5, {0x04, 0xB5, 0x00, 0x3C, 0x00, 0x01, 0x04, 0x01, 0x80});
  Bytes frame = Obu(6, {0x10, 0x00});
  struct Case {
    const char* name;
    std::vector<Bytes> parts;
    const char* tag;
  } cases[] = {
      {"sequence header only", {head}, "PQ"},
      {"light level", {head, cll}, "HDR10"},
      {"mastering display", {head, mdcv}, "HDR10"},
      {"HDR10+", {head, mdcv, t35}, "HDR10+"},
      {"metadata after the first frame is not read", {head, frame, t35}, "PQ"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes bytes;
    for (const Bytes& part : c.parts) bytes.insert(bytes.end(), part.begin(), part.end());
    Av1VideoInfo info;
    ASSERT_TRUE(ParseAv1Obus(bytes.data(), bytes.size(), info));
    EXPECT_EQ(HdrTag(info.hdr), c.tag);
  }
  Bytes bytes = head;
  bytes.insert(bytes.end(), mdcv.begin(), mdcv.end());
  bytes.insert(bytes.end(), cll.begin(), cll.end());
  Av1VideoInfo info;
  ASSERT_TRUE(ParseAv1Obus(bytes.data(), bytes.size(), info));
  EXPECT_NEAR(info.hdr.mastering.redX, 0.68, 1e-4);
  EXPECT_NEAR(info.hdr.mastering.whiteY, 0.329, 1e-4);
  EXPECT_NEAR(info.hdr.mastering.maxLuminance, 1000.0, 1e-9);
  EXPECT_NEAR(info.hdr.mastering.minLuminance, 0.005, 1e-4);
  EXPECT_EQ(info.hdr.light.maxCll, 1000u);
  EXPECT_EQ(info.hdr.light.maxFall, 400u);
}

TEST(Av1Unit, MalformedInputs) {
  Bytes record = Fixture("av1_svt_main8.av1c");
  struct Case {
    const char* name;
    Bytes bytes;
    bool ok;
  } cases[] = {
      {"empty", {}, false},
      {"wrong marker", {0x01, 0x00, 0x0C, 0x00}, false},
      {"record without OBUs", {0x81, 0x08, 0x4C, 0x00}, true},
      {"OBU size past the end", {0x81, 0x00, 0x0C, 0x00, 0x0A, 0x7F, 0x00}, true},
      {"OBU size of more than 8 bytes",
       {0x81, 0x00, 0x0C, 0x00, 0x0A, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Av1VideoInfo info;
    EXPECT_EQ(ParseAv1Config(c.bytes.data(), c.bytes.size(), info), c.ok);
    EXPECT_FALSE(info.sequenceHeaderSeen);
  }
  // Record bytes only: profile 0, level 8 (4.0), 10 bit.
  Av1VideoInfo info;
  Bytes bare = {0x81, 0x08, 0x4C, 0x00};
  ASSERT_TRUE(ParseAv1Config(bare.data(), bare.size(), info));
  EXPECT_EQ(Av1VideoText(info), "AV1 Main@L4.0@Main 10bit 4:2:0");
  for (size_t n = 4; n < record.size(); ++n) {
    Av1VideoInfo cut;
    ASSERT_TRUE(ParseAv1Config(record.data(), n, cut));
    EXPECT_FALSE(cut.sequenceHeaderSeen) << n;
  }
  EXPECT_EQ(Av1LevelText(13), "5.1");
  EXPECT_EQ(Av1LevelText(31), "Max");
}

}  // namespace
}  // namespace probex
