#include "audio/shockwave_audio.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "fixture.h"
#include "probex_formats.h"
#include "stream_test_support.h"

namespace probex {
namespace {

using test::Append;
using test::Bytes;
using test::TempFile;
using test::Utf8;

// The length field, then a header of that length with "MACRZ" at file offset 36.
Bytes SwaHeader(uint32_t length) {
  Bytes b = {static_cast<uint8_t>(length >> 24), static_cast<uint8_t>(length >> 16),
             static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)};
  b.resize(64, 0);
  std::memcpy(b.data() + 36, "MACRZ", 5);
  return b;
}

Bytes Id3v2(uint8_t size) {
  Bytes b = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, size};
  b.resize(10 + size, 0);
  return b;
}

class ShockwaveAudioTest : public ::testing::Test {
 protected:
  void SetUp() override { test::UseStreamTemplates(); }
};

TEST_F(ShockwaveAudioTest, MpegAudioBehindTheHeader) {
  Bytes mp3 = test::ReadFile(test::FixturePath("audio/mp3_cbr64_notag.mp3"));
  ASSERT_FALSE(mp3.empty());
  Bytes plain = SwaHeader(60);
  Append(plain, mp3);
  Bytes tagged = SwaHeader(60);
  Append(tagged, Id3v2(40));
  Append(tagged, mp3);
  Bytes id3v1(128, 0);
  std::memcpy(id3v1.data(), "TAG", 3);
  Append(tagged, id3v1);
  struct Case {
    const char* name;
    Bytes file;
    const char* tags;
    double audioBytes;
  } cases[] = {
      {"plain", plain, nullptr, 64.0 + mp3.size()},
      {"tags", tagged, "ID3v1 / ID3v2", 64.0 + mp3.size()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempFile f("sound.swa", c.file);
    MediaInfo info = test::AnalyzeFile(f.Path());
    EXPECT_EQ(info.formatId, format::kShockwaveAudio);
    ASSERT_STREQ(info.errorText, "");
    EXPECT_STREQ(info.formatName, "Shockwave Audio");
    ASSERT_EQ(info.audioCount, 1);
    EXPECT_STREQ(info.audioText[0], "MPEG1 LIII 44.10kHz 44100 64.00k 64000.00 CBR Mono 40");
    EXPECT_EQ(info.extraCount, c.tags ? 1 : 0);
    if (c.tags) {
      EXPECT_STREQ(info.extraText[0], c.tags);
    }
    EXPECT_DOUBLE_EQ(info.duration, c.audioBytes * 8 / 64000);
  }
}

TEST_F(ShockwaveAudioTest, Failures) {
  Bytes garbage = SwaHeader(60);
  garbage.resize(3000, 0x11);
  Bytes freeFormat = SwaHeader(60);
  Append(freeFormat, {0xFF, 0xFB, 0x00, 0x64});
  freeFormat.resize(1000, 0);
  Bytes beyond = SwaHeader(0x7FFFFFF0);
  beyond.resize(3000, 0xFF);  // frame-like bytes that lie before the claimed end
  struct Case {
    const char* name;
    Bytes file;
    const char* message;
  } cases[] = {
      {"no frame", garbage, "[ShockwaveAudio-MP3] シーケンスヘッダが見つかりません"},
      {"free format", freeFormat, "[ShockwaveAudio-MP3] 不正なシーケンスヘッダです"},
      {"header longer than the file", beyond, "[ShockwaveAudio-MP3] シーケンスヘッダが見つかりません"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempFile f("bad.swa", c.file);
    MediaInfo info = test::AnalyzeFile(f.Path());
    EXPECT_EQ(info.formatId, format::kShockwaveAudio);
    EXPECT_EQ(Utf8(info.errorText), c.message);
    EXPECT_EQ(info.audioCount, 0);
  }
}

}  // namespace
}  // namespace probex
