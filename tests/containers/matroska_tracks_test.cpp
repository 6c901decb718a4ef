#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "dispatch.h"
#include "../../probe/containers/matroska.h"
#include "../../probe/containers/matroska_tracks.h"
#include "box_builders.h"
#include "fixture.h"
#include "probex_formats.h"
#include "media_info.h"

namespace probex {
namespace {

using namespace test;
using namespace ebml;

Bytes Mkv(const Bytes& tracks, const Bytes& rest = Bytes()) {
  Bytes header = El(kEbml, ElStr(0x4282, "matroska"));
  return Cat({header, El(kSegment, Cat({El(kInfo, ElFloat(kDuration, 1000.0)), El(kTracks, tracks), rest}))});
}
Bytes Entry(uint64_t number, uint64_t type, const std::string& codec, const Bytes& more = Bytes()) {
  return El(kTrackEntry, Cat({ElUInt(kTrackNumber, number), ElUInt(kTrackType, type), ElStr(kCodecId, codec), more}));
}
Bytes Audio(double rate, uint64_t channels, uint64_t depth = 0) {
  return El(kAudio, Cat({ElFloat(kSamplingFrequency, rate), ElUInt(kChannels, channels),
                         depth ? ElUInt(kBitDepth, depth) : Bytes()}));
}
Bytes Video(uint64_t width, uint64_t height) {
  return El(kVideo, Cat({ElUInt(kPixelWidth, width), ElUInt(kPixelHeight, height)}));
}
Bytes Cluster(const Bytes& blocks) { return El(kCluster, Cat({ElUInt(0xE7, 0), blocks})); }
Bytes Private(const Bytes& data) { return El(kCodecPrivate, data); }

MediaInfo Analyze(const Bytes& file, const std::string& name = "film.mkv") {
  TempFile f(name, file);
  MediaInfo info = MakeRecord(f.Path());
  info.formatId = format::kMatroska;
  Dispatch(info);
  return info;
}

// A WAVEFORMATEX of 16 bytes.
Bytes WaveFormatBytes(uint16_t tag, uint16_t channels, uint32_t rate, uint32_t bytesPerSec, uint16_t bits) {
  Bytes b;
  auto le = [&b](uint64_t v, int n) {
    for (int i = 0; i < n; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  le(tag, 2), le(channels, 2), le(rate, 4), le(bytesPerSec, 4), le(channels * bits / 8, 2), le(bits, 2);
  return b;
}

class MatroskaTracksTest : public ::testing::Test {
 protected:
  void SetUp() override { UseShippedTemplates(); }
};

TEST_F(MatroskaTracksTest, GenericCodecLines) {
  struct Case {
    const char* codecId;
    Bytes more;
    const char* audio;
    const char* video;
  } cases[] = {
      {"A_PCM/INT/LIT", Audio(48000, 2, 16), "PCM(LE) 48.00kHz 16bit 2ch", nullptr},
      {"A_PCM/INT/BIG", Audio(44100, 1, 24), "PCM(BE) 44.10kHz 24bit 1ch", nullptr},
      {"A_PCM/FLOAT/IEEE", Audio(96000, 6, 32), "PCM(Float) 96.00kHz 32bit 6ch", nullptr},
      {"A_AAC/MPEG2/LC", Audio(44100, 2), "MPEG2-AAC(LC) 44.10kHz 0bit 2ch", nullptr},
      {"A_AAC/MPEG4/LC/SBR", Audio(48000, 2), "MPEG4-AAC(LC/SBR) 48.00kHz 0bit 2ch", nullptr},
      {"A_FLAC", Audio(44100, 2, 16), "FLAC 44.10kHz 16bit 2ch", nullptr},
      {"A_MPC", Audio(44100, 2), "MusePack 44.10kHz 0bit 2ch", nullptr},
      {"A_TTA1", Audio(44100, 2, 16), "TTA 44.10kHz 16bit 2ch", nullptr},
      {"A_TRUEHD", Audio(48000, 8), "Dolby TrueHD 48.00kHz 0bit 8ch", nullptr},
      {"A_OPUS", Audio(48000, 2), "Opus 48.00kHz 0bit 2ch", nullptr},
      {"A_FLAC", Bytes(), "FLAC 8.00kHz 0bit 1ch", nullptr},  // Matroska defaults
      {"V_VP8", Video(640, 360), nullptr, "On2 VP8 640x360"},
      {"V_VP8", Cat({Video(640, 360), ElUInt(kDefaultDuration, 40000000)}), nullptr, "On2 VP8 640x360 25.00fps"},
      {"V_VP8", Cat({Video(640, 360), ElUInt(kDefaultDuration, 0)}), nullptr, "On2 VP8 640x360"},
      {"V_VP9", Cat({Video(320, 240), El(kVideo, ElFloat(kFrameRate, 29.97))}), nullptr, "VP9 320x240 29.97fps"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.codecId);
    MediaInfo info = Analyze(Mkv(Entry(1, c.audio ? 2 : 1, c.codecId, c.more)));
    ASSERT_EQ(info.audioCount, c.audio ? 1 : 0);
    ASSERT_EQ(info.videoCount, c.video ? 1 : 0);
    if (c.audio) {
      EXPECT_STREQ(info.audioText[0], c.audio);
    }
    if (c.video) {
      EXPECT_STREQ(info.videoText[0], c.video);
    }
  }
}

TEST_F(MatroskaTracksTest, SubtitleAndChapterSummary) {
  Bytes atoms = El(kEditionEntry, Cat({El(kChapterAtom, Bytes()), El(kChapterAtom, Bytes()), El(kChapterAtom, Bytes())}));
  Bytes tracks = Cat({Entry(1, 17, "S_TEXT/UTF8"), Entry(2, 17, "S_VOBSUB"), Entry(3, 17, "S_TEXT/UTF8"),
                      Entry(4, 2, "A_FLAC", Audio(44100, 2))});
  MediaInfo info = Analyze(Mkv(tracks, El(kChapters, atoms)));
  ASSERT_EQ(info.extraCount, 1);
  EXPECT_STREQ(info.extraText[0], "Chapter(3) / SubTitle/UTF8(2) / SubTitle/VobSub(1)");

  Bytes others = Cat({Entry(1, 17, "S_TEXT/SSA"), Entry(2, 17, "S_ASS"), Entry(3, 17, "S_TEXT/USF"),
                      Entry(4, 17, "S_TEXT/ASCII"), Entry(5, 17, "S_IMAGE/BMP")});
  MediaInfo all = Analyze(Mkv(others));
  ASSERT_EQ(all.extraCount, 1);
  EXPECT_STREQ(all.extraText[0],
               "SubTitle/SSA(1) / SubTitle/ASS(1) / SubTitle/USF(1) / SubTitle/ASCII(1) / SubTitle/BMP(1)");
}

TEST_F(MatroskaTracksTest, UnknownCodecIds) {
  MediaInfo pgs = Analyze(Mkv(Entry(1, 17, "S_HDMV/PGS")));
  ASSERT_EQ(pgs.extraCount, 2);
  EXPECT_STREQ(pgs.extraText[0], "Unknown CodecID S_HDMV/PGS");
  EXPECT_STREQ(pgs.extraText[1], "");

  MediaInfo prores = Analyze(Mkv(Entry(1, 1, "V_PRORES", Video(320, 240))));
  EXPECT_EQ(prores.videoCount, 0);
  ASSERT_EQ(prores.extraCount, 1);
  EXPECT_STREQ(prores.extraText[0], "Unknown CodecID V_PRORES");

  // MPEG-4 Visual in native mode is known, even without its CodecPrivate.
  MediaInfo asp = Analyze(Mkv(Entry(1, 1, "V_MPEG4/ISO/ASP", Video(320, 240))));
  ASSERT_EQ(asp.videoCount, 1);
  EXPECT_STREQ(asp.videoText[0], "MPEG-4 Visual 320x240");

  // CodecIDs are cut at 31 characters.
  MediaInfo longId = Analyze(Mkv(Entry(1, 1, "V_" + std::string(60, 'X'))));
  ASSERT_EQ(longId.extraCount, 1);
  EXPECT_EQ(std::string(longId.extraText[0]), "Unknown CodecID V_" + std::string(29, 'X'));
}

// The track's Colour (with MasteringMetadata) and a Dolby Vision
// BlockAdditionMapping tag the HEVC line; a mapping of another type does not.
TEST_F(MatroskaTracksTest, ColourAndDolbyVisionFromTheTrack) {
  Bytes hvcc = ReadFile(FixturePath("codecs/hevc_main_250x142.hvcc"));
  Bytes dvcc = ReadFile(FixturePath("codecs/dv_8.1_hdr10.dvcc"));
  auto colour = [](uint64_t transfer, bool mastering) {
    Bytes c = Cat({ElUInt(kMatrixCoefficients, 9), ElUInt(kTransferCharacteristics, transfer), ElUInt(kPrimaries, 9)});
    if (mastering)
      c = Cat({c, ElUInt(kMaxCll, 1000), ElUInt(kMaxFall, 400),
               El(kMasteringMetadata, Cat({ElFloat(kPrimaryRChromaticityX, 0.708), ElFloat(kPrimaryRChromaticityX + 1, 0.292),
                                           ElFloat(kLuminanceMax, 1000.0), ElFloat(kLuminanceMin, 0.005)}))});
    return El(kColour, c);
  };
  auto mapping = [](const char* type, const Bytes& record) {
    uint64_t id = uint64_t(uint8_t(type[0])) << 24 | uint64_t(uint8_t(type[1])) << 16 | uint64_t(uint8_t(type[2])) << 8 |
                  uint8_t(type[3]);
    return El(kBlockAdditionMapping, Cat({ElUInt(kBlockAddIdType, id), El(kBlockAddIdExtraData, record)}));
  };
  struct Case {
    const char* name;
    Bytes more;
    const char* tag;
  } cases[] = {
      {"PQ with mastering data", El(kVideo, Cat({ElUInt(kPixelWidth, 250), colour(16, true)})), " HDR10"},
      {"PQ alone", El(kVideo, colour(16, false)), " PQ"},
      {"HLG", El(kVideo, colour(18, false)), " HLG"},
      {"Dolby Vision", mapping("dvcC", dvcc), " DV 8.1 (HDR10)"},
      {"another mapping", mapping("mvcC", dvcc), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MediaInfo info = Analyze(Mkv(Entry(1, 1, "V_MPEGH/ISO/HEVC", Cat({Private(hvcc), c.more}))));
    ASSERT_EQ(info.videoCount, 1);
    std::string line = info.videoText[0];
    EXPECT_EQ(line.substr(line.find("4:2:0") + 5), c.tag) << line;
  }
}

// A_FLAC: STREAMINFO in the CodecPrivate wins over the track's elements
// (here Matroska's defaults, 8 kHz mono); without it the elements stand.
TEST_F(MatroskaTracksTest, FlacFromStreamInfo) {
  Bytes flac = {'f', 'L', 'a', 'C', 0x80, 0x00, 0x00, 0x22, 0x10, 0x00, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00,
                0x00, 0x00, 0x17, 0x70, 0x0B, 0x70, 0x00, 0x01, 0x77, 0x00};
  flac.resize(8 + 34, 0x00);
  MediaInfo info = Analyze(Mkv(Entry(1, 2, "A_FLAC", Private(flac))));
  ASSERT_EQ(info.audioCount, 1);
  EXPECT_STREQ(info.audioText[0], "FLAC 96.00kHz 24bit 6ch");
  MediaInfo bare = Analyze(Mkv(Entry(1, 2, "A_FLAC", Audio(44100, 2, 16))));
  ASSERT_EQ(bare.audioCount, 1);
  EXPECT_STREQ(bare.audioText[0], "FLAC 44.10kHz 16bit 2ch");
}

TEST_F(MatroskaTracksTest, WaveFormatTracks) {
  Bytes frame = Mp3Frame();
  struct Case {
    const char* name;
    Bytes codecPrivate;
    Bytes blocks;
    const char* prefix;
  } cases[] = {
      {"PCM", WaveFormatBytes(1, 2, 44100, 176400, 16), Bytes(), "PCM 44.10kHz 16bit 2ch 1411.20kbps"},
      {"MPEG Layer-3 described from its block", WaveFormatBytes(0x55, 2, 44100, 16000, 0), SimpleBlock(1, frame),
       "MPEG-1 Layer III 44.10kHz"},
      // Four bytes: the rest of the header reads as zeros.
      {"short private data", Bytes{0x01, 0x00, 0x02, 0x00}, Bytes(), "PCM 0.00kHz 0bit 2ch 0.00kbps"},
      {"no private data", Bytes(), Bytes(), "Unknown 0.00kHz 0bit 0ch 0.00kbps"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes more = Cat({Audio(44100, 2), c.codecPrivate.empty() ? Bytes() : Private(c.codecPrivate)});
    MediaInfo info = Analyze(Mkv(Entry(1, 2, "A_MS/ACM", more), c.blocks.empty() ? Bytes() : Cluster(c.blocks)));
    ASSERT_EQ(info.audioCount, 1);
    EXPECT_EQ(Utf8(info.audioText[0]).rfind(c.prefix, 0), 0u) << Utf8(info.audioText[0]);
  }
}

TEST_F(MatroskaTracksTest, AacFromItsAudioSpecificConfig) {
  struct Case {
    const char* name;
    Bytes config;
    double trackRate;
    uint64_t trackChannels;
    const char* line;
  } cases[] = {
      // Rate × 6144 / (1024 × channels), the core rate with SBR. Plain LC:
      // never inferred SBR, whatever the track says.
      {"LC", Bytes{0x12, 0x10}, 88200, 2, "AAC LC 44.10kHz 2.0ch(L+R) 132.30kbps"},
      {"LC, explicitly no SBR, in a 48 kHz track", Bytes{0x13, 0x10, 0x56, 0xE5, 0x00}, 48000, 2,
       "AAC HE(LC)+(!SBR) 48.00kHz 2.0ch(L+R) 144.00kbps"},
      {"HE-AAC signalled", Bytes{0x2B, 0x92, 0x08, 0x00}, 44100, 2, "AAC LC(SBR) 44.10kHz 2.0ch(L+R) 66.15kbps"},
      // Mono in a two-channel track: implicit PS only where SBR may be there.
      {"mono HE-AAC, PS not signalled", Bytes{0x13, 0x08, 0x56, 0xE5, 0x98}, 48000, 2,
       "AAC HE(SBR)+(!PS) 48.00kHz 2.0ch(L+R) 72.00kbps"},
      {"mono LC, explicitly no SBR", Bytes{0x11, 0x88, 0x56, 0xE5, 0x00}, 48000, 2,
       "AAC HE(LC) 48.00kHz 1.0ch(C) 288.00kbps"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MediaInfo info = Analyze(Mkv(Entry(1, 2, "A_AAC", Cat({Audio(c.trackRate, c.trackChannels), Private(c.config)}))));
    ASSERT_EQ(info.audioCount, 1);
    EXPECT_STREQ(info.audioText[0], c.line);
  }
}

Bytes ReadFixture(const char* name) { return ReadFile(FixturePath(name)); }

TEST_F(MatroskaTracksTest, Ac3AndDtsFromTheirFirstBlock) {
  Bytes ac3 = ReadFixture("audio/ac3_stereo_192k.ac3");
  Bytes dts = ReadFixture("audio/dts_16be.dts");
  Bytes eac3 = ReadFixture("audio/eac3_stereo_96k.eac3");
  Bytes dtsHd = ReadFixture("codecs/dtshd_ma_48k_6ch.dtshd");
  ASSERT_GT(ac3.size(), 2000u);
  ASSERT_GT(dts.size(), 4000u);
  struct Case {
    const char* codecId;
    Bytes frame;
    const char* prefix;
  } cases[] = {
      {"A_AC3", Bytes(ac3.begin(), ac3.begin() + 1536), "Dolby AC-3 48.00kHz"},
      {"A_EAC3", Bytes(eac3.begin(), eac3.begin() + 1000), "Dolby Digital Plus"},
      {"A_DTS", Bytes(dts.begin(), dts.begin() + 4096), "DTS 48.00kHz"},
      // A core frame followed by a lossless extension substream.
      {"A_DTS", Cat({Bytes(dts.begin(), dts.begin() + 1024), Bytes(dtsHd.begin() + 4, dtsHd.end())}),
       "DTS-HD MA 48.00kHz"},
      {"A_AC3", Zeros(100), "Dolby AC-3 48.00kHz 0bit 2ch"},
      {"A_DTS", Zeros(100), "DTS 48.00kHz 0bit 2ch"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.codecId);
    MediaInfo info = Analyze(Mkv(Entry(1, 2, c.codecId, Audio(48000, 2)), Cluster(SimpleBlock(1, c.frame))));
    ASSERT_EQ(info.audioCount, 1);
    EXPECT_EQ(std::string(info.audioText[0]).rfind(c.prefix, 0), 0u) << info.audioText[0];
  }
}

TEST_F(MatroskaTracksTest, VideoThroughTheirFamilies) {
  // x264's avcC; a BITMAPINFOHEADER with FMP4; a QuickTime image
  // description without its size field.
  Bytes avcc = {0x01, 0x42, 0xc0, 0x0b, 0xff, 0xe1, 0x00, 0x18, 0x67, 0x42, 0xc0, 0x0b, 0xda, 0x0a,
                0x11, 0xf9, 0x70, 0x11, 0x00, 0x00, 0x03, 0x00, 0x01, 0x00, 0x00, 0x03, 0x00, 0x32,
                0x0f, 0x14, 0x2a, 0xa0, 0x01, 0x00, 0x05, 0x68, 0xce, 0x03, 0x9c, 0x80};
  Bytes bitmap = {40, 0, 0, 0, 0x40, 1, 0, 0, 0xF0, 0, 0, 0, 1, 0, 24, 0, 'F', 'M', 'P', '4'};
  bitmap.resize(40, 0);
  Bytes qt = VisualEntry("SVQ3", 320, 240, Bytes());
  qt.erase(qt.begin(), qt.begin() + 4);
  Bytes rate = ElUInt(kDefaultDuration, 40000000);
  struct Case {
    const char* codecId;
    Bytes more;
    const char* line;
  } cases[] = {
      {"V_MPEG4/ISO/AVC", Cat({Video(160, 120), rate, Private(avcc)}),
       "AVC/H.264 Baseline@1.1 160x120 25.00fps PAR 1:1 Progressive"},
      {"V_MS/VFW/FOURCC", Cat({Video(320, 240), rate, Private(bitmap)}),
       "FFmpeg MPEG-4 320x240 24bpp 25.00fps"},
      {"V_QUICKTIME", Cat({Video(320, 240), Private(qt)}), "Sorenson Video 3 320x240 24bpp"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.codecId);
    MediaInfo info = Analyze(Mkv(Entry(1, 1, c.codecId, c.more)));
    ASSERT_EQ(info.videoCount, 1);
    EXPECT_STREQ(info.videoText[0], c.line);
  }
}

TEST_F(MatroskaTracksTest, MpegVideoFromTheFirstBlock) {
  // 720x576, 4:3, 25 fps, then a sequence extension (Main@Main, progressive).
  Bytes sequence = {0x00, 0x00, 0x01, 0xB3, 0x2D, 0x02, 0x40, 0x23, 0x00, 0x3A, 0x98, 0x20, 0x00, 0x00, 0x00};
  Bytes extension = {0x00, 0x00, 0x01, 0xB5, 0x14, 0x8A, 0x00, 0x01, 0x00, 0x00};
  for (const char* id : {"V_MPEG1", "V_MPEG2"}) {
    SCOPED_TRACE(id);
    MediaInfo info = Analyze(Mkv(Entry(1, 1, id, Video(720, 576)), Cluster(SimpleBlock(1, Cat({sequence, extension})))));
    ASSERT_EQ(info.videoCount, 1);
    EXPECT_NE(std::string(info.videoText[0]).find("720x576"), std::string::npos) << info.videoText[0];
  }
}

TEST_F(MatroskaTracksTest, WavPackHybridNeedsTheCorrectionFileBesideIt) {
  Bytes wv = ReadFixture("audio/wavpack_hybrid.wv");
  ASSERT_GT(wv.size(), 64u);
  uint32_t blockSize = wv[4] | wv[5] << 8 | wv[6] << 16 | static_cast<uint32_t>(wv[7]) << 24;
  Bytes frame(wv.begin() + 20, wv.begin() + std::min<size_t>(wv.size(), 8 + blockSize));
  Bytes file = Mkv(Entry(1, 2, "A_WAVPACK4", Audio(44100, 2)), Cluster(SimpleBlock(1, frame)));

  // A folder whose name has a dot: only the file name's dot counts.
  char pattern[] = "/tmp/probex-wv.d-XXXXXX";
  std::string dir = mkdtemp(pattern);
  std::string path = dir + "/film";
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()),
                                              static_cast<std::streamsize>(file.size()));
  MediaInfo without = MakeRecord(path);
  without.formatId = format::kMatroska;
  Dispatch(without);
  ASSERT_EQ(without.audioCount, 1);
  EXPECT_EQ(std::string(without.audioText[0]).rfind("WavPack 4 Lossy", 0), 0u) << without.audioText[0];

  std::ofstream(path + ".wvc") << "x";
  MediaInfo with = MakeRecord(path);
  with.formatId = format::kMatroska;
  Dispatch(with);
  ASSERT_EQ(with.audioCount, 1);
  EXPECT_EQ(std::string(with.audioText[0]).rfind("WavPack 4(Hybrid) Lossy", 0), 0u) << with.audioText[0];
  std::remove((path + ".wvc").c_str());
  std::remove(path.c_str());
  rmdir(dir.c_str());

  // No stored RIFF header: the generic line.
  MediaInfo bare = Analyze(Mkv(Entry(1, 2, "A_WAVPACK4", Audio(44100, 2)), Cluster(SimpleBlock(1, Zeros(40)))));
  ASSERT_EQ(bare.audioCount, 1);
  EXPECT_STREQ(bare.audioText[0], "Wavpack4 44.10kHz 0bit 2ch");
}

// A Vorbis identification packet: 2 channels, 44100 Hz, 128 kbit/s nominal.
Bytes VorbisId() {
  Bytes p = {0x01, 'v', 'o', 'r', 'b', 'i', 's', 0, 0, 0, 0, 2, 0x44, 0xAC, 0, 0, 0, 0, 0, 0,
             0x00, 0xF4, 0x01, 0x00, 0, 0, 0, 0, 0xB8, 0x01};
  return p;
}

TEST_F(MatroskaTracksTest, XiphHeadersWithLongLaceSizes) {
  // A comment packet of 300 bytes needs two lace bytes: the identification
  // packet then starts at byte 4, not 3.
  Bytes comment(300, 0x03);
  Bytes setup(40, 0x05);
  struct Case {
    const char* name;
    Bytes codecPrivate;
  } cases[] = {
      {"short headers", Cat({Bytes{2, 30, 40}, VorbisId(), Bytes(40, 0x03), setup})},
      {"long comment", Cat({Bytes{2, 30, 255, 45}, VorbisId(), comment, setup})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MediaInfo info = Analyze(Mkv(Entry(1, 2, "A_VORBIS", Cat({Audio(44100, 2), Private(c.codecPrivate)}))));
    ASSERT_EQ(info.audioCount, 1);
    EXPECT_STREQ(info.audioText[0], "Vorbis 44.10kHz 2ch 128.00kbps QB");
  }
}

TEST_F(MatroskaTracksTest, RealVideoAndRealAudio) {
  // RealVideo type-specific data: size, "VIDO", "RV40", 320x240, 24 bits.
  Bytes rv = Cat({BE32(34), Str("VIDO"), Str("RV40"), BE16(320), BE16(240), BE16(24), BE16(0), BE16(0),
                  BE16(25), BE16(0), Zeros(8)});
  MediaInfo video = Analyze(Mkv(Entry(1, 1, "V_REAL/RV40", Cat({Video(320, 240), Private(rv)}))));
  ASSERT_EQ(video.videoCount, 1);
  EXPECT_STREQ(video.videoText[0], "RealVideo 9/10 320x240 24bpp 25.00fps");
  // A private block too short for a RealAudio header still gives a line.
  MediaInfo audio = Analyze(Mkv(Entry(1, 2, "A_REAL/COOK", Cat({Audio(44100, 2), Private(Str(".ra"))}))));
  EXPECT_EQ(audio.audioCount, 1);
}

TEST(XiphLacing, PacketOffsets) {
  Bytes big = {2, 255, 255, 30, 5};  // sizes 540, 5, and the rest
  big.resize(5 + 540 + 5 + 7, 0);
  struct Case {
    Bytes bytes;
    size_t index;
    bool ok;
    size_t offset, length;
  } cases[] = {
      {Bytes{2, 3, 2, 1, 1, 1, 2, 2, 3, 3}, 0, true, 3, 3},
      {Bytes{2, 3, 2, 1, 1, 1, 2, 2, 3, 3}, 1, true, 6, 2},
      {Bytes{2, 3, 2, 1, 1, 1, 2, 2, 3, 3}, 2, true, 8, 2},
      {big, 0, true, 5, 540},
      {big, 2, true, 550, 7},
      {Bytes{2, 255, 255}, 0, false, 0, 0},
      {Bytes{1, 200, 1, 2}, 0, false, 0, 0},
      {Bytes{}, 0, false, 0, 0},
  };
  for (const Case& c : cases) {
    size_t offset = 0, length = 0;
    EXPECT_EQ(XiphPacket(c.bytes.data(), c.bytes.size(), c.index, offset, length), c.ok);
    if (c.ok) {
      EXPECT_EQ(offset, c.offset);
      EXPECT_EQ(length, c.length);
    }
  }
}

}  // namespace
}  // namespace probex
