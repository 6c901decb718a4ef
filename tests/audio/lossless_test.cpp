// Monkey's Audio, MusePack and TTA.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "audio_file_support.h"
#include "fixture.h"
#include "probex_formats.h"

namespace probex::test {
namespace {

class LosslessTest : public ::testing::Test {
 protected:
  void SetUp() override { UseAudioTestTemplates(); }

  static MediaInfo Analyze(const Bytes& content, const char* name) {
    TempFile file(name, content);
    return AnalyzeFile(file.Path());
  }
};

// Monkey's Audio 3.98 and later: descriptor, then the header at 52.
Bytes ApeNew(uint32_t level, uint32_t blocksPerFrame, uint32_t finalBlocks, uint32_t frames, uint32_t rate,
             uint32_t bits = 16, uint32_t channels = 2) {
  Bytes b;
  PutText(b, "MAC ");
  PutU16LE(b, 3990);
  PutU16LE(b, 0);
  PutU32LE(b, 52);
  PutU32LE(b, 24);
  PutZeros(b, 52 - b.size());
  PutU16LE(b, level);
  PutU16LE(b, 0);
  PutU32LE(b, blocksPerFrame);
  PutU32LE(b, finalBlocks);
  PutU32LE(b, frames);
  PutU16LE(b, bits);
  PutU16LE(b, channels);
  PutU32LE(b, rate);
  return b;
}

// Before 3.98: one header of 32 bytes.
Bytes ApeOld(uint32_t version, uint32_t level, uint32_t flags, uint32_t frames, uint32_t finalBlocks,
             uint32_t rate = 44100) {
  Bytes b;
  PutText(b, "MAC ");
  PutU16LE(b, version);
  PutU16LE(b, level);
  PutU16LE(b, flags);
  PutU16LE(b, 2);
  PutU32LE(b, rate);
  PutU32LE(b, 44);  // WAV header bytes
  PutU32LE(b, 0);
  PutU32LE(b, frames);
  PutU32LE(b, finalBlocks);
  return b;
}

Bytes WithPayload(Bytes b, size_t n) {
  PutZeros(b, n);
  return b;
}

TEST_F(LosslessTest, ApeLine) {
  MediaInfo info = Analyze(WithPayload(ApeNew(2000, 294912, 1000, 10, 44100), 10000), "a.ape");
  EXPECT_EQ(info.formatId, format::kMonkeysAudio);
  EXPECT_STREQ(info.errorText, "");
  ASSERT_EQ(info.audioCount, 1);
  EXPECT_STREQ(info.audioText[0], "APE 44.10kHz 44100 16bit 2ch Normal 1.34kbps 1338.81 10f");
  EXPECT_NEAR(info.duration, (9.0 * 294912 + 1000) / 44100, 1e-9);
  EXPECT_EQ(info.extraCount, 0);
}

TEST_F(LosslessTest, ApeBlocksPerFrameByVersionAndLevel) {
  struct Case {
    uint32_t version, level, blocksPerFrame;
  } cases[] = {
      {3990, 2000, 294912}, {3950, 2000, 294912}, {3930, 4000, 73728}, {3930, 3000, 73728},
      {3900, 1000, 73728},  {3810, 3000, 9216},   {3810, 4000, 73728}, {3790, 4000, 9216},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.version * 10000 + c.level);
    Bytes header = c.version >= 3980 ? ApeNew(c.level, c.blocksPerFrame, 0, 2, 44100) : ApeOld(c.version, c.level, 0, 2, 0);
    MediaInfo info = Analyze(WithPayload(header, 100), "a.ape");
    EXPECT_NEAR(info.duration, c.blocksPerFrame / 44100.0, 1e-9);
  }
}

TEST_F(LosslessTest, ApeHeaderFields) {
  struct Case {
    const char* name;
    Bytes header;
    const char* line;
  } cases[] = {
      {"8-bit flag", ApeOld(3970, 1000, 1, 0, 0), "APE 44.10kHz 44100 8bit 2ch Fast 0.00kbps 0.00 0f"},
      {"24-bit flag wins", ApeOld(3970, 5000, 9, 0, 0), "APE 44.10kHz 44100 24bit 2ch Insane 0.00kbps 0.00 0f"},
      {"level 0", ApeOld(3970, 0, 0, 0, 0), "APE 44.10kHz 44100 16bit 2ch Unknown 0.00kbps 0.00 0f"},
      {"unknown level", ApeOld(3970, 1234, 0, 0, 0), "APE 44.10kHz 44100 16bit 2ch Invalid 0.00kbps 0.00 0f"},
      {"extra high", ApeNew(4000, 73728, 0, 0, 48000, 24, 6), "APE 48.00kHz 48000 24bit 6ch Extra-High 0.00kbps 0.00 0f"},
      // Zero frames hold no blocks; a zero rate gives no duration.
      {"no frames", ApeNew(3000, 294912, 1000, 0, 44100), "APE 44.10kHz 44100 16bit 2ch High 0.00kbps 0.00 0f"},
      {"sample rate 0", ApeNew(3000, 294912, 1000, 10, 0), "APE 0.00kHz 0 16bit 2ch High 0.00kbps 0.00 10f"},
      {"no channels", ApeNew(3000, 294912, 1000, 10, 44100, 16, 0), "APE 44.10kHz 44100 16bit 0ch High 0.00kbps 0.00 10f"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MediaInfo info = Analyze(WithPayload(c.header, 100), "a.ape");
    EXPECT_STREQ(info.errorText, "");
    EXPECT_STREQ(info.audioText[0], c.line);
    EXPECT_TRUE(std::isfinite(info.duration));
  }
}

TEST_F(LosslessTest, ApeLeavesTagsOutOfTheBitrate) {
  Bytes plain = WithPayload(ApeNew(2000, 294912, 1000, 10, 44100), 10000);
  Bytes tagged = Id3v2Tag(500);
  Append(tagged, plain);
  Append(tagged, ApeTag());
  MediaInfo info = Analyze(tagged, "a.ape");
  EXPECT_EQ(info.formatId, format::kMonkeysAudio);
  // The APE tag's size leaves out its 32-byte header, which stays counted.
  EXPECT_STREQ(info.audioText[0], "APE 44.10kHz 44100 16bit 2ch Normal 1.34kbps 1343.06 10f");
  ASSERT_EQ(info.extraCount, 1);
  EXPECT_STREQ(info.extraText[0], "ID3v2 / APE");
}

Bytes MusePack(uint8_t version, uint32_t frames, uint32_t flags, uint32_t lastFrameSamples, size_t payload) {
  Bytes b;
  PutText(b, "MP+");
  b.push_back(version);
  PutU32LE(b, frames);
  PutU32LE(b, flags);
  PutZeros(b, 8);  // replay gain
  PutU32LE(b, 0x80000000u | (lastFrameSamples << 20));
  PutU32LE(b, 0xFFFFFFFF);  // encoder data, not samples
  PutZeros(b, 2);
  PutZeros(b, payload);
  return b;
}

TEST_F(LosslessTest, MusePackLines) {
  constexpr uint32_t kIntensity = 1u << 31, kMidSide = 1u << 30;
  struct Case {
    const char* name;
    Bytes file;
    const char* line;
    double duration;
  } cases[] = {
      {"both stereo modes at 48 kHz", MusePack(0x07, 10, kIntensity | kMidSide | (1 << 16), 500, 970),
       "MPC SV7.0 48.00kHz 48000 34.27kbps 34273.10 Stereo/I+MS", (9 * 1152 + 500) / 48000.0},
      {"mid/side", MusePack(0x07, 10, kMidSide, 500, 970), "MPC SV7.0 44.10kHz 44100 31.49kbps 31488.41 Stereo/MS",
       (9 * 1152 + 500) / 44100.0},
      {"intensity at 37.8 kHz", MusePack(0x17, 10, kIntensity | (2 << 16), 500, 970),
       "MPC SV7.1 37.80kHz 37800 26.99kbps 26990.06 Stereo/I", (9 * 1152 + 500) / 37800.0},
      {"plain at 32 kHz", MusePack(0x07, 10, 3 << 16, 500, 970), "MPC SV7.0 32.00kHz 32000 22.85kbps 22848.73 Stereo",
       (9 * 1152 + 500) / 32000.0},
      {"no frames", MusePack(0x07, 0, 0, 500, 970), "MPC SV7.0 44.10kHz 44100 0.00kbps 0.00 Stereo", 0.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MediaInfo info = Analyze(c.file, "a.mpc");
    EXPECT_EQ(info.formatId, format::kMusePack);
    EXPECT_STREQ(info.errorText, "");
    ASSERT_EQ(info.audioCount, 1);
    EXPECT_STREQ(info.audioText[0], c.line);
    EXPECT_NEAR(info.duration, c.duration, 1e-9);
  }
}

Bytes Tta(char marker, uint32_t rate, uint32_t total, size_t payload) {
  Bytes b;
  PutText(b, "TTA");
  b.push_back(static_cast<uint8_t>(marker));
  auto fields = [&] {
    PutU16LE(b, 2);
    PutU16LE(b, 16);
    PutU32LE(b, rate);
    PutU32LE(b, total);
  };
  if (marker == '1') {
    PutU16LE(b, 1);  // format
    fields();
    PutU32LE(b, 0);  // CRC
  } else if (marker == '2') {
    PutU32LE(b, 0);
    fields();
  } else {
    fields();
  }
  PutZeros(b, payload);
  return b;
}

TEST_F(LosslessTest, TtaHeaderLayouts) {
  struct Case {
    const char* name;
    Bytes file;
    const char* line;
    double duration;
  } cases[] = {
      {"TTA1", Tta('1', 44100, 441000, 1000), "TTA v3 44.10kHz 44100 16bit 2ch 0.80kbps 796.80", 10.0},
      {"TTA2", Tta('2', 44100, 441000, 1000), "TTA v2 44.10kHz 44100 16bit 2ch 0.80kbps 800.00", 10.0},
      {"first header", Tta(1, 44100, 441000, 1000), "TTA v1 44.10kHz 44100 16bit 2ch 0.80kbps 800.00", 10.0},
      {"sample rate 0", Tta('1', 0, 441000, 1000), "TTA v3 0.00kHz 0 16bit 2ch 0.00kbps 0.00", 0.0},
      {"no samples", Tta('1', 44100, 0, 1000), "TTA v3 44.10kHz 44100 16bit 2ch 0.00kbps 0.00", 0.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MediaInfo info = Analyze(c.file, "a.tta");
    EXPECT_EQ(info.formatId, format::kTta);
    EXPECT_STREQ(info.errorText, "");
    EXPECT_STREQ(info.audioText[0], c.line);
    EXPECT_NEAR(info.duration, c.duration, 1e-9);
  }
}

TEST_F(LosslessTest, TtaOfAnotherVersionFails) {
  MediaInfo info = Analyze(Tta('9', 44100, 441000, 1000), "a.tta");
  EXPECT_EQ(info.formatId, format::kTta);
  EXPECT_EQ(Text(info.errorText), "[TTA] 不正/未対応バージョンのTTAです");
  EXPECT_EQ(info.audioCount, 0);
}

TEST_F(LosslessTest, TtaReadsBehindId3v2AndLeavesTagsOut) {
  Bytes file = Id3v2Tag(400);
  Append(file, Tta('2', 44100, 441000, 1000));
  Append(file, ApeTag());
  Append(file, Id3v1Tag());
  MediaInfo info = Analyze(file, "a.tta");
  EXPECT_EQ(info.formatId, format::kTta);
  // As with Monkey's Audio, the APE tag's header is not part of its size.
  EXPECT_STREQ(info.audioText[0], "TTA v2 44.10kHz 44100 16bit 2ch 0.83kbps 825.60");
  ASSERT_EQ(info.extraCount, 1);
  EXPECT_STREQ(info.extraText[0], "ID3v1 / ID3v2 / APE");
}

TEST_F(LosslessTest, TtaFromFfmpeg) {
  MediaInfo info = AnalyzeFile(FixturePath("audio/tta_short.tta"));
  EXPECT_EQ(info.formatId, format::kTta);
  EXPECT_STREQ(info.audioText[0], "TTA v3 44.10kHz 44100 16bit 2ch 277.25kbps 277248.00");
  EXPECT_NEAR(info.duration, 0.25, 1e-9);
}

TEST_F(LosslessTest, PublicFiles) {
  struct Case {
    const char* file;
    int32_t formatId;
    const char* line;
    double duration;
    const char* extra;
  } cases[] = {
      {"taglib/mac-390-hdr.ape", format::kMonkeysAudio, "APE 44.10kHz 44100 16bit 2ch Extra-High 0.07kbps 65.52 10f",
       15.629, ""},
      {"taglib/mac-396.ape", format::kMonkeysAudio, "APE 44.10kHz 44100 16bit 2ch Normal 0.23kbps 225.78 1f", 3.684, ""},
      {"taglib/mac-399.ape", format::kMonkeysAudio, "APE 44.10kHz 44100 16bit 2ch High 192.03kbps 192025.82 3f", 3.550,
       ""},
      {"taglib/mac-399-id3v2.ape", format::kMonkeysAudio, "APE 44.10kHz 44100 16bit 2ch High 192.03kbps 192025.82 3f",
       3.550, "ID3v2"},
      {"taglib/mac-399-tagged.ape", format::kMonkeysAudio,
       "APE 44.10kHz 44100 16bit 2ch High 192.39kbps 192386.38 3f", 3.550, "ID3v1 / APE"},
      {"music-metadata/monkeysaudio.ape", format::kMonkeysAudio,
       "APE 44.10kHz 44100 16bit 2ch Normal 552.78kbps 552776.26 1f", 1.213, "APE"},
      {"taglib/zerodiv.ape", format::kMonkeysAudio, "APE 0.00kHz 0 24bit 8192ch Invalid 0.00kbps 0.00 6509784f", 0.0,
       ""},
      // Gapless SV7: (frames - 1) * 1152 + the last frame's samples, as the
      // reference decoder counts them.
      {"taglib/click.mpc", format::kMusePack, "MPC SV7.0 44.10kHz 44100 202.30kbps 202304.90 Stereo/MS", 0.0616, ""},
      {"music-metadata/mpc/apev2.sv7.mpc", format::kMusePack,
       "MPC SV7.0 44.10kHz 44100 2431.42kbps 2431424.32 Stereo/MS", 0.2707, ""},
      {"taglib/empty.tta", format::kTta, "TTA v3 44.10kHz 44100 16bit 2ch 172.63kbps 172630.92", 3.684, ""},
      {"taglib/tagged.tta", format::kTta, "TTA v3 44.10kHz 44100 16bit 2ch 172.63kbps 172630.92", 3.684,
       "ID3v1 / ID3v2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    std::string path = PublicMedia(c.file);
    if (path.empty()) GTEST_SKIP() << "public media absent";
    MediaInfo info = AnalyzeFile(path);
    EXPECT_EQ(info.formatId, c.formatId);
    EXPECT_STREQ(info.audioText[0], c.line);
    EXPECT_NEAR(info.duration, c.duration, 0.001);
    EXPECT_STREQ(info.extraText[0], c.extra);
  }
}

}  // namespace
}  // namespace probex::test
