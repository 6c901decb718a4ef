#include "audio/mpeg_audio.h"

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
using test::Bytes;
using test::TempFile;
using test::Utf8;

// One frame: the four header bytes and zeros up to length.
Bytes Frame(uint32_t header, size_t length) {
  Bytes b(length, 0);
  b[0] = header >> 24;
  b[1] = (header >> 16) & 0xFF;
  b[2] = (header >> 8) & 0xFF;
  b[3] = header & 0xFF;
  return b;
}

void PutU32BE(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}
void PutText(Bytes& b, size_t at, const char* text) { std::memcpy(b.data() + at, text, std::strlen(text)); }

// MPEG-1 Layer III, 128 kbit/s, 44.1 kHz, joint stereo (MS), no padding: 417 bytes.
constexpr uint32_t kMp3Header = 0xFFFB9064;

class MpegAudioTest : public ::testing::Test {
 protected:
  void SetUp() override { test::UseStreamTemplates(); }
};

struct HeaderCase {
  const char* name;
  uint32_t header;
  int version, layer;
  double sampleRate, bitrate;
  int padding;
  const char* mode;
  const char* extension;
  uint32_t frameLength;
};

TEST_F(MpegAudioTest, ParsesHeaderFields) {
  const HeaderCase cases[] = {
      {"mpeg1 layer3", 0xFFFB9064, 1, 3, 44100, 128, 0, "JointStereo", "MS", 417},
      {"padding", 0xFFFB9264, 1, 3, 44100, 128, 1, "JointStereo", "MS", 418},
      {"layer3 intensity", 0xFFFB9054, 1, 3, 44100, 128, 0, "JointStereo", "I", 417},
      {"layer3 joint plain", 0xFFFB9044, 1, 3, 44100, 128, 0, "JointStereo", "", 417},
      {"layer2 bands", 0xFFFDA464, 1, 2, 48000, 192, 0, "JointStereo", "12-31", 576},
      {"layer2 dual", 0xFFFDA484, 1, 2, 48000, 192, 0, "DualChannel", "", 576},
      {"layer1 32k", 0xFFFFC800, 1, 1, 32000, 384, 0, "Stereo", "", 576},
      {"layer1 44.1k padded", 0xFFFFC200, 1, 1, 44100, 384, 1, "Stereo", "", 420},
      {"mpeg2 layer3", 0xFFF360C4, 2, 3, 22050, 48, 0, "Mono", "", 156},
      {"mpeg2 layer1", 0xFFF7C000, 2, 1, 22050, 192, 0, "Stereo", "", 416},
      {"mpeg2.5 layer3", 0xFFE328C4, 25, 3, 8000, 16, 0, "Mono", "", 144},
      {"mpeg2.5 layer1 uses the 2/3 table", 0xFFE7D000, 25, 1, 11025, 144, 0, "Stereo", "", 624},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes b = Frame(c.header, 4);
    MpegAudioInfo info{};
    ASSERT_TRUE(ParseMpegAudioHeader(b.data(), b.size(), info));
    EXPECT_EQ(info.version, c.version);
    EXPECT_EQ(info.layer, c.layer);
    EXPECT_EQ(info.sampleRate, c.sampleRate);
    EXPECT_EQ(info.bitrate, c.bitrate);
    EXPECT_EQ(info.padding, c.padding);
    EXPECT_STREQ(info.channelMode, c.mode);
    EXPECT_STREQ(info.modeExtension, c.extension);
    EXPECT_EQ(info.frameLength, c.frameLength);
  }
}

TEST_F(MpegAudioTest, RejectsReservedAndFreeFormatHeaders) {
  const uint32_t bad[] = {
      0xFFEB9064,  // version 01
      0xFFF99064,  // layer 00
      0xFFFB0064,  // free format
      0xFFFBF064,  // bit-rate index 15
      0xFFFB9C64,  // sampling index 3
  };
  for (uint32_t h : bad) {
    SCOPED_TRACE(h);
    Bytes b = Frame(h, 4);
    MpegAudioInfo info{};
    EXPECT_FALSE(ParseMpegAudioHeader(b.data(), b.size(), info));
  }
  Bytes b = Frame(kMp3Header, 4);
  MpegAudioInfo info{};
  EXPECT_FALSE(ParseMpegAudioHeader(b.data(), 3, info));
  EXPECT_FALSE(ParseMpegAudioHeader(nullptr, 4, info));
}

