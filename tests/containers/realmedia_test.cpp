#include <gtest/gtest.h>

#include <string>

#include "container_test.h"
#include "audio/real_audio.h"
#include "containers/realmedia.h"
#include "video/real_video.h"
#include "probex_formats.h"

namespace probex {
namespace {

using test::ByteWriter;
using test::Bytes;
using test::Outcome;

Bytes Chunk(const char* id, const Bytes& body) {
  return ByteWriter().Text(id).BE32(static_cast<uint32_t>(body.size() + 8)).Raw(body);
}

Bytes FileHeader() { return Chunk(".RMF", ByteWriter().BE16(0).BE32(0).BE32(4)); }

Bytes Prop(uint32_t durationMs) {
  return Chunk("PROP", ByteWriter().BE16(0).BE32(300000).BE32(200000).BE32(1000).BE32(800).BE32(100).BE32(durationMs)
                           .BE32(0).BE32(0).BE32(0).BE16(2).BE16(0));
}

Bytes Mdpr(uint16_t number, uint32_t averageBitRate, uint32_t durationMs, const std::string& mime, const Bytes& specific) {
  return Chunk("MDPR", ByteWriter().BE16(0).BE16(number).BE32(averageBitRate * 2).BE32(averageBitRate).BE32(1000)
                           .BE32(800).BE32(0).BE32(0).BE32(durationMs).U8(6).Text("stream").U8(static_cast<uint32_t>(mime.size()))
                           .Text(mime).BE32(static_cast<uint32_t>(specific.size())).Raw(specific));
}

Bytes Data(size_t bytes = 100) { return Chunk("DATA", ByteWriter().BE16(0).BE32(1).BE32(0).Zeros(bytes)); }

Bytes VideoSpecific(const char* fourCC, uint16_t width, uint16_t height, uint16_t fps) {
  return ByteWriter().BE32(34).Text("VIDO").Text(fourCC).BE16(width).BE16(height).BE16(12).BE16(0).BE16(0).BE16(fps)
      .Zeros(10);
}

Bytes Ra4(const char* codec, uint16_t rate, uint16_t bits, uint16_t channels, uint32_t dataSize, uint32_t bytesPerMinute) {
  return ByteWriter().Text(".ra").U8(0xFD).BE16(4).BE16(0).Text(".ra4").BE32(0).BE16(4).BE32(78).BE16(2).BE32(186)
      .BE32(dataSize).BE32(bytesPerMinute).BE32(0).BE16(1).BE16(186).BE16(186).BE16(0).BE16(rate).BE16(0).BE16(bits)
      .BE16(channels).U8(4).Text("Int4").U8(4).Text(codec).Zeros(3);
}

Bytes Ra5(const char* codec, uint32_t rate32, uint32_t bits32, uint16_t channels) {
  return ByteWriter().Text(".ra").U8(0xFD).BE16(5).BE16(0).Text(".ra5").BE32(0).BE16(5).BE32(70).BE16(2).BE32(186)
      .BE32(5000).BE32(60000).BE32(0).BE16(1).BE16(186).BE16(186).BE16(0).BE32(rate32).BE32(0).BE32(bits32)
      .BE16(channels).Text("genr").Text(codec).Zeros(4);
}

Bytes Ra3(const std::vector<std::string>& strings, const char* codec) {
  ByteWriter w;
  w.Text(".ra").U8(0xFD).BE16(3).BE16(100).BE16(1).BE16(0).BE16(0).BE16(0).BE16(60000).BE32(10000);
  for (const std::string& s : strings) w.U8(static_cast<uint32_t>(s.size())).Text(s);
  return w.U8(0).U8(0).U8(4).Text(codec).Zeros(8);
}

Bytes Lossless(uint16_t channels, uint16_t bits, uint32_t rate) {
  return ByteWriter().Text("LSD:").BE32(1).BE16(channels).BE16(bits).BE32(rate).Zeros(8);
}

Bytes Cut(const Bytes& b, size_t n) { return Bytes(b.begin(), b.begin() + static_cast<long>(n)); }

TEST(RealAudioHeader, Versions) {
  struct Case {
    const char* name;
    Bytes bytes;
    bool ok;
    int rate, bits, channels;
    const char* key;
  } cases[] = {
      {"v3: 8 kHz, 16 bits whatever it says", Ra3({"title", "author", "(c)"}, "lpcJ"), true, 8000, 16, 1, "lpcJ"},
      {"v3 with strings past the bytes", ByteWriter().Text(".ra").U8(0xFD).BE16(3).Zeros(16).U8(200).Text("abc"), true, 8000,
       16, 0, ""},
      {"v4", Ra4("cook", 44100, 16, 2, 0, 0), true, 44100, 16, 2, "cook"},
      {"v5", Ra5("atrc", 44100, 16, 2), true, 44100, 16, 2, "atrc"},
      {"v5 with 16.16 fields", Ra5("cook", 44100u << 16, 16u << 16, 1), true, 44100, 16, 1, "cook"},
      {"v4 cut short", Cut(Ra4("cook", 44100, 16, 2, 0, 0), 40), false, 0, 0, 0, ""},
      {"v6", ByteWriter().Text(".ra").U8(0xFD).BE16(6).Zeros(10), true, 0, 0, 0, ""},
      {"v2", ByteWriter().Text(".ra").U8(0xFD).BE16(2).Zeros(60), false, 0, 0, 0, ""},
      {"lossless", Lossless(2, 24, 96000), true, 96000, 24, 2, ""},
      {"other", Bytes(80, 'x'), false, 0, 0, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RealAudioInfo info{};
    EXPECT_EQ(ParseRealAudioHeader(c.bytes.data(), c.bytes.size(), info), c.ok);
    if (!c.ok) continue;
    EXPECT_EQ(info.sampleRate, c.rate);
    EXPECT_EQ(info.bitsPerSample, c.bits);
    EXPECT_EQ(info.channels, c.channels);
    EXPECT_STREQ(info.codecKey, c.key);
  }
}

TEST(RealMedia, Walks) {
  Bytes video = Mdpr(0, 250000, 9000, "video/x-pn-realvideo", VideoSpecific("RV40", 320, 240, 25));
  Bytes audio = Mdpr(1, 64000, 8000, "audio/x-pn-realaudio", Ra4("cook", 44100, 16, 2, 0, 0));
  std::string videoLine = "RV 320x240 12bit [RealVideo 4] 25.00fps 250.00kbps 250000.00";
  std::string audioLine = "RA [Cook] 44.10kHz 44100 16bit 2ch 64.00kbps 64000.00";
  Bytes head = ByteWriter().Raw(FileHeader()).Raw(Prop(12345));
  // An index chunk whose next header lies further on; the walk goes there.
  Bytes indexJump = [&] {
    Bytes start = ByteWriter().Raw(FileHeader()).Raw(Prop(12345)).Raw(Data());
    uint32_t next = static_cast<uint32_t>(start.size() + 20 + 50);
    return ByteWriter().Raw(start).Text("INDX").BE32(20).BE16(0).BE32(0).BE16(0).BE32(next).Zeros(50).Raw(audio).Get();
  }();
  struct Case {
    const char* name;
    Bytes file;
    std::vector<std::string> video;
    std::vector<std::string> audio;
    double duration;
  } cases[] = {
      {"streams then data", ByteWriter().Raw(head).Raw(video).Raw(audio).Raw(Data()), {videoLine}, {audioLine}, 12.345},
      {"prop duration 0: the first stream's", ByteWriter().Raw(FileHeader()).Raw(Prop(0)).Raw(video).Raw(audio).Raw(Data()),
       {videoLine}, {audioLine}, 9.0},
      {"data before the streams", ByteWriter().Raw(head).Raw(Data()).Raw(audio).Raw(Data()), {}, {audioLine}, 12.345},
      {"multirate and lossless", ByteWriter().Raw(head)
                                     .Raw(Mdpr(0, 128000, 0, "audio/x-pn-multirate-realaudio", Ra5("COOK", 22050, 16, 1)))
                                     .Raw(Mdpr(1, 900000, 0, "audio/x-ralf-mpeg4-generic", Lossless(2, 24, 96000)))
                                     .Raw(Mdpr(2, 1000, 0, "logical-fileinfo", Bytes(20, 0))).Raw(Data()),
       {},
       {"RA [Cook] 22.05kHz 22050 16bit 1ch 128.00kbps 128000.00",
        "RA [RealAudio LossLess] 96.00kHz 96000 24bit 2ch 900.00kbps 900000.00"},
       12.345},
      {"unrecognised audio header adds nothing", ByteWriter().Raw(head).Raw(Mdpr(0, 1000, 0, "audio/x-pn-realaudio", Bytes(70, 1)))
                                                     .Raw(video).Raw(Data()),
       {videoLine}, {}, 12.345},
      {"index chain followed forward", indexJump, {}, {audioLine}, 12.345},
      // No duration anywhere (ffmpeg's audio-only files): what the packets
      // carry, past their 12-byte headers, at the streams' average rate.
      {"no duration: data at the average rate", ByteWriter().Raw(FileHeader()).Raw(Prop(0))
                                                    .Raw(Mdpr(1, 64000, 0, "audio/x-pn-realaudio", Ra4("cook", 44100, 16, 2, 0, 0)))
                                                    .Raw(Data(8012)),
       {}, {audioLine}, 1.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Outcome o = test::AnalyzeBytes("r.rm", c.file);
    EXPECT_EQ(o.formatId, format::kRealMedia);
    EXPECT_EQ(o.formatName, "RealMedia");
    EXPECT_EQ(o.error, "");
    EXPECT_EQ(o.video, c.video);
    EXPECT_EQ(o.audio, c.audio);
    EXPECT_DOUBLE_EQ(o.duration, c.duration);
  }
}

// Chunks smaller than their header and index offsets that point back end the
// walk rather than keep it in place or send it round in a circle.
TEST(RealMedia, HostileChunksEndTheWalk) {
  Bytes audio = Mdpr(1, 64000, 8000, "audio/x-pn-realaudio", Ra4("cook", 44100, 16, 2, 0, 0));
  Bytes zero = ByteWriter().Text("JUNK").BE32(0).Zeros(8);
  Bytes small = ByteWriter().Text("JUNK").BE32(7).Zeros(8);
  Bytes backwards = ByteWriter().Text("INDX").BE32(20).BE16(0).BE32(0).BE16(0).BE32(0x12).Get();
  Bytes huge = ByteWriter().Text("DATA").BE32(0xFFFFFFFF).Zeros(30);
  for (const Bytes& bad : {zero, small, backwards}) {
    Outcome o = test::AnalyzeBytes("r.rm", ByteWriter().Raw(FileHeader()).Raw(Prop(1000)).Raw(bad).Raw(audio));
    EXPECT_TRUE(o.audio.empty());
    EXPECT_DOUBLE_EQ(o.duration, 1.0);
  }
  Outcome o = test::AnalyzeBytes("r.rm", ByteWriter().Raw(FileHeader()).Raw(Prop(1000)).Raw(audio).Raw(huge));
  EXPECT_EQ(o.audio.size(), 1u);
  Bytes full = ByteWriter().Raw(FileHeader()).Raw(Prop(1000)).Raw(audio).Raw(Data());
  for (size_t n = 40; n < full.size(); n += 5) {
    Outcome part = test::AnalyzeBytes("r.rm", Bytes(full.begin(), full.begin() + static_cast<long>(n)));
    EXPECT_LE(part.audio.size(), 1u);
  }
}

TEST(RealAudio, StandAloneFiles) {
  struct Case {
    const char* name;
    Bytes file;
    std::string audio;
    const char* error;
    double duration;
  } cases[] = {
      {"v4", ByteWriter().Raw(Ra4("cook", 44100, 16, 2, 600000, 6000000)).Zeros(100),
       "RA [Cook] 44.10kHz 44100 16bit 2ch 800.00kbps 800000.00", "", 6.0},
      {"v3", ByteWriter().Raw(Ra3({"t", "a", "c"}, "28_8")).Zeros(100), "RA [28.8] 8.00kHz 8000 16bit 1ch 8.00kbps 8000.00",
       "", 10.0},
      {"no bytes per minute", ByteWriter().Raw(Ra4("cook", 44100, 16, 2, 600000, 0)).Zeros(100),
       "RA [Cook] 44.10kHz 44100 16bit 2ch 0.00kbps 0.00", "", 0.0},
      {"version 2", ByteWriter().Text(".ra").U8(0xFD).BE16(2).Zeros(100), "", "[RealAudio] 認識できないバージョンです", 0.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Outcome o = test::AnalyzeBytes("r.ra", c.file);
    EXPECT_EQ(o.formatId, format::kRealAudio);
    EXPECT_EQ(o.formatName, "");
    EXPECT_EQ(o.error, c.error);
    EXPECT_EQ(o.audio, c.audio.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.audio});
    EXPECT_DOUBLE_EQ(o.duration, c.duration);
  }
}

TEST(RealMedia, EncoderFile) {
  Outcome o = test::AnalyzePath(test::FixturePath("containers/rm_rv10_ac3_mono.rm"));
  EXPECT_EQ(o.formatId, format::kRealMedia);
  EXPECT_EQ(o.video, std::vector<std::string>{"RV 176x144 25bit [RealVideo 1] 25.00fps 200.00kbps 200000.00"});
  EXPECT_EQ(o.audio, std::vector<std::string>{"RA [Dolby AC-3 (dnet)] 48.00kHz 48000 16bit 1ch 96.00kbps 96000.00"});
  EXPECT_NEAR(o.duration, 2.016, 0.001);
  // Audio alone, no duration in the header: 51 packets of 20 bytes.
  Outcome audio = test::AnalyzePath(test::FixturePath("containers/rm_ra144_only.rm"));
  EXPECT_NEAR(audio.duration, 1.02, 0.02);
}

}  // namespace
}  // namespace probex
