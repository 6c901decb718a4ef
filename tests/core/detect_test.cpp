#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "detect.h"
#include "dispatch.h"
#include "fixture.h"
#include "probex_formats.h"
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
      {Text(std::string("RIFF\0\0\0\0WEBP", 12)), format::kWebp},
      {Text(std::string("RF64\xFF\xFF\xFF\xFFWAVE", 12)), format::kWave},
      {Text(std::string("BW64\xFF\xFF\xFF\xFFWAVE", 12)), format::kWave},
      {Text(std::string("RF64\xFF\xFF\xFF\xFFJUNK", 12)), format::kUnknown},
      {Text("\x89PNG\r\n\x1A\n"), format::kPng},
      {Text("\x89png\r\n\x1A\n"), format::kUnknown},
      {Text(std::string("caff\0\x01\0\0", 8)), format::kCaf},
      {Text("MPCK"), format::kMusePack},
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

// Real encoder output: every fixture gets the FormatId its bytes call for.
TEST(Detect, FixtureFiles) {
  struct Case {
    const char* file;
    int32_t expected;
  } cases[] = {
      {"tests/fixtures/audio/aac_lc_22k.aac", 117},
      {"tests/fixtures/audio/aac_lc_44k.aac", 117},
      {"tests/fixtures/audio/aac_lc_51.aac", 117},
      {"tests/fixtures/audio/ac3_51_384k.ac3", 113},
      {"tests/fixtures/audio/ac3_51_640k.ac3", 113},
      {"tests/fixtures/audio/ac3_stereo_192k.ac3", 113},
      {"tests/fixtures/audio/au_pcm16_22k.au", 104},
      {"tests/fixtures/audio/au_pcm16_96k.au", 104},
      {"tests/fixtures/audio/au_ulaw_8k.au", 104},
      {"tests/fixtures/audio/au_unknown_size.au", 104},
      {"tests/fixtures/audio/dts_14be.dts", 121},
      {"tests/fixtures/audio/dts_14le.dts", 120},
      {"tests/fixtures/audio/dts_16be.dts", 123},
      {"tests/fixtures/audio/dts_16le.dts", 122},
      {"tests/fixtures/audio/eac3_51_256k.eac3", 113},
      {"tests/fixtures/audio/eac3_stereo_96k.eac3", 113},
      {"tests/fixtures/audio/flac_16_tags_picture.flac", 116},
      {"tests/fixtures/audio/flac_24bit.flac", 116},
      {"tests/fixtures/audio/flac_6ch.flac", 116},
      {"tests/fixtures/audio/flac_cuesheet.flac", 116},
      {"tests/fixtures/audio/midi_format0.mid", 102},
      {"tests/fixtures/audio/midi_format1.mid", 102},
      {"tests/fixtures/audio/mp2_layer2.mp2", 106},
      {"tests/fixtures/audio/mp3_abr96.mp3", 106},
      {"tests/fixtures/audio/mp3_all_tags.mp3", 106},
      {"tests/fixtures/audio/mp3_apev2.mp3", 106},
      {"tests/fixtures/audio/mp3_cbr128.mp3", 106},
      {"tests/fixtures/audio/mp3_id3v1_id3v2.mp3", 106},
      {"tests/fixtures/audio/mp3_mpeg25_8k.mp3", 106},
      {"tests/fixtures/audio/mp3_mpeg2_22k.mp3", 106},
      {"tests/fixtures/audio/mp3_vbr_v2.mp3", 106},
      {"tests/fixtures/audio/ogg_flac.oga", 111},
      {"tests/fixtures/audio/ogg_opus.opus", 15},
      {"tests/fixtures/audio/ogg_speex.spx", 110},
      {"tests/fixtures/audio/ogg_vorbis.ogg", 109},
      {"tests/fixtures/audio/tta.tta", 119},
      {"tests/fixtures/audio/wavpack_apetag.wv", 124},
      {"tests/fixtures/audio/wavpack_hybrid.wv", 124},
      {"tests/fixtures/audio/wavpack_hybrid.wvc", 124},
      {"tests/fixtures/audio/wavpack_hybrid_lossy.wv", 124},
      {"tests/fixtures/audio/wavpack_lossless.wv", 124},
      {"tests/fixtures/video/h264_baseline.h264", 1},
      {"tests/fixtures/video/h264_baseline.mp4", 21},
      {"tests/fixtures/video/h264_high.h264", 1},
      {"tests/fixtures/video/h264_high.mp4", 21},
      {"tests/fixtures/video/h264_high422_10bit.h264", 1},
      {"tests/fixtures/video/h264_high422_10bit.mp4", 21},
      {"tests/fixtures/video/h264_high_scaling_lists.h264", 1},
      {"tests/fixtures/video/h264_interlaced.h264", 1},
      {"tests/fixtures/video/h264_main.h264", 1},
      {"tests/fixtures/video/h264_main.mp4", 21},
      {"tests/fixtures/video/m2ts_h264_ac3.m2ts", 17},
      {"tests/fixtures/video/mpeg1_system.mpg", 13},
      {"tests/fixtures/video/mpeg1_video.m1v", 13},
      {"tests/fixtures/video/mpeg2_program.vob", 16},
      {"tests/fixtures/video/mpeg2_video.m2v", 16},
      {"tests/fixtures/video/mpeg4_bframes.avi", 12},
      {"tests/fixtures/video/mpeg4_bframes.mp4", 21},
      {"tests/fixtures/video/mpeg4_nob.avi", 12},
      {"tests/fixtures/video/mpeg4_nob.mp4", 21},
      {"tests/fixtures/video/mpeg4_xvid_fourcc.avi", 12},
      {"tests/fixtures/video/ts_h264_aac.ts", 17},
      {"tests/fixtures/video/ts_mpeg2_mp2.ts", 17},
      {"tests/fixtures/video/ts_two_programs.ts", 17},
      {"tests/fixtures/video/xvid_libxvid.avi", 12},
      {"tests/fixtures/containers/3g2_h263_aac.3g2", 21},
      {"tests/fixtures/containers/3gp_h263_amrnb.3gp", 21},
      {"tests/fixtures/containers/aifc_float32.aifc", 105},
      {"tests/fixtures/containers/aifc_sowt.aifc", 105},
      {"tests/fixtures/containers/aiff_pcm16.aiff", 105},
      {"tests/fixtures/containers/asf_wma_only.wma", 112},
      {"tests/fixtures/containers/asf_wmv2_wmav2.wmv", 18},
      {"tests/fixtures/containers/avi_h264_mp3.avi", 12},
      {"tests/fixtures/containers/avi_mjpeg_pcm.avi", 12},
      {"tests/fixtures/containers/avi_mpeg4_mp3.avi", 12},
      {"tests/fixtures/containers/avi_msmpeg4v3_ac3.avi", 12},
      {"tests/fixtures/containers/flv_flv1_mp3.flv", 26},
      {"tests/fixtures/containers/flv_h264_aac.flv", 26},
      {"tests/fixtures/containers/m4a_aac.m4a", 21},
      {"tests/fixtures/containers/m4a_alac.m4a", 21},
      {"tests/fixtures/containers/mkv_ffmpeg.mkv", 25},
      {"tests/fixtures/containers/mkv_mkvmerge.mkv", 25},
      {"tests/fixtures/containers/mov_h264_aac.mov", 21},
      {"tests/fixtures/containers/mov_mjpeg_pcm.mov", 21},
      {"tests/fixtures/containers/mp4_chapters.mp4", 21},
      {"tests/fixtures/containers/mp4_faststart.mp4", 21},
      {"tests/fixtures/containers/mp4_fragmented.mp4", 21},
      {"tests/fixtures/containers/mp4_h264_aac.mp4", 21},
      {"tests/fixtures/containers/mp4_subtitles.mp4", 21},
      {"tests/fixtures/containers/ogg_theora_vorbis.ogv", 15},
      {"tests/fixtures/containers/rm_ra144_only.rm", 19},
      {"tests/fixtures/containers/rm_rv10_ac3.rm", 19},
      {"tests/fixtures/containers/rm_rv20_ac3.rm", 19},
      {"tests/fixtures/containers/wav_ac3.wav", 101},
      {"tests/fixtures/containers/wav_bwf.wav", 101},
      {"tests/fixtures/containers/wav_dts.wav", 101},
      {"tests/fixtures/containers/wav_float32.wav", 101},
      {"tests/fixtures/containers/wav_ima_adpcm.wav", 101},
      {"tests/fixtures/containers/wav_list_info.wav", 101},
      {"tests/fixtures/containers/wav_mp3.wav", 101},
      {"tests/fixtures/containers/wav_pcm16.wav", 101},
      {"tests/fixtures/containers/webm_vp8_vorbis.webm", 25},
      {"tests/fixtures/containers/webm_vp9_opus.webm", 25},
      {"samples/sample.bmp", 51},
      {"samples/sample.gif", 53},
      {"samples/sample.jpg", 52},
      {"samples/sample.mp3", 106},
      {"samples/sample.mp4", 21},
  };
  for (const Case& c : cases) {
    MediaInfo info = test::MakeRecord(std::string(VORTAQ_SOURCE_DIR) + "/" + c.file);
    DetectFormat(info);
    EXPECT_EQ(info.formatId, c.expected) << c.file;
    EXPECT_GT(info.fileSize, 0u) << c.file;
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
  // A file cut short inside its header: what the header holds up to the cut
  // still counts, as it does for the analyzer.
  Bytes cut = Asf({fileProps, audio, video});
  cut.resize(cut.size() - 30);
  EXPECT_EQ(Detect("a.wma", cut), format::kAsfAudio);
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

// A file name that is no UTF-8 arrives as lone surrogates U+DC80..U+DCFF, one
// per byte that does not decode, and must open as those very bytes.
TEST(Detect, NamesThatAreNoUtf8OpenByTheirOwnBytes) {
  TempFile file(std::string("tone\xE9\xFF.mp3"), Padded({0xFF, 0xFB, 0x90, 0x64}, 4000));
  const std::string& path = file.Path();
  const size_t nameAt = path.rfind('/') + 1;
  MediaInfo info = test::MakeRecord(path.substr(0, nameAt));
  size_t n = 0;
  while (info.path[n]) ++n;
  for (unsigned char c : path.substr(nameAt))
    info.path[n++] = c < 0x80 ? c : static_cast<char16_t>(0xDC00 + c);
  DetectFormat(info);
  EXPECT_EQ(info.fileSize, 4000u);
  EXPECT_NE(info.formatId, format::kUnopenable);
}

}  // namespace
}  // namespace probex
