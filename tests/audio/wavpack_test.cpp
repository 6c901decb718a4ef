// WavPack and OptimFROG.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "audio_file_support.h"
#include "fixture.h"
#include "probex_formats.h"

namespace probex::test {
namespace {

constexpr uint32_t kInitial = 0x800, kFinal = 0x1000, kHybrid = 0x08;
constexpr uint32_t kStereoBlock = kInitial | kFinal;

std::string Rates(double bitrate) {
  char text[64];
  std::snprintf(text, sizeof text, "%.2fkbps %.2f", bitrate * 0.001, bitrate);
  return text;
}

Bytes SubBlock(uint8_t id, const Bytes& data, bool large = false) {
  Bytes b;
  size_t words = (data.size() + 1) / 2;
  large = large || words > 255;
  b.push_back(static_cast<uint8_t>(id | (data.size() & 1 ? 0x40 : 0) | (large ? 0x80 : 0)));
  if (large)
    PutU24LE(b, static_cast<uint32_t>(words));
  else
    b.push_back(static_cast<uint8_t>(words));
  Append(b, data);
  if (data.size() & 1) b.push_back(0);
  return b;
}

Bytes RiffHeader(uint32_t rate, uint16_t channels = 2, uint16_t bits = 16, bool junkFirst = false) {
  Bytes b;
  PutText(b, "RIFF");
  PutU32LE(b, 0);
  PutText(b, "WAVE");
  if (junkFirst) {
    PutText(b, "JUNK");
    PutU32LE(b, 6);
    PutZeros(b, 6);
  }
  PutText(b, "fmt ");
  PutU32LE(b, 16);
  PutU16LE(b, 1);
  PutU16LE(b, channels);
  PutU32LE(b, rate);
  PutU32LE(b, rate * channels * bits / 8);
  PutU16LE(b, channels * bits / 8);
  PutU16LE(b, bits);
  PutText(b, "data");
  PutU32LE(b, 0);
  return b;
}

Bytes Bitstream(size_t n) { return SubBlock(0x0A, Bytes(n, 0x55)); }

// One block; size overrides the header's size field.
Bytes WvBlock(const std::vector<Bytes>& subBlocks, uint32_t total, uint32_t flags, uint32_t samples = 1000,
              int64_t size = -1) {
  Bytes body;
  for (const Bytes& s : subBlocks) Append(body, s);
  Bytes b;
  PutText(b, "wvpk");
  PutU32LE(b, static_cast<uint32_t>(size < 0 ? static_cast<int64_t>(24 + body.size()) : size));
  PutU16LE(b, 0x410);
  b.push_back(0);
  b.push_back(0);
  PutU32LE(b, total);
  PutU32LE(b, 0);
  PutU32LE(b, samples);
  PutU32LE(b, flags);
  PutU32LE(b, 0);
  Append(b, body);
  return b;
}

Bytes Concat(const std::vector<Bytes>& parts) {
  Bytes b;
  for (const Bytes& p : parts) Append(b, p);
  return b;
}

Bytes FirstBlock(uint32_t rate = 44100, uint32_t flags = kStereoBlock) {
  return WvBlock({SubBlock(0x21, RiffHeader(rate)), Bitstream(500)}, 44100, flags);
}

class WavPackTest : public ::testing::Test {
 protected:
  void SetUp() override { UseAudioTestTemplates(); }
};

TEST_F(WavPackTest, DescribesBlocks) {
  Bytes info;
  PutText(info, "LIST");
  PutU32LE(info, 4);
  PutText(info, "INFO");
  struct Case {
    const char* name;
    Bytes file;
    std::string line;
    double duration;
    const char* extra;
  } cases[] = {
      {"one block", FirstBlock(), "", 1.0, ""},
      {"later blocks carry no RIFF header", Concat({FirstBlock(), WvBlock({Bitstream(400)}, 44100, kStereoBlock)}), "",
       1.0, ""},
      {"RIFF header after a large sub-block",
       WvBlock({SubBlock(0x0A, Bytes(600, 1), true), SubBlock(0x21, RiffHeader(48000))}, 48000, kStereoBlock),
       "WavPack 4 Lossless PCM 48.00kHz 48000 16bit 2ch", 1.0, ""},
      {"fmt chunk after a JUNK chunk", WvBlock({SubBlock(0x21, RiffHeader(22050, 1, 8, true))}, 44100, kStereoBlock),
       "WavPack 4 Lossless PCM 22.05kHz 22050 8bit 1ch", 2.0, ""},
      {"RIFF trailer with an INFO list",
       WvBlock({SubBlock(0x21, RiffHeader(44100)), Bitstream(200), SubBlock(0x22, info)}, 44100, kStereoBlock), "",
       1.0, "INFOTAG"},
      {"optional sub-blocks of newer encoders",
       WvBlock({SubBlock(0x21, RiffHeader(44100)), SubBlock(0x25, Bytes(4)), SubBlock(0x26, Bytes(16)),
                SubBlock(0x27, Bytes(3)), SubBlock(0x2A, Bytes(4)), SubBlock(0x20, Bytes(2)), Bitstream(100)},
               44100, kStereoBlock),
       "", 1.0, ""},
      // A length the encoder did not know: the blocks' samples count, those
      // of a block that continues a multichannel group do not.
      {"unknown total",
       Concat({WvBlock({SubBlock(0x21, RiffHeader(44100)), Bitstream(100)}, 0xFFFFFFFF, kInitial, 22050),
               WvBlock({Bitstream(100)}, 0xFFFFFFFF, kFinal, 22050),
               WvBlock({Bitstream(100)}, 0xFFFFFFFF, kStereoBlock, 11025)}),
       "", 0.75, ""},
      {"sample rate 0", FirstBlock(0), "WavPack 4 Lossless PCM 0.00kHz 0 16bit 2ch 0.00kbps 0.00", 0.0, ""},
      {"block longer than the file", WvBlock({SubBlock(0x21, RiffHeader(44100)), Bitstream(100)}, 44100,
                                            kStereoBlock, 1000, 0x7FFFFFFF),
       "", 1.0, ""},
      {"APE tag at the end", Concat({FirstBlock(), ApeTag()}), "", 1.0, "APE"},
      {"APE and ID3v1 tags at the end", Concat({FirstBlock(), ApeTag(), Id3v1Tag()}), "", 1.0, "ID3v1 / APE"},
      {"ID3v2 tag at the start", Concat({Id3v2Tag(100), FirstBlock()}), "", 1.0, "ID3v2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFile file("test.wv", c.file);
    MediaInfo result = AnalyzeFile(file.Path());
    EXPECT_EQ(result.formatId, format::kWavPack);
    EXPECT_EQ(Text(result.errorText), "");
    ASSERT_EQ(result.audioCount, 1);
    std::string line = result.audioText[0];
    if (c.line.empty()) {
      EXPECT_EQ(line.rfind("WavPack 4 Lossless PCM 44.10kHz 44100 16bit 2ch ", 0), 0u) << line;
    } else {
      EXPECT_EQ(line.rfind(c.line, 0), 0u) << line;
    }
    EXPECT_NEAR(result.duration, c.duration, 1e-9);
    EXPECT_STREQ(result.extraText[0], c.extra);
  }
}

TEST_F(WavPackTest, BitrateLeavesTagsOut) {
  Bytes audio = FirstBlock();
  Bytes file = Concat({Id3v2Tag(100), audio, ApeTag(), Id3v1Tag()});
  TempFile wv("test.wv", file);
  MediaInfo info = AnalyzeFile(wv.Path());
  // The APE tag's header stays counted, as its size leaves it out.
  EXPECT_EQ(std::string(info.audioText[0]), "WavPack 4 Lossless PCM 44.10kHz 44100 16bit 2ch " + Rates((audio.size() + 32) * 8.0));
}

TEST_F(WavPackTest, HybridNeedsItsCorrectionFileForTheVersionText) {
  TempFile wv("hybrid.wv", FirstBlock(44100, kStereoBlock | kHybrid));
  MediaInfo alone = AnalyzeFile(wv.Path());
  EXPECT_EQ(std::string(alone.audioText[0]).rfind("WavPack 4 Lossy PCM", 0), 0u) << alone.audioText[0];
  TempFile wvc("hybrid.wvc", Bytes(64, 0));
  MediaInfo paired = AnalyzeFile(wv.Path());
  EXPECT_EQ(std::string(paired.audioText[0]).rfind("WavPack 4(Hybrid) Lossy PCM", 0), 0u) << paired.audioText[0];
}

TEST_F(WavPackTest, ReportsDamagedBlocks) {
  Bytes garbage(64, 'x');
  char secondBlock[80];
  std::snprintf(secondBlock, sizeof secondBlock, "[WavPack] BlockHeaderが見つからない又はずれています(%08zX)",
                FirstBlock().size());
  struct Case {
    const char* name;
    Bytes file;
    std::string error;
  } cases[] = {
      {"decoder sub-block 0E", WvBlock({SubBlock(0x21, RiffHeader(44100)), SubBlock(0x0E, Bytes(8))}, 44100, kStereoBlock),
       "[Wavpack] 不明なBlockType(14)"},
      {"decoder sub-block 1F", WvBlock({SubBlock(0x1F, Bytes(8)), SubBlock(0x21, RiffHeader(44100))}, 44100, kStereoBlock),
       "[Wavpack] 不明なBlockType(31)"},
      {"second block without wvpk", Concat({FirstBlock(), garbage}), secondBlock},
      {"block size 0", Concat({WvBlock({SubBlock(0x21, RiffHeader(44100))}, 44100, kStereoBlock, 1000, 0), garbage}),
       "[WavPack] BlockHeaderが見つからない又はずれています(00000000)"},
      {"block smaller than its header",
       Concat({WvBlock({SubBlock(0x21, RiffHeader(44100))}, 44100, kStereoBlock, 1000, 16), garbage}),
       "[WavPack] BlockHeaderが見つからない又はずれています(00000000)"},
      {"correction data only", Concat({WvBlock({SubBlock(0x0B, Bytes(100))}, 44100, kStereoBlock),
                                       WvBlock({SubBlock(0x0B, Bytes(100))}, 44100, kStereoBlock)}),
       "[WavPack] RIFFヘッダが見つからない又はWVCファイルです"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFile file("test.wv", c.file);
    MediaInfo info = AnalyzeFile(file.Path());
    EXPECT_EQ(info.formatId, format::kWavPack);
    EXPECT_EQ(Text(info.errorText), c.error);
    EXPECT_EQ(info.audioCount, 0);
  }
}

TEST_F(WavPackTest, DescribesEncoderFiles) {
  struct Case {
    const char* file;
    const char* line;
    double duration;
    const char* extra;
  } cases[] = {
      {"audio/wavpack_lossless.wv", "WavPack 4 Lossless PCM 44.10kHz 44100 16bit 2ch 512.10kbps 512096.00", 1.0, ""},
      {"audio/wavpack_hybrid.wv", "WavPack 4(Hybrid) Lossy PCM 44.10kHz 44100 16bit 2ch 201.57kbps 201568.00", 1.0, ""},
      {"audio/wavpack_hybrid_lossy.wv", "WavPack 4 Lossy PCM 44.10kHz 44100 16bit 2ch 201.55kbps 201552.00", 1.0, ""},
      {"audio/wavpack_apetag.wv", "WavPack 4 Lossless PCM 44.10kHz 44100 16bit 2ch 512.35kbps 512352.00", 1.0, "APE"},
      {"audio/wavpack_6ch.wv", "WavPack 4 Lossless Extensible 48.00kHz 48000 24bit 6ch 1558.56kbps 1558560.00", 0.2, ""},
      // No RIFF header: described from the first block's flags.
      {"audio/wavpack_ffmpeg_raw.wv", "WavPack 4 Lossless PCM 44.10kHz 44100 16bit 2ch 360.26kbps 360256.00", 0.25, ""},
      {"audio/wavpack_raw_mono.wv", "WavPack 4 Lossless PCM 22.05kHz 22050 16bit 1ch 90.70kbps 90696.23", 5512.0 / 22050, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    MediaInfo info = AnalyzeFile(FixturePath(c.file));
    EXPECT_EQ(info.formatId, format::kWavPack);
    EXPECT_STREQ(info.errorText, "");
    ASSERT_EQ(info.audioCount, 1);
    EXPECT_STREQ(info.audioText[0], c.line);
    EXPECT_NEAR(info.duration, c.duration, 1e-9);
    EXPECT_STREQ(info.extraText[0], c.extra);
  }
  MediaInfo correction = AnalyzeFile(FixturePath("audio/wavpack_hybrid.wvc"));
  EXPECT_EQ(correction.formatId, format::kWavPack);
  EXPECT_EQ(Text(correction.errorText), "[WavPack] RIFFヘッダが見つからない又はWVCファイルです");
}

TEST_F(WavPackTest, PublicFiles) {
  struct Case {
    const char* file;
    const char* line;  // or the error
    double duration;   // wvunpack's figure
  } cases[] = {
      {"taglib/click.wv", "WavPack 4 Lossless PCM 44.10kHz 44100 16bit 2ch 324.22kbps 324216.67", 0.078},
      {"taglib/tagged.wv", "WavPack 4 Lossy PCM 44.10kHz 44100 16bit 2ch 172.16kbps 172158.90", 3.550},
      {"taglib/four_channels.wv", "WavPack 4 Lossy Extensible 44.10kHz 44100 16bit 4ch 111.71kbps 111706.47", 3.832},
      {"taglib/no_length.wv", "WavPack 4 Lossless PCM 44.10kHz 44100 16bit 2ch 1.15kbps 1148.71", 3.705},
      {"taglib/non_standard_rate.wv", "WavPack 4 Lossless PCM 1.00kHz 1000 16bit 2ch 0.29kbps 287.35", 3.674},
      {"taglib/infloop.wv", "[WavPack] RIFFヘッダが見つからない又はWVCファイルです", 0.0},
      // DSD audio: its decoder sub-block 0E is not one this walk knows.
      {"taglib/dsd_stereo.wv", "[Wavpack] 不明なBlockType(14)", 0.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    std::string path = PublicMedia(c.file);
    if (path.empty()) GTEST_SKIP() << "public media absent";
    MediaInfo info = AnalyzeFile(path);
    EXPECT_EQ(info.formatId, format::kWavPack);
    EXPECT_EQ(info.audioCount ? std::string(info.audioText[0]) : Text(info.errorText), c.line);
    EXPECT_NEAR(info.duration, c.duration, 0.001);
  }
}

// "OFR " header chunk of size bytes (fields past size are left out).
Bytes OfrHeader(uint32_t size, uint64_t total, uint8_t type, uint8_t channels, uint32_t rate, uint8_t mode) {
  Bytes body;
  for (int i = 0; i < 6; ++i) body.push_back(static_cast<uint8_t>(total >> (8 * i)));
  body.push_back(type);
  body.push_back(channels);
  PutU32LE(body, rate);
  PutU16LE(body, 0x4520);  // encoder
  body.push_back(mode);
  body.resize(size, 0);
  Bytes b;
  PutText(b, "OFR ");
  PutU32LE(b, size);
  Append(b, body);
  return b;
}

Bytes OfrChunk(const char* id, size_t n) {
  Bytes b;
  PutText(b, id);
  PutU32LE(b, static_cast<uint32_t>(n));
  PutZeros(b, n);
  return b;
}

Bytes Ofr(const Bytes& header, bool tail = true) {
  Bytes b = Concat({header, OfrChunk("HEAD", 30), OfrChunk("COMP", 600), OfrChunk("COMP", 400)});
  if (tail) Append(b, Concat({OfrChunk("TAIL", 20), OfrChunk("APET", 10)}));
  return b;
}

class OptimFrogTest : public WavPackTest {};

TEST_F(OptimFrogTest, DescribesHeaderChunk) {
  // From the 5th byte of the first COMP chunk to that of TAIL: 1016 bytes in one second.
  const std::string rates = " 8.13kbps 8128.00 ";
  struct Case {
    const char* name;
    Bytes file;
    std::string line;
    double duration;
  } cases[] = {
      {"16-bit stereo", Ofr(OfrHeader(15, 88200, 3, 1, 44100, (2 << 3) | 1)),
       "OFR SingleStream 44.10kHz 44100 16bit 2ch" + rates + "High 2x", 1.0},
      {"24-bit at 96 kHz", Ofr(OfrHeader(15, 192000, 4, 1, 96000, (9 << 3) | 2)),
       "OFR SingleStream 96.00kHz 96000 24bit 2ch" + rates + "Bestnew 4x", 1.0},
      {"8-bit mono", Ofr(OfrHeader(15, 8000, 1, 0, 8000, 0)), "OFR SingleStream 8.00kHz 8000 8bit 1ch" + rates + "Fast 1x",
       1.0},
      {"32-bit float", Ofr(OfrHeader(15, 88200, 10, 1, 44100, 6 << 3)),
       "OFR SingleStream 44.10kHz 44100 32bit 2ch" + rates + "Insane 1x", 1.0},
      // A 12-byte chunk has no mode byte and counts channels as they are.
      {"12-byte header chunk", Ofr(OfrHeader(12, 88200, 3, 2, 44100, 0)),
       "OFR SingleStream 44.10kHz 44100 16bit 2ch" + rates + " ", 1.0},
      {"no TAIL chunk: the file's end", Ofr(OfrHeader(15, 88200, 3, 1, 44100, (3 << 3)), false),
       "OFR SingleStream 44.10kHz 44100 16bit 2ch 8.10kbps 8096.00 Extra 1x", 1.0},
      {"no channels", Ofr(OfrHeader(12, 88200, 3, 0, 44100, 0)),
       "OFR SingleStream 44.10kHz 44100 16bit 0ch 0.00kbps 0.00  ", 0.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFile file("test.ofr", c.file);
    MediaInfo info = AnalyzeFile(file.Path());
    EXPECT_EQ(info.formatId, format::kOptimFrog);
    EXPECT_EQ(Text(info.errorText), "");
    ASSERT_EQ(info.audioCount, 1);
    EXPECT_EQ(info.audioText[0], c.line);
    EXPECT_NEAR(info.duration, c.duration, 1e-9);
  }
}

TEST_F(OptimFrogTest, ModeNames) {
  const char* names[] = {"Fast", "Normal", "High", "Extra", "Best", "Ultra", "Insane", "Highnew", "Extranew", "Bestnew"};
  for (uint8_t mode = 0; mode < 10; ++mode) {
    TempFile file("test.ofr", Ofr(OfrHeader(15, 88200, 3, 1, 44100, static_cast<uint8_t>(mode << 3))));
    MediaInfo info = AnalyzeFile(file.Path());
    EXPECT_EQ(info.audioText[0], "OFR SingleStream 44.10kHz 44100 16bit 2ch 8.13kbps 8128.00 " + std::string(names[mode]) + " 1x");
  }
}

TEST_F(OptimFrogTest, ReportsUnreadableFiles) {
  struct Case {
    const char* name;
    Bytes file;
    const char* error;
  } cases[] = {
      {"compression mode 10", Ofr(OfrHeader(15, 88200, 3, 1, 44100, 10 << 3)), "[OFR] 不明な圧縮モード(10)"},
      {"compression mode 31", Ofr(OfrHeader(15, 88200, 3, 1, 44100, 31 << 3)), "[OFR] 不明な圧縮モード(31)"},
      {"speed mode 3", Ofr(OfrHeader(15, 88200, 3, 1, 44100, 3)), "[OFR] 不明な速度モード(3)"},
      {"layout before 4.21", Concat({Bytes{'*'}, OfrChunk("RIFF", 100)}), "[OFR] v4.21以下のヘッダは未対応です"},
      {"no OFR chunk", Concat({OfrChunk("OFRX", 20), OfrChunk("COMP", 100)}), "[OFR] OFRチャンクが見つかりません"},
      {"OFR chunk shorter than its fields", Ofr(OfrHeader(11, 88200, 3, 1, 44100, 0)),
       "[OFR] OFRチャンクが見つかりません"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFile file("test.ofr", c.file);
    MediaInfo info = AnalyzeFile(file.Path());
    EXPECT_EQ(info.formatId, format::kOptimFrog);
    EXPECT_EQ(Text(info.errorText), c.error);
    EXPECT_EQ(info.audioCount, 0);
    EXPECT_EQ(info.duration, 0.0);
  }
}

TEST_F(OptimFrogTest, CorrectionFileMakesDualStream) {
  TempFile ofr("dual.ofr", Ofr(OfrHeader(15, 88200, 3, 1, 44100, 0)));
  TempFile ofc("dual.ofc", Bytes(64, 0));
  MediaInfo info = AnalyzeFile(ofr.Path());
  EXPECT_EQ(std::string(info.audioText[0]), "OFR DualStream 44.10kHz 44100 16bit 2ch 8.13kbps 8128.00 Fast 1x");
}

}  // namespace
}  // namespace probex::test
