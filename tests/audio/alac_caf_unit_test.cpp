#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "audio/alac.h"
#include "audio/caf.h"
#include "fixture.h"
#include "probex_formats.h"

namespace probex {
namespace {

using test::Bytes;

Bytes Fixture(const std::string& name) { return test::ReadFile(test::FixturePath("codecs/" + name)); }

// ffprobe on the M4A: alac, 44100 Hz, 2 channels, 24 bits per sample.
TEST(AlacUnit, CookieForms) {
  Bytes box = Fixture("alac_24_stereo.alac");  // version/flags + config
  ASSERT_EQ(box.size(), 28u);
  Bytes config(box.begin() + 4, box.end());
  Bytes atom = {0x00, 0x00, 0x00, 0x24, 'a', 'l', 'a', 'c', 0, 0, 0, 0};
  atom.insert(atom.end(), config.begin(), config.end());
  Bytes frma = {0x00, 0x00, 0x00, 0x0C, 'f', 'r', 'm', 'a', 'a', 'l', 'a', 'c'};
  frma.insert(frma.end(), atom.begin(), atom.end());
  Bytes badDepth = config;
  badDepth[5] = 17;
  Bytes noChannels = config;
  noChannels[9] = 0;
  struct Case {
    const char* name;
    Bytes bytes;
    bool ok;
  } cases[] = {
      {"MP4 box payload", box, true},
      {"bare config", config, true},
      {"alac atom", atom, true},
      {"frma, then alac atom", frma, true},
      {"cut", Bytes(config.begin(), config.end() - 1), false},
      {"17-bit samples", badDepth, false},
      {"no channels", noChannels, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AlacConfig alac;
    ASSERT_EQ(ParseAlacConfig(c.bytes.data(), c.bytes.size(), alac), c.ok);
    if (!c.ok) continue;
    EXPECT_EQ(alac.sampleRate, 44100u);
    EXPECT_EQ(alac.bitDepth, 24);
    EXPECT_EQ(alac.channels, 2);
    EXPECT_EQ(alac.frameLength, 4096u);
    EXPECT_EQ(AlacText(alac), "ALAC 44.10kHz 24bit 2ch 2116.80kbps");
  }
}

// ffprobe and MediaInfo: alac, 44100 Hz, 2 channels, 16 bit. Both give
// 0.372 s, four whole packets; the packet table says how many of those
// frames are valid.
TEST(CafUnit, EncoderFile) {
  Bytes file = Fixture("caf_alac_silence.caf");
  CafInfo info;
  ASSERT_TRUE(WalkCafChunks(file.data(), file.size(), file.size(), info));
  EXPECT_EQ(CafText(info), "CAF ALAC 44.10kHz 16bit 2ch");
  ASSERT_TRUE(info.packetTableSeen);
  EXPECT_EQ(info.packetTable.packets, 4);
  EXPECT_EQ(info.packetTable.validFrames + info.packetTable.primingFrames + info.packetTable.remainderFrames, 4 * 4096);
  EXPECT_NEAR(info.duration, static_cast<double>(info.packetTable.validFrames) / 44100, 1e-9);
  EXPECT_TRUE(info.alacSeen);
  std::vector<std::string> types;
  for (const CafChunk& chunk : info.chunks) types.push_back(chunk.type);
  EXPECT_EQ(types.front(), "desc");
  EXPECT_NE(std::find(types.begin(), types.end(), "data"), types.end());
  EXPECT_NE(std::find(types.begin(), types.end(), "pakt"), types.end());

  // The head alone: chunks listed, the packet table beyond it not decoded.
  Bytes head = Fixture("caf_alac_head.caf");
  CafInfo partial;
  ASSERT_TRUE(WalkCafChunks(head.data(), head.size(), 1 << 20, partial));
  EXPECT_FALSE(partial.packetTableSeen);
  EXPECT_EQ(partial.dataOffset, 0xBAu);
}

// PCM with a data chunk of unknown size (-1) running to the file end, a chunk
// larger than the file, and a file whose first chunk is not desc.
TEST(CafUnit, HandMadeFiles) {
  auto be = [](Bytes& b, uint64_t v, int n) {
    for (int i = n - 1; i >= 0; --i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  auto file = [&](const std::string& firstType, int64_t dataSize, size_t dataBytes) {
    Bytes b;
    b.reserve(128 + dataBytes);
    b.insert(b.end(), {'c', 'a', 'f', 'f', 0, 1, 0, 0});
    b.insert(b.end(), firstType.begin(), firstType.end());
    be(b, 32, 8);
    double rate = 48000;
    uint64_t bits;
    std::memcpy(&bits, &rate, 8);
    be(b, bits, 8);
    b.insert(b.end(), {'l', 'p', 'c', 'm'});
    be(b, 2, 4);  // little-endian flag
    be(b, 4, 4);
    be(b, 1, 4);
    be(b, 2, 4);
    be(b, 16, 4);
    b.insert(b.end(), {'d', 'a', 't', 'a'});
    be(b, static_cast<uint64_t>(dataSize), 8);
    b.resize(b.size() + dataBytes, 0);
    return b;
  };
  struct Case {
    const char* name;
    Bytes bytes;
    bool ok;
    double duration;
  } cases[] = {
      {"data to the end", file("desc", -1, 4 + 48000 * 4), true, 1.0},
      {"sized data", file("desc", 4 + 4800 * 4, 4 + 4800 * 4), true, 0.1},
      {"data larger than the file", file("desc", 1 << 30, 16), true, 0.0},
      {"no desc first", file("dezc", -1, 64), false, 0.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CafInfo info;
    ASSERT_EQ(WalkCafChunks(c.bytes.data(), c.bytes.size(), c.bytes.size(), info), c.ok);
    if (!c.ok) continue;
    EXPECT_NEAR(info.duration, c.duration, 1e-9);
    EXPECT_EQ(CafText(info), "CAF PCM 48.00kHz 16bit 2ch");
  }
  Bytes bad = {'c', 'a', 'f', 'f', 0, 2, 0, 0};
  CafInfo info;
  EXPECT_FALSE(WalkCafChunks(bad.data(), bad.size(), bad.size(), info));
}

// Whole files: ffprobe gives alac 44100 Hz stereo s16p, 1.021 s (the packet
// table sits after the audio data), and pcm_s16be 22050 Hz mono, 1.000 s.
TEST(CafFiles, DescribedFromDescAndPacketTable) {
  test::UseShippedTemplates();
  struct Case {
    const char* file;
    const char* line;
    double duration;
  } cases[] = {
      {"audio/caf_alac.caf", "ALAC 44.10kHz 16bit 2ch 493.45kbps", 45056.0 / 44100},
      {"audio/caf_pcm.caf", "PCM 22.05kHz 16bit 1ch 352.80kbps", 1.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    MediaInfo info = test::AnalyzeFile(test::FixturePath(c.file));
    EXPECT_EQ(info.formatId, format::kCaf);
    EXPECT_STREQ(info.formatName, "CAF");
    ASSERT_EQ(info.audioCount, 1);
    EXPECT_STREQ(info.audioText[0], c.line);
    EXPECT_NEAR(info.duration, c.duration, 1e-6);
  }
  Bytes noDesc = {'c', 'a', 'f', 'f', 0, 1, 0, 0, 'f', 'r', 'e', 'e', 0, 0, 0, 0, 0, 0, 0, 0};
  noDesc.resize(1024);
  test::TempFile file("nodesc.caf", noDesc);
  EXPECT_EQ(test::Utf8(test::AnalyzeFile(file.Path()).errorText), "[CAF] descチャンクが見つかりません");
}

}  // namespace
}  // namespace probex