TEST_F(MpegAudioTest, FindsSyncOrId3) {
  struct Case {
    const char* name;
    Bytes bytes;
    size_t start;
    int64_t expected;
  } cases[] = {
      {"at 0", {0xFF, 0xFB, 0x90, 0x64, 0, 0}, 0, 0},
      {"after junk", {0, 0xFF, 0, 0xFF, 0xFB, 0x90, 0x64, 0, 0}, 0, 3},
      {"id3 any case", {0, 0, 'i', 'd', '3', 0, 0, 0}, 0, 2},
      {"reserved version", {0xFF, 0xEB, 0x90, 0x64, 0, 0}, 0, -1},
      {"reserved layer", {0xFF, 0xF9, 0x90, 0x64, 0, 0}, 0, -1},
      {"bit-rate 15", {0xFF, 0xFB, 0xF0, 0x64, 0, 0}, 0, -1},
      {"sampling 3", {0xFF, 0xFB, 0x9C, 0x64, 0, 0}, 0, -1},
      {"start skips a hit", {0xFF, 0xFB, 0x90, 0x64, 0xFF, 0xFB, 0x90, 0x64, 0, 0}, 1, 4},
      {"needs five bytes", {0, 0xFF, 0xFB, 0x90, 0x64}, 0, -1},
      {"empty", {}, 0, -1},
      {"start past the end", {0xFF, 0xFB, 0x90, 0x64, 0, 0}, SIZE_MAX - 2, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(FindMpegAudioSync(c.bytes.data(), c.bytes.size(), c.start), c.expected);
  }
}

TEST_F(MpegAudioTest, ConstantBitRateFileFromItsSize) {
  // 4,000,000 bytes at 128 kbit/s: 250 s; the frame count uses the first frame's length.
  Bytes file;
  file.reserve(4000000);
  Bytes frame = Frame(kMp3Header, 417);
  while (file.size() + frame.size() <= 4000000) Append(file, frame);
  file.resize(4000000, 0);
  TempFile f("cbr.mp3", file);
  MediaInfo info = test::AnalyzeFile(f.Path());
  EXPECT_EQ(info.formatId, format::kMpegAudio);
  EXPECT_STREQ(info.errorText, "");
  EXPECT_DOUBLE_EQ(info.duration, 250.0);
  ASSERT_EQ(info.audioCount, 1);
  EXPECT_STREQ(info.audioText[0], "MPEG1 LIII 44.10kHz 44100 128.00k 128000.00 CBR JointStereo/MS 9592");
  EXPECT_EQ(info.extraCount, 0);
  EXPECT_EQ(info.fileSize, 4000000u);
}

Bytes XingFrame(uint32_t flags, uint32_t frames, uint32_t bytes, const char* tag) {
  Bytes f = Frame(kMp3Header, 417);
  PutText(f, 36, "Xing");
  PutU32BE(f, 40, flags);
  size_t p = 44;
  if (flags & 1) PutU32BE(f, p, frames), p += 4;
  if (flags & 2) PutU32BE(f, p, bytes), p += 4;
  if (flags & 4) p += 100;
  if (flags & 8) p += 4;
  if (tag) std::memcpy(f.data() + p, tag, std::strlen(tag));
  return f;
}

TEST_F(MpegAudioTest, XingHeaderGivesAverageRateAndDuration) {
  Bytes file = XingFrame(0x0F, 10001, 5000000, nullptr);
  for (int i = 0; i < 20; ++i) Append(file, Frame(kMp3Header, 417));
  TempFile f("xing.mp3", file);
  MediaInfo info = test::AnalyzeFile(f.Path());
  ASSERT_STREQ(info.errorText, "");
  EXPECT_NEAR(info.duration, 10000.0 * 1152 / 44100, 1e-9);
  double kbps = 0.001 * 44100 * (5000000.0 / 10000) * 8 / 1152;
  char expected[200];
  std::snprintf(expected, sizeof expected, "MPEG1 LIII 44100 %.2fk VBR JointStereo/MS Xing 10001 []", kbps);
  ASSERT_EQ(info.audioCount, 1);
  EXPECT_STREQ(info.audioText[0], expected);
}

TEST_F(MpegAudioTest, XingWithoutByteCountUsesTheStreamSize) {
  // Frames only: the audio bytes of the file stand in for the missing count.
  Bytes file = XingFrame(0x01, 11, 0, "GOGO-encoder");
  for (int i = 0; i < 10; ++i) Append(file, Frame(kMp3Header, 417));
  MpegAudioInfo info{};
  info.streamSize = file.size();
  ASSERT_TRUE(ParseMpegAudioVbrHeader(info, file.data(), file.size()));
  EXPECT_TRUE(info.hasXing);
  EXPECT_EQ(info.xingFrames, 11u);
  EXPECT_EQ(info.streamSize, file.size());
  EXPECT_NEAR(info.bitrate, 0.001 * 44100 * (file.size() / 10.0) * 8 / 1152, 1e-9);
  EXPECT_STREQ(info.encoderName, "GOGO-encoder");
}

TEST_F(MpegAudioTest, XingWithTooFewFramesKeepsTheFirstFrameRate) {
  for (uint32_t frames : {0u, 1u}) {
    SCOPED_TRACE(frames);
    Bytes f = XingFrame(0x03, frames, 0, nullptr);
    MpegAudioInfo info{};
    info.streamSize = 1000;
    ASSERT_TRUE(ParseMpegAudioVbrHeader(info, f.data(), f.size()));
    EXPECT_EQ(info.bitrate, 128);
    EXPECT_EQ(info.streamSize, 1000u);  // a byte count of 0 is no count
    EXPECT_TRUE(std::isfinite(MpegAudioDuration(info)));
  }
}

struct LameCase {
  const char* name;
  const char* version;
  uint8_t methodByte;  // revision << 4 | method
  uint8_t rateByte;
  uint8_t stereoByte;
  bool hasLame;
  const char* method;
  const char* line;
};

TEST_F(MpegAudioTest, LameTagVersionsAndMethods) {
  const LameCase cases[] = {
      {"3.100 is newer than 3.90", "LAME3.100", 0x04, 32, 3 << 2, true, "VBR-NEW/MTRH",
       "MPEG1 LIII 44100 %sk VBR JointStereo/MS Xing 101 LAME3.100 VBR-NEW/MTRH 32k 32000 JointStereo []"},
      {"3.99r", "LAME3.99r", 0x13, 40, 1 << 2, true, "VBR-OLD/RH",
       "MPEG1 LIII 44100 %sk VBR JointStereo/MS Xing 101 LAME3.99r VBR-OLD/RH 40k 40000 Stereo []"},
      {"abr", "LAME3.98 ", 0x02, 96, 0, true, "ABR",
       "MPEG1 LIII 44100 %sk VBR JointStereo/MS Xing 101 LAME3.98  ABR 96k 96000 Mono []"},
      {"cbr keeps the frame rate", "LAME3.97 ", 0x01, 7, 5 << 2, true, "CBR",
       "MPEG1 LIII 44100 128.00k CBR JointStereo/MS Xing 101 LAME3.97  CBR 128k 128000 Auto []"},
      {"method 12", "LAME3.93 ", 0x0C, 64, 7 << 2, true, "unknown(0C)",
       "MPEG1 LIII 44100 %sk VBR JointStereo/MS Xing 101 LAME3.93  unknown(0C) 64k 64000 Other []"},
      {"method 15", "LAME3.90 ", 0x0F, 64, 6 << 2, true, "reserved",
       "MPEG1 LIII 44100 %sk VBR JointStereo/MS Xing 101 LAME3.90  reserved 64k 64000 IntensityStereo []"},
      {"below 3.90 is an encoder name", "LAME3.89 ", 0x04, 32, 0, false, "",
       "MPEG1 LIII 44100 %sk VBR JointStereo/MS Xing 101 [LAME3.89]"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes f = XingFrame(0x03, 101, 100 * 400, nullptr);
    size_t tag = 52;
    PutText(f, tag, c.version);
    f[tag + 9] = c.methodByte;
    f[tag + 20] = c.rateByte;
    f[tag + 24] = c.stereoByte;
    MpegAudioInfo info{};
    ASSERT_TRUE(ParseMpegAudioVbrHeader(info, f.data(), f.size()));
    EXPECT_EQ(info.hasLame, c.hasLame);
    EXPECT_STREQ(info.lameVbrMethod, c.method);
    char rate[32];
    std::snprintf(rate, sizeof rate, "%.2f", 0.001 * 44100 * 400 * 8 / 1152);
    char expected[300];
    std::snprintf(expected, sizeof expected, c.line, rate);
    char line[512];
    DescribeMpegAudio(line, sizeof line, info);
    EXPECT_STREQ(line, expected);
  }
}

TEST_F(MpegAudioTest, VbriHeader) {
  Bytes f = Frame(kMp3Header, 417);
  PutText(f, 36, "VBRI");
  f[44] = 0;
  f[45] = 75;
  PutU32BE(f, 46, 2000000);
  PutU32BE(f, 50, 5001);
  MpegAudioInfo info{};
  info.streamSize = 123;
  ASSERT_TRUE(ParseMpegAudioVbrHeader(info, f.data(), f.size()));
  EXPECT_EQ(info.streamSize, 2000000u);
  double kbps = 0.001 * 44100 * (2000000.0 / 5000) * 8 / 1152;
  char expected[200];
  std::snprintf(expected, sizeof expected,
                "MPEG1 LIII 44.10kHz 44100 %.2fk %.2f VBR JointStereo/MS VBRI 5001 Q75", kbps, kbps * 1000);
  char line[512];
  DescribeMpegAudio(line, sizeof line, info);
  EXPECT_STREQ(line, expected);
}

TEST_F(MpegAudioTest, XingPositionFollowsVersionAndMode) {
  struct Case {
    uint32_t header;
    size_t at;
  } cases[] = {{0xFFFB90C4, 21}, {0xFFF36044, 21}, {0xFFF360C4, 13}, {0xFFFB9044, 36}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.at);
    Bytes f = Frame(c.header, 200);
    PutText(f, c.at, "Info");
    MpegAudioInfo info{};
    ASSERT_TRUE(ParseMpegAudioVbrHeader(info, f.data(), f.size()));
    EXPECT_TRUE(info.hasXing);
    EXPECT_STREQ(info.vbrHeaderName, "LAME-Info");
  }
}

TEST_F(MpegAudioTest, VbrHeaderOnShortOrTaggedBytes) {
  // A frame cut right after its header: the VBR fields read as absent.
  Bytes f = Frame(kMp3Header, 4);
  MpegAudioInfo info{};
  ASSERT_TRUE(ParseMpegAudioVbrHeader(info, f.data(), f.size()));
  EXPECT_STREQ(info.bitrateMode, "CBR");
  EXPECT_EQ(info.cbrFrameCount, 0u);

  // An ID3v2 tag in front is skipped; one larger than the bytes given fails.
  Bytes tagged = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 2};
  tagged.resize(12, 0);
  Append(tagged, Frame(kMp3Header, 417));
  MpegAudioInfo ok{};
  EXPECT_TRUE(ParseMpegAudioVbrHeader(ok, tagged.data(), tagged.size()));
  tagged[8] = 0x7F;
  MpegAudioInfo bad{};
  EXPECT_FALSE(ParseMpegAudioVbrHeader(bad, tagged.data(), tagged.size()));
}

