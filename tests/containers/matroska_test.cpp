#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "damage.h"
#include "dispatch.h"
#include "../../probe/containers/matroska.h"
#include "box_builders.h"
#include "file_reader.h"
#include "fixture.h"
#include "probex_formats.h"
#include "media_info.h"
#include "report.h"

namespace probex {
namespace {

using namespace test;
using namespace ebml;

Bytes EbmlHeader() { return El(kEbml, Cat({ElUInt(0x4286, 1), ElStr(0x4282, "matroska")})); }
Bytes Mkv(const Bytes& info, const Bytes& tracks, const Bytes& rest = Bytes()) {
  return Cat({EbmlHeader(), El(kSegment, Cat({El(kInfo, info), El(kTracks, tracks), rest}))});
}
Bytes Entry(uint64_t number, uint64_t type, const std::string& codec, const Bytes& more = Bytes()) {
  return El(kTrackEntry, Cat({ElUInt(kTrackNumber, number), ElUInt(kTrackType, type), ElStr(kCodecId, codec), more}));
}
Bytes AudioElement(double rate, uint64_t channels) {
  return El(kAudio, Cat({ElFloat(kSamplingFrequency, rate), ElUInt(kChannels, channels)}));
}
Bytes Cluster(const Bytes& blocks) { return El(kCluster, Cat({ElUInt(0xE7, 0), blocks})); }

MediaInfo Analyze(const Bytes& file, const std::string& name = "film.mkv") {
  TempFile f(name, file);
  MediaInfo info = MakeRecord(f.Path());
  info.formatId = format::kMatroska;
  Dispatch(info);
  return info;
}

class MatroskaTest : public ::testing::Test {
 protected:
  void SetUp() override { UseShippedTemplates(); }
};

TEST_F(MatroskaTest, EncoderFilesGiveTheirOneLineSummary) {
  struct Case {
    const char* file;
    const char* summary;
    int videos, audios;
    double duration;
  } cases[] = {
      {"mkv_ffmpeg_baseline.mkv",
       "Matroska AVC/H.264 Baseline@1.1 160x120 25.00fps PAR 1:1 Progressive [3] AAC HE(LC) 48.00kHz "
       "2.0ch(L+R) 144.00kbps [Chapter(3) / SubTitle/UTF8(1) / SubTitle/ASS(1)] 00:00:01.039",
       1, 3, 1.039},
      {"mkv_mkvmerge_mpeg4_vorbis.mkv",
       "Matroska FFmpeg MPEG-4 160x120 24bpp 25.00fps [4] Vorbis 44.10kHz 2ch 64.00kbps QB "
       "[Chapter(2) / SubTitle/UTF8(1)] 00:00:01.071",
       1, 4, 1.071},
      {"webm_vp8_vorbis_160.webm", "Matroska On2 VP8 160x120 25.00fps Vorbis 44.10kHz 2ch 64.00kbps QB 00:00:01.003", 1, 1,
       1.003},
      // VP9 from its first key frame (ffprobe: Profile 1, gbrp), Opus from its OpusHead.
      {"webm_vp9_opus_160.webm", "Matroska VP9 Profile 1 160x120 25.00fps 8bit 4:4:4 Opus 48.00kHz 2ch 00:00:01.008", 1, 1,
       1.008},
      // ffprobe and MediaInfo: mpeg4 Simple Profile 176x144 (MediaInfo: Simple@L3; XviD in its user data); vp9 Profile 2 176x144
      // yuv420p10le, smpte2084 over bt2020; alac 44100 Hz stereo 16 bits, truehd 48000 Hz 6 channels
      // 24 bits, dts 48000 Hz 6 channels; 0.400 s, 0.400 s and 0.128 s.
      {"mkv_mpeg4_xvid.mkv", "Matroska XviD 1.3.7 176x144 25.00fps 00:00:00.400", 1, 0, 0.4},
      {"webm_vp9_pq.webm", "Matroska VP9 Profile 2 176x144 25.00fps 10bit 4:2:0 PQ 00:00:00.400", 1, 0, 0.4},
      {"mkv_alac_truehd_dts.mkv", "Matroska [3] Apple Lossless 44.10kHz 16bit 2ch 00:00:00.128", 0, 3, 0.128},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    MediaInfo info = AnalyzeFile(FixturePath(std::string("containers/") + c.file));
    EXPECT_EQ(info.formatId, format::kMatroska);
    EXPECT_STREQ(info.errorText, "");
    EXPECT_STREQ(info.formatName, "Matroska");
    EXPECT_EQ(info.videoCount, c.videos);
    EXPECT_EQ(info.audioCount, c.audios);
    EXPECT_NEAR(info.duration, c.duration, c.duration * 0.01);
    EXPECT_EQ(OneLineReport(info), c.summary);
  }
}

TEST_F(MatroskaTest, EveryTrackOfTheEncoderFiles) {
  MediaInfo ff = AnalyzeFile(FixturePath("containers/mkv_ffmpeg_baseline.mkv"));
  ASSERT_EQ(ff.audioCount, 3);
  EXPECT_STREQ(ff.audioText[1], "Dolby AC-3 44.10kHz 2.0ch(L+R) 96.00kbps CM");
  EXPECT_STREQ(ff.audioText[2], "MPEG-1 Layer III 32.00kHz Mono 32.00kbps CBR");
  MediaInfo mm = AnalyzeFile(FixturePath("containers/mkv_mkvmerge_mpeg4_vorbis.mkv"));
  ASSERT_EQ(mm.audioCount, 4);
  // mkvmerge leaves out Channels 1 and SamplingFrequency 8000: the defaults.
  EXPECT_STREQ(mm.audioText[1], "FLAC 48.00kHz 16bit 1ch");
  EXPECT_STREQ(mm.audioText[2], "PCM(LE) 8.00kHz 16bit 1ch");
  EXPECT_STREQ(mm.audioText[3], "MPEG-1 Layer III 44.10kHz Mono 34.25kbps VBR LAME-Info");
}

TEST_F(MatroskaTest, PublicFilesAnalyseWithoutErrors) {
  std::string dir = PublicMedia("taglib");
  if (dir.empty()) GTEST_SKIP() << "public media absent";
  // mkvmerge put the Cues of this one ahead of its clusters.
  MediaInfo mka = AnalyzeFile(dir + "/no-tags.mka");
  ASSERT_EQ(mka.audioCount, 1);
  EXPECT_STREQ(mka.audioText[0], "MPEG-1 Layer III 44.10kHz JointStereo/MS 128.00kbps CBR LAME3.99r");
  MediaInfo webm = AnalyzeFile(dir + "/no-tags.webm");
  EXPECT_EQ(webm.videoCount, 1);
  for (const char* name : {"optimized.mkv", "tags-before-cues.mkv"}) {
    SCOPED_TRACE(name);
    MediaInfo info = AnalyzeFile(dir + "/" + name);
    EXPECT_EQ(info.formatId, format::kMatroska);
    EXPECT_STREQ(info.errorText, "");
    EXPECT_EQ(info.extraCount, 0);
    ASSERT_EQ(info.videoCount, 1);
    EXPECT_STREQ(info.videoText[0], "HEVC Main 10@L2@Main 176x144 25.00fps 10bit 4:2:0");
  }
}

// ---- EBML coding ----

TEST(EbmlTest, VariableLengthIntegers) {
  struct Case {
    Bytes bytes;
    size_t length;
    uint64_t value;
  } cases[] = {
      {Bytes{0x81}, 1, 1},
      {Bytes{0x40, 0x02}, 2, 2},
      {Bytes{0x41, 0x2C}, 2, 300},
      {Bytes{0x01, 0, 0, 0, 0, 0, 0x01, 0x00}, 8, 256},
      {Bytes{0xFF}, 1, 127},  // the unknown-size marker has no special meaning
      {Bytes{0x00, 0x81}, 0, 0},   // no length marker
      {Bytes{0x20, 0x01}, 0, 0},   // three bytes needed, two present
      {Bytes{}, 0, 0},
  };
  for (const Case& c : cases) {
    uint64_t value = 0;
    EXPECT_EQ(ReadVint(c.bytes.data(), c.bytes.size(), value), c.length);
    if (c.length) {
      EXPECT_EQ(value, c.value);
    }
  }
}

TEST(EbmlTest, ElementIdsAndSizesFromTheFile) {
  struct Case {
    Bytes bytes;
    bool idOk;
    uint32_t id;
    bool sizeOk;
    uint64_t size;
  } cases[] = {
      {Bytes{0x1A, 0x45, 0xDF, 0xA3, 0x84}, true, kEbml, true, 4},
      {Bytes{0xAE, 0x01, 0, 0, 0, 0, 0, 0, 0x10}, true, kTrackEntry, true, 16},
      {Bytes{0x00, 0x81}, false, 0, false, 0},              // ID without marker
      {Bytes{0x08, 1, 2, 3, 4, 0x81}, false, 0, false, 0},  // five-byte ID
      {Bytes{0xAE, 0x00, 0x81}, true, kTrackEntry, false, 0},
      {Bytes{0x1A, 0x45}, false, 0, false, 0},  // cut by the end of the file
  };
  for (const Case& c : cases) {
    TempFile f("ebml.bin", c.bytes);
    FileReader reader;
    ASSERT_TRUE(reader.Open(ToUtf16(f.Path()).c_str()));
    uint32_t id = 0;
    uint64_t size = 0;
    ASSERT_EQ(ReadElementId(reader, id), c.idOk);
    if (!c.idOk) {
      EXPECT_EQ(reader.Tell(), 0u);
      continue;
    }
    EXPECT_EQ(id, c.id);
    uint64_t at = reader.Tell();
    EXPECT_EQ(ReadElementSize(reader, size), c.sizeOk);
    if (c.sizeOk)
      EXPECT_EQ(size, c.size);
    else
      EXPECT_EQ(reader.Tell(), at);
  }
}

TEST(EbmlTest, BlockHeaderLengths) {
  Bytes longXiph = {0x81, 0, 0, 0x02, 2};  // Xiph lacing, three frames
  for (int i = 0; i < 3; ++i) longXiph.push_back(255);
  longXiph.push_back(10);  // 775
  longXiph.push_back(255);
  longXiph.push_back(0);  // 255
  struct Case {
    const char* name;
    Bytes block;
    size_t length;
  } cases[] = {
      {"no lacing", Bytes{0x81, 0, 0, 0x80, 9, 9}, 4},
      {"two-byte track number", Bytes{0x41, 0x2C, 0, 0, 0x80, 9}, 5},
      {"Xiph with sizes of 255 and more", longXiph, 11},
      {"fixed", Bytes{0x81, 0, 0, 0x04, 3, 1, 2, 3, 4}, 5},
      {"EBML", Bytes{0x81, 0, 0, 0x06, 2, 0x40, 0x20, 0x9F, 1}, 8},
      {"smaller than its header", Bytes{0x81, 0, 0}, 0},
      {"Xiph run past the block", Bytes{0x81, 0, 0, 0x02, 1, 255, 255}, 0},
      {"lace count missing", Bytes{0x81, 0, 0, 0x02}, 0},
      {"EBML size cut", Bytes{0x81, 0, 0, 0x06, 1, 0x20, 0x00}, 0},
      {"no track number marker", Bytes{0x00, 0, 0, 0, 0}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(BlockHeaderLength(c.block.data(), c.block.size()), c.length);
  }
}

// ---- Walk ----

TEST_F(MatroskaTest, DurationUsesTheTimecodeScaleOrAMillisecond) {
  Bytes tracks = Entry(1, 2, "A_FLAC", AudioElement(44100, 2));
  MediaInfo plain = Analyze(Mkv(ElFloat(kDuration, 5000.0), tracks));
  EXPECT_DOUBLE_EQ(plain.duration, 5.0);
  MediaInfo scaled = Analyze(Mkv(Cat({ElUInt(kTimecodeScale, 100000), ElFloat(kDuration, 5000.0)}), tracks));
  EXPECT_DOUBLE_EQ(scaled.duration, 0.5);
  // A float of 4 bytes; a float of 3 bytes reads as 0.
  MediaInfo small = Analyze(Mkv(El(kDuration, Bytes{0x45, 0x9C, 0x40, 0x00}), tracks));
  EXPECT_DOUBLE_EQ(small.duration, 5.0);
  MediaInfo odd = Analyze(Mkv(El(kDuration, Bytes{0x45, 0x9C, 0x40}), tracks));
  EXPECT_DOUBLE_EQ(odd.duration, 0.0);
  // Damaged floats, and a product too large for a double, give no time.
  for (double bad : {-5000.0, std::nan(""), std::numeric_limits<double>::infinity(), 1e308}) {
    MediaInfo damaged = Analyze(Mkv(Cat({ElUInt(kTimecodeScale, 0xFFFFFFFF), ElFloat(kDuration, bad)}), tracks));
    EXPECT_DOUBLE_EQ(damaged.duration, 0.0) << bad;
  }
}

Bytes Atom(bool hidden, const Bytes& nested = Bytes()) {
  return El(kChapterAtom, Cat({ElUInt(0x73C4, 1), hidden ? ElUInt(kChapterFlagHidden, 1) : Bytes(), nested}));
}

TEST_F(MatroskaTest, VisibleChaptersAreCounted) {
  Bytes tracks = Entry(1, 2, "A_FLAC", AudioElement(44100, 2));
  Bytes editions = Cat({El(kEditionEntry, Cat({Atom(false), Atom(true), Atom(false)})),
                        El(kEditionEntry, Cat({Atom(false), Atom(false, Atom(false)), Atom(false)}))});
  MediaInfo info = Analyze(Mkv(Bytes(), tracks, El(kChapters, editions)));
  ASSERT_EQ(info.extraCount, 1);
  EXPECT_STREQ(info.extraText[0], "Chapter(6)");

  // Chapters after the first cluster are not seen.
  MediaInfo late = Analyze(Mkv(Bytes(), tracks, Cat({Cluster(Bytes()), El(kChapters, editions)})));
  EXPECT_EQ(late.extraCount, 0);
}

TEST_F(MatroskaTest, NoTrackEntry) {
  Bytes file = Mkv(ElFloat(kDuration, 1000.0), Bytes());
  MediaInfo info = Analyze(file);
  EXPECT_EQ(Utf8(info.errorText), "[Matroska] TrackEntryが1つもありません");
  EXPECT_STREQ(info.formatName, "Matroska");
  EXPECT_EQ(info.fileSize, file.size());
  MediaInfo missing = MakeRecord("/nonexistent/a.mkv");
  missing.formatId = format::kMatroska;
  Dispatch(missing);
  EXPECT_EQ(Utf8(missing.errorText), "ファイルのオープンに失敗");
}

TEST_F(MatroskaTest, MoreThanThirtyTracksAreCutAtThirty) {
  Bytes tracks;
  for (int i = 1; i <= 40; ++i) tracks = Cat({tracks, Entry(static_cast<uint64_t>(i), 17, "S_TEXT/UTF8")});
  MediaInfo info = Analyze(Mkv(Bytes(), tracks));
  ASSERT_EQ(info.extraCount, 1);
  EXPECT_STREQ(info.extraText[0], "SubTitle/UTF8(30)");
}

TEST_F(MatroskaTest, TrackNumbersAboveTwentyNineFindTheirBlocks) {
  // Numbers 40 (one byte) and 300 (two bytes in the block header).
  Bytes tracks = Cat({Entry(40, 2, "A_MPEG/L3", AudioElement(44100, 2)), Entry(300, 2, "A_MPEG/L3",
                                                                             AudioElement(44100, 2))});
  Bytes frame = Mp3Frame();
  Bytes block300 = El(kSimpleBlock, Cat({Bytes{0x41, 0x2C, 0, 0, 0x80}, frame}));
  MediaInfo info = Analyze(Mkv(Bytes(), tracks, Cluster(Cat({SimpleBlock(40, frame), block300}))));
  ASSERT_EQ(info.audioCount, 2);
  for (int i = 0; i < 2; ++i)
    EXPECT_EQ(std::string(info.audioText[i]).rfind("MPEG-1 Layer III 44.10kHz", 0), 0u) << info.audioText[i];
}

TEST_F(MatroskaTest, HostileSizesAndValues) {
  Bytes flac = Entry(1, 2, "A_FLAC", AudioElement(44100, 2));
  Bytes nineByteNumber = El(kTrackEntry, Cat({El(kTrackNumber, Bytes(9, 0xFF)), ElUInt(kTrackType, 2),
                                              ElStr(kCodecId, "A_TTA1")}));
  Bytes noMarker = Cat({flac, Bytes{0x00, 0x00, 0x81, 0x00}, Entry(2, 2, "A_TTA1")});
  Bytes hugePrivate = Cat({EbmlId(kTrackEntry), EbmlSize(0xFFFFFFFFFFull), ElUInt(kTrackNumber, 1),
                           ElStr(kCodecId, "A_MS/ACM"), EbmlId(kCodecPrivate), EbmlSize(0xFFFFFFFFull), Bytes{1, 0}});
  struct Case {
    const char* name;
    Bytes file;
    int audios;
  } cases[] = {
      {"value longer than 8 bytes", Mkv(ElUInt(kTimecodeScale, 1000000), nineByteNumber), 1},
      {"ID without a length marker ends the walk", Mkv(Bytes(), noMarker), 1},
      {"sizes past the end of the file", Cat({EbmlHeader(), El(kSegment, El(kTracks, hugePrivate))}), 1},
      {"unknown-size segment", Cat({EbmlHeader(), Bytes{0x18, 0x53, 0x80, 0x67, 0xFF},
                                    El(kTracks, flac), Cluster(Bytes())}),
       1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MediaInfo info = Analyze(c.file);
    EXPECT_STREQ(info.errorText, "");
    EXPECT_EQ(info.audioCount, c.audios);
  }
}

TEST_F(MatroskaTest, HeaderStrippedFramesGetTheirBytesBack) {
  Bytes frame = Mp3Frame();
  Bytes compression = El(kContentEncodings, El(kContentEncoding, El(kContentCompression, Cat({
      ElUInt(kContentCompAlgo, 3), El(kContentCompSettings, Bytes(frame.begin(), frame.begin() + 3))}))));
  Bytes tracks = Entry(1, 2, "A_MPEG/L3", Cat({AudioElement(44100, 2), compression}));
  Bytes stripped(frame.begin() + 3, frame.end());
  MediaInfo info = Analyze(Mkv(Bytes(), tracks, Cluster(SimpleBlock(1, stripped))));
  ASSERT_EQ(info.audioCount, 1);
  EXPECT_EQ(std::string(info.audioText[0]).rfind("MPEG-1 Layer III 44.10kHz", 0), 0u) << info.audioText[0];
}

TEST_F(MatroskaTest, BlocksTooSmallOrLacedWithLongSizes) {
  Bytes tracks = Entry(1, 2, "A_MPEG/L3", AudioElement(44100, 2));
  // A block of three bytes: no frame, the generic line.
  MediaInfo tiny = Analyze(Mkv(Bytes(), tracks, Cluster(El(kSimpleBlock, Bytes{0x81, 0, 0}))));
  ASSERT_EQ(tiny.audioCount, 1);
  EXPECT_STREQ(tiny.audioText[0], "MPEG-Audio 44.10kHz 0bit 2ch");
  // Xiph lacing with a first size of 417 (255 + 162): the frame follows.
  Bytes frame = Mp3Frame();
  Bytes laced = El(kSimpleBlock, Cat({Bytes{0x81, 0, 0, 0x82, 1, 255, 162}, frame, frame}));
  MediaInfo xiph = Analyze(Mkv(Bytes(), tracks, Cluster(laced)));
  ASSERT_EQ(xiph.audioCount, 1);
  EXPECT_EQ(std::string(xiph.audioText[0]).rfind("MPEG-1 Layer III 44.10kHz", 0), 0u) << xiph.audioText[0];
}

// The three passes over a file, without the descriptions.
MatroskaInfo RunPasses(const Bytes& file) {
  TempFile f("passes.mkv", file);
  FileReader reader;
  MatroskaInfo info{};
  if (!reader.Open(ToUtf16(f.Path()).c_str())) return info;
  info.fileSize = reader.Size();
  ReadMatroskaHeader(reader, info);
  ReadMatroskaTrackEntries(reader, info);
  FindMatroskaFirstBlocks(reader, info);
  return info;
}

TEST(MatroskaPasses, FirstBlockSearchStopsWhenEveryStreamTrackHasOne) {
  // Video and audio have blocks in the first cluster; the subtitle track's
  // block in the second cluster is never reached.
  Bytes tracks = Cat({Entry(1, 1, "V_VP8"), Entry(2, 2, "A_FLAC"), Entry(3, 17, "S_TEXT/UTF8")});
  Bytes file = Mkv(Bytes(), tracks, Cat({Cluster(Cat({SimpleBlock(1, Zeros(5)), SimpleBlock(2, Zeros(5))})),
                                         Cluster(SimpleBlock(3, Zeros(5)))}));
  MatroskaInfo info = RunPasses(file);
  ASSERT_EQ(info.tracks.size(), 3u);
  EXPECT_EQ(info.firstBlockCount, 2u);
  EXPECT_NE(info.tracks[0].firstBlockPosition, 0u);
  EXPECT_NE(info.tracks[1].firstBlockPosition, 0u);
  EXPECT_EQ(info.tracks[2].firstBlockPosition, 0u);
  EXPECT_EQ(info.tracks[2].type, 17u);
}

TEST(MatroskaPasses, FirstBlockSearchEndsAFixedDistancePastTheFirstCluster) {
  // An audio track whose block lies behind a Void as long as the limit is
  // never found; behind a short one it is.
  Bytes tracks = Cat({Entry(1, 1, "V_VP8"), Entry(2, 2, "A_FLAC")});
  for (uint64_t gap : {uint64_t{1} << 20, kMaxFirstBlockSearch}) {
    SCOPED_TRACE(gap);
    Bytes voidElement = Cat({EbmlId(0xEC), EbmlSize(gap), Bytes(static_cast<size_t>(gap), 0)});
    Bytes file = Mkv(Bytes(), tracks, Cluster(Cat({SimpleBlock(1, Zeros(5)), voidElement, SimpleBlock(2, Zeros(5))})));
    MatroskaInfo info = RunPasses(file);
    ASSERT_EQ(info.tracks.size(), 2u);
    EXPECT_NE(info.tracks[0].firstBlockPosition, 0u);
    EXPECT_EQ(info.tracks[1].firstBlockPosition != 0, gap < kMaxFirstBlockSearch);
  }
}

TEST_F(MatroskaTest, CuesBeforeTheClustersDoNotEndTheBlockSearch) {
  Bytes tracks = Entry(1, 2, "A_MPEG/L3", AudioElement(44100, 2));
  Bytes cues = El(kCues, El(0xBB, ElUInt(0xB3, 0)));
  Bytes frame = Mp3Frame();
  MediaInfo early = Analyze(Mkv(Bytes(), tracks, Cat({cues, Cluster(SimpleBlock(1, frame))})));
  ASSERT_EQ(early.audioCount, 1);
  EXPECT_EQ(std::string(early.audioText[0]).rfind("MPEG-1 Layer III", 0), 0u) << early.audioText[0];
  // Cues after a cluster end it: a track whose block comes later has none.
  Bytes two = Cat({tracks, Entry(2, 2, "A_MPEG/L3", AudioElement(44100, 2))});
  MediaInfo late = Analyze(Mkv(Bytes(), two, Cat({Cluster(SimpleBlock(1, frame)), cues, Cluster(SimpleBlock(2, frame))})));
  ASSERT_EQ(late.audioCount, 2);
  EXPECT_STREQ(late.audioText[1], "MPEG-Audio 44.10kHz 0bit 2ch");
}

TEST_F(MatroskaTest, TruncatedAndCorruptedFixturesNeverCrash) {
  for (const char* name : {"mkv_ffmpeg_baseline.mkv", "mkv_mkvmerge_mpeg4_vorbis.mkv", "webm_vp9_opus_160.webm"}) {
    Bytes whole = ReadFile(FixturePath(std::string("containers/") + name));
    ASSERT_FALSE(whole.empty());
    for (const Bytes& copy : DamagedCopies(whole, name)) {
      MediaInfo info = Analyze(copy);
      EXPECT_STREQ(info.formatName, "Matroska");
    }
  }
}

}  // namespace
}  // namespace probex
