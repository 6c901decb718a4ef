#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "fixture.h"
#include "media_info.h"
#include "probex.h"
#include "report.h"

namespace probex {
namespace {

std::string Full(const MediaInfo& info) { return FullReport(info); }
std::string One(const MediaInfo& info) { return OneLineReport(info); }

MediaInfo Record() { return test::MakeRecord("/x"); }

TEST(Report, SingleAudioEntryWithTimeAndSize) {
  MediaInfo info = Record();
  AddAudioText(info, "MP3 44.10kHz");
  info.duration = 185.5;
  info.fileSize = 1234567;
  EXPECT_EQ(Full(info), "MP3 44.10kHz\r\n00:03:05.500 (185.500sec) / 1,234,567Bytes");
  EXPECT_EQ(One(info), "MP3 44.10kHz 00:03:05.500");
}

TEST(Report, TimeSplitAndSizeText) {
  struct Case {
    double duration;
    const char* full;
    const char* one;
  } cases[] = {
      {3725.25, "01:02:05.250 (3725.250sec) / 0Bytes", " 01:02:05.250"},
      {0.0, "00:00:00.000 (0.000sec) / 0Bytes", " 00:00:00.000"},
      {-1.0, "0Bytes", ""},
      {INFINITY, "0Bytes", ""},
      {NAN, "0Bytes", ""},
      {1e300, "0Bytes", ""},
      {-5.5, "00:00:-5.-500 (-5.500sec) / 0Bytes", " 00:00:-5.-500"},
      {360000.0, "100:00:00.000 (360000.000sec) / 0Bytes", " 100:00:00.000"},
  };
  for (const Case& c : cases) {
    MediaInfo info = Record();
    info.duration = c.duration;
    EXPECT_EQ(Full(info), c.full) << c.duration;
    EXPECT_EQ(One(info), c.one) << c.duration;
  }
  EXPECT_EQ(SizeText(999), "999");
  EXPECT_EQ(SizeText(1000), "1,000");
  EXPECT_EQ(SizeText(1000000), "1,000,000");
  EXPECT_EQ(SizeText(18446744073709551615ull), "18,446,744,073,709,551,615");
}

TEST(Report, HeadingsSpacesAndFormatName) {
  MediaInfo info = Record();
  AddVideoText(info, "V1");
  AddVideoText(info, "V2");
  AddAudioText(info, "A1");
  SetFormatName(info, "Matroska");
  info.duration = -1.0;
  info.fileSize = 5;
  EXPECT_EQ(Full(info), "[Video][2]\r\nV1\r\nV2\r\nA1\r\n[Matroska] 5Bytes");
  EXPECT_EQ(One(info), "Matroska [2] V1 A1");

  MediaInfo noAudio = Record();
  AddVideoText(noAudio, "V");
  AddExtraText(noAudio, "E1");
  AddExtraText(noAudio, "E2");
  noAudio.duration = -1.0;
  EXPECT_EQ(One(noAudio), "V[2] [E1]");
  EXPECT_EQ(Full(noAudio), "V\r\n[Extra][2]\r\nE1\r\nE2\r\n0Bytes");

  MediaInfo audioExtra = Record();
  AddAudioText(audioExtra, "A");
  AddExtraText(audioExtra, "ID3v2");
  audioExtra.duration = -1.0;
  EXPECT_EQ(One(audioExtra), "A [ID3v2]");
}

TEST(Report, ErrorTextWinsOverEverything) {
  MediaInfo info = Record();
  AddAudioText(info, "A");
  SetFormatName(info, "X");
  SetErrorText(info, "[MP3] broken");
  EXPECT_EQ(Full(info), "[MP3] broken");
  EXPECT_EQ(One(info), "[MP3] broken");
}

TEST(Report, ExportsAppendAndLengthsAreExact) {
  std::vector<MediaInfo> records;
  MediaInfo a = Record();
  AddAudioText(a, "AAC 48.00kHz");
  a.duration = 12.345;
  a.fileSize = 123456;
  records.push_back(a);
  MediaInfo b = Record();
  std::string full(511, 'x');
  for (int i = 0; i < 10; ++i) AddVideoText(b, full.c_str());
  for (int i = 0; i < 10; ++i) AddAudioText(b, full.c_str());
  for (int i = 0; i < 5; ++i) AddExtraText(b, full.c_str());
  SetFormatName(b, std::string(40, 'n').c_str());
  b.duration = 1e9;
  b.fileSize = ~0ull;
  records.push_back(b);
  MediaInfo c = Record();
  SetErrorText(c, std::string(600, 'e').c_str());
  records.push_back(c);
  MediaInfo d = Record();  // unterminated fields and wild counts from a careless caller
  std::memset(d.formatName, 'f', sizeof d.formatName);
  d.videoCount = 1000;
  d.audioCount = -4;
  std::memset(d.videoText, 'v', sizeof d.videoText);
  records.push_back(d);

  for (const MediaInfo& info : records) {
    int32_t fullLen = ConvertFullLen(&info);
    int32_t oneLen = ConvertOneLen(&info);
    std::vector<char> out(static_cast<size_t>(fullLen) + 16, '#');
    out[0] = '\0';
    ConvertFull(&info, out.data());
    EXPECT_EQ(std::strlen(out.data()) + 1, static_cast<size_t>(fullLen));
    EXPECT_EQ(out[static_cast<size_t>(fullLen)], '#');
    std::vector<char> line(static_cast<size_t>(oneLen) + 16, '#');
    line[0] = '\0';
    ConvertOne(&info, line.data());
    EXPECT_EQ(std::strlen(line.data()) + 1, static_cast<size_t>(oneLen));
    EXPECT_EQ(line[static_cast<size_t>(oneLen)], '#');
  }
}

TEST(Report, ConvertFullTwiceAppendsTwice) {
  MediaInfo info = Record();
  AddAudioText(info, "A");
  info.duration = -1.0;
  std::vector<char> out(2 * static_cast<size_t>(ConvertFullLen(&info)), '\0');
  ConvertFull(&info, out.data());
  ConvertFull(&info, out.data());
  EXPECT_STREQ(out.data(), "A\r\n0BytesA\r\n0Bytes");
  // An error replaces what the buffer held.
  SetErrorText(info, "E");
  ConvertFull(&info, out.data());
  EXPECT_STREQ(out.data(), "E");
}

}  // namespace
}  // namespace probex