TEST_F(MpegAudioTest, NoStreamSizeUsesCbr2AndNoDuration) {
  Bytes file = Frame(kMp3Header, 417);
  TempFile f("bare.mp3", file);
  FileReader reader;
  ASSERT_TRUE(reader.Open(test::ToUtf16(f.Path()).c_str()));
  MpegAudioInfo info{};
  info.computeDuration = true;
  ASSERT_TRUE(AnalyzeMpegAudioStream(info, reader));
  EXPECT_EQ(info.duration, 0.0);
  char line[512];
  DescribeMpegAudio(line, sizeof line, info);
  EXPECT_STREQ(line, "MPEG1 LIII 44100 128.00k CBR JointStereo/MS");
}

TEST_F(MpegAudioTest, JunkAfterId3v2IsReported) {
  Bytes file = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 20};
  file.resize(30, 0);
  file.resize(130, 0);  // 100 bytes between the tag and the first frame
  for (int i = 0; i < 10; ++i) Append(file, Frame(kMp3Header, 417));
  TempFile f("junk.mp3", file);
  MediaInfo info = test::AnalyzeFile(f.Path());
  ASSERT_STREQ(info.errorText, "");
  ASSERT_EQ(info.extraCount, 2);
  EXPECT_EQ(Utf8(info.extraText[0]), "無効なデータが存在します(100)");
  EXPECT_STREQ(info.extraText[1], "ID3v2");
  // The tag is left out of the audio bytes, the junk is not.
  EXPECT_DOUBLE_EQ(info.duration, (file.size() - 30) * 8 / 128000.0);
}

