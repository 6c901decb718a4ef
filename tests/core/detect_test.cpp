#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "detect.h"
#include "dispatch.h"
#include "fixture.h"
#include "format_id.h"
#include "media_info.h"
#include "messages.h"

namespace probex {
namespace {

using test::Bytes;
using test::TempFile;

Bytes Padded(Bytes head, size_t size = 300) {
  head.resize(std::max(size, head.size()), 0);
  return head;
}

Bytes Text(const std::string& s, size_t at = 0) {
  Bytes b(at, 0);
  b.insert(b.end(), s.begin(), s.end());
  return b;
}

int32_t Detect(const std::string& name, const Bytes& content) {
  TempFile file(name, content);
  MediaInfo info = test::MakeRecord(file.Path());
  DetectFormat(info);
  EXPECT_EQ(info.fileSize, content.size()) << name;
  return info.formatId;
}

TEST(Detect, Signatures) {
  struct Case {
    Bytes head;
    int32_t expected;
  } cases[] = {
      {Text("JFIF", 6), format::kJpeg},
      {Text("exif", 6), format::kJpeg},
      {Text("BM"), format::kBmp},
      {Text("GIF89a"), format::kGif},
      {Text(std::string("RIFF\0\0\0\0AVI ", 12)), format::kAvi},
      {Text(std::string("RIFF\0\0\0\0WAVE", 12)), format::kWave},
      {Text(std::string("RIFF\0\0\0\0CDDA", 12)), format::kCdda},
      {Text(std::string("RIFF\0\0\0\0RMP3", 12)), format::kRmp3},
      {Text(std::string("RIFF\0\0\0\0CDXA", 12)), format::kCdxa},
      {Text(std::string("RIFF\0\0\0\0RMID", 12)), format::kRmid},
      {Text(std::string("RIFF\0\0\0\0QLCM", 12)), format::kQlcm},
      {Text(std::string("RIFF\0\0\0\0JUNK", 12)), format::kUnknown},
      {Text(std::string("riff\0\0\0\0WAVE", 12)), format::kUnknown},  // RIFF is case-sensitive
      {{0x00, 0x00, 0x01, 0xBA, 0x21}, format::kMpeg1},
      {{0x00, 0x00, 0x01, 0xBA, 0x44}, format::kMpeg2Ps},
      {{0x00, 0x00, 0x01, 0xBA, 0xC4}, format::kUnknown},
      {Text("moov", 4), format::kQuickTime},
      {Text("ftyp", 4), format::kMp4},
      {Text("OggS") , format::kOggOther},
      {Text(".RMF"), format::kRealMedia},
      {{0x2E, 0x72, 0x61, 0xFD}, format::kRealAudio},
      {{0x1A, 0x45, 0xDF, 0xA3}, format::kMatroska},
      {Text("FLV"), format::kFlashVideo},
      {Text("MThd"), format::kMidi},
      {Text(".snd"), format::kSunAudio},
      {Text("AIFF", 8), format::kAiff},
      {Text("AIFC", 8), format::kAiff},
      {Text("ADIF"), format::kAac},
      {{0xFF, 0xF1}, format::kAac},
      {{0xFF, 0xF9}, format::kAac},
      {{0xFF, 0xFB}, format::kMpegAudio},
      {{0xFF, 0x10}, format::kMpegAudio},
      {{0x0B, 0x77}, format::kAc3},
      {Text("MAC "), format::kMonkeysAudio},
      {Text("MP+"), format::kMusePack},
      {Text("fLaC"), format::kFlac},
      {Text("TTA1"), format::kTta},
      {Text("wvpk"), format::kWavPack},
      {Text("OFR "), format::kOptimFrog},
      {Text("*RIFF"), format::kOptimFrog},
      {{0xFF, 0x1F, 0x00, 0xE8, 0xF1, 0x07}, format::kDts14Le},
      {{0x1F, 0xFF, 0xE8, 0x00, 0x07, 0xF1}, format::kDts14Be},
      {{0xFE, 0x7F, 0x01, 0x80}, format::kDts16Le},
      {{0x7F, 0xFE, 0x80, 0x01}, format::kDts16Be},
      {Text("TWIN"), format::kTwinVq},
      {Text("S98"), format::kS98},
      {Text("MACRZ", 36), format::kShockwaveAudio},
      {Text("plain text that matches no signature at all"), format::kUnknown},
  };
  for (const Case& c : cases) EXPECT_EQ(Detect("sig.bin", Padded(c.head)), c.expected) << (int)c.head[0];
}

TEST(Detect, OggFirstStreamAndTransportStream) {
  Bytes ogg = Padded(Text("OggS"));
  std::memcpy(ogg.data() + 29, "vorbis", 6);
  EXPECT_EQ(Detect("a.ogg", ogg), format::kOggVorbis);
  ogg = Padded(Text("OggS"));
  std::memcpy(ogg.data() + 28, "Speex", 5);
  EXPECT_EQ(Detect("a.spx", ogg), format::kOggSpeex);
  ogg = Padded(Text("OggS"));
  std::memcpy(ogg.data() + 28, "fLaC", 4);
  EXPECT_EQ(Detect("a.oga", ogg), format::kOggFlac);

  Bytes ts(400, 0);
  ts[0] = ts[188] = 0x47;
  EXPECT_EQ(Detect("a.bin", ts), format::kMpeg2Ts);
  Bytes m2ts(400, 0);
  m2ts[4] = m2ts[196] = 0x47;
  EXPECT_EQ(Detect("a.bin", m2ts), format::kMpeg2Ts);
}

TEST(Detect, Id3v2IsSkippedBeforeTheSignature) {
  Bytes tagged = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 20};
  tagged.resize(30, 0);
  Bytes mp3 = tagged;
  mp3.insert(mp3.end(), {0xFF, 0xFB, 0x90, 0x00});
  EXPECT_EQ(Detect("x.bin", Padded(mp3)), format::kMpegAudio);
  Bytes aac = tagged;
  aac.insert(aac.end(), {0xFF, 0xF1, 0x50, 0x80});
  EXPECT_EQ(Detect("x.bin", Padded(aac)), format::kAac);
}

TEST(Detect, ExtensionRules) {
  Bytes noise = Padded(Text("no signature here, just text"));
  struct Case {
    const char* name;
    int32_t expected;
  } cases[] = {
      {"a.MP3", format::kMpegAudio}, {"a.mpga", format::kMpegAudio}, {"a.mpg", format::kMpeg1},
      {"a.mpeg", format::kMpeg1},    {"a.m1v", format::kMpeg1},       {"a.m2v", format::kMpeg2Ps},
      {"a.VOB", format::kMpeg2Ps},   {"a.m2t", format::kMpeg2Ts},     {"a.m2ts", format::kMpeg2Ts},
      {"a.ts", format::kMpeg2Ts},    {"a.tsx", format::kUnknown},     {"a.rmp", format::kWave},
      {"a.mp2", format::kMpegAudio}, {"a.mpa", format::kMpegAudio},   {"a.ac3", format::kAc3},
      {"a.aac", format::kAac},       {"a.mov", format::kQuickTime},   {"a.qtx", format::kQuickTime},
      {"a.3gp", format::kMp4},       {"a.3gpp", format::kMp4},        {"a.3g2", format::kMp4},
      {"a.amc", format::kMp4},       {"a.mp4", format::kMp4},         {"a.m4a", format::kMp4},
      {"a.m4v", format::kMp4},       {"a.txt", format::kUnknown},     {"noextension", format::kUnknown},
      {"a.mp3.bak", format::kUnknown},
  };
  for (const Case& c : cases) EXPECT_EQ(Detect(c.name, noise), c.expected) << c.name;
}

TEST(Detect, PlaylistsShortMissingAndLongPaths) {
  struct Case {
    const char16_t* path;
    int32_t expected;
  } playlists[] = {
      {u"/none/a.vrtql", format::kPlaylistVrtql}, {u"/none/a.pls", format::kPlaylistPls},
      {u"/none/a.LST", format::kPlaylistLst},     {u"/none/a.zpl", format::kPlaylistZpl},
      {u"/none/a.bsl", format::kPlaylistBsl},     {u"/none/a.m3u", format::kPlaylistM3u},
      {u"/none/a.M3U8", format::kPlaylistM3u8},   {u"/none/a.mp3", format::kUnopenable},
  };
  for (const Case& c : playlists) {
    MediaInfo info = test::MakeRecord("");
    std::u16string p = c.path;
    std::copy(p.begin(), p.end(), info.path);
    DetectFormat(info);
    EXPECT_EQ(info.formatId, c.expected);
    EXPECT_EQ(info.fileSize, 0u);
  }
  EXPECT_EQ(Detect("short.mp3", Bytes(39, 0xFF)), format::kUnknown);

  // A path that fills all 256 units has no terminator: unopenable, not cut.
  MediaInfo info = test::MakeRecord("");
  for (auto& unit : info.path) unit = u'a';
  DetectFormat(info);
  EXPECT_EQ(info.formatId, format::kUnopenable);
}

TEST(Detect, NonAsciiPathsReachTheFile) {
  Bytes bmp = Padded(Text("BM"), 120);
  bmp[14] = 40;
  for (const char* name : {"テスト画像.bmp", "emoji-\xF0\x9F\x8E\xB5.bmp", "caf\xC3\xA9 (1).bmp"}) {
    TempFile file(name, bmp);
    MediaInfo info = test::AnalyzeFile(file.Path());
    EXPECT_EQ(info.formatId, format::kBmp) << name;
    EXPECT_EQ(info.videoCount, 1) << name;
  }
}

Bytes AsfObject(const uint8_t (&guid)[16], uint64_t size, Bytes body = {}) {
  Bytes b(guid, guid + 16);
  for (int i = 0; i < 8; ++i) b.push_back(static_cast<uint8_t>(size >> (8 * i)));
  body.resize(size >= 24 ? size - 24 : body.size(), 0);
  b.insert(b.end(), body.begin(), body.end());
  return b;
}

constexpr uint8_t kHeader[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr uint8_t kFileProps[16] = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11, 0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
constexpr uint8_t kStreamProps[16] = {0x91, 0x07, 0xDC, 0xB7, 0xB7, 0xA9, 0xCF, 0x11, 0x8E, 0xE6, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
constexpr uint8_t kAudio[16] = {0x40, 0x9E, 0x69, 0xF8, 0x4D, 0x5B, 0xCF, 0x11, 0xA8, 0xFD, 0x00, 0x80, 0x5F, 0x5C, 0x44, 0x2B};
constexpr uint8_t kVideo[16] = {0xC0, 0xEF, 0x19, 0xBC, 0x4D, 0x5B, 0xCF, 0x11, 0xA8, 0xFD, 0x00, 0x80, 0x5F, 0x5C, 0x44, 0x2B};

Bytes Asf(std::initializer_list<Bytes> children) {
  Bytes body(6, 0);
  for (const Bytes& c : children) body.insert(body.end(), c.begin(), c.end());
  return AsfObject(kHeader, 24 + body.size(), body);
}

TEST(Detect, AsfScan) {
  Bytes fileProps = AsfObject(kFileProps, 104);
  Bytes audio = AsfObject(kStreamProps, 78, Bytes(kAudio, kAudio + 16));
  Bytes video = AsfObject(kStreamProps, 78, Bytes(kVideo, kVideo + 16));
  EXPECT_EQ(Detect("a.wma", Asf({fileProps, audio})), format::kAsfAudio);
  EXPECT_EQ(Detect("a.wmv", Asf({fileProps, audio, video})), format::kAsfVideo);
  EXPECT_EQ(Detect("a.wmv", Asf({audio, video})), format::kUnknown);  // no file properties
  EXPECT_EQ(Detect("a.wmv", Asf({fileProps})), format::kUnknown);
  // Malformed sizes end the scan instead of looping or running off the file.
  EXPECT_EQ(Detect("a.wmv", Padded(Asf({fileProps, AsfObject(kStreamProps, 0)}), 400)), format::kUnknown);
  EXPECT_EQ(Detect("a.wmv", Asf({fileProps, AsfObject(kStreamProps, 10)})), format::kUnknown);
  Bytes huge = AsfObject(kStreamProps, 78, Bytes(kAudio, kAudio + 16));
  huge[16] = 0xFF, huge[23] = 0x7F;  // a 64-bit size far past the file
  EXPECT_EQ(Detect("a.wmv", Asf({fileProps, huge})), format::kUnknown);
}

TEST(Dispatch, UnopenableAndExceptionsBecomeErrorText) {
  MediaInfo info = test::MakeRecord("/does/not/matter");
  info.formatId = format::kUnopenable;
  Dispatch(info);
  EXPECT_EQ(test::Utf8(info.errorText), "ファイルのオープンに失敗");

  MediaInfo thrown = test::MakeRecord("/x");
  thrown.formatId = 21;
  RunGuarded(thrown, [](MediaInfo& i) {
    AddAudioText(i, "partial");
    throw std::runtime_error("boom");
  });
  EXPECT_EQ(test::Utf8(thrown.errorText), "[Exception] 例外終了(21)");
  EXPECT_EQ(thrown.audioCount, 1);

  MediaInfo missing = test::MakeRecord("/nonexistent/file.bin");
  DetectFormat(missing);
  EXPECT_EQ(missing.formatId, format::kUnopenable);
  Dispatch(missing);
  EXPECT_EQ(test::Utf8(missing.errorText), "ファイルのオープンに失敗");
}

}  // namespace
}  // namespace probex
