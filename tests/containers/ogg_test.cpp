#include <gtest/gtest.h>

#include <string>

#include "container_test.h"
#include "containers/ogg.h"
#include "probex_formats.h"

namespace probex {
namespace {

using test::ByteWriter;
using test::Bytes;
using test::Outcome;

constexpr uint8_t kBos = 0x02;

// One page holding whole packets (CRC left 0: it is never checked).
Bytes Page(uint8_t type, int64_t granule, uint32_t serial, const std::vector<Bytes>& packets) {
  ByteWriter lacing, body;
  for (const Bytes& p : packets) {
    size_t n = p.size();
    while (n >= 255) lacing.U8(255), n -= 255;
    lacing.U8(static_cast<uint32_t>(n));
    body.Raw(p);
  }
  return ByteWriter().Text("OggS").U8(0).U8(type).LE64(static_cast<uint64_t>(granule)).LE32(serial).LE32(0).LE32(0)
      .U8(static_cast<uint32_t>(lacing.Size())).Raw(lacing).Raw(body);
}

Bytes VorbisId(uint32_t rate, uint8_t channels, uint32_t max, uint32_t nominal, uint32_t min) {
  return ByteWriter().U8(1).Text("vorbis").LE32(0).U8(channels).LE32(rate).LE32(max).LE32(nominal).LE32(min).U8(0xB8).U8(1);
}

Bytes VorbisComments(const std::string& vendor, const std::vector<std::string>& comments) {
  ByteWriter w;
  w.U8(3).Text("vorbis").LE32(static_cast<uint32_t>(vendor.size())).Text(vendor).LE32(static_cast<uint32_t>(comments.size()));
  for (const std::string& c : comments) w.LE32(static_cast<uint32_t>(c.size())).Text(c);
  return w.U8(1);
}

Bytes TheoraId(uint16_t mbWidth, uint16_t mbHeight, uint32_t pictureWidth, uint32_t pictureHeight, uint32_t fpsNum,
               uint32_t fpsDen, uint32_t shift, uint8_t revision = 1) {
  return ByteWriter().U8(0x80).Text("theora").U8(3).U8(2).U8(revision).BE16(mbWidth).BE16(mbHeight).BE24(pictureWidth)
      .BE24(pictureHeight).U8(0).U8(0).BE32(fpsNum).BE32(fpsDen).BE24(1).BE24(1).U8(0).BE24(300000)
      .U8(0xC0 | (shift >> 3)).U8((shift & 7) << 5);
}

Bytes SpeexHeader(uint32_t rate, uint32_t mode, uint32_t channels, uint32_t bitRate, uint32_t vbr) {
  return ByteWriter().Text("Speex   ").Text("1.2.0").Zeros(15).LE32(1).LE32(80).LE32(rate).LE32(mode).LE32(4)
      .LE32(channels).LE32(bitRate).LE32(320).LE32(vbr).LE32(1).LE32(0).LE32(0);
}

Bytes OgmHeader(const char* kind, const char* subtype, uint64_t timeUnit, uint64_t samplesPerUnit, uint16_t bits,
                uint32_t a, uint32_t b) {
  return ByteWriter().U8(1).Text(kind).Zeros(8 - std::string(kind).size()).Raw(Bytes(subtype, subtype + 4)).LE32(56).LE64(timeUnit)
      .LE64(samplesPerUnit).LE32(0).LE32(0).LE16(bits).LE16(0).LE32(a).LE32(b);
}

Bytes StreamInfo(uint32_t rate) {
  // Block header (STREAMINFO, 34 bytes), then the block: rate at byte 10.
  return ByteWriter().U8(0).BE24(34).Zeros(10).U8(rate >> 12).U8(rate >> 4).U8((rate & 15) << 4 | 0x02).U8(0xF0)
      .Zeros(20);
}

// A one-stream file: the first packet, a second page, then the last page.
Bytes OneStream(const Bytes& first, const Bytes& second, int64_t lastGranule) {
  return ByteWriter().Raw(Page(kBos, 0, 7, {first})).Raw(Page(0, 0, 7, {second})).Raw(Page(0, 1000, 7, {Bytes(50, 1)}))
      .Raw(Page(0x04, lastGranule, 7, {Bytes(30, 1)}));
}

TEST(Vorbis, BitrateModes) {
  constexpr uint32_t F = 0xFFFFFFFF;
  struct Case {
    uint32_t max, nominal, min;
    const char* mode;
    double bitRate;
  } cases[] = {
      {F, F, F, "VBR", 0},
      {0, 128000, 0, "QB", 128000},
      {192000, 192000, 192000, "CBR", 192000},
      {F, 112000, F, "VBR", 112000},
      {200000, 112000, F, "ABR", 100000},
      {200000, 112000, 100000, "ABR", 150000},
  };
  for (const Case& c : cases) {
    Bytes packet = VorbisId(44100, 2, c.max, c.nominal, c.min);
    VorbisInfo info{};
    ASSERT_TRUE(ParseVorbisIdHeader(packet.data(), packet.size(), info));
    EXPECT_STREQ(info.bitrateMode, c.mode);
    EXPECT_EQ(info.bitRate, c.bitRate);
    EXPECT_EQ(info.channels, 2);
    EXPECT_EQ(info.sampleRate, 44100);
  }
  VorbisInfo info{};
  EXPECT_FALSE(ParseVorbisIdHeader(VorbisId(1, 1, 1, 1, 1).data(), 11, info));
}

TEST(Theora, GranuleFramesCountSinceTheKeyframe) {
  EXPECT_EQ(TheoraGranuleFrames((24 << 6) | 1, 6), 25);
  EXPECT_EQ(TheoraGranuleFrames(100, 0), 100);
  EXPECT_EQ(TheoraGranuleFrames(-1, 6), 0);
  EXPECT_EQ(TheoraGranuleFrames(int64_t{1} << 62, 63), int64_t{1} << 62);
  Bytes id = TheoraId(10, 8, 160, 120, 30000, 1001, 6);
  TheoraInfo info{};
  ASSERT_TRUE(ParseTheoraIdHeader(id.data(), id.size(), info));
  EXPECT_EQ(info.width, 160);
  EXPECT_EQ(info.height, 120);
  EXPECT_EQ(info.granuleShift, 6u);
  EXPECT_EQ(info.nominalBitrate, 300000u);
  Bytes noPicture = TheoraId(10, 8, 0, 0, 25, 1, 6);
  ASSERT_TRUE(ParseTheoraIdHeader(noPicture.data(), noPicture.size(), info));
  EXPECT_EQ(info.width, 160);  // the frame size stands in
  EXPECT_EQ(info.height, 128);
}

TEST(Ogg, StreamKinds) {
  std::vector<std::string> chapters;
  for (int i = 1; i <= 12; ++i) {
    char n[32];
    std::snprintf(n, sizeof n, "CHAPTER%03d=00:0%d:00.000", i, i % 10);
    chapters.push_back(n);
  }
  chapters.push_back("CHAPTER012NAME=Last");
  Bytes vorbis = VorbisId(44100, 2, 0, 128000, 0);
  Bytes divxFrame = ByteWriter().Raw({0, 0, 1, 0xB2}).Text("DivX503b1393p").Zeros(30);
  Bytes flacNew = ByteWriter().U8(0x7F).Text("FLAC").U8(1).U8(0).BE16(1).Text("fLaC").Raw(StreamInfo(44100));
  Bytes textStream = ByteWriter().Raw(Page(kBos, 0, 1, {vorbis})).Raw(Page(kBos, 0, 2, {OgmHeader("text", "\0\0\0\0", 10000, 1, 0, 0, 0)}))
                         .Raw(Page(0, 0, 1, {Bytes(40, 0)})).Raw(Page(0, 0, 2, {Bytes(10, 0)}))
                         .Raw(Page(0, 88200, 1, {Bytes(40, 0)}));
  struct Case {
    const char* name;
    Bytes file;
    int32_t formatId;
    std::vector<std::string> video;
    std::vector<std::string> audio;
    std::vector<std::string> extra;
    double duration;
  } cases[] = {
      {"vorbis with xiph chapters", OneStream(vorbis, VorbisComments("Xiph.Org libVorbis I 20200704", chapters), 441000),
       format::kOggVorbis, {}, {"VORBIS 44.10kHz 44100 128.00kbps 128000.00 QB 2ch"}, {"VorbisComment / Chapter(12)"}, 10.0},
      {"vorbis comments of another vendor are not scanned", OneStream(vorbis, VorbisComments("Lavf59", chapters), 441000),
       format::kOggVorbis, {}, {"VORBIS 44.10kHz 44100 128.00kbps 128000.00 QB 2ch"}, {}, 10.0},
      {"speex", OneStream(SpeexHeader(16000, 1, 1, 0xFFFFFFFF, 0), Bytes(20, 0), 32000), format::kOggSpeex, {},
       {"SPEEX 16.00kHz 16000 ABR 1ch Wide"}, {}, 2.0},
      {"speex vbr", OneStream(SpeexHeader(8000, 0, 2, 15000, 1), Bytes(20, 0), 16000), format::kOggSpeex, {},
       {"SPEEX 8.00kHz 8000 15.00kbps 15000.00 VBR 2ch Narrow"}, {}, 2.0},
      {"theora", OneStream(TheoraId(10, 8, 160, 120, 25, 1, 6), Bytes(20, 0), (24 << 6) | 1), format::kOggOther,
       {"THEORA 160x120 [Theora 3.2.1] 25.00fps 1:1 300.00kbps 300000.00 25f"}, {}, {}, 1.0},
      {"theora 3.2.0 counts frames from 0", OneStream(TheoraId(10, 8, 160, 120, 25, 1, 6, 0), Bytes(20, 0), (24 << 6) | 1),
       format::kOggOther, {"THEORA 160x120 [Theora 3.2.0] 25.00fps 1:1 300.00kbps 300000.00 26f"}, {}, {}, 1.0},
      {"ogm video", OneStream(OgmHeader("video", "DX50", 400000, 1, 24, 320, 240), divxFrame, 25), format::kOggOther,
       {"OGM 320x240 24bit [DivX 5.0.3 Pro] 25.00fps 26f"}, {}, {}, 1.0},
      {"ogm audio mp3", OneStream(OgmHeader("audio", "55\0\0", 0, 44100, 0, 2 | (1 << 16), 16000), test::MpegAudioFrame(), 88200),
       format::kOggOther, {}, {test::MpegAudioLine()}, {}, 2.0},
      {"ogm audio pcm", OneStream(OgmHeader("audio", "0001", 0, 44100, 16, 2 | (4 << 16), 176400), Bytes(100, 0), 88200),
       format::kOggOther, {}, {"A [PCM] 44.10kHz 44100 16bit 2ch 1411.20kbps 1411200.00"}, {}, 2.0},
      {"ogm text", textStream, format::kOggVorbis, {}, {"VORBIS 44.10kHz 44100 128.00kbps 128000.00 QB 2ch"}, {"Text(1)"}, 2.0},
      // 48 kHz granules counted from before the 312-sample pre-skip.
      {"opus", OneStream(ByteWriter().Text("OpusHead").U8(1).U8(2).LE16(312).LE32(44100).LE16(0).U8(0),
                         ByteWriter().Text("OpusTags").LE32(0).LE32(0), 96000 + 312),
       format::kOggOther, {}, {"OPUS 48.00kHz 48000 0.91kbps 2ch"}, {}, 2.0},
      {"opus ending inside its pre-skip", OneStream(ByteWriter().Text("OpusHead").U8(1).U8(1).LE16(312).LE32(48000).LE16(0).U8(0),
                                                    Bytes(10, 0), 100),
       format::kOggOther, {}, {"OPUS 48.00kHz 48000 1ch"}, {}, 0.0},
      {"flac, current mapping", OneStream(flacNew, Bytes(20, 0), 44100 * 3), format::kOggFlac, {},
       {"FLAC 44.10kHz 44100 16bit 2ch"}, {}, 3.0},
      {"flac, first mapping", OneStream(ByteWriter().Text("fLaC"), StreamInfo(22050), 22050 * 3), format::kOggFlac, {},
       {"FLAC 22.05kHz 22050 16bit 2ch"}, {}, 3.0},
      // No STREAMINFO to describe it by.
      {"flac, first mapping without its block", OneStream(ByteWriter().Text("fLaC"), Bytes(10, 0), 22050 * 3),
       format::kOggFlac, {}, {"[OGG] OggFlacは未対応です"}, {}, 0.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Outcome o = test::AnalyzeBytes("o.ogg", c.file);
    EXPECT_EQ(o.formatId, c.formatId);
    EXPECT_EQ(o.formatName, "Ogg");
    EXPECT_EQ(o.error, "");
    EXPECT_EQ(o.video, c.video);
    EXPECT_EQ(o.audio, c.audio);
    EXPECT_EQ(o.extra, c.extra);
    EXPECT_NEAR(o.duration, c.duration, 1e-9);
  }
}

TEST(Ogg, Failures) {
  Bytes vorbis = VorbisId(44100, 2, 0, 128000, 0);
  Bytes noBos = ByteWriter().Raw(Page(0, 100, 1, {Bytes(40, 0)})).Raw(Page(0, 200, 1, {Bytes(40, 0)}));
  Bytes noEnd = ByteWriter().Raw(Page(kBos, 0, 1, {vorbis})).Raw(Page(0, 0, 1, {Bytes(40, 0)})).Raw(Page(0, -1, 1, {Bytes(40, 0)}));
  Outcome o = test::AnalyzeBytes("o.ogg", noBos);
  EXPECT_EQ(o.formatId, format::kOggOther);
  EXPECT_EQ(o.error, "[OGG] ストリームが1つも見つかりません");
  EXPECT_EQ(o.formatName, "Ogg");
  o = test::AnalyzeBytes("o.ogg", noEnd);
  EXPECT_EQ(o.error, "[OGG] 末尾を検出できたストリームが1つもありません");
  EXPECT_TRUE(o.audio.empty());
}

// The reference stream is the first one, in stream order, whose end was found.
TEST(Ogg, ReferenceStreamIsTheFirstWithAnEnd) {
  Bytes file = ByteWriter().Raw(Page(kBos, 0, 1, {VorbisId(44100, 2, 0, 128000, 0)}))
                   .Raw(Page(kBos, 0, 2, {SpeexHeader(16000, 1, 1, 0, 0)}))
                   .Raw(Page(0, 0, 1, {Bytes(40, 0)})).Raw(Page(0, 0, 2, {Bytes(40, 0)}))
                   .Raw(Page(0, 48000, 2, {Bytes(40, 0)}));
  Outcome o = test::AnalyzeBytes("o.ogg", file);
  EXPECT_EQ(o.audio.size(), 2u);
  EXPECT_DOUBLE_EQ(o.duration, 3.0);
}

// More pages than the tail table holds: the last ones count, and a page on
// which no packet ends (granule -1) is passed over.
TEST(Ogg, EndSearchKeepsTheLastPages) {
  ByteWriter w;
  w.Raw(Page(kBos, 0, 1, {VorbisId(44100, 2, 0, 128000, 0)})).Raw(Page(0, 0, 1, {Bytes(40, 0)}));
  for (int i = 1; i <= 3000; ++i) w.Raw(Page(0, i * 100, 1, {Bytes(1, 0)}));
  w.Raw(Page(0, 441000, 1, {Bytes(1, 0)})).Raw(Page(0, -1, 1, {Bytes(255, 0)}));
  Outcome o = test::AnalyzeBytes("o.ogg", w);
  EXPECT_DOUBLE_EQ(o.duration, 10.0);
  // A damaged negative position is passed over like -1.
  w.Raw(Page(0, -4410000, 1, {Bytes(1, 0)}));
  EXPECT_DOUBLE_EQ(test::AnalyzeBytes("o.ogg", w).duration, 10.0);
}

TEST(Ogg, DamageBetweenPagesIsCrossed) {
  Bytes vorbis = VorbisId(44100, 2, 0, 128000, 0);
  Bytes ogm = OgmHeader("video", "DX50", 400000, 1, 24, 320, 240);
  Bytes divxFrame = ByteWriter().Raw({0, 0, 1, 0xB2}).Text("DivX503b1393p").Zeros(30);
  Bytes file = ByteWriter().Raw(Page(kBos, 0, 1, {ogm})).Zeros(100).Text("OgXX").Raw(Page(0, 0, 1, {divxFrame}))
                   .Raw(Page(0, 50, 1, {Bytes(10, 0)}));
  Outcome o = test::AnalyzeBytes("o.ogg", file);
  EXPECT_EQ(o.video, std::vector<std::string>{"OGM 320x240 24bit [DivX 5.0.3 Pro] 25.00fps 51f"});
  EXPECT_DOUBLE_EQ(o.duration, 2.0);
}

TEST(Ogg, StreamsBeyondTheTableAreLeftOut) {
  ByteWriter w;
  for (uint32_t s = 1; s <= 20; ++s) w.Raw(Page(kBos, 0, s, {VorbisId(8000, 1, 0, 8000, 0)}));
  for (uint32_t s = 1; s <= 20; ++s) w.Raw(Page(0, 8000, s, {Bytes(10, 0)}));
  Outcome o = test::AnalyzeBytes("o.ogg", w);
  EXPECT_EQ(o.audio.size(), static_cast<size_t>(PROBEX_MAX_AUDIO));
  EXPECT_DOUBLE_EQ(o.duration, 1.0);
  for (size_t cut = 40; cut < w.Size(); cut += 61) {
    Outcome part = test::AnalyzeBytes("o.ogg", Bytes(w.Get().begin(), w.Get().begin() + static_cast<long>(cut)));
    EXPECT_LE(part.audio.size(), static_cast<size_t>(PROBEX_MAX_AUDIO));
  }
}

TEST(Ogg, EncoderFiles) {
  struct Case {
    const char* file;
    int32_t formatId;
    std::vector<std::string> video;
    std::vector<std::string> audio;
    double duration;
  } cases[] = {
      {"ogg_vorbis.ogg", format::kOggVorbis, {}, {"VORBIS 44.10kHz 44100 64.00kbps 64000.00 QB 2ch"}, 2.0},
      {"ogg_speex.spx", format::kOggSpeex, {}, {"SPEEX 16.00kHz 16000 ABR 1ch Wide"}, 2.0},
      {"ogg_flac.oga", format::kOggFlac, {}, {"FLAC 22.05kHz 22050 16bit 1ch"}, 1.0},
      {"ogg_theora_vorbis_mono.ogv", format::kOggOther, {"THEORA 160x120 [Theora 3.2.1] 25.00fps 1:1 25f"},
       {"VORBIS 22.05kHz 22050 24.00kbps 24000.00 QB 1ch"}, 1.0},
      {"../audio/ogg_opus.opus", format::kOggOther, {}, {"OPUS 48.00kHz 48000 124.46kbps 2ch"}, 1.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    Outcome o = test::AnalyzePath(test::FixturePath(std::string("containers/") + c.file));
    EXPECT_EQ(o.formatId, c.formatId);
    EXPECT_EQ(o.error, "");
    EXPECT_EQ(o.video, c.video);
    EXPECT_EQ(o.audio, c.audio);
    EXPECT_NEAR(o.duration, c.duration, 0.001);
  }
}

}  // namespace
}  // namespace probex
