#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "audio/alac.h"
#include "audio/eac3.h"
#include "fixture.h"

namespace probex {
namespace {

using test::Bytes;

Bytes Fixture(const std::string& name) { return test::ReadFile(test::FixturePath("codecs/" + name)); }

// ffprobe: eac3 48000 Hz, 6 channels, 384000 bit/s; ac3 48000 Hz, 2
// channels, 192000 bit/s.
TEST(Eac3Unit, EncoderRecordsAndFrame) {
  Bytes dec3 = Fixture("eac3_51.dec3");
  Eac3Config e;
  ASSERT_TRUE(ParseDec3(dec3.data(), dec3.size(), e));
  EXPECT_EQ(Eac3ConfigText(e), "Dolby Digital Plus 48.00kHz 5.1ch 384.00kbps");
  ASSERT_EQ(e.substreams.size(), 1u);
  EXPECT_EQ(e.substreams[0].bsid, 16);
  EXPECT_FALSE(e.atmos);

  Bytes dac3 = Fixture("ac3_stereo.dac3");
  Ac3Config a;
  ASSERT_TRUE(ParseDac3(dac3.data(), dac3.size(), a));
  EXPECT_EQ(Ac3ConfigText(a), "Dolby AC-3 48.00kHz 2.0ch 192.00kbps");
  EXPECT_EQ(a.bsid, 8);

  Bytes frame = Fixture("eac3_51_frame.eac3");
  Eac3FrameHeader h;
  ASSERT_TRUE(ParseEac3FrameHeader(frame.data(), frame.size(), h));
  EXPECT_EQ(h.streamType, 0);
  EXPECT_EQ(h.substreamId, 0);
  EXPECT_EQ(h.sampleRate, 48000u);
  EXPECT_EQ(h.channels, 6);
  EXPECT_EQ(h.samplesPerFrame, 1536u);
  EXPECT_EQ(h.bitRate, 384000u);
  EXPECT_EQ(h.frameBytes, 1536u);
}

// dec3 payloads built from the box layout: a 7.1 stream (dependent substream
// with the Lrs/Rrs pair) carrying Atmos, two independent substreams, cuts.
TEST(Eac3Unit, Dec3Layouts) {
  struct Case {
    const char* name;
    Bytes bytes;
    bool ok;
    const char* text;
    size_t substreams;
  } cases[] = {
      {"7.1 with Atmos",
       {0x0C, 0x00, 0x20, 0x0F, 0x02, 0x02, 0x01, 0x10},
       true,
       "Dolby Digital Plus 48.00kHz 7.1ch 384.00kbps Atmos",
       1},
      {"two independent substreams",
       {0x0C, 0x01, 0x20, 0x0F, 0x00, 0x60, 0x04, 0x00},
       true,
       "Dolby Digital Plus 48.00kHz 5.1ch 384.00kbps",
       2},
      {"second substream cut", {0x0C, 0x01, 0x20, 0x0F, 0x00, 0x60}, false, "", 0},
      {"one byte", {0x0C}, false, "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Eac3Config config;
    ASSERT_EQ(ParseDec3(c.bytes.data(), c.bytes.size(), config), c.ok);
    if (!c.ok) continue;
    EXPECT_EQ(Eac3ConfigText(config), c.text);
    EXPECT_EQ(config.substreams.size(), c.substreams);
  }
  Bytes atmos = {0x0C, 0x00, 0x20, 0x0F, 0x02, 0x02, 0x01, 0x10};
  Eac3Config config;
  ASSERT_TRUE(ParseDec3(atmos.data(), atmos.size(), config));
  EXPECT_EQ(config.complexityIndex, 16);
  std::vector<std::string> lines;
  Eac3DetailLines(config, lines);
  EXPECT_EQ(lines.back(), "Atmos (JOC): complexity index 16");
}

TEST(Eac3Unit, FrameHeaders) {
  struct Case {
    const char* name;
    Bytes bytes;
    bool ok;
    uint8_t type, id;
    uint32_t rate, samples, bitRate;
    uint8_t channels;
  } cases[] = {
      // dependent substream 0, 44.1 kHz, 1 block, stereo
      {"dependent, one block", {0x0B, 0x77, 0x40, 0x3F, 0x44, 0x80}, true, 1, 0, 44100, 256, 88200 * 8 / 8 * 2, 2},
      // fscod 3, fscod2 1: 22.05 kHz, six blocks, mono + LFE
      {"reduced rate", {0x0B, 0x77, 0x08, 0x1F, 0xD3, 0x80}, true, 0, 1, 22050, 1536, 7350, 2},
      {"reserved fscod2", {0x0B, 0x77, 0x00, 0x1F, 0xF3, 0x80}, false, 0, 0, 0, 0, 0, 0},
      {"AC-3 bsid", {0x0B, 0x77, 0x00, 0x1F, 0x04, 0x40}, false, 0, 0, 0, 0, 0, 0},
      {"no sync", {0x0B, 0x78, 0x00, 0x1F, 0x04, 0x80}, false, 0, 0, 0, 0, 0, 0},
      {"cut", {0x0B, 0x77, 0x00, 0x1F}, false, 0, 0, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Eac3FrameHeader h;
    ASSERT_EQ(ParseEac3FrameHeader(c.bytes.data(), c.bytes.size(), h), c.ok);
    if (!c.ok) continue;
    EXPECT_EQ(h.streamType, c.type);
    EXPECT_EQ(h.substreamId, c.id);
    EXPECT_EQ(h.sampleRate, c.rate);
    EXPECT_EQ(h.samplesPerFrame, c.samples);
    EXPECT_EQ(h.bitRate, c.bitRate);
    EXPECT_EQ(h.channels, c.channels);
  }
}

TEST(Eac3Unit, TsDescriptors) {
  struct Case {
    const char* name;
    Bytes bytes;
    bool ok, enhanced;
    int componentType, bsid;  // -1: absent
  } cases[] = {
      {"AC-3 with component type and bsid", {0x6A, 0x03, 0xC0, 0x42, 0x08}, true, false, 0x42, 8},
      {"E-AC-3 with mixinfo", {0x7A, 0x03, 0xC8, 0xC4, 0x10}, true, true, 0xC4, 16},
      {"flags only", {0x6A, 0x01, 0x00}, true, false, -1, -1},
      {"flagged byte missing", {0x7A, 0x02, 0xC0, 0xC4}, false, false, -1, -1},
      {"length past the end", {0x6A, 0x05, 0xC0, 0x42}, false, false, -1, -1},
      {"other tag", {0x6B, 0x01, 0x00}, false, false, -1, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Ac3Descriptor d;
    ASSERT_EQ(ParseAc3Descriptor(c.bytes.data(), c.bytes.size(), d), c.ok);
    if (!c.ok) continue;
    EXPECT_EQ(d.enhanced, c.enhanced);
    EXPECT_EQ(d.hasComponentType ? d.componentType : -1, c.componentType);
    EXPECT_EQ(d.hasBsid ? d.bsid : -1, c.bsid);
  }
  EXPECT_STREQ(Ac3ComponentChannels(0xC4), "Multichannel");
  EXPECT_STREQ(Ac3ComponentChannels(0x42), "Stereo");
}

}  // namespace
}  // namespace probex

namespace probex {
namespace {

// The payload of the first box of that type and at most 64 bytes in a file.
test::Bytes SmallBoxPayload(const test::Bytes& file, const std::string& type) {
  for (size_t at = 4; at + 4 <= file.size(); ++at) {
    if (std::string(file.begin() + at, file.begin() + at + 4) != type) continue;
    uint32_t size = uint32_t{file[at - 4]} << 24 | file[at - 3] << 16 | file[at - 2] << 8 | file[at - 1];
    if (size < 8 || size > 64 || at - 4 + size > file.size()) continue;
    return test::Bytes(file.begin() + at + 4, file.begin() + at - 4 + size);
  }
  return {};
}

// ffprobe and MediaInfo on TagLib's test files: E-AC-3 and AC-3 at 48 kHz,
// stereo, 128 kb/s; ALAC 44.1 kHz, 16 bit, stereo, 2764 b/s (MediaInfo's
// figure is the cookie's average rate).
TEST(CodecPublicMedia, DolbyAndAlacRecords) {
  std::string eac3 = test::PublicMedia("taglib/eac3.m4a"), ac3 = test::PublicMedia("taglib/ac3.m4a"),
              alac = test::PublicMedia("taglib/empty_alac.m4a");
  if (eac3.empty() || ac3.empty() || alac.empty()) GTEST_SKIP() << "public media absent";
  test::Bytes dec3 = SmallBoxPayload(test::ReadFile(eac3), "dec3");
  Eac3Config e;
  ASSERT_TRUE(ParseDec3(dec3.data(), dec3.size(), e));
  EXPECT_EQ(Eac3ConfigText(e), "Dolby Digital Plus 48.00kHz 2.0ch 128.00kbps");
  test::Bytes dac3 = SmallBoxPayload(test::ReadFile(ac3), "dac3");
  Ac3Config a;
  ASSERT_TRUE(ParseDac3(dac3.data(), dac3.size(), a));
  EXPECT_EQ(Ac3ConfigText(a), "Dolby AC-3 48.00kHz 2.0ch 128.00kbps");
  test::Bytes cookie = SmallBoxPayload(test::ReadFile(alac), "alac");
  AlacConfig config;
  ASSERT_TRUE(ParseAlacConfig(cookie.data(), cookie.size(), config));
  EXPECT_EQ(AlacText(config), "ALAC 44.10kHz 16bit 2ch 2.76kbps");
}

}  // namespace
}  // namespace probex
