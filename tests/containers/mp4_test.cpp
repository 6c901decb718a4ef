#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "damage.h"
#include "dispatch.h"
#include "box_builders.h"
#include "file_reader.h"
#include "fixture.h"
#include "probex_formats.h"
#include "media_info.h"
#include "../../probe/containers/mp4.h"
#include "report.h"

namespace probex {
namespace {

using test::Bytes;
using namespace test;

MediaInfo Analyze(const Bytes& file, int32_t formatId = format::kMp4) {
  TempFile f("movie.mp4", file);
  MediaInfo info = MakeRecord(f.Path());
  info.formatId = formatId;
  Dispatch(info);
  return info;
}

// A one-track audio movie: 10 samples of 100 bytes over 2 s.
Bytes AudioTrak(uint32_t id = 1) {
  return Trak(id, "soun", Stsd(SoundEntry("twos", 1, 16, 8000, Bytes())),
              Cat({Stts({{10, 1600}}), Stsz(0, {100, 100, 100, 100, 100, 100, 100, 100, 100, 100}), Stco(0)}),
              Mdhd(8000, 16000));
}
Bytes VideoTrak(uint32_t id, const Bytes& tables) {
  return Trak(id, "vide", Stsd(VisualEntry("mjpa", 320, 240, Bytes())), tables);
}

// ---- Fragments ----

Bytes Moof(uint32_t trackId, uint32_t tfhdFlags, const Bytes& tfhdFields, uint32_t trunFlags, uint32_t count,
           const Bytes& records) {
  Bytes tfhd = FullBox("tfhd", 0, tfhdFlags, Cat({BE32(trackId), tfhdFields}));
  Bytes trun = FullBox("trun", 0, trunFlags, Cat({BE32(count), trunFlags & 1 ? BE32(0) : Bytes(), records}));
  return Box("moof", Cat({FullBox("mfhd", 0, 0, BE32(1)), Box("traf", Cat({tfhd, trun}))}));
}

class Mp4Test : public ::testing::Test {
 protected:
  void SetUp() override { UseShippedTemplates(); }
};

// ---- Real files ----

TEST_F(Mp4Test, EncoderFilesGiveTheirOneLineSummary) {
  struct Case {
    const char* file;
    int32_t formatId;
    const char* summary;
    int videos, audios;
    double duration;
  } cases[] = {
      {"mp4_x264_aac.mp4", format::kMp4,
       "MPEG4 AVC/H.264 Baseline@1.1 160x120 25.00fps 36.79kbps PAR 1:1 Progressive AAC HE(LC) 44.10kHz "
       "2.0ch(L+R) 46.22kbps [2] [MP4 (ISO Base Media)] 00:00:01.000",
       1, 1, 1.0},
      {"mp4_mpeg4_mp3.mp4", format::kMp4,
       "MPEG4 MPEG-4 Visual Simple@L1 176x144 25.00fps 76.46kbps PAR 1:1 Progressive MPEG-1 Layer III 48.00kHz "
       "JointStereo/MS 64.00kbps CBR [2] [MP4 (ISO Base Media)] 00:00:01.000",
       1, 1, 1.0},
      {"m4a_aac_tagged.m4a", format::kMp4,
       "MPEG4 AAC HE(LC) 44.10kHz 2.0ch(L+R) 46.22kbps [2] [iTunes Audio (M4A)] 00:00:01.000", 0, 1, 1.0},
      {"m4a_alac_mono.m4a", format::kMp4,
       "MPEG4 Apple Lossless 22.05kHz 16bit 1ch 85.18kbps [2] [iTunes Audio (M4A)] 00:00:00.500", 0, 1, 0.5},
      {"mp4_fragmented_baseline.mp4", format::kMp4,
       "MPEG4 AVC/H.264 Baseline@1.1 160x120 24.43fps 60.07kbps PAR 1:1 Progressive AAC HE(LC) 44.10kHz "
       "2.0ch(L+R) 48.00kbps [3] [MP4 (ISO Base Media)] 00:00:01.023",
       1, 1, 1.023},
      {"mp4_chapters_video_only.mp4", format::kMp4,
       "MPEG4 AVC/H.264 Baseline@1.1 160x120 25.00fps 36.79kbps PAR 1:1 Progressive[2] [MP4 (ISO Base Media)] "
       "00:00:01.000",
       1, 0, 1.0},
      // ffmpeg writes an ftyp into .mov files too: detection makes them MP4.
      {"mov_photojpeg_pcm_le.mov", format::kMp4,
       "MPEG4 Photo JPEG 64x48 24bpp 10.00fps 59.26kbps PCM (LE) 22.05kHz 16bit 1ch 352.80kbps [QuickTime] "
       "00:00:01.000",
       1, 1, 1.0},
      {"mov_h264_pcm_be.mov", format::kMp4,
       "MPEG4 AVC/H.264 Baseline@1.1 160x120 25.00fps 36.79kbps PAR 1:1 Progressive PCM (BE) 8.00kHz 16bit 1ch "
       "128.00kbps [QuickTime] 00:00:01.000",
       1, 1, 1.0},
      // The 3GPP sample entry always says two channels; the mono configuration
      // rules SBR out, so no PS is inferred.
      // MPEG-2 and MPEG-1 video: the sequence header of the first sample.
      {"../mpeg/mpeg2_video.mp4", format::kMp4,
       "MPEG4 MPEG2 MP@ML 176x144 25.00fps 114.02kbps VBR 1:1 Progressive[2] [MP4 (ISO Base Media)] 00:00:00.520", 1, 0,
       0.52},
      {"../mpeg/mpeg1_video.mp4", format::kMp4, "MPEG4 MPEG1 176x144 25.00fps 98.46kbps VBR 1:1[2] [MP4 (ISO Base Media)] 00:00:00.520",
       1, 0, 0.52},
      {"3gp_h263_aac.3gp", format::kMp4,
       "MPEG4 H.263 (3GPP) 176x144 24bpp 15.00fps 35.46kbps AAC HE(LC) 16.00kHz 1.0ch(C) 25.96kbps "
       "[3GPP Release 4] 00:00:01.000",
       1, 1, 1.0},
      // ffprobe: opus 48000 Hz stereo 0.300 s; eac3 48000 Hz 6 channels 384 kb/s and ac3 48000 Hz stereo
      // 192 kb/s, 0.315 s; dts 48000 Hz 6 channels 768 kb/s 0.203 s; pcm_s24be (in24) 48000 Hz and
      // pcm_f32be (fl32) 44100 Hz stereo, 0.100 s. MediaInfo agrees on codecs, rates and channels.
      {"mp4_opus.mp4", format::kMp4, "MPEG4 Opus 48.00kHz 2ch 126.51kbps [2] [MP4 (ISO Base Media)] 00:00:00.300", 0, 1,
       0.3},
      {"mp4_eac3_ac3.mp4", format::kMp4,
       "MPEG4 [2] Dolby Digital Plus 48.00kHz 5.1ch(L+C+R+SL+SR+LFE) 384.00kbps CM [2] [MP4 (ISO Base Media)] "
       "00:00:00.315",
       0, 2, 0.315},
      {"mp4_dts.mp4", format::kMp4,
       "MPEG4 DTS 48.00kHz 16bit 5.1ch(C+L+R+SL+SR+LFE) 768.00kbps 16BitBE [2] [MP4 (ISO Base Media)] 00:00:00.203", 0,
       1, 0.203},
      {"mov_pcm_in24_fl32.mov", format::kMp4, "MPEG4 [2] PCM 24-bit 48.00kHz 24bit 2ch 2304.00kbps [QuickTime] 00:00:00.100",
       0, 2, 0.1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    MediaInfo info = AnalyzeFile(FixturePath(std::string("containers/") + c.file));
    EXPECT_EQ(info.formatId, c.formatId);
    EXPECT_STREQ(info.errorText, "");
    EXPECT_STREQ(info.formatName, "MPEG4");
    EXPECT_EQ(info.videoCount, c.videos);
    EXPECT_EQ(info.audioCount, c.audios);
    EXPECT_NEAR(info.duration, c.duration, c.duration * 0.01);
    EXPECT_EQ(OneLineReport(info), c.summary);
  }
}

TEST_F(Mp4Test, ExtraLinesForBrandFragmentsMetadataAndChapters) {
  struct Case {
    const char* file;
    std::vector<std::string> extras;
  } cases[] = {
      {"mp4_fragmented_baseline.mp4", {"MP4 (ISO Base Media)", "MovieFragment(3)", "MetaData"}},
      {"mp4_chapters_video_only.mp4", {"MP4 (ISO Base Media)", "MetaData / Chapter(3)"}},
      {"m4a_aac_tagged.m4a", {"iTunes Audio (M4A)", "MetaData"}},
      {"mov_h264_pcm_be.mov", {"QuickTime"}},
      {"3gp_h263_aac.3gp", {"3GPP Release 4"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    MediaInfo info = AnalyzeFile(FixturePath(std::string("containers/") + c.file));
    ASSERT_EQ(info.extraCount, static_cast<int>(c.extras.size()));
    for (size_t i = 0; i < c.extras.size(); ++i) EXPECT_EQ(info.extraText[i], c.extras[i]);
  }
}

TEST_F(Mp4Test, PublicFilesAnalyseWithoutErrors) {
  std::string dir = PublicMedia("taglib");
  if (dir.empty()) GTEST_SKIP() << "public media absent";
  // 64bit.mp4 is a moov of 64-bit boxes holding only metadata.
  MediaInfo tagsOnly = AnalyzeFile(dir + "/64bit.mp4");
  EXPECT_EQ(Utf8(tagsOnly.errorText), "[QuickTime] trakが1つもありません");
  for (const char* name : {"ac3.m4a", "eac3.m4a", "flac.m4a", "opus.m4a", "has-tags.m4a", "no-tags.m4a", "empty_alac.m4a", "infloop.m4a",
                           "zero-length-mdat.m4a", "nonprintable-atom-type.m4a", "ilst-is-last.m4a"}) {
    SCOPED_TRACE(name);
    MediaInfo info = AnalyzeFile(dir + "/" + name);
    EXPECT_TRUE(info.formatId == format::kMp4 || info.formatId == format::kQuickTime);
    EXPECT_STREQ(info.errorText, "");
    EXPECT_GE(info.videoCount + info.audioCount, 1);
  }
}

// ---- Box walk ----

TEST_F(Mp4Test, TrackLinesFromSampleTablesAndMovieHeader) {
  Bytes file = Cat({Ftyp("mp42"), Box("moov", Cat({Mvhd(1000, 2000), AudioTrak(),
                                                    VideoTrak(2, Cat({Stts({{50, 40}}), Stsz(1000, {}, 50)}))}))});
  MediaInfo info = Analyze(file);
  ASSERT_STREQ(info.errorText, "");
  EXPECT_DOUBLE_EQ(info.duration, 2.0);
  ASSERT_EQ(info.audioCount, 1);
  EXPECT_STREQ(info.audioText[0], "PCM (BE) 8.00kHz 16bit 1ch 4.00kbps");
  ASSERT_EQ(info.videoCount, 1);
  EXPECT_STREQ(info.videoText[0], "Motion JPEG A 320x240 24bpp 25.00fps 200.00kbps");
  ASSERT_EQ(info.extraCount, 1);
  EXPECT_STREQ(info.extraText[0], "MP4 v2");
}

TEST_F(Mp4Test, FailuresKeepFormatNameAndSize) {
  struct Case {
    const char* name;
    Bytes file;
    int32_t formatId;
    const char* error;
    const char* formatName;
  } cases[] = {
      {"no moov", Cat({Ftyp("isom"), Box("mdat", Zeros(100))}), format::kMp4, "[QuickTime] trakが1つもありません",
       "MPEG4"},
      {"moov without trak", Box("moov", Mvhd(600, 600)), format::kQuickTime, "[QuickTime] trakが1つもありません",
       "QuickTime"},
      {"compressed moov", Box("moov", Cat({Box("cmov", Zeros(20)), AudioTrak()})), format::kQuickTime,
       "[QuickTime] ヘッダ圧縮がかかっているので解析できません", "QuickTime"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MediaInfo info = Analyze(c.file, c.formatId);
    EXPECT_EQ(Utf8(info.errorText), c.error);
    EXPECT_STREQ(info.formatName, c.formatName);
    EXPECT_EQ(info.fileSize, c.file.size());
  }
  MediaInfo missing = MakeRecord("/nonexistent/a.mp4");
  missing.formatId = format::kMp4;
  Dispatch(missing);
  EXPECT_EQ(Utf8(missing.errorText), "ファイルのオープンに失敗");
}

TEST_F(Mp4Test, SixtyFourBitSizesForEveryBoxAndSizeZeroAtTopLevel) {
  // moov, trak and free with size 1 and a 64-bit size; the moov last with
  // size 0 in the second file.
  Bytes trak = AudioTrak();
  Bytes moov64 = Box64("moov", Cat({Mvhd(1000, 2000), Box64("trak", Bytes(trak.begin() + 8, trak.end()))}));
  Bytes a = Cat({Ftyp("isom"), Box64("free", Zeros(30)), moov64, Box64("mdat", Zeros(10))});
  Bytes moovBody = Cat({Mvhd(1000, 2000), AudioTrak()});
  Bytes b = Cat({Ftyp("isom"), Box("mdat", Zeros(10)), BE32(0), Str("moov"), moovBody});
  for (const Bytes* file : {&a, &b}) {
    MediaInfo info = Analyze(*file);
    EXPECT_STREQ(info.errorText, "");
    ASSERT_EQ(info.audioCount, 1);
    EXPECT_STREQ(info.audioText[0], "PCM (BE) 8.00kHz 16bit 1ch 4.00kbps");
  }
}

TEST_F(Mp4Test, MovieWithoutFtypIsQuickTime) {
  Bytes file = Cat({Box("moov", Cat({Mvhd(600, 1200), AudioTrak()})), Box("mdat", Zeros(1000))});
  TempFile f("old.mov", file);
  MediaInfo info = AnalyzeFile(f.Path());
  EXPECT_EQ(info.formatId, format::kQuickTime);
  EXPECT_STREQ(info.formatName, "QuickTime");
  EXPECT_EQ(info.extraCount, 0);  // no brand
  EXPECT_EQ(info.audioCount, 1);
  EXPECT_DOUBLE_EQ(info.duration, 2.0);
}

TEST_F(Mp4Test, UnlistedTopLevelBoxIsPassedByteByByte) {
  Bytes file = Cat({Ftyp("isom"), Box("junk", Zeros(13)), Box("moov", Cat({Mvhd(1000, 2000), AudioTrak()}))});
  MediaInfo info = Analyze(file);
  EXPECT_EQ(info.audioCount, 1);
}

TEST_F(Mp4Test, ByteByByteResyncGivesUpAfterFourMebibytes) {
  Bytes moov = Box("moov", Cat({Mvhd(1000, 2000), AudioTrak()}));
  MediaInfo near = Analyze(Cat({Ftyp("isom"), Zeros(1 << 20), moov}));
  EXPECT_EQ(near.audioCount, 1);
  MediaInfo far = Analyze(Cat({Ftyp("isom"), Zeros(5 << 20), moov}));
  EXPECT_EQ(Utf8(far.errorText), "[QuickTime] trakが1つもありません");
}

TEST_F(Mp4Test, VersionOneHeadersUseTheir64BitLayout) {
  // Track 7 has version-1 tkhd and mdhd (time scale 44100); the fragment
  // names it, so its bytes and its time scale must be found through them.
  Bytes stbl = Box("stbl", Cat({Stsd(SoundEntry("twos", 2, 16, 44100, Bytes())), Stts({}), Stsz(0, {})}));
  Bytes mdia = Box("mdia", Cat({Mdhd1(44100, 0), Hdlr("soun"), Box("minf", stbl)}));
  Bytes trak7 = Box("trak", Cat({Tkhd1(7), mdia}));
  Bytes moov = Box("moov", Cat({Mvhd1(90000, 0x200000000ull), AudioTrak(1), trak7}));
  Bytes file = Cat({Ftyp("isom"), moov, Moof(7, 0x000018, Cat({BE32(44100), BE32(0)}), 0x000200, 1, BE32(125000))});
  MediaInfo info = Analyze(file);
  ASSERT_STREQ(info.errorText, "");
  double seconds = 0x200000000ull / 90000.0 + 1.0;
  EXPECT_NEAR(info.duration, seconds, 1e-6);
  ASSERT_EQ(info.audioCount, 2);
  EXPECT_STREQ(info.audioText[0], "PCM (BE) 8.00kHz 16bit 1ch 0.00kbps");
  char expected[128];
  snprintf(expected, sizeof expected, "PCM (BE) 44.10kHz 16bit 2ch %.2fkbps", 125000 * 8 / seconds * 0.001);
  EXPECT_STREQ(info.audioText[1], expected);
}

TEST_F(Mp4Test, TableCountsAreBoundedByTheBox) {
  // Counts of 2^32 - 1 with one entry present; a stsz cut short.
  Bytes tables = Cat({Stts({{10, 100}}, 0xFFFFFFFF), Stsz(0, {100, 50}, 0xFFFFFFFF), Stco(0)});
  Bytes file = Cat({Ftyp("isom"), Box("moov", Cat({Mvhd(1000, 1000), Trak(1, "soun", Stsd(SoundEntry("twos", 1, 16, 8000, Bytes())), tables)}))});
  MediaInfo info = Analyze(file);
  ASSERT_EQ(info.audioCount, 1);
  // 150 bytes over 1 s.
  EXPECT_STREQ(info.audioText[0], "PCM (BE) 8.00kHz 16bit 1ch 1.20kbps");
}

TEST_F(Mp4Test, BoxRunningOutOfItsParentEndsTheWalk) {
  // stsz claims more than the trak holds: the walk stops there, the track
  // keeps what it read before and nothing is read past the file.
  Bytes stsz = Stsz(0, {100}, 1);
  stsz[0] = 0x7F;  // size 0x7F0000xx, read only as far as the data goes
  Bytes trak = Trak(1, "soun", Stsd(SoundEntry("twos", 1, 16, 8000, Bytes())), Cat({Stts({{10, 100}}), stsz}));
  Bytes file = Cat({Ftyp("isom"), Box("moov", Cat({Mvhd(1000, 1000), trak}))});
  MediaInfo info = Analyze(file);
  ASSERT_EQ(info.audioCount, 1);
  EXPECT_STREQ(info.audioText[0], "PCM (BE) 8.00kHz 16bit 1ch 0.80kbps");

  // A trak larger than the moov is cut to the moov.
  Bytes big = AudioTrak();
  big[3] += 200;
  MediaInfo cut = Analyze(Cat({Ftyp("isom"), Box("moov", Cat({Mvhd(1000, 2000), big}))}));
  EXPECT_EQ(cut.audioCount, 1);
}

TEST_F(Mp4Test, SmallOrZeroSizesNeverStallAWalk) {
  struct Case {
    const char* name;
    Bytes file;
  } cases[] = {
      {"moov child of size 0", Cat({Ftyp("isom"), Box("moov", Cat({Mvhd(1000, 1000), BE32(0), Str("udta"), AudioTrak()}))})},
      {"moov child of size 4", Cat({Ftyp("isom"), Box("moov", Cat({Mvhd(1000, 1000), BE32(4), Str("trak"), AudioTrak()}))})},
      {"64-bit size 0", Cat({Ftyp("isom"), Box("moov", Cat({Mvhd(1000, 1000), BE32(1), Str("free"), BE64(0)}))})},
      {"64-bit size past the file", Cat({Ftyp("isom"), BE32(1), Str("free"), BE64(~0ull)})},
      {"header cut by the end", Cat({Ftyp("isom"), BE32(1), Str("moov"), BE32(0)})},
      {"trak child of size 0", Cat({Ftyp("isom"), Box("moov", Cat({Mvhd(1000, 1000), Box("trak", Cat({Tkhd(1), BE32(0), Str("mdia")}))}))})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MediaInfo info = Analyze(c.file);
    EXPECT_STREQ(info.formatName, "MPEG4");
  }
}

TEST_F(Mp4Test, AbsurdlyDeepNestingIsBounded) {
  Bytes inner = AudioTrak();
  for (int i = 0; i < 5000; ++i) inner = Box(i % 2 ? "udta" : "moov", inner);
  Bytes file = Cat({Ftyp("isom"), Box("moov", Cat({Mvhd(1000, 2000), inner}))});
  MediaInfo info = Analyze(file);
  // Too deep to be seen, but the walk ends.
  EXPECT_STREQ(info.formatName, "MPEG4");
  EXPECT_EQ(info.audioCount, 0);

  Bytes shallow = AudioTrak();
  for (int i = 0; i < 10; ++i) shallow = Box("udta", shallow);
  MediaInfo seen = Analyze(Cat({Ftyp("isom"), Box("moov", Cat({Mvhd(1000, 2000), shallow}))}));
  EXPECT_EQ(seen.audioCount, 1);
}

TEST_F(Mp4Test, MoreThanTwelveTracksAreAllCollected) {
  Bytes tracks;
  for (uint32_t i = 1; i <= 7; ++i) tracks = Cat({tracks, AudioTrak(i)});
  for (uint32_t i = 8; i <= 14; ++i) tracks = Cat({tracks, VideoTrak(i, Stts({{1, 1}}))});
  MediaInfo info = Analyze(Cat({Ftyp("isom"), Box("moov", Cat({Mvhd(1000, 2000), tracks}))}));
  EXPECT_EQ(info.audioCount, 7);
  EXPECT_EQ(info.videoCount, 7);
}

TEST_F(Mp4Test, TimescaleZeroCountsMicroseconds) {
  MediaInfo info = Analyze(Cat({Ftyp("isom"), Box("moov", Cat({Mvhd(0, 3000000), AudioTrak()}))}));
  EXPECT_DOUBLE_EQ(info.duration, 3.0);
}

TEST_F(Mp4Test, SubtitleTracksAndSubsBoxesAreCounted) {
  Bytes subp = Trak(2, "subp", Stsd(Box("mp4s", Zeros(8))), Box("subs", Zeros(8)));
  MediaInfo info = Analyze(Cat({Ftyp("isom"), Box("moov", Cat({Mvhd(1000, 2000), AudioTrak(), subp}))}));
  ASSERT_EQ(info.extraCount, 3);
  EXPECT_STREQ(info.extraText[1], "SubTitle/subp(1)");
  EXPECT_STREQ(info.extraText[2], "SubTitle/subs(1)");
}

TEST_F(Mp4Test, MetadataAndChapterList) {
  Bytes chpl = FullBox("chpl", 1, 0, Cat({BE32(0), Bytes{4}, Zeros(20)}));
  Bytes udta = Box("udta", Cat({FullBox("meta", 0, 0, Hdlr("mdir")), chpl}));
  MediaInfo info = Analyze(Cat({Ftyp("M4A "), Box("moov", Cat({Mvhd(1000, 2000), AudioTrak(), udta}))}));
  ASSERT_EQ(info.extraCount, 2);
  EXPECT_STREQ(info.extraText[0], "iTunes Audio (M4A)");
  EXPECT_STREQ(info.extraText[1], "MetaData / Chapter(4)");
}

TEST_F(Mp4Test, MpegHandlerWithoutMdatIsSkipped) {
  Bytes trak = Trak(1, "mpeg", Stsd(Box("MPEG", Zeros(8))), Bytes());
  MediaInfo info = Analyze(Cat({Box("moov", Cat({Mvhd(600, 600), trak}))}), format::kQuickTime);
  EXPECT_STREQ(info.errorText, "");
  EXPECT_EQ(info.videoCount + info.audioCount, 0);
  EXPECT_DOUBLE_EQ(info.duration, 1.0);
}

TEST_F(Mp4Test, MpegHandlerDescribesTheMdatAsAnMpeg1SystemStream) {
  Bytes mpg = ReadFile(FixturePath("mpeg/mpeg1_system.mpg"));
  ASSERT_FALSE(mpg.empty());
  Bytes trak = Trak(1, "mpeg", Stsd(Box("MPEG", Zeros(8))), Bytes());
  Bytes file = Cat({Box("mdat", mpg), Box("moov", Cat({Mvhd(600, 1200), trak}))});
  MediaInfo info = Analyze(file, format::kQuickTime);
  EXPECT_STREQ(info.errorText, "");
  EXPECT_EQ(info.videoCount, 1);
  EXPECT_NE(std::string(info.videoText[0]).find("MPEG"), std::string::npos) << info.videoText[0];
  // The movie header's duration replaces the stream's.
  EXPECT_DOUBLE_EQ(info.duration, 2.0);
}

TEST_F(Mp4Test, FragmentDurationsCountInTheTrackTimescaleAndIn64Bits) {
  // Empty moov (mvhd 0 at 1000/s), track time scale 48000. Three fragments
  // of two samples of 0xFFFFFFF0 ticks each overflow 32 bits together.
  Bytes trak = Trak(1, "soun", Stsd(SoundEntry("twos", 1, 16, 48000, Bytes())), Cat({Stts({}), Stsz(0, {})}),
                    Mdhd(48000, 0));
  Bytes file = Cat({Ftyp("iso5"), Box("moov", Cat({Mvhd(1000, 0), trak}))});
  for (int i = 0; i < 3; ++i)
    file = Cat({file, Moof(1, 0x020000, Bytes(), 0x000301, 2, Cat({BE32(0xFFFFFFF0), BE32(1000), BE32(0xFFFFFFF0),
                                                                     BE32(1000)}))});
  MediaInfo info = Analyze(file);
  ASSERT_STREQ(info.errorText, "");
  double seconds = 6.0 * 0xFFFFFFF0 / 48000;
  EXPECT_NEAR(info.duration, seconds, 1e-3);
  ASSERT_EQ(info.extraCount, 2);
  EXPECT_STREQ(info.extraText[1], "MovieFragment(3)");
}

TEST_F(Mp4Test, FragmentDefaultsComeFromTfhdOrTrex) {
  Bytes trak = Trak(1, "soun", Stsd(SoundEntry("twos", 1, 16, 8000, Bytes())), Stts({}), Mdhd(8000, 0));
  Bytes trex = FullBox("trex", 0, 0, Cat({BE32(1), BE32(1), BE32(800), BE32(50), BE32(0)}));
  Bytes moov = Box("moov", Cat({Mvhd(1000, 0), trak, Box("mvex", trex)}));
  // First fragment: trex defaults (10 × 800 ticks, 50 bytes); second: tfhd
  // default duration 1600 and size 100 (flags 0x18), 5 samples.
  Bytes file = Cat({Ftyp("isom"), moov, Moof(1, 0x020000, Bytes(), 0, 10, Bytes()),
                    Moof(1, 0x000018, Cat({BE32(1600), BE32(100)}), 0, 5, Bytes())});
  MediaInfo info = Analyze(file);
  EXPECT_DOUBLE_EQ(info.duration, 2.0);
  ASSERT_EQ(info.audioCount, 1);
  // (500 + 500) bytes over 2 s.
  EXPECT_STREQ(info.audioText[0], "PCM (BE) 8.00kHz 16bit 1ch 4.00kbps");
}

TEST_F(Mp4Test, FragmentRecordsAreBoundedByTheTrunBox) {
  Bytes trak = Trak(1, "soun", Stsd(SoundEntry("twos", 1, 16, 8000, Bytes())), Stts({}), Mdhd(8000, 0));
  Bytes file = Cat({Ftyp("isom"), Box("moov", Cat({Mvhd(1000, 0), trak})),
                    Moof(1, 0x000001, BE64(0), 0x000300, 0xFFFFFFFF, Cat({BE32(8000), BE32(10)}))});
  MediaInfo info = Analyze(file);
  EXPECT_DOUBLE_EQ(info.duration, 1.0);
}

// ---- Hostile and damaged files ----

TEST_F(Mp4Test, TruncatedAndCorruptedFixturesNeverCrash) {
  for (const char* name : {"mp4_x264_aac.mp4", "mp4_fragmented_baseline.mp4", "mov_photojpeg_pcm_le.mov", "mp4_chapters_video_only.mp4"}) {
    Bytes whole = ReadFile(FixturePath(std::string("containers/") + name));
    ASSERT_FALSE(whole.empty());
    for (const Bytes& copy : DamagedCopies(whole, name)) {
      MediaInfo info = Analyze(copy);
      EXPECT_STREQ(info.formatName, "MPEG4");
    }
  }
}

TEST(Mp4BoxHeader, SizesAndTypes) {
  struct Case {
    Bytes bytes;
    bool ok;
    uint64_t size;
    uint32_t header;
  } cases[] = {
      {Cat({BE32(24), Str("moov")}), true, 24, 8},
      {Cat({BE32(1), Str("trak"), BE64(0x100000010ull)}), true, 0x100000010ull, 16},
      {Cat({BE32(0), Str("mdat")}), true, 0, 8},
      {Cat({BE32(1), Str("mdat"), BE32(0)}), false, 0, 0},
      {Bytes{0, 0, 0}, false, 0, 0},
  };
  for (const Case& c : cases) {
    TempFile f("h.bin", c.bytes);
    FileReader reader;
    ASSERT_TRUE(reader.Open(ToUtf16(f.Path()).c_str()));
    Mp4BoxHeader h{};
    EXPECT_EQ(ReadMp4BoxHeader(reader, 0, h), c.ok);
    if (c.ok) {
      EXPECT_EQ(h.size, c.size);
      EXPECT_EQ(h.headerSize, c.header);
    }
  }
}

}  // namespace
}  // namespace probex
