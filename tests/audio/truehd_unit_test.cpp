#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "audio/dts_hd.h"
#include "audio/truehd.h"
#include "fixture.h"
#include "stream_test_support.h"

namespace probex {
namespace {

using test::BitWriter;
using test::Bytes;

Bytes Fixture(const std::string& name) { return test::ReadFile(test::FixturePath("codecs/" + name)); }

// ffprobe on the TrueHD stream: 48000 Hz, 6 channels, 5.1(side), 24 bits.
// (It does not open the raw MLP stream; its fields follow ffmpeg's encoder
// settings: 48 kHz, 16 bit, stereo.)
TEST(TrueHdUnit, EncoderStreams) {
  struct Case {
    const char* file;
    const char* text;
    uint32_t rate;
    uint8_t channels;
  } cases[] = {
      {"truehd_51_head.thd", "Dolby TrueHD 48.00kHz 24bit 5.1ch", 48000, 6},
      {"mlp_stereo_head.mlp", "MLP 48.00kHz 16bit 2.0ch", 48000, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    Bytes bytes = Fixture(c.file);
    TrueHdInfo info;
    ASSERT_TRUE(FindMlpMajorSync(bytes.data(), bytes.size(), info));
    EXPECT_EQ(TrueHdText(info), c.text);
    EXPECT_EQ(info.sampleRate, c.rate);
    EXPECT_EQ(info.channels, c.channels);
    EXPECT_EQ(info.majorSyncOffset, 4u);
    EXPECT_EQ(info.substreams, 1);
    EXPECT_FALSE(info.atmos);
  }
}

Bytes TrueHdSync(unsigned rate, unsigned six, unsigned eight, unsigned substreams) {
  BitWriter w;
  w.Put(0xF8726FBA, 32).Put(rate, 4).Put(0, 4).Put(0, 4).Put(six, 5).Put(0, 2).Put(eight, 13);
  w.Put(0xB752, 16).Put(0, 32).Put(1, 1).Put(1000, 15).Put(substreams, 4);
  return w.Padded(28);
}

TEST(TrueHdUnit, MajorSyncFields) {
  struct Case {
    const char* name;
    Bytes bytes;
    bool ok;
    const char* text;
  } cases[] = {
      // 7.1: L/R, C, LFE, Ls/Rs, Lrs/Rrs in the 8-channel presentation
      {"7.1 at 96 kHz", TrueHdSync(1, 0x0F, 0x4F, 3), true, "Dolby TrueHD 96.00kHz 24bit 7.1ch"},
      {"Atmos", TrueHdSync(0, 0x0F, 0x4F, 4), true, "Dolby TrueHD 48.00kHz 24bit 7.1ch Atmos"},
      {"44.1 kHz, six-channel presentation only", TrueHdSync(8, 0x0F, 0, 2), true, "Dolby TrueHD 44.10kHz 24bit 5.1ch"},
      {"reserved rate", TrueHdSync(5, 0x0F, 0, 1), false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TrueHdInfo info;
    ASSERT_EQ(ParseMlpMajorSync(c.bytes.data(), c.bytes.size(), info), c.ok);
    if (c.ok) {
      EXPECT_EQ(TrueHdText(info), c.text);
    }
  }
  Bytes bytes = TrueHdSync(0, 0x0F, 0x4F, 3);
  TrueHdInfo info;
  ASSERT_TRUE(ParseMlpMajorSync(bytes.data(), bytes.size(), info));
  EXPECT_EQ(info.peakBitRate, 3000000u);
  EXPECT_TRUE(info.variableRate);
  Bytes unsigned_ = bytes;
  unsigned_[8] = 0;  // no B7 52 signature
  EXPECT_FALSE(ParseMlpMajorSync(unsigned_.data(), unsigned_.size(), info));
  EXPECT_FALSE(ParseMlpMajorSync(bytes.data(), 27, info));
  EXPECT_FALSE(FindMlpMajorSync(bytes.data(), bytes.size(), info));  // no access unit header before it
}

// An extension substream: one presentation, one asset of 24 bit, 48 kHz,
// 6 channels, then the payload whose sync word names the extension.
// writtenFrameBytes: the frame size the header announces, when not 64.
Bytes DtsHdSubstream(uint32_t extensionSync, bool staticFields = true, unsigned writtenFrameBytes = 0) {
  BitWriter w;
  w.Put(0x64582025, 32).Put(0, 8).Put(0, 2).Put(0, 1);
  const unsigned headerBytes = 24, frameBytes = 64;
  w.Put(headerBytes - 1, 8).Put((writtenFrameBytes ? writtenFrameBytes : frameBytes) - 1, 16).Put(staticFields, 1);
  if (staticFields) {
    w.Put(0, 2).Put(0, 3).Put(0, 1).Put(0, 3).Put(0, 3).Put(1, 1).Put(0, 8).Put(0, 1);
  }
  w.Put(frameBytes - headerBytes - 1, 16);  // asset size
  w.Put(20, 9).Put(0, 3);
  if (staticFields) w.Put(0, 1).Put(0, 1).Put(0, 1).Put(23, 5).Put(12, 4).Put(5, 8);
  Bytes b = w.Padded(headerBytes);
  b.resize(headerBytes);
  BitWriter payload;
  payload.Put(extensionSync, 32);
  Bytes p = payload.Padded(frameBytes - headerBytes);
  b.insert(b.end(), p.begin(), p.end());
  return b;
}

TEST(DtsHdUnit, SubstreamNames) {
  struct Case {
    const char* name;
    Bytes bytes;
    const char* text;
  } cases[] = {
      {"XLL", DtsHdSubstream(0x41A29547), "DTS-HD MA 48.00kHz 24bit 6ch"},
      {"XBR", DtsHdSubstream(0x655E315E), "DTS-HD HRA 48.00kHz 24bit 6ch"},
      {"X96", DtsHdSubstream(0x1D95F262), "DTS-HD HRA 48.00kHz 24bit 6ch"},
      {"LBR", DtsHdSubstream(0x0A801921), "DTS Express 48.00kHz 24bit 6ch"},
      {"no static fields", DtsHdSubstream(0x41A29547, false), "DTS-HD MA"},
      {"unknown payload", DtsHdSubstream(0x12345678), "DTS-HD 48.00kHz 24bit 6ch"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // Behind a few bytes of a core frame.
    Bytes stream = {0x7F, 0xFE, 0x80, 0x01, 0x00};
    stream.insert(stream.end(), c.bytes.begin(), c.bytes.end());
    DtsHdInfo info;
    ASSERT_TRUE(FindDtsHdSubstream(stream.data(), stream.size(), info));
    EXPECT_EQ(DtsHdText(info), c.text);
    EXPECT_EQ(info.frameBytes, 64u);
  }
  // Sync words past the announced frame size are not the substream's.
  Bytes bytes = DtsHdSubstream(0);
  Bytes after = {0x41, 0xA2, 0x95, 0x47};
  bytes.insert(bytes.end(), after.begin(), after.end());
  DtsHdInfo info;
  ASSERT_TRUE(ParseDtsHdSubstream(bytes.data(), bytes.size(), info));
  EXPECT_FALSE(info.xll);
  // A header larger than its frame is refused; so are cuts before the sizes.
  Bytes lying = DtsHdSubstream(0x41A29547, true, 16);
  EXPECT_FALSE(ParseDtsHdSubstream(lying.data(), lying.size(), info));
  EXPECT_FALSE(ParseDtsHdSubstream(bytes.data(), 7, info));
}

TEST(DtsHdUnit, DdtsBox) {
  // 48 kHz, 1509 kbit/s max, 24 bit, 512 samples, core 5.1 layout (C, L/R,
  // Ls/Rs, LFE = 0x000F).
  BitWriter w;
  w.Put(48000, 32).Put(1509000, 32).Put(1509000, 32).Put(24, 8);
  w.Put(0, 2)
      .Put(1, 5)
      .Put(1, 1)
      .Put(9, 6)
      .Put(2012, 14)
      .Put(0, 1)
      .Put(0, 3)
      .Put(0x000F, 16)
      .Put(0, 1)
      .Put(0, 1)
      .Put(0, 1)
      .Put(0, 5);
  Bytes b = w.Take();
  DtsSpecificBox box;
  ASSERT_TRUE(ParseDdts(b.data(), b.size(), box));
  EXPECT_EQ(box.samplingFrequency, 48000u);
  EXPECT_EQ(box.sampleDepth, 24);
  EXPECT_TRUE(box.coreLfe);
  EXPECT_EQ(box.coreSize, 2012);
  EXPECT_EQ(box.channels, 6);
  EXPECT_FALSE(ParseDdts(b.data(), 19, box));
}

}  // namespace
}  // namespace probex
