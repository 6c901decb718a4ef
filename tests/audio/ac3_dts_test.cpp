#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "dispatch.h"
#include "audio/ac3.h"
#include "audio/dts.h"
#include "fixture.h"
#include "probex_formats.h"
#include "stream_test_support.h"

namespace probex {
namespace {

using test::Append;
using test::BitWriter;
using test::Bytes;
using test::TempFile;
using test::Utf8;

class Ac3Test : public ::testing::Test {
 protected:
  void SetUp() override { test::UseStreamTemplates(); }
};

struct Ac3Fields {
  uint32_t fscod = 0;
  uint32_t frmsizecod = 28;  // 384 kbit/s
  uint32_t bsid = 8;
  uint32_t bsmod = 0;
  uint32_t acmod = 2;
  uint32_t dsurmod = 0;
  bool lfe = false;
};

Bytes Ac3Header(const Ac3Fields& f) {
  BitWriter w;
  w.Put(0x0B77, 16).Put(0, 16).Put(f.fscod, 2).Put(f.frmsizecod, 6).Put(f.bsid, 5).Put(f.bsmod, 3).Put(f.acmod, 3);
  if ((f.acmod & 1) && f.acmod != 1) w.Put(0, 2);
  if (f.acmod & 4) w.Put(0, 2);
  if (f.acmod == 2) w.Put(f.dsurmod, 2);
  w.Put(f.lfe, 1);
  return w.Padded(16);
}

TEST_F(Ac3Test, SyncInfoFields) {
  struct Case {
    const char* name;
    Ac3Fields f;
    uint32_t sampleRate, bitrate;
    double channels;
    const char* config;
    const char* order;
    const char* service;
  } cases[] = {
      {"stereo 48k", {0, 28, 8, 0, 2, 0, false}, 48000, 384000, 2.0, "2/0", "L+R", "CM"},
      {"Dolby Surround with LFE", {1, 0, 8, 1, 2, 2, true}, 44100, 32000, 2.1, "2/0", "L+R+LFE:Dolby Surround", "ME"},
      {"5.1", {2, 37, 6, 2, 7, 0, true}, 32000, 640000, 5.1, "3/2", "L+C+R+SL+SR+LFE", "VI"},
      {"dual mono", {0, 10, 8, 3, 0, 0, false}, 48000, 80000, 2.0, "1+1", "Ch1+Ch2", "HI"},
      {"voice over", {0, 10, 8, 7, 1, 0, false}, 48000, 80000, 1.0, "1/0", "C", "VO"},
      {"karaoke", {0, 10, 8, 7, 3, 0, false}, 48000, 80000, 3.0, "3/0", "L+C+R", "Karaoke"},
      {"2/1", {0, 10, 8, 4, 4, 0, false}, 48000, 80000, 3.0, "2/1", "L+R+S", "D"},
      {"3/1", {0, 10, 8, 5, 5, 0, false}, 48000, 80000, 4.0, "3/1", "L+C+R+S", "C"},
      {"2/2", {0, 10, 8, 6, 6, 0, false}, 48000, 80000, 4.0, "2/2", "L+R+SL+SR", "E"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes b = Ac3Header(c.f);
    Ac3Info info{};
    ASSERT_TRUE(ParseAc3SyncInfo(info, b.data(), 7));
    EXPECT_FALSE(info.isEac3);
    EXPECT_EQ(info.sampleRate, c.sampleRate);
    EXPECT_EQ(info.bitrate, c.bitrate);
    EXPECT_DOUBLE_EQ(info.channels, c.channels);
    EXPECT_STREQ(info.channelConfig, c.config);
    EXPECT_STREQ(info.channelOrder, c.order);
    EXPECT_STREQ(info.serviceType, c.service);
  }
}

TEST_F(Ac3Test, SyncInfoFailures) {
  struct Case {
    const char* name;
    Bytes bytes;
    size_t length;
    const char* error;
  } cases[] = {
      {"fscod 3", Ac3Header({3, 28, 8, 0, 2, 0, false}), 7, "[AC3] Unknown fscod(3)"},
      {"frmsizecod 38", Ac3Header({0, 38, 8, 0, 2, 0, false}), 7, "[AC3] Unknown frmsizecod(38)"},
      {"bsid 17", Ac3Header({0, 28, 17, 0, 2, 0, false}), 7, "[AC3] Unknown bsid(17)"},
      {"six bytes", Ac3Header({}), 6, ""},
      {"no sync word", Bytes(16, 0), 16, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Ac3Info info{};
    info.computeDuration = true;
    info.streamSize = 1000;
    EXPECT_FALSE(ParseAc3SyncInfo(info, c.bytes.data(), c.length));
    EXPECT_STREQ(info.error, c.error);
    EXPECT_EQ(info.duration, 0.0);
  }
}

TEST_F(Ac3Test, FindSyncLeavesRoomForTheHeader) {
  Bytes b(20, 0);
  b[13] = 0x0B, b[14] = 0x77;
  EXPECT_EQ(FindAc3Sync(b.data(), b.size(), 0), 13);
  EXPECT_EQ(FindAc3Sync(b.data(), 20, 14), -1);
  EXPECT_EQ(FindAc3Sync(b.data(), 19, 0), -1);  // six bytes after the sync word's start
  EXPECT_EQ(FindAc3Sync(b.data(), b.size(), SIZE_MAX - 3), -1);
}

TEST_F(Ac3Test, DurationFromStreamSize) {
  // 6,000,000 bytes at 384 kbit/s: 125 s.
  Bytes file = Ac3Header({});
  file.resize(6000000, 0);
  TempFile f("long.ac3", file);
  MediaInfo info = test::AnalyzeFile(f.Path());
  EXPECT_EQ(info.formatId, format::kAc3);
  ASSERT_STREQ(info.errorText, "");
  EXPECT_DOUBLE_EQ(info.duration, 125.0);
  ASSERT_EQ(info.audioCount, 1);
  EXPECT_STREQ(info.audioText[0], "Dolby AC-3 48.00kHz 48000 2.0 2/0 L+R CM 384.00k 384000.00");

  // 100 bytes before the first frame are left out of the stream.
  Bytes prefixed(100, 0x42);
  Append(prefixed, Ac3Header({}));
  prefixed.resize(48100, 0);
  TempFile g("prefixed.ac3", prefixed);
  MediaInfo other = test::AnalyzeFile(g.Path());
  ASSERT_STREQ(other.errorText, "");
  EXPECT_DOUBLE_EQ(other.duration, 1.0);
}

TEST_F(Ac3Test, AnalyzerFailures) {
  Bytes late(2048, 0);
  late[2042] = 0x0B, late[2043] = 0x77;  // six bytes from the end of the window
  Bytes reserved = Ac3Header({3, 28, 8, 0, 2, 0, false});
  reserved.resize(500, 0);
  struct Case {
    const char* name;
    Bytes file;
    const char* message;
  } cases[] = {
      {"no sync word", Bytes(3000, 0x11), "[AC3] SyncInfoが見つかりません"},
      {"sync word too near the end", late, "[AC3] SyncInfoが見つかりません"},
      {"reserved fscod", reserved, "[AC3] Unknown fscod(3)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempFile f("bad.ac3", c.file);
    MediaInfo info = test::AnalyzeFile(f.Path());
    EXPECT_EQ(info.formatId, format::kAc3);
    EXPECT_EQ(Utf8(info.errorText), c.message);
    EXPECT_EQ(info.audioCount, 0);
  }
}

struct Eac3Fields {
  uint32_t strmtyp = 0;
  uint32_t substream = 0;
  uint32_t frameBytes = 768;
  uint32_t fscod = 0;
  uint32_t numblkscod = 3;  // fscod2 when fscod is 3
  uint32_t acmod = 2;
  bool lfe = false;
  uint32_t bsid = 16;
  bool mixing = false;   // full mixing metadata, as an encoder may write it
  int bsmod = -1;        // informational metadata when 0..7
  uint32_t dsurmod = 0;
};

Bytes Eac3Frame(const Eac3Fields& f) {
  static constexpr uint32_t kBlocks[4] = {1, 2, 3, 6};
  uint32_t blocks = f.fscod == 3 ? 6 : kBlocks[f.numblkscod];
  BitWriter w;
  w.Put(0x0B77, 16).Put(f.strmtyp, 2).Put(f.substream, 3).Put(f.frameBytes / 2 - 1, 11).Put(f.fscod, 2);
  w.Put(f.numblkscod, 2).Put(f.acmod, 3).Put(f.lfe, 1).Put(f.bsid, 5);
  w.Put(31, 5).Put(1, 1).Put(0xAA, 8);  // dialnorm, compr
  if (f.acmod == 0) w.Put(31, 5).Put(0, 1);
  if (f.strmtyp == 1) w.Put(1, 1).Put(0xFFFF, 16);
  w.Put(f.mixing, 1);
  if (f.mixing) {
    if (f.acmod > 2) w.Put(1, 2);
    if ((f.acmod & 1) && f.acmod > 2) w.Put(0x3F, 6);
    if (f.acmod & 4) w.Put(0x3F, 6);
    if (f.lfe) w.Put(1, 1).Put(0x1F, 5);
    if (f.strmtyp == 0) {
      w.Put(1, 1).Put(0x3F, 6);  // program scale
      if (f.acmod == 0) w.Put(0, 1);
      w.Put(0, 1);                                  // external program scale
      w.Put(3, 2).Put(1, 5).Put(0xFFFFFF, 24);      // mixing data of (1 + 2) bytes
      if (f.acmod < 2) {
        w.Put(0, 1);
        if (f.acmod == 0) w.Put(0, 1);
      }
      w.Put(1, 1);
      if (f.fscod != 3 && f.numblkscod == 0) {
        w.Put(0x1F, 5);
      } else {
        for (uint32_t k = 0; k < blocks; ++k) w.Put(1, 1).Put(0x1F, 5);
      }
    }
  }
  w.Put(f.bsmod >= 0, 1);
  if (f.bsmod >= 0) {
    w.Put(static_cast<uint32_t>(f.bsmod), 3).Put(0, 2);
    if (f.acmod == 2) w.Put(f.dsurmod, 2).Put(0, 2);
  }
  return w.Padded(f.frameBytes);
}

TEST_F(Ac3Test, Eac3FromItsOwnHeader) {
  struct Case {
    const char* name;
    Eac3Fields f;
    uint32_t sampleRate, bitrate;
    double channels;
    const char* order;
    const char* service;
  } cases[] = {
      {"stereo", {}, 48000, 192000, 2.0, "L+R", "CM"},
      {"one block per frame", {0, 0, 128, 0, 0, 2, false, 16, false, -1, 0}, 48000, 192000, 2.0, "L+R", "CM"},
      {"half rate", {0, 0, 384, 3, 1, 1, false, 16, false, -1, 0}, 22050, 44100, 1.0, "C", "CM"},
      {"5.1 behind mixing metadata", {0, 0, 1024, 0, 3, 7, true, 16, true, 2, 0}, 48000, 256000, 5.1,
       "L+C+R+SL+SR+LFE", "VI"},
      {"mono, mixing metadata and two blocks", {0, 0, 512, 1, 1, 1, false, 16, true, 3, 0}, 44100, 352800, 1.0, "C",
       "HI"},
      {"Dolby Surround", {0, 0, 768, 0, 3, 2, false, 16, false, 0, 2}, 48000, 192000, 2.0, "L+R:Dolby Surround",
       "CM"},
      {"bsid 11", {0, 0, 768, 2, 3, 6, true, 11, false, 4, 0}, 32000, 128000, 4.1, "L+R+SL+SR+LFE", "D"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes b = Eac3Frame(c.f);
    Ac3Info info{};
    info.computeDuration = true;
    info.streamSize = 1000000;
    ASSERT_TRUE(ParseAc3SyncInfo(info, b.data(), b.size()));
    EXPECT_TRUE(info.isEac3);
    EXPECT_EQ(info.sampleRate, c.sampleRate);
    EXPECT_EQ(info.bitrate, c.bitrate);
    EXPECT_DOUBLE_EQ(info.channels, c.channels);
    EXPECT_STREQ(info.channelOrder, c.order);
    EXPECT_STREQ(info.serviceType, c.service);
    EXPECT_DOUBLE_EQ(info.duration, 8000000.0 / c.bitrate);
  }
}

TEST_F(Ac3Test, Eac3DependentSubstreamsCountTowardsTheRate) {
  // A 5.1 frame with a dependent substream (as 7.1 streams carry) and the next access unit.
  Bytes file = Eac3Frame({0, 0, 1024, 0, 3, 7, true, 16, false, -1, 0});
  Append(file, Eac3Frame({1, 0, 512, 0, 3, 2, false, 16, false, -1, 0}));
  Append(file, Eac3Frame({0, 0, 1024, 0, 3, 7, true, 16, false, -1, 0}));
  file.resize(1536 * 10, 0);
  TempFile f("dependent.eac3", file);
  MediaInfo info = test::AnalyzeFile(f.Path());
  EXPECT_EQ(info.formatId, format::kAc3);
  ASSERT_STREQ(info.errorText, "");
  EXPECT_STREQ(info.audioText[0], "Dolby Digital Plus 48.00kHz 48000 5.1 3/2 L+C+R+SL+SR+LFE CM 384.00k 384000.00");
  EXPECT_DOUBLE_EQ(info.duration, 1536 * 10 * 8 / 384000.0);
}

TEST_F(Ac3Test, Eac3LargeFramesAreReadWhole) {
  // The dependent substream starts beyond the 2048 bytes searched for the sync word.
  Bytes file = Eac3Frame({0, 0, 4096, 0, 3, 7, true, 16, false, -1, 0});
  Append(file, Eac3Frame({1, 0, 2048, 0, 3, 2, false, 16, false, -1, 0}));
  Append(file, Eac3Frame({0, 0, 4096, 0, 3, 7, true, 16, false, -1, 0}));
  file.resize(6144 * 4, 0);
  TempFile f("large.eac3", file);
  MediaInfo info = test::AnalyzeFile(f.Path());
  ASSERT_STREQ(info.errorText, "");
  EXPECT_NE(std::string(info.audioText[0]).find(" 1536.00k 1536000.00"), std::string::npos) << info.audioText[0];
  EXPECT_DOUBLE_EQ(info.duration, 6144 * 4 * 8 / 1536000.0);
}

TEST_F(Ac3Test, Eac3ReservedRate) {
  Bytes b = Eac3Frame({0, 0, 768, 3, 3, 2, false, 16, false, -1, 0});
  Ac3Info info{};
  EXPECT_FALSE(ParseAc3SyncInfo(info, b.data(), b.size()));
  EXPECT_STREQ(info.error, "[AC3] Unknown fscod2(3)");
}

TEST_F(Ac3Test, EncoderFiles) {
  struct Case {
    const char* file;
    const char* line;
  } cases[] = {
      {"ac3_stereo_192k.ac3", "Dolby AC-3 48.00kHz 48000 2.0 2/0 L+R CM 192.00k 192000.00"},
      {"ac3_stereo_44k_96k.ac3", "Dolby AC-3 44.10kHz 44100 2.0 2/0 L+R CM 96.00k 96000.00"},
      {"ac3_51_384k.ac3", "Dolby AC-3 48.00kHz 48000 5.1 3/2 L+C+R+SL+SR+LFE CM 384.00k 384000.00"},
      {"ac3_51_640k.ac3", "Dolby AC-3 48.00kHz 48000 5.1 3/2 L+C+R+SL+SR+LFE CM 640.00k 640000.00"},
      {"eac3_stereo_96k.eac3", "Dolby Digital Plus 48.00kHz 48000 2.0 2/0 L+R CM 96.00k 96000.00"},
      {"eac3_51_256k.eac3", "Dolby Digital Plus 48.00kHz 48000 5.1 3/2 L+C+R+SL+SR+LFE CM 256.00k 256000.00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    std::string path = test::FixturePath(std::string("audio/") + c.file);
    MediaInfo info = test::AnalyzeFile(path);
    EXPECT_EQ(info.formatId, format::kAc3);
    ASSERT_STREQ(info.errorText, "");
    ASSERT_EQ(info.audioCount, 1);
    EXPECT_STREQ(info.audioText[0], c.line);
    double bitrate = std::atof(std::strrchr(c.line, ' ') + 1);
    EXPECT_NEAR(info.duration, test::ReadFile(path).size() * 8 / bitrate, 1e-9);
  }
}

struct DtsFields {
  uint32_t arrangement = 9;
  uint32_t frequency = 13;  // 48 kHz
  uint32_t rate = 15;       // 768 kbit/s
  uint32_t extensionId = 0;
  bool extension = false;
  uint32_t lfe = 1;
  bool crc = false;
  uint32_t resolution = 0;
  uint32_t blocks = 15;       // 16 blocks of 32 samples
  uint32_t frameSize = 1005;  // 1,006 bytes
};

// A core header in 16-bit big-endian words.
Bytes DtsHeader(const DtsFields& f) {
  BitWriter w;
  w.Put(0x7FFE8001, 32).Put(1, 1).Put(31, 5).Put(f.crc, 1).Put(f.blocks, 7).Put(f.frameSize, 14).Put(f.arrangement, 6);
  w.Put(f.frequency, 4).Put(f.rate, 5).Put(0, 5).Put(f.extensionId, 3).Put(f.extension, 1).Put(0, 1);
  w.Put(f.lfe, 2).Put(0, 1);
  if (f.crc) w.Put(0xFFFF, 16);
  w.Put(0, 1).Put(7, 4).Put(0, 2).Put(f.resolution, 3);
  return w.Padded(16);
}

// The same bits in the other packings: 16-bit little-endian words, or 14 bits
// per 16-bit word (sign-extended) in either byte order.
Bytes Repack(const Bytes& be, const std::string& packing) {
  Bytes out;
  if (packing == "16BitBE") return be;
  if (packing == "16BitLE") {
    for (size_t i = 0; i + 1 < be.size(); i += 2) out.push_back(be[i + 1]), out.push_back(be[i]);
    return out;
  }
  size_t bits = be.size() * 8;
  for (size_t at = 0; at < bits; at += 14) {
    uint32_t word = 0;
    for (size_t k = 0; k < 14; ++k) {
      size_t bit = at + k;
      word = word << 1 | (bit < bits ? (be[bit / 8] >> (7 - bit % 8)) & 1 : 0);
    }
    if (word & 0x2000) word |= 0xC000;
    if (packing == "14BitBE") {
      out.push_back(word >> 8), out.push_back(word & 0xFF);
    } else {
      out.push_back(word & 0xFF), out.push_back(word >> 8);
    }
  }
  return out;
}

class DtsTest : public ::testing::Test {
 protected:
  void SetUp() override { test::UseStreamTemplates(); }
};

const char* const kPackings[] = {"16BitBE", "16BitLE", "14BitBE", "14BitLE"};

TEST_F(DtsTest, HeaderFieldsInEveryPacking) {
  struct Case {
    const char* name;
    DtsFields f;
    const char* line;  // AUDIO1/AUDIO2 with %s for the packing
  } cases[] = {
      {"5.1", {}, "DTS %s 48.00kHz 48000 16bit 5.1 C+L+R+SL+SR+LFE 768.00k 768000.00"},
      {"ES with XCh", {9, 13, 24, 0, true, 1, false, 1},
       "DTS-ES %s 48.00kHz 48000 16bit 5.1 C+L+R+SL+SR+LFE:XCh 1536.00k 1536000.00"},
      {"X96 doubles the rate", {2, 13, 22, 2, true, 0, false, 6},
       "DTS %s 96.00kHz 96000 24bit 2.0 L+R 1411.20k 1411200.00"},
      {"extension id without extension audio", {2, 8, 22, 3, false, 0, false, 2},
       "DTS %s 44.10kHz 44100 20bit 2.0 L+R 1411.20k 1411200.00"},
      {"both extensions", {14, 13, 28, 3, true, 2, false, 5},
       "DTS-ES %s 96.00kHz 96000 24bit 8.1 CL+CR+L+R+SL1+SL2+SR1+SR2+LFE:XCh 3840.00k 3840000.00"},
      {"header CRC before the resolution", {0, 1, 0, 1, false, 0, true, 3},
       "DTS-ES %s 8.00kHz 8000 20bit 1.0 A 32.00k 32000.00"},
      {"user defined", {16, 12, 7, 1, false, 3, false, 0}, "DTS %s 24.00kHz 24000 16bit 0.0 User defined 224.00k 224000.00"},
      {"lossless", {9, 13, 31, 0, false, 1, false, 6}, "DTS %s 48000 24bit 5.1 C+L+R+SL+SR+LFE LossLess LossLess (special)"},
      {"open", {2, 13, 29, 1, false, 0, false, 0}, "DTS %s 48000 16bit 2.0 L+R Open Open (special)"},
      {"variable", {2, 13, 30, 1, false, 0, false, 0}, "DTS %s 48000 16bit 2.0 L+R VBR VBR (special)"},
  };
  for (const auto& c : cases) {
    for (const char* packing : kPackings) {
      SCOPED_TRACE(std::string(c.name) + " " + packing);
      Bytes b = Repack(DtsHeader(c.f), packing);
      DtsInfo info{};
      ASSERT_TRUE(ParseDtsHeader(info, b.data(), b.size())) << info.error;
      EXPECT_STREQ(info.packing, packing);
      char expected[200];
      std::snprintf(expected, sizeof expected, c.line, packing);
      char line[512];
      DescribeDts(line, sizeof line, info);
      EXPECT_STREQ(line, expected);
    }
  }
}

TEST_F(DtsTest, HeaderFailures) {
  struct Case {
    const char* name;
    Bytes bytes;
    const char* error;
  } cases[] = {
      {"arrangement 17", DtsHeader({17, 13, 15, 0, false, 0, false, 0}), "[DTS] 不明なChannel arrangement(17)"},
      {"frequency 0", DtsHeader({2, 0, 15, 0, false, 0, false, 0}), "[DTS] 不明なCore Audio Sampling Frequency(0)"},
      {"frequency 4", DtsHeader({2, 4, 15, 0, false, 0, false, 0}), "[DTS] 不明なCore Audio Sampling Frequency(4)"},
      {"resolution 4", DtsHeader({2, 13, 15, 0, false, 0, false, 4}), "[DTS] 不明なSource PCM Resolution(4)"},
      {"resolution 7", DtsHeader({2, 13, 15, 0, false, 0, false, 7}), "[DTS] 不明なSource PCM Resolution(7)"},
      {"no sync", Bytes(20, 0x7F), "[DTS] 不明なエンディアン形式又はDTSではありません"},
      {"14-bit sync with a wrong fifth byte", {0x1F, 0xFF, 0xE8, 0x00, 0x08, 0xF0, 0, 0},
       "[DTS] 不明なエンディアン形式又はDTSではありません"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    DtsInfo info{};
    EXPECT_FALSE(ParseDtsHeader(info, c.bytes.data(), c.bytes.size()));
    EXPECT_EQ(Utf8(info.error), c.error);
  }
}

TEST_F(DtsTest, FindSync) {
  for (const char* packing : kPackings) {
    SCOPED_TRACE(packing);
    Bytes b(30, 0);
    Append(b, Repack(DtsHeader({}), packing));
    b.resize(60, 0);
    EXPECT_EQ(FindDtsSync(b.data(), b.size(), 0), 30);
    EXPECT_EQ(FindDtsSync(b.data(), 50, 0), -1);  // 21 bytes must follow
    EXPECT_EQ(FindDtsSync(b.data(), 51, 0), 30);
    EXPECT_EQ(FindDtsSync(b.data(), b.size(), SIZE_MAX - 10), -1);
  }
}

// Analyses a file as the DTS analyzer, whatever detection would make of it.
MediaInfo AnalyzeAsDts(const std::string& path) {
  MediaInfo info = test::MakeRecord(path);
  info.formatId = format::kDts16Be;
  Dispatch(info);
  return info;
}

// Frames of constant size: their count times the samples of each, in any
// packing (14-bit words spread 14 bits over 16). Only a frame size too small
// to be one falls back on the nominal rate.
TEST_F(DtsTest, DurationFromFrames) {
  struct Case {
    const char* name;
    DtsFields fields;
    const char* packing;
    size_t prefix;
    double seconds;
  } cases[] = {
      {"16-bit words", {}, "16BitBE", 0, 3000 * 512 / 48000.0},
      {"16-bit little-endian", {}, "16BitLE", 0, 3000 * 512 / 48000.0},
      {"14-bit words", {}, "14BitBE", 0, 3000 * 512 / 48000.0},
      {"14-bit little-endian, after 100 other bytes", {}, "14BitLE", 100, 3000 * 512 / 48000.0},
      {"256 samples a frame at 44.1 kHz", {9, 8, 15, 0, false, 1, false, 0, 7}, "16BitBE", 0, 3000 * 256 / 44100.0},
      {"1536 kbit/s stays frames x samples", {9, 13, 24}, "16BitBE", 0, 3000 * 512 / 48000.0},
      {"lossless rate", {9, 13, 31}, "16BitBE", 0, 3000 * 512 / 48000.0},
      // No frame size: the nominal rate (768 kbit/s carries 754.5).
      {"frame size too small", {9, 13, 15, 0, false, 1, false, 0, 15, 10}, "16BitBE", 0, 3000 * 1006 * 8 / 754500.0},
      {"neither", {9, 13, 31, 0, false, 1, false, 0, 15, 10}, "16BitBE", 0, 0.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes frame = DtsHeader(c.fields);
    frame.resize(1006, 0);
    Bytes packed = Repack(frame, c.packing);
    Bytes file(c.prefix, 0x33);
    for (int i = 0; i < 3000; ++i) Append(file, packed);
    TempFile f("stream.dts", file);
    MediaInfo info = AnalyzeAsDts(f.Path());
    ASSERT_STREQ(info.errorText, "");
    ASSERT_EQ(info.audioCount, 1);
    EXPECT_NEAR(info.duration, c.seconds, 1e-6);
  }
}

TEST_F(DtsTest, AnalyzerFailures) {
  TempFile none("none.dts", Bytes(4000, 0x11));
  MediaInfo info = AnalyzeAsDts(none.Path());
  EXPECT_EQ(Utf8(info.errorText), "[DTS] SYNCが見つかりません");
  Bytes bad = DtsHeader({9, 0, 15, 0, false, 1, false, 0});
  bad.resize(3000, 0);
  TempFile wrong("wrong.dts", bad);
  MediaInfo other = test::AnalyzeFile(wrong.Path());
  EXPECT_EQ(other.formatId, format::kDts16Be);
  EXPECT_EQ(Utf8(other.errorText), "[DTS] 不明なCore Audio Sampling Frequency(0)");
  EXPECT_EQ(other.audioCount, 0);
}

TEST_F(DtsTest, EncoderFilesInAllFourPackings) {
  struct Case {
    const char* file;
    int32_t formatId;
    const char* packing;
  } cases[] = {
      {"dts_16be.dts", format::kDts16Be, "16BitBE"},
      {"dts_16le.dts", format::kDts16Le, "16BitLE"},
      {"dts_14be.dts", format::kDts14Be, "14BitBE"},
      {"dts_14le.dts", format::kDts14Le, "14BitLE"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    std::string path = test::FixturePath(std::string("audio/") + c.file);
    MediaInfo info = test::AnalyzeFile(path);
    EXPECT_EQ(info.formatId, c.formatId);
    ASSERT_STREQ(info.errorText, "");
    ASSERT_EQ(info.audioCount, 1);
    char expected[200];
    std::snprintf(expected, sizeof expected, "DTS %s 48.00kHz 48000 16bit 5.1 C+L+R+SL+SR+LFE 768.00k 768000.00",
                  c.packing);
    EXPECT_STREQ(info.audioText[0], expected);
    // 47 frames of 512 samples, whatever the packing (ffprobe reads the
    // 14-bit files 14 % long).
    EXPECT_NEAR(info.duration, 47 * 512 / 48000.0, 1e-9);
  }
}

}  // namespace
}  // namespace probex