TEST_F(MpegAudioTest, TagBehindJunkIsPassedOver) {
  Bytes file(40, 0x20);
  Bytes tag = {'I', 'D', '3', 3, 0, 0, 0, 0, 1, 0};  // 128 + 10 bytes
  tag.resize(138, 0);
  Append(file, tag);
  for (int i = 0; i < 10; ++i) Append(file, Frame(kMp3Header, 417));
  TempFile f("inner.mp3", file);
  MediaInfo info = test::AnalyzeFile(f.Path());
  ASSERT_STREQ(info.errorText, "");
  ASSERT_EQ(info.audioCount, 1);
  EXPECT_STREQ(info.audioText[0], "MPEG1 LIII 44.10kHz 44100 128.00k 128000.00 CBR JointStereo/MS 10");
  ASSERT_EQ(info.extraCount, 1);
  EXPECT_EQ(Utf8(info.extraText[0]), "無効なデータが存在します(40)");
}

TEST_F(MpegAudioTest, FailureMessages) {
  struct Case {
    const char* name;
    Bytes content;
    const char* message;
  } cases[] = {
      {"no header", Bytes(4000, 0x11), "[MP3] シーケンスヘッダが見つかりません"},
      {"free format", Frame(0xFFFB0064, 600), "[MP3] 不正なシーケンスヘッダです"},
      {"tag after junk, no frame behind it", [] {
         Bytes b(50, 0);
         b[0] = 0xFF, b[1] = 0xFB, b[2] = 0xF0;  // detected, but bit-rate 15
         Append(b, {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 0});
         b.resize(400, 0);
         return b;
       }(),
       "[MP3] 不正なシーケンスヘッダです"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempFile f("fail.mp3", c.content);
    MediaInfo info = test::AnalyzeFile(f.Path());
    EXPECT_EQ(info.formatId, format::kMpegAudio);
    EXPECT_EQ(Utf8(info.errorText), c.message);
    EXPECT_EQ(info.audioCount, 0);
  }
}

TEST_F(MpegAudioTest, TruncatedFirstFrame) {
  // A file that ends inside its Xing frame is still described from what is there.
  Bytes f = XingFrame(0x0F, 500, 200000, "LAME3.100");
  f.resize(60);
  TempFile file("cut.mp3", f);
  MediaInfo info = test::AnalyzeFile(file.Path());
  EXPECT_STREQ(info.errorText, "");
  EXPECT_EQ(info.audioCount, 1);
  EXPECT_TRUE(std::isfinite(info.duration));
}

struct RealCase {
  const char* file;
  const char* line;
  const char* tags;  // extra line of tag kinds, "" for none
  double duration;
};

// Lines and durations as the arithmetic of the analyzer gives them; durations
// agree with ffprobe within one frame.
TEST_F(MpegAudioTest, EncoderFiles) {
  const RealCase cases[] = {
      {"mp3_cbr128.mp3",
       "MPEG1 LIII 44100 128.00k CBR JointStereo/MS LAME-Info 40 LAME3.100 CBR 128k 128000 JointStereo []", "",
       17135 * 8 / 128000.0},
      {"mp3_abr96_32k.mp3", nullptr, "", 28 * 1152 / 32000.0},
      {"mp3_vbr_v4.mp3", nullptr, "", 39 * 1152 / 44100.0},
      {"mp3_cbr64_notag.mp3", "MPEG1 LIII 44.10kHz 44100 64.00k 64000.00 CBR Mono 40", "", 8359 * 8 / 64000.0},
      {"mp3_mpeg2_mono.mp3", "MPEG2 LIII 22.05kHz 22050 48.00k 48000.00 CBR Mono 41", "", 6426 * 8 / 48000.0},
      {"mp3_mpeg2_vbr_mono.mp3", nullptr, "", 40 * 576 / 22050.0},
      {"mp3_mpeg25_8k.mp3", "MPEG2.5 LIII 8.00kHz 8000 16.00k 16000.00 CBR Mono 16", "", 2304 * 8 / 16000.0},
      {"mp3_mpeg25_11k_notag.mp3", "MPEG2.5 LIII 11.03kHz 11025 32.00k 32000.00 CBR JointStereo/MS 22", "",
       4597 * 8 / 32000.0},
      {"mp2_layer2_short.mp2", "MPEG1 LII 48.00kHz 48000 192.00k 192000.00 CBR Stereo 21", "", 12096 * 8 / 192000.0},
      {"mp3_tag_id3v2.mp3", "MPEG1 LIII 44.10kHz 44100 64.00k 64000.00 CBR Mono 40", "ID3v2", 8359 * 8 / 64000.0},
      {"mp3_tag_ape_lyrics3_id3v1.mp3", "MPEG1 LIII 44.10kHz 44100 64.00k 64000.00 CBR Mono 40",
       "ID3v1 / APE / Lyrics3", (8359 + 32) * 8 / 64000.0},  // an APE header is not in the tag's size
      {"mp3_tag_id3v2_ape.mp3",
       "MPEG1 LIII 44100 128.00k CBR JointStereo/MS LAME-Info 40 LAME3.100 CBR 128k 128000 JointStereo []",
       "ID3v2 / APE", 17135 * 8 / 128000.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    MediaInfo info = test::AnalyzeFile(test::FixturePath(std::string("audio/") + c.file));
    EXPECT_EQ(info.formatId, format::kMpegAudio);
    ASSERT_STREQ(info.errorText, "");
    ASSERT_EQ(info.audioCount, 1);
    if (c.line) {
      EXPECT_STREQ(info.audioText[0], c.line);
    }
    EXPECT_NEAR(info.duration, c.duration, 1e-9);
    EXPECT_EQ(info.extraCount, c.tags[0] ? 1 : 0);
    if (c.tags[0]) {
      EXPECT_STREQ(info.extraText[0], c.tags);
    }
  }
}

TEST_F(MpegAudioTest, EncoderVbrFilesCarryTheLameTag) {
  MediaInfo vbr = test::AnalyzeFile(test::FixturePath("audio/mp3_vbr_v4.mp3"));
  EXPECT_NE(std::string(vbr.audioText[0]).find("VBR JointStereo/MS Xing 40 LAME3.100 VBR-NEW/MTRH"),
            std::string::npos);
  MediaInfo abr = test::AnalyzeFile(test::FixturePath("audio/mp3_abr96_32k.mp3"));
  EXPECT_NE(std::string(abr.audioText[0]).find("MPEG1 LIII 32000 "), std::string::npos);
  EXPECT_NE(std::string(abr.audioText[0]).find("Xing 29 LAME3.100 ABR 96k 96000 JointStereo"), std::string::npos);
}

TEST_F(MpegAudioTest, SeveralId3v2TagsAndId3v1) {
  MediaInfo info = test::AnalyzeFile(test::FixturePath("audio/mp3_tag_id3v2x2_id3v1.mp3"));
  ASSERT_STREQ(info.errorText, "");
  ASSERT_EQ(info.extraCount, 2);
  EXPECT_EQ(Utf8(info.extraText[0]), "ID3v2タグが複数存在します(2)");
  EXPECT_STREQ(info.extraText[1], "ID3v1 / ID3v2");
  EXPECT_NEAR(info.duration, 8359 * 8 / 64000.0, 1e-9);
}

TEST_F(MpegAudioTest, PublicConformanceStreams) {
  std::string dir = test::PublicMedia("music-metadata/mp3");
  if (dir.empty()) GTEST_SKIP() << "public media absent";
  struct Case {
    const char* file;
    const char* line;
    double duration;
  } cases[] = {
      {"/layer1/fl1.mp1", "MPEG1 LI 32.00kHz 32000 384.00k 384000.00 CBR Stereo 49", 0.588},
      {"/layer1/fl4.mp1", "MPEG1 LI 32.00kHz 32000 32.00k 32000.00 CBR Mono 49", 0.588},
      {"/layer1/fl5.mp1", "MPEG1 LI 48.00kHz 48000 448.00k 448000.00 CBR DualChannel 49", 0.392},
      {"/layer2/fl13.mp2", "MPEG1 LII 32.00kHz 32000 32.00k 32000.00 CBR Mono 49", 1.764},
      {"/layer2/fl16.mp2", "MPEG1 LII 48.00kHz 48000 256.00k 256000.00 CBR Stereo 63", 1.512},
      {"/layer3/compl.mp3", "MPEG1 LIII 48.00kHz 48000 64.00k 64000.00 CBR Mono 216", 5.186875},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    MediaInfo info = test::AnalyzeFile(dir + c.file);
    ASSERT_STREQ(info.errorText, "");
    ASSERT_EQ(info.audioCount, 1);
    EXPECT_STREQ(info.audioText[0], c.line);
    EXPECT_NEAR(info.duration, c.duration, 1e-9);
  }
}

}  // namespace
}  // namespace probex
