#include "damage.h"
#include "video/mpeg_ps.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "file_reader.h"
#include "fixture.h"
#include "probex_formats.h"
#include "messages.h"
#include "mpeg_test_support.h"

namespace probex {
namespace {

using mpegtest::Append;
using test::Bytes;

// Audio frame headers as encoders write them.
const Bytes kMp2Frame = {0xFF, 0xFD, 0x84, 0x00, 0x00, 0x00, 0x00, 0x00};  // Layer II, 128 kbit/s, 48 kHz
const Bytes kAc3Frame = {0x0B, 0x77, 0xFC, 0x8A, 0x14, 0x40, 0x43, 0xE1, 0x06, 0xF0};  // 192 kbit/s, 2/0
const Bytes kDtsFrame = {0x7F, 0xFE, 0x80, 0x01, 0xFC, 0x3C, 0x3F, 0xF0, 0xB5, 0xE0, 0x01, 0x38,
                         0x00, 0x03, 0xEF, 0x7F, 0xE0, 0x06, 0xDB, 0x15, 0xFF, 0xF2, 0x7F, 0xFC};
const Bytes kAdtsFrame = {0xFF, 0xF1, 0x4C, 0x80, 0x2E, 0x7F, 0xFC};  // LC, 48 kHz, 2 channels

constexpr char kMp2Line[] = "MP3|1|II|48000|128.00|Stereo";
constexpr char kAc3Line[] = "AC3|Dolby AC-3|48000|2.0|192.00";
constexpr char kAdtsLine[] = "AAC|LC|48000|2.0|0.00";

Bytes Padding(size_t n, uint8_t value = 0xAA) { return Bytes(n, value); }

// A PTS field (prefix 0010) with its marker bits.
Bytes Pts(uint64_t value) {
  return {static_cast<uint8_t>(0x21 | ((value >> 29) & 0x0E)), static_cast<uint8_t>(value >> 22),
          static_cast<uint8_t>(((value >> 14) & 0xFE) | 1), static_cast<uint8_t>(value >> 7),
          static_cast<uint8_t>(((value << 1) & 0xFE) | 1)};
}

// MPEG-2 PES packet with a PTS.
Bytes Pes2(uint8_t streamId, const Bytes& payload, bool mpeg2Flags = true, uint64_t pts = 0) {
  Bytes b = {0x00, 0x00, 0x01, streamId};
  size_t length = 3 + 5 + payload.size();
  b.push_back(static_cast<uint8_t>(length >> 8));
  b.push_back(static_cast<uint8_t>(length));
  test::Bytes header = {static_cast<uint8_t>(mpeg2Flags ? 0x81 : 0x41), 0x80, 0x05};
  Append(header, Pts(pts));
  Append(b, header);
  Append(b, payload);
  return b;
}

// Private stream 1: sub-stream number, then (for DVD audio) frame count and
// first access unit pointer.
Bytes Private(uint8_t sub, const Bytes& data) {
  Bytes payload = {sub, 0x01, 0x00, 0x04};
  Append(payload, data);
  return Pes2(0xBD, payload);
}

// MPEG-1 packet with a PTS.
Bytes Pes1(uint8_t streamId, const Bytes& payload, uint64_t pts = 0) {
  Bytes b = {0x00, 0x00, 0x01, streamId};
  size_t length = 5 + payload.size();
  b.push_back(static_cast<uint8_t>(length >> 8));
  b.push_back(static_cast<uint8_t>(length));
  Append(b, Pts(pts));
  Append(b, payload);
  return b;
}

Bytes Video(bool mpeg2, uint32_t bitRateValue = 2500) {
  Bytes es = mpegtest::SequenceHeader(720, 576, 3, 3, bitRateValue);
  if (mpeg2) Append(es, mpegtest::SequenceExtension(4, 8, false));
  Append(es, mpegtest::GroupHeader(0, 0, 0, 0));
  Append(es, mpegtest::PictureHeader());
  return mpeg2 ? Pes2(0xE0, es) : Pes1(0xE0, es);
}

std::vector<std::string> Lines(const char (*texts)[PROBEX_TEXT_BYTES], int count) {
  std::vector<std::string> out;
  for (int i = 0; i < count; ++i) out.push_back(texts[i]);
  return out;
}

struct Result {
  MediaInfo info;
  std::vector<std::string> video;
  std::vector<std::string> audio;
};

Result Analyze(const Bytes& file, const char* name) {
  test::TempFile temp(name, file);
  Result r{test::AnalyzeFile(temp.Path()), {}, {}};
  r.video = Lines(r.info.videoText, r.info.videoCount);
  r.audio = Lines(r.info.audioText, r.info.audioCount);
  return r;
}

class MpegPsTest : public ::testing::Test {
 protected:
  mpegtest::MpegTemplates templates_;
};

TEST(DvdLpcmHeader, Fields) {
  struct Case {
    uint8_t audioByte;  // quantization, frequency, channels - 1
    bool ok;
    double rate;
    int bits, channels;
    double bitRate;
  };
  const Case cases[] = {
      {0x01, true, 48000, 16, 2, 1536000},  {0x45, true, 48000, 20, 6, 5760000},
      {0x97, true, 96000, 24, 8, 18432000}, {0x10, true, 96000, 16, 1, 1536000},
      {0xC1, false, 0, 0, 0, 0},            // quantization 3
      {0x21, false, 0, 0, 0, 0},            // 44.1 kHz code
      {0x31, false, 0, 0, 0, 0},            // 32 kHz code
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.audioByte);
    Bytes header = {0x07, 0x00, 0x04, 0x0C, c.audioByte, 0x80};
    LpcmInfo info{};
    EXPECT_EQ(ParseDvdLpcmHeader(info, header.data(), header.size()), c.ok);
    if (!c.ok) continue;
    EXPECT_STREQ(info.codec, "LinearPCM");
    EXPECT_DOUBLE_EQ(info.sampleRate, c.rate);
    EXPECT_EQ(info.bitsPerSample, c.bits);
    EXPECT_EQ(info.channels, c.channels);
    EXPECT_DOUBLE_EQ(info.bitRate, c.bitRate);
  }
  Bytes cut = {0x07, 0x00, 0x04, 0x0C};
  LpcmInfo info{};
  EXPECT_FALSE(ParseDvdLpcmHeader(info, cut.data(), cut.size()));
}

TEST_F(MpegPsTest, LpcmLine) {
  LpcmInfo info{};
  Bytes header = {0x07, 0x00, 0x04, 0x0C, 0x45, 0x80};
  ASSERT_TRUE(ParseDvdLpcmHeader(info, header.data(), header.size()));
  char out[512];
  FormatLpcmText(out, sizeof out, info);
  EXPECT_STREQ(out, "LPCM|LinearPCM|48.00|48000|20|6|5760.00|5760000.00");
}

// Lines come out by stream number, whatever the order in the file; a number
// shared by two codings keeps the first.
TEST_F(MpegPsTest, Mpeg2AudioStreamsBySlot) {
  Bytes file = mpegtest::PackHeader(0, true);
  Append(file, Video(true));
  Append(file, Pes2(0xC4, Bytes(kAdtsFrame)));
  Append(file, Pes2(0xC3, kMp2Frame));
  Append(file, Private(0xA2, {0x0C, 0x01, 0x80}));
  Append(file, Private(0x89, kDtsFrame));
  Append(file, Private(0x80, kAc3Frame));
  Append(file, Pes2(0xC0, kMp2Frame));                 // slot 0 already taken by AC-3
  Append(file, Pes2(0xC5, kMp2Frame, false));          // MPEG-1 packet header: skipped
  Append(file, Private(0xA6, {0x0C, 0xC1, 0x80}));     // quantization 3: no line
  Append(file, Private(0xA7, {0x0C, 0x21, 0x80}));     // 44.1 kHz code: no line
  Append(file, mpegtest::PackHeader(90000 * 4, true));
  Append(file, Padding(64));
  Result r = Analyze(file, "slots.mpg");
  EXPECT_EQ(r.info.formatId, format::kMpeg2Ps);
  EXPECT_STREQ(r.info.formatName, "MPEG2");
  EXPECT_STREQ(r.info.errorText, "");
  ASSERT_EQ(r.video.size(), 1u);
  EXPECT_EQ(r.video[0].substr(0, 34), "M2|MPEG2|MP@ML|720x576|16:9 625lin");
  std::vector<std::string> expected = {kAc3Line, "DTS|48000|2.0|768.00",
                                       "LPCM|LinearPCM|48.00|48000|16|2|1536.00|1536000.00", kMp2Line,
                                       kAdtsLine};
  EXPECT_EQ(r.audio, expected);
  EXPECT_DOUBLE_EQ(r.info.duration, 4);
}

TEST_F(MpegPsTest, Mpeg2FirstCodingOfASlotWins) {
  Bytes file = mpegtest::PackHeader(0, true);
  Append(file, Video(true));
  Append(file, Pes2(0xC0, kMp2Frame));
  Append(file, Private(0x80, kAc3Frame));
  Result r = Analyze(file, "slot0.vob");
  EXPECT_EQ(r.audio, std::vector<std::string>{kMp2Line});
}

// A packet's data ends at p + 6 + packet_length; the next packet may begin
// right there.
TEST_F(MpegPsTest, Mpeg1AdjacentAudioPackets) {
  Bytes file = mpegtest::PackHeader(0, false);
  Append(file, Video(false));
  Append(file, Pes1(0xC0, kMp2Frame));
  Append(file, Pes1(0xC1, {0xFF, 0xFD, 0x10, 0xC0, 0x00, 0x00}));  // 32 kbit/s, 44.1 kHz, mono
  Append(file, mpegtest::PackHeader(90000 * 2, false));
  Append(file, Padding(32));
  Result r = Analyze(file, "adjacent.mpg");
  EXPECT_EQ(r.info.formatId, format::kMpeg1);
  std::vector<std::string> expected = {kMp2Line, "MP3|1|II|44100|32.00|Mono"};
  EXPECT_EQ(r.audio, expected);
  EXPECT_DOUBLE_EQ(r.info.duration, 2);
  // Nothing sets progressive for MPEG-1.
  ASSERT_EQ(r.video.size(), 1u);
  EXPECT_EQ(r.video[0].substr(r.video[0].size() - 9), "Interlace");
}

TEST_F(MpegPsTest, Mpeg1ScanEndsAtARepeatedStream) {
  Bytes file = mpegtest::PackHeader(0, false);
  Append(file, Video(false));
  Append(file, Pes1(0xC0, kMp2Frame));
  Append(file, Pes1(0xC0, kMp2Frame));
  Append(file, Pes1(0xC2, kMp2Frame));
  Result r = Analyze(file, "repeat.mpg");
  EXPECT_EQ(r.audio, std::vector<std::string>{kMp2Line});
}

// Bare video: group time codes, the picture difference and the last group's
// pictures.
TEST_F(MpegPsTest, GroupTimeCodeDuration) {
  struct Case {
    const char* name;
    uint32_t rateCode;
    int picturesAfterLastGroup;
    double duration;
  };
  const Case cases[] = {
      {"25 fps", 3, 3, 10 + (20 - 5 + 3) / 25.0},
      {"no frame rate", 0, 3, 10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes file = mpegtest::SequenceHeader(352, 288, 1, c.rateCode, 0x3FFFF);
    Append(file, mpegtest::SequenceExtension(4, 8, true));
    Append(file, mpegtest::GroupHeader(0, 0, 0, 5));
    Append(file, mpegtest::PictureHeader());
    Append(file, mpegtest::GroupHeader(0, 0, 10, 20));
    for (int i = 0; i < c.picturesAfterLastGroup; ++i) Append(file, mpegtest::PictureHeader());
    Result r = Analyze(file, "bare.m2v");
    EXPECT_EQ(r.info.formatId, format::kMpeg2Ps);
    EXPECT_NEAR(r.info.duration, c.duration, 1e-9);
    EXPECT_TRUE(r.audio.empty());
  }
}

TEST_F(MpegPsTest, BitRateEstimateAndVariableRate) {
  // 1,000,000 bit/s and no packs or groups: the size gives the duration.
  Bytes file = Padding(100, 0x00);
  Append(file, mpegtest::SequenceHeader(352, 240, 1, 4, 2500));
  Append(file, Padding(124988, 0x55));
  Result r = Analyze(file, "estimate.m1v");
  EXPECT_EQ(r.info.formatId, format::kMpeg1);
  EXPECT_DOUBLE_EQ(r.info.duration, 1.0);
  EXPECT_EQ(r.video, std::vector<std::string>{"M1|MPEG1|352x240|1:1|29.97|1000.00|1000000.00|CBR|Interlace"});

  // Variable rate: no estimate, so no duration and an average of 0.
  Bytes vbr = mpegtest::SequenceHeader(352, 240, 1, 4, 0x3FFFF);
  Append(vbr, Padding(1000, 0x55));
  r = Analyze(vbr, "vbr.m1v");
  EXPECT_DOUBLE_EQ(r.info.duration, 0);
  EXPECT_EQ(r.video, std::vector<std::string>{"M1|MPEG1|352x240|1:1|29.97|||VBR|Interlace"});
}

// MPEG-2 without an accepted extension renders with the MPEG-1 template; a
// single pack gives no pack-clock duration.
TEST_F(MpegPsTest, Mpeg2WithoutExtension) {
  Bytes file = mpegtest::PackHeader(90000, true);
  Append(file, Pes2(0xE0, mpegtest::SequenceHeader(720, 480, 2, 4, 0x3FFFF)));
  Append(file, mpegtest::SequenceExtension(4, 8, true, 2));
  Append(file, Padding(16));
  Result r = Analyze(file, "noext.vob");
  ASSERT_EQ(r.video.size(), 1u);
  EXPECT_EQ(r.video[0], "M1|MPEG2|720x480|4:3|29.97|||VBR|Interlace");
  EXPECT_DOUBLE_EQ(r.info.duration, 0);
}

TEST_F(MpegPsTest, HeadAndTailWindowsOfALongFile) {
  Bytes file = mpegtest::PackHeader(90000, true);
  Append(file, Video(true, 0x3FFFF));
  Append(file, Private(0x80, kAc3Frame));
  file.resize(3000000, 0x00);
  Bytes tail = mpegtest::PackHeader(90000 * 61, true);
  Append(tail, Pes2(0xC1, kMp2Frame));  // beyond the head window: not described
  Append(tail, Padding(100));
  Append(file, tail);
  Result r = Analyze(file, "long.mpg");
  EXPECT_DOUBLE_EQ(r.info.duration, 60);
  EXPECT_EQ(r.audio, std::vector<std::string>{kAc3Line});
  // The average counts the bytes from the sequence header on.
  double expectedRate = (file.size() - 14 - 14) * 8 / 60.0 - 192000;
  ASSERT_EQ(r.video.size(), 1u) << r.info.errorText;
  char rate[64];
  std::snprintf(rate, sizeof rate, "|%.2f|", expectedRate * 0.001);
  EXPECT_NE(r.video[0].find(rate), std::string::npos) << r.video[0];
}

TEST_F(MpegPsTest, NoSequenceHeader) {
  struct Case {
    const char* name;
    Bytes bytes;
    int32_t formatId;
    const char* message;
  };
  Bytes cut = mpegtest::PackHeader(0, true);
  Append(cut, Padding(40));
  Append(cut, {0x00, 0x00, 0x01, 0xB3, 0x16, 0x01, 0x20});  // cut by the end of the file
  Bytes mpeg1 = mpegtest::PackHeader(0, false);
  Append(mpeg1, Padding(60));
  const Case cases[] = {
      {"mpeg2 cut header", cut, format::kMpeg2Ps, msg::kMpeg2NoSequence},
      {"mpeg1 none", mpeg1, format::kMpeg1, msg::kMpeg1NoSequence},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Result r = Analyze(c.bytes, "none.mpg");
    EXPECT_EQ(r.info.formatId, c.formatId);
    EXPECT_STREQ(r.info.errorText, c.message);
    EXPECT_EQ(r.info.fileSize, c.bytes.size());
    EXPECT_STRNE(r.info.formatName, "");
    EXPECT_TRUE(r.video.empty());
  }
}

TEST_F(MpegPsTest, SystemStreamInsideALargerFile) {
  Bytes stream = mpegtest::PackHeader(0, false);
  Append(stream, Video(false));
  Append(stream, Pes1(0xC0, kMp2Frame));
  Append(stream, mpegtest::PackHeader(90000 * 3, false));
  Bytes file = Padding(5000, 0x00);
  Append(file, {0x00, 0x00, 0x01, 0xB3, 0x02, 0x00, 0x20, 0x14});  // decoy before the range
  size_t start = file.size();
  Append(file, stream);
  size_t end = file.size();
  Append(file, Private(0x80, kAc3Frame));  // after the range
  test::TempFile temp("inner.dat", file);
  MediaInfo info = test::MakeRecord(temp.Path());
  FileReader reader;
  ASSERT_TRUE(reader.Open(info.path));
  reader.Seek(123, 0);
  EXPECT_TRUE(AnalyzeMpegSystemStream(reader, info, start, end, MpegSystemVariant::kMpeg1));
  EXPECT_EQ(reader.Tell(), 123u);
  EXPECT_DOUBLE_EQ(info.duration, 3);
  EXPECT_EQ(info.audioCount, 1);
  EXPECT_STREQ(info.audioText[0], kMp2Line);
  ASSERT_EQ(info.videoCount, 1);
  EXPECT_EQ(std::string(info.videoText[0]).substr(0, 20), "M1|MPEG1|720x576|16:");
}

// The presentation times, not the pack clocks that start half a second
// earlier, give the playing time: least of the head to greatest of the tail,
// plus a picture's period when the greatest is a picture's.
TEST_F(MpegPsTest, PresentationTimesGiveTheDuration) {
  constexpr uint64_t kSecond = 90000;
  Bytes es = Video(true);
  es.erase(es.begin(), es.begin() + 14);  // the picture data without its packet header
  auto file = [&](bool mpeg2, uint64_t lastVideo, uint64_t lastAudio, bool damaged) {
    auto video = [&](uint64_t pts) { return mpeg2 ? Pes2(0xE0, es, true, pts) : Pes1(0xE0, es, pts); };
    auto audio = [&](uint64_t pts) { return mpeg2 ? Pes2(0xC0, kMp2Frame, true, pts) : Pes1(0xC0, kMp2Frame, pts); };
    Bytes b = mpegtest::PackHeader(0, mpeg2);
    Append(b, video(kSecond / 2));
    Append(b, audio(kSecond / 2 + 900));
    Append(b, mpegtest::PackHeader(kSecond * 4, mpeg2));
    Append(b, video(lastVideo));
    Append(b, video(lastVideo - 3600));  // a B-picture after the P-picture it precedes
    Append(b, audio(lastAudio));
    if (damaged) {
      Bytes bad = video(kSecond * 100);
      bad[mpeg2 ? 13 : 10] &= 0xFE;  // a marker bit of the time stamp cleared
      Append(b, bad);
    }
    return b;
  };
  struct Case {
    const char* name;
    bool mpeg2;
    uint64_t lastVideo, lastAudio;
    bool damaged;
    double duration;
  } cases[] = {
      {"MPEG-2, a picture last", true, kSecond * 7 / 2, kSecond * 3, false, 3.04},
      {"MPEG-1, a picture last", false, kSecond * 7 / 2, kSecond * 3, false, 3.04},
      {"audio last", true, kSecond * 3, kSecond * 18 / 5, false, 3.1},
      {"a damaged stamp is passed over", true, kSecond * 7 / 2, kSecond * 3, true, 3.04},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Result r = Analyze(file(c.mpeg2, c.lastVideo, c.lastAudio, c.damaged), c.mpeg2 ? "pts.vob" : "pts.mpg");
    EXPECT_STREQ(r.info.errorText, "");
    EXPECT_NEAR(r.info.duration, c.duration, 1e-9);
  }
}

TEST_F(MpegPsTest, FfmpegOutput) {
  struct Case {
    const char* file;
    int32_t formatId;
    const char* video;
    std::vector<std::string> audio;
    double duration;  // span of the presentation times (or the pictures of a bare stream), seconds
  };
  const Case cases[] = {
      {"mpeg1_system.mpg", format::kMpeg1, "M1|MPEG1|352x240|1:1|29.97|", {"MP3|1|II|44100|64.00|Stereo"}, 1.9795},
      {"mpeg2_ac3.vob", format::kMpeg2Ps, "M2|MPEG2|MP@ML|352x288|1:1|25.00|", {"AC3|Dolby AC-3|48000|2.0|64.00"},
       2.0053},
      {"mpeg2_lpcm.vob", format::kMpeg2Ps, "M2|MPEG2|MP@ML|352x288|1:1|25.00|",
       {"LPCM|LinearPCM|48.00|48000|16|1|768.00|768000.00"}, 0.4811},
      {"mpeg2_dts.vob", format::kMpeg2Ps, "M2|MPEG2|MP@ML|352x288|1:1|25.00|", {"DTS|48000|2.0|768.00"}, 0.4907},
      {"mpeg2_mp2x2.mpg", format::kMpeg2Ps, "M2|MPEG2|MP@ML|352x288|1:1|25.00|",
       {"MP3|1|II|48000|64.00|Mono", "MP3|1|II|32000|64.00|Mono"}, 2.0150},
      {"video.m1v", format::kMpeg1, "M1|MPEG1|352x240|1:1|29.97|", {}, 1 + 30 / 29.97},  // time codes count 30 pictures a second,
      {"video.m2v", format::kMpeg2Ps, "M2|MPEG2|MP@ML|720x576|16:9 625line|25.00|600.00|600000.00|CBR|Progressive",
       {}, 1.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    MediaInfo info = test::AnalyzeFile(test::FixturePath(std::string("mpeg/") + c.file));
    EXPECT_EQ(info.formatId, c.formatId);
    EXPECT_STREQ(info.errorText, "");
    ASSERT_EQ(info.videoCount, 1);
    EXPECT_EQ(std::string(info.videoText[0]).substr(0, std::strlen(c.video)), c.video);
    EXPECT_EQ(Lines(info.audioText, info.audioCount), c.audio);
    EXPECT_GT(info.duration, 0);
    // The pack clocks would say 2.038, 2.263, 1.000, 0.999 and 2.018 s:
    // ffmpeg starts them half a second before the first presentation
    // (ffprobe: 1.980, 2.005, 0.502, 0.491, 2.015 s).
    EXPECT_NEAR(info.duration, c.duration, 0.001);
  }
}

// Truncated and damaged copies of real files end without a crash or a hang.
TEST_F(MpegPsTest, TruncatedAndDamagedFiles) {
  for (const char* name : {"mpeg1_system.mpg", "mpeg2_ac3.vob", "mpeg2_dts.vob", "mpeg2_lpcm.vob", "video.m2v"}) {
    SCOPED_TRACE(name);
    Bytes data = test::ReadFile(test::FixturePath(std::string("mpeg/") + name));
    ASSERT_GT(data.size(), 4096u);
    for (const Bytes& copy : test::DamagedCopies(data, name, {41, 300, 2047, 2053, data.size() - 3})) Analyze(copy, name);
  }
}

}  // namespace
}  // namespace probex
