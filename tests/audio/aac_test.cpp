#include "audio/aac.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "file_reader.h"
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

struct Adts {
  uint32_t profile = 1;  // LC
  uint32_t sfIndex = 4;  // 44100
  uint32_t channels = 2;
  uint32_t length = 200;
  bool crc = false;
  uint32_t layer = 0;
};

// One ADTS frame: the header and zeros up to its length (at least the header).
Bytes AdtsFrame(const Adts& a) {
  BitWriter w;
  w.Put(0xFFF, 12).Put(0, 1).Put(a.layer, 2).Put(a.crc ? 0 : 1, 1).Put(a.profile, 2).Put(a.sfIndex, 4);
  w.Put(0, 1).Put(a.channels, 3).Put(0, 4).Put(a.length, 13).Put(0x7FF, 11).Put(0, 2);
  return w.Padded(a.length < 7 ? 7 : a.length);
}

Bytes AdtsStream(const Adts& a, int frames) {
  Bytes out;
  Bytes frame = AdtsFrame(a);
  for (int i = 0; i < frames; ++i) Append(out, frame);
  return out;
}

class AacTest : public ::testing::Test {
 protected:
  void SetUp() override { test::UseStreamTemplates(); }
};

TEST_F(AacTest, ChannelConfigurations) {
  struct Case {
    uint32_t config;
    double channels;
    const char* text;
    const char* order;
  } cases[] = {
      {0, 0.0, "0/0", "CUSTOM"},
      {1, 1.0, "1/0", "C"},
      {2, 2.0, "2/0", "L+R"},
      {3, 3.0, "3/0", "C+L+R"},
      {4, 4.0, "3/1", "C+L+R+BC"},
      {5, 5.0, "3/2", "C+L+R+BL+BR"},
      {6, 5.1, "3/2", "C+L+R+BL+BR+LFE"},
      {7, 7.1, "3/4", "C+L+R+SL+SR+BL+BR+LFE"},
      {9, 65535.0, "0/0", "UnknownChannel(9)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.config);
    AacInfo info{};
    AacChannelConfigText(c.config, info);
    EXPECT_EQ(info.channels, c.channels);
    EXPECT_STREQ(info.channelConfig, c.text);
    EXPECT_STREQ(info.channelOrder, c.order);
  }
}

TEST_F(AacTest, RateAndProfileTables) {
  EXPECT_EQ(AacSampleRateFromIndex(0), 96000u);
  EXPECT_EQ(AacSampleRateFromIndex(4), 44100u);
  EXPECT_EQ(AacSampleRateFromIndex(12), 7350u);
  EXPECT_EQ(AacSampleRateFromIndex(13), 0u);
  EXPECT_EQ(AacSampleRateFromIndex(15), 0u);
  struct Case {
    uint32_t type;
    const char* name;
  } cases[] = {{1, "Main"},          {2, "LC"},          {5, "HE"},           {10, "Reserved-0x0A"},
               {13, "Main synthetic"}, {23, "LD:ER"},    {25, "HXVC:ER"},     {31, "Reserved-0x1F"},
               {0, "UnknownProfile(0)"}, {42, "UnknownProfile(42)"}};
  for (const auto& c : cases) {
    char name[32];
    AacProfileName(name, sizeof name, c.type);
    EXPECT_STREQ(name, c.name) << c.type;
  }
}

TEST_F(AacTest, AudioSpecificConfig) {
  struct Case {
    const char* name;
    Bytes bytes;
    const char* profile;
    uint32_t sampleRate;
    double channels;
    bool sbr, ps;
  } cases[] = {
      {"LC 44.1 kHz stereo", {0x12, 0x10}, "LC", 44100, 2.0, false, false},
      {"explicit SBR", {0x2B, 0x92, 0x08, 0x00}, "LC(SBR)", 44100, 2.0, true, false},
      {"explicit PS", BitWriter().Put(29, 5).Put(6, 4).Put(1, 4).Put(3, 4).Put(2, 5).Put(0, 3).Take(), "LC(SBR+PS)",
       48000, 2.0, true, true},
      {"backward-compatible SBR",
       BitWriter().Put(2, 5).Put(7, 4).Put(2, 4).Put(0, 3).Put(0x2B7, 11).Put(5, 5).Put(1, 1).Put(4, 4).Take(),
       "HE(SBR)", 44100, 2.0, true, false},
      {"backward-compatible PS",
       BitWriter()
           .Put(2, 5).Put(6, 4).Put(1, 4).Put(0, 3).Put(0x2B7, 11).Put(5, 5).Put(1, 1).Put(3, 4)
           .Put(0x548, 11).Put(1, 1).Take(),
       "HE(SBR+PS)", 48000, 2.0, true, true},
      {"extension without SBR",
       BitWriter().Put(2, 5).Put(4, 4).Put(2, 4).Put(0, 3).Put(0x2B7, 11).Put(5, 5).Put(0, 1).Take(), "HE(LC)",
       44100, 2.0, false, false},
      {"explicit rate", BitWriter().Put(2, 5).Put(15, 4).Put(44056, 24).Put(1, 4).Put(0, 3).Take(), "LC", 44056, 1.0,
       false, false},
      {"ER AAC LD", BitWriter().Put(23, 5).Put(3, 4).Put(6, 4).Put(0, 3).Put(0, 2).Take(), "LD:ER", 48000, 5.1, false,
       false},
      // One byte: the fields past it read as zero bits.
      {"cut after a byte", {0x12}, "LC", 44100, 0.0, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    AacInfo info{};
    ASSERT_TRUE(ParseAudioSpecificConfig(c.bytes.data(), c.bytes.size(), info));
    EXPECT_STREQ(info.profile, c.profile);
    EXPECT_EQ(info.sampleRate, c.sampleRate);
    EXPECT_EQ(info.channels, c.channels);
    EXPECT_EQ(info.hasSbr, c.sbr);
    EXPECT_EQ(info.hasPs, c.ps);
  }
  AacInfo none{};
  EXPECT_FALSE(ParseAudioSpecificConfig(nullptr, 0, none));
}

TEST_F(AacTest, AdtsWalkCountsEveryFrame) {
  Adts a;
  TempFile f("walk.aac", AdtsStream(a, 1000));
  MediaInfo info = test::AnalyzeFile(f.Path());
  EXPECT_EQ(info.formatId, format::kAac);
  ASSERT_STREQ(info.errorText, "");
  double duration = 1000 * 1024 / 44100.0;
  EXPECT_NEAR(info.duration, duration, 1e-9);
  char expected[200];
  double rate = 200000 * 8 / duration;
  std::snprintf(expected, sizeof expected, "ADTS LC 44.10kHz 44100 2.0 2/0 L+R %.2fk %.2f 1000f", rate * 0.001, rate);
  ASSERT_EQ(info.audioCount, 1);
  EXPECT_STREQ(info.audioText[0], expected);
}

TEST_F(AacTest, AdtsBetweenId3Tags) {
  Adts a;
  a.channels = 6;
  a.sfIndex = 3;
  Bytes file = {'I', 'D', '3', 4, 0, 0, 0, 0, 0, 90};  // 100 bytes in all
  file.resize(100, 0);
  Append(file, AdtsStream(a, 300));
  Bytes id3v1(128, 0);
  std::memcpy(id3v1.data(), "TAG", 3);
  Append(file, id3v1);
  TempFile f("tagged.aac", file);
  MediaInfo info = test::AnalyzeFile(f.Path());
  ASSERT_STREQ(info.errorText, "");
  EXPECT_EQ(info.fileSize, file.size() - 128);  // the shown size leaves out the ID3v1 tag
  EXPECT_NEAR(info.duration, 300 * 1024 / 48000.0, 1e-9);
  EXPECT_NE(std::string(info.audioText[0]).find("ADTS LC 48.00kHz 48000 5.1 3/2 C+L+R+BL+BR+LFE "), std::string::npos);
  EXPECT_NE(std::string(info.audioText[0]).find(" 300f"), std::string::npos);
}

TEST_F(AacTest, AdtsWalkFailures) {
  Adts good;
  Adts zero = good;
  zero.length = 0;
  Adts tiny = good;
  tiny.length = 6;
  Adts shortCrc = good;
  shortCrc.crc = true;
  shortCrc.length = 8;
  Bytes ape(64, 0);
  std::memcpy(ape.data(), "APETAGEX", 8);
  struct Case {
    const char* name;
    Bytes file;
    const char* message;
  } cases[] = {
      {"APE tag after the frames", [&] { Bytes b = AdtsStream(good, 1000); Append(b, ape); return b; }(),
       "[AAC-ADTS] SyncWordが切れています(1000f / 00030D40)"},
      {"frame length 0", [&] { Bytes b = AdtsStream(zero, 1); b.resize(400, 0); return b; }(),
       "[AAC-ADTS] SyncWordが切れています(0f / 00000000)"},
      {"frame length below the header", [&] { Bytes b = AdtsStream(good, 3); Append(b, AdtsStream(tiny, 1)); b.resize(1000, 0); return b; }(),
       "[AAC-ADTS] SyncWordが切れています(3f / 00000258)"},
      {"frame length below header and CRC", [&] { Bytes b = AdtsStream(shortCrc, 1); b.resize(400, 0); return b; }(),
       "[AAC-ADTS] SyncWordが切れています(0f / 00000000)"},
      {"raw AAC", Bytes(500, 0x21), "[AAC] RAW形式又は未対応形式のAACです"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempFile f("fail.aac", c.file);
    MediaInfo info = test::AnalyzeFile(f.Path());
    EXPECT_EQ(info.formatId, format::kAac);
    EXPECT_EQ(Utf8(info.errorText), c.message);
    EXPECT_EQ(info.audioCount, 0);
  }
}

TEST_F(AacTest, AdtsWithoutSampleRateKeepsDurationZero) {
  Adts a;
  a.sfIndex = 13;
  TempFile f("norate.aac", AdtsStream(a, 50));
  MediaInfo info = test::AnalyzeFile(f.Path());
  ASSERT_STREQ(info.errorText, "");
  EXPECT_EQ(info.duration, 0.0);
  EXPECT_STREQ(info.audioText[0], "ADTS LC 0.00kHz 0 2.0 2/0 L+R 0.00k 0.00 50f");
}

TEST_F(AacTest, AdtsReaderOperations) {
  Adts a;
  Bytes stream = AdtsStream(a, 20);
  Bytes file(33, 0);  // the walk starts where the reader stands
  Append(file, stream);
  TempFile f("reader.aac", file);
  FileReader reader;
  ASSERT_TRUE(reader.Open(test::ToUtf16(f.Path()).c_str()));

  reader.Seek(33, 0);
  AacInfo header{};
  ASSERT_TRUE(ParseAdtsHeader(header, reader));  // no walk
  EXPECT_EQ(reader.Tell(), 33u);
  EXPECT_EQ(header.frameCount, 0u);
  EXPECT_STREQ(header.profile, "LC");

  AacInfo walked{};
  walked.walkFrames = true;
  walked.streamSize = file.size();
  ASSERT_TRUE(ParseAdtsHeader(walked, reader));
  EXPECT_EQ(reader.Tell(), 33u);
  EXPECT_EQ(walked.frameCount, 20u);
  EXPECT_NEAR(walked.bitrate, 4000 * 8 / (20 * 1024 / 44100.0), 1e-6);

  a.layer = 2;
  TempFile layered("layer.aac", AdtsStream(a, 2));
  FileReader other;
  ASSERT_TRUE(other.Open(test::ToUtf16(layered.Path()).c_str()));
  AacInfo bad{};
  EXPECT_FALSE(ParseAdtsHeader(bad, other));
  EXPECT_EQ(Utf8(bad.error), "[AAC-ADTS] 0以外のLayer(2)");
  EXPECT_EQ(other.Tell(), 0u);
}

TEST_F(AacTest, AdtsBytesInMemory) {
  Adts a;
  a.sfIndex = 8;
  a.channels = 1;
  Bytes b(5, 0x55);
  Append(b, AdtsFrame(a));
  EXPECT_EQ(FindAdtsSync(b.data(), b.size(), 0), 5);
  EXPECT_EQ(FindAdtsSync(b.data(), 11, 0), -1);  // 7 bytes must follow
  EXPECT_EQ(FindAdtsSync(b.data(), b.size(), SIZE_MAX - 3), -1);
  EXPECT_EQ(AdtsFrameLength(b.data() + 5, 7), 200u);
  EXPECT_EQ(AdtsFrameLength(b.data(), 7), 0u);
  AacInfo info{};
  ASSERT_TRUE(ParseAdtsHeaderBytes(b.data() + 5, 7, info));
  EXPECT_EQ(info.sampleRate, 16000u);
  EXPECT_STREQ(info.channelOrder, "C");
  AacInfo cut{};
  EXPECT_FALSE(ParseAdtsHeaderBytes(b.data() + 5, 6, cut));
}

TEST_F(AacTest, AdtsConfigurationZeroTakesTheProgramConfig) {
  struct Case {
    const char* name;
    bool crc;
    int element;  // first raw data element: 5 is a program config element
    std::vector<int> front, back;  // 1 for a channel pair
    uint32_t lfe;
    const char* channels;
  } cases[] = {
      {"5.1", false, 5, {0, 1}, {1}, 1, "5.1 3/2 C+L+R+BL+BR+LFE"},
      {"stereo after a CRC", true, 5, {1}, {}, 0, "2.0 2/0 L+R"},
      {"no program config", false, 0, {1}, {}, 0, "0.0 0/0 CUSTOM"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    BitWriter w;
    w.Put(0xFFF, 12).Put(0, 1).Put(0, 2).Put(c.crc ? 0 : 1, 1).Put(1, 2).Put(3, 4).Put(0, 1).Put(0, 3);
    w.Put(0, 4).Put(300, 13).Put(0x7FF, 11).Put(0, 2);
    if (c.crc) w.Put(0xABCD, 16);
    w.Put(c.element, 3).Put(0, 4).Put(1, 2).Put(3, 4);
    w.Put(c.front.size(), 4).Put(0, 4).Put(c.back.size(), 4).Put(c.lfe, 2).Put(0, 3).Put(0, 4).Put(0, 3);
    for (int cpe : c.front) w.Put(cpe, 1).Put(0, 4);
    for (int cpe : c.back) w.Put(cpe, 1).Put(0, 4);
    for (uint32_t i = 0; i < c.lfe; ++i) w.Put(0, 4);
    Bytes frame = w.Padded(300);
    AacInfo bytes{};
    ASSERT_TRUE(ParseAdtsHeaderBytes(frame.data(), frame.size(), bytes));
    char text[64];
    std::snprintf(text, sizeof text, "%.1f %s %s", bytes.channels, bytes.channelConfig, bytes.channelOrder);
    EXPECT_STREQ(text, c.channels);

    Bytes file;
    for (int i = 0; i < 10; ++i) Append(file, frame);
    TempFile f("pce.aac", file);
    MediaInfo info = test::AnalyzeFile(f.Path());
    ASSERT_STREQ(info.errorText, "");
    EXPECT_NE(std::string(info.audioText[0]).find(std::string(" ") + c.channels + " "), std::string::npos)
        << info.audioText[0];
  }
}

TEST_F(AacTest, AdtsWalkLimitExtendsToTheWholeStream) {
  // The walk stops after a million frames and scales up to the stream's size.
  Adts a;
  a.length = 7;
  Bytes file = AdtsStream(a, 1001000);
  TempFile f("long.aac", file);
  MediaInfo info = test::AnalyzeFile(f.Path());
  ASSERT_STREQ(info.errorText, "");
  EXPECT_NEAR(info.duration, 1000000 * 1024 / 44100.0 * (7007000.0 / 7000000.0), 1e-6);
  EXPECT_NE(std::string(info.audioText[0]).find(" 1000000f"), std::string::npos);
}

struct Pce {
  std::vector<bool> front, side, back;  // is channel pair
  uint32_t lfe = 0;
};

Bytes Adif(uint32_t bitrate, const Pce& pce, bool copyright = false, bool variable = true) {
  BitWriter w;
  w.Put('A', 8).Put('D', 8).Put('I', 8).Put('F', 8);
  w.Put(copyright, 1);
  if (copyright) w.Put(0, 72);
  w.Put(0, 2).Put(variable, 1).Put(bitrate, 23).Put(0, 4);
  if (!variable) w.Put(0, 20);
  w.Put(0, 4).Put(1, 2).Put(3, 4);  // tag, LC, 48 kHz
  w.Put(pce.front.size(), 4).Put(pce.side.size(), 4).Put(pce.back.size(), 4).Put(pce.lfe, 2).Put(0, 3).Put(0, 4);
  w.Put(0, 1).Put(0, 1).Put(0, 1);
  for (const auto* group : {&pce.front, &pce.side, &pce.back})
    for (bool cpe : *group) w.Put(cpe, 1).Put(0, 4);
  for (uint32_t i = 0; i < pce.lfe; ++i) w.Put(0, 4);
  return w.Padded(2000);
}

TEST_F(AacTest, AdifChannelsCountEveryPair) {
  struct Case {
    const char* name;
    Pce pce;
    bool copyright, variable;
    const char* line;
  } cases[] = {
      {"mono", {{false}, {}, {}, 0}, false, true, "AAC LC 48.00kHz 48000 1.0 1/0 C 128.00k 128000.00"},
      {"stereo", {{true}, {}, {}, 0}, true, false, "AAC LC 48.00kHz 48000 2.0 2/0 L+R 128.00k 128000.00"},
      {"5.1, pair first in front", {{true, false}, {}, {true}, 1}, false, true,
       "AAC LC 48.00kHz 48000 5.1 3/2 C+L+R+BL+BR+LFE 128.00k 128000.00"},
      {"7.1", {{false, true, true}, {}, {true}, 1}, false, true,
       "AAC LC 48.00kHz 48000 7.1 3/4 C+L+R+SL+SR+BL+BR+LFE 128.00k 128000.00"},
      {"seven channels", {{false, true}, {true}, {false}, 1}, false, true,
       "AAC LC 48.00kHz 48000 7.0 0/0 UnknownChannel(7) 128.00k 128000.00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempFile f("adif.aac", Adif(128000, c.pce, c.copyright, c.variable));
    MediaInfo info = test::AnalyzeFile(f.Path());
    EXPECT_EQ(info.formatId, format::kAac);
    ASSERT_STREQ(info.errorText, "");
    ASSERT_EQ(info.audioCount, 1);
    EXPECT_STREQ(info.audioText[0], c.line);
    EXPECT_DOUBLE_EQ(info.duration, 2000 * 8 / 128000.0);
  }
  TempFile zero("adif0.aac", Adif(0, {{true}, {}, {}, 0}));
  MediaInfo info = test::AnalyzeFile(zero.Path());
  EXPECT_EQ(Utf8(info.errorText), "[AAC-ADIF] ビットレートが0です");
  EXPECT_EQ(info.duration, 0.0);
}

TEST_F(AacTest, EncoderFiles) {
  struct Case {
    const char* file;
    const char* line;
    double duration;
  } cases[] = {
      {"aac_lc_44k_128k.aac", "ADTS LC 44.10kHz 44100 2.0 2/0 L+R 127.97k 127974.22 45f", 45 * 1024 / 44100.0},
      {"aac_lc_48k_stereo.aac", "ADTS LC 48.00kHz 48000 2.0 2/0 L+R 98.34k 98340.00 25f", 25 * 1024 / 48000.0},
      {"aac_lc_22k_mono.aac", "ADTS LC 22.05kHz 22050 1.0 1/0 C 33.86k 33861.43 23f", 23 * 1024 / 22050.0},
      {"aac_lc_8k_mono.aac", "ADTS LC 8.00kHz 8000 1.0 1/0 C 17.41k 17409.72 9f", 9 * 1024 / 8000.0},
      {"aac_lc_48k_51.aac", "ADTS LC 48.00kHz 48000 5.1 3/2 C+L+R+BL+BR+LFE 184.28k 184275.00 25f",
       25 * 1024 / 48000.0},
      {"aac_id3v2_id3v1.aac", nullptr, 23 * 1024 / 22050.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    MediaInfo info = test::AnalyzeFile(test::FixturePath(std::string("audio/") + c.file));
    EXPECT_EQ(info.formatId, format::kAac);
    ASSERT_STREQ(info.errorText, "");
    ASSERT_EQ(info.audioCount, 1);
    if (c.line) {
      EXPECT_STREQ(info.audioText[0], c.line);
    }
    EXPECT_NEAR(info.duration, c.duration, 1e-9);
  }
}

TEST_F(AacTest, PublicAdtsFiles) {
  std::string file = test::PublicMedia("music-metadata/aac/adts-mpeg4.aac");
  if (file.empty()) GTEST_SKIP() << "public media absent";
  MediaInfo info = test::AnalyzeFile(file);
  ASSERT_STREQ(info.errorText, "");
  EXPECT_STREQ(info.audioText[0], "ADTS LC 16.00kHz 16000 1.0 1/0 C 20.39k 20393.43 251f");
  // The file is cut inside its last frame, which the size ratio scales in.
  EXPECT_NEAR(info.duration, 251 * 1024 / 16000.0, 0.01);
}

}  // namespace
}  // namespace probex
