#include <gtest/gtest.h>

#include <string>

#include "audio/musepack_sv8.h"
#include "audio/rf64.h"
#include "core/report.h"
#include "fixture.h"
#include "probex_formats.h"

namespace probex {
namespace {

using test::Bytes;

// Stream head: SH (44.1 kHz, stereo, mid-side, 88200 samples), RG, EI, then
// an audio packet.
const Bytes kSv8Head = {'M',  'P',  'C',  'K',  'S',  'H',  0x0E, 0x12, 0x34, 0x56, 0x78, 0x08, 0x85, 0xB1,
                        0x08, 0x00, 0x05, 0x19, 'R',  'G',  0x0C, 0x01, 0x04, 0x00, 0x50, 0x00, 0x03, 0x00,
                        0x48, 0x00, 'E',  'I',  0x07, 0x50, 0x01, 0x1E, 0x00, 'A',  'P',  0x04, 0x1C};

TEST(MusepackSv8Unit, StreamHead) {
  MusepackSv8Info info;
  ASSERT_TRUE(ParseMusepackSv8(kSv8Head.data(), kSv8Head.size(), info));
  EXPECT_EQ(MusepackSv8Text(info), "MusePack SV8 44.10kHz 2ch");
  EXPECT_EQ(info.samples, 88200u);
  EXPECT_EQ(info.crc, 0x12345678u);
  EXPECT_TRUE(info.midSide);
  EXPECT_EQ(info.blockFrames, 4u);
  EXPECT_NEAR(info.duration, 2.0, 1e-9);
  EXPECT_TRUE(info.replayGainSeen);
  EXPECT_EQ(info.titleGain, 0x0400);
  EXPECT_EQ(info.albumPeak, 0x4800);
  EXPECT_DOUBLE_EQ(info.profile, 5.0);
  EXPECT_TRUE(info.encoderSeen);
  EXPECT_EQ(info.encoderMajor, 1);
  EXPECT_EQ(info.encoderMinor, 30);
  EXPECT_EQ(info.headBytes, 37u);
  EXPECT_NEAR(MusepackSv8BitRate(info, 1000), 8000 / info.duration, 1e-9);
}

TEST(MusepackSv8Unit, DamagedHeads) {
  auto with = [](size_t at, uint8_t value) {
    Bytes b = kSv8Head;
    b[at] = value;
    return b;
  };
  struct Case {
    const char* name;
    Bytes bytes;
    bool ok;
  } cases[] = {
      {"version 7 in SH", with(11, 7), false},
      {"packet size smaller than its key", with(6, 0x02), false},
      {"size that never ends", Bytes{'M', 'P', 'C', 'K', 'S', 'H', 0x80, 0x80, 0x80}, false},
      {"no magic", with(0, 'N'), false},
      {"cut inside SH", Bytes(kSv8Head.begin(), kSv8Head.begin() + 15), false},
      {"cut after SH", Bytes(kSv8Head.begin(), kSv8Head.begin() + 18), true},
      {"RG size past the end", with(20, 0x7F), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MusepackSv8Info info;
    EXPECT_EQ(ParseMusepackSv8(c.bytes.data(), c.bytes.size(), info), c.ok);
  }
  uint64_t value = 0;
  size_t used = 0;
  Bytes nine(9, 0xFF);
  EXPECT_FALSE(ReadSv8Size(nine.data(), nine.size(), value, used));
}

TEST(MusepackSv8Unit, PublicFiles) {
  struct Case {
    const char* path;
    uint32_t rate;
    double duration;  // MediaInfo
  } cases[] = {
      {"taglib/sv8_header.mpc", 44100, 1.496},
      {"music-metadata/mpc/bach-goldberg-variatians-05.sv8.mpc", 48000, 0.500},
  };
  for (const Case& c : cases) {
    std::string path = test::PublicMedia(c.path);
    if (path.empty()) GTEST_SKIP() << "public media absent";
    Bytes bytes = test::ReadFile(path);
    MusepackSv8Info info;
    ASSERT_TRUE(ParseMusepackSv8(bytes.data(), bytes.size(), info)) << c.path;
    EXPECT_EQ(info.sampleRate, c.rate);
    EXPECT_EQ(info.channels, 2);
    EXPECT_NEAR(info.duration, c.duration, 0.001 + c.duration * 0.01);
  }
}

// ffprobe: the RF64 file of 0.1 s at 48 kHz stereo 16 bit: 4800 samples,
// 19200 bytes of data.
TEST(Rf64Unit, EncoderHeadAndTable) {
  Bytes head = test::ReadFile(test::FixturePath("codecs/rf64_head.wav"));
  Ds64Info info;
  ASSERT_TRUE(ParseRf64Head(head.data(), head.size(), info));
  EXPECT_EQ(info.dataSize, 19200u);
  EXPECT_EQ(info.sampleCount, 4800u);
  EXPECT_EQ(info.riffSize + 8, info.dataSize + 0x4B6A - 0x4B00 + 8);
  EXPECT_EQ(Rf64ChunkSize(info, "data", 0xFFFFFFFF), 19200u);
  EXPECT_EQ(Rf64ChunkSize(info, "fmt ", 16), 16u);

  // A table entry for a large chunk, and a table longer than its bytes.
  Bytes ds64(28, 0);
  ds64[8] = 0x01;
  ds64[12] = 0x01;  // data size 2^32 + 1
  ds64[24] = 1;
  Bytes entry = {'b', 'e', 'x', 't', 0, 0, 0, 0, 2, 0, 0, 0};
  ds64.insert(ds64.end(), entry.begin(), entry.end());
  ASSERT_TRUE(ParseDs64(ds64.data(), ds64.size(), info));
  EXPECT_EQ(info.dataSize, (uint64_t{1} << 32) + 1);
  EXPECT_EQ(Rf64ChunkSize(info, "bext", 0xFFFFFFFF), uint64_t{2} << 32);
  EXPECT_EQ(Rf64ChunkSize(info, "junk", 0xFFFFFFFF), 0xFFFFFFFFu);
  ds64[24] = 2;
  EXPECT_FALSE(ParseDs64(ds64.data(), ds64.size(), info));
  EXPECT_FALSE(ParseDs64(ds64.data(), 27, info));
  Bytes riff = head;
  riff[0] = 'R', riff[1] = 'I', riff[2] = 'F', riff[3] = 'F';
  EXPECT_FALSE(ParseRf64Head(riff.data(), riff.size(), info));
}

TEST(Rf64Unit, PublicFile) {
  std::string path = test::PublicMedia("taglib/rf64.wav");
  if (path.empty()) GTEST_SKIP() << "public media absent";
  Bytes bytes = test::ReadFile(path);
  Ds64Info info;
  ASSERT_TRUE(ParseRf64Head(bytes.data(), bytes.size(), info));
  EXPECT_EQ(info.sampleCount, 2400u);  // ffprobe/MediaInfo: 50 ms at 48 kHz
  EXPECT_EQ(info.dataSize, 2400u * 4);
}

// Whole files. mpcenc's SV8 stream: ffprobe and MediaInfo give 44100 Hz
// stereo, 1.000 s. The RF64 and BW64 files hold 0.5 s of 22050 Hz 16-bit
// stereo with FFFFFFFF in the RIFF and data sizes.
TEST(Sv8AndRf64Files, DescribedUnderMusePackAndWave) {
  test::UseShippedTemplates();
  struct Case {
    const char* file;
    int32_t formatId;
    const char* summary;
  } cases[] = {
      {"audio/mpc_sv8.mpc", format::kMusePack, "MusePack SV8 44.10kHz Stereo/MS 135.74kbps 00:00:01.000"},
      {"audio/wav_rf64.wav", format::kWave, "RF64(WAVE) PCM 22.05kHz 16bit 2ch 705.60kbps 00:00:00.500"},
      {"audio/wav_bw64.wav", format::kWave, "BW64(WAVE) PCM 22.05kHz 16bit 2ch 705.60kbps 00:00:00.500"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    MediaInfo info = test::AnalyzeFile(test::FixturePath(c.file));
    EXPECT_EQ(info.formatId, c.formatId);
    EXPECT_EQ(OneLineReport(info), c.summary);
  }
  // A stream head without its SH packet is no SV8 stream.
  Bytes noHeader = {'M', 'P', 'C', 'K', 'R', 'G', 0x0C, 0x01, 0x04, 0x00, 0x50, 0x00, 0x03, 0x00, 0x48, 0x00, 'A', 'P', 0x04, 0x1C};
  noHeader.resize(1024);
  test::TempFile file("nosh.mpc", noHeader);
  EXPECT_EQ(test::Utf8(test::AnalyzeFile(file.Path()).errorText), "[MusePack] SHパケットが見つかりません");
}

}  // namespace
}  // namespace probex
