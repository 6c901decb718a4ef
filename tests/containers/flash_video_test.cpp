#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "container_test.h"
#include "containers/flash_video.h"
#include "probex_formats.h"
#include "video/avc.h"

namespace probex {
namespace {

using test::ByteWriter;
using test::Bytes;
using test::Outcome;

Bytes Tag(uint8_t type, uint32_t timestamp, const Bytes& data, uint8_t extension = 0) {
  return ByteWriter().U8(type).BE24(static_cast<uint32_t>(data.size())).BE24(timestamp).U8(extension).BE24(0).Raw(data)
      .BE32(static_cast<uint32_t>(data.size() + 11));
}

Bytes Flv(const std::vector<Bytes>& tags, uint8_t version = 1) {
  ByteWriter w;
  w.Text("FLV").U8(version).U8(5).BE32(9).BE32(0);
  for (const Bytes& t : tags) w.Raw(t);
  return w;
}

Bytes Number(const std::string& name, double value) {
  return ByteWriter().BE16(static_cast<uint32_t>(name.size())).Text(name).U8(0).DoubleBE(value);
}

Bytes OnMetaData(const std::vector<Bytes>& properties) {
  ByteWriter w;
  w.U8(2).BE16(10).Text("onMetaData").U8(8).BE32(static_cast<uint32_t>(properties.size()));
  for (const Bytes& p : properties) w.Raw(p);
  return w.BE16(0).U8(9);
}

// A Sorenson H.263 picture header: start code, version, temporal reference,
// picture size and, for sizes 0 and 1, the explicit width and height.
Bytes Sorenson(uint32_t pictureSize, uint32_t width = 0, uint32_t height = 0) {
  std::string bits = "00000000000000001";
  auto put = [&](uint32_t v, int n) {
    for (int i = n - 1; i >= 0; --i) bits += ((v >> i) & 1) ? '1' : '0';
  };
  put(0, 5), put(0, 8), put(pictureSize, 3);
  if (pictureSize == 0) put(width, 8), put(height, 8);
  if (pictureSize == 1) put(width, 16), put(height, 16);
  while (bits.size() < 72) bits += '0';
  Bytes b(1 + bits.size() / 8, 0);
  b[0] = 0x22;
  for (size_t i = 0; i < bits.size(); ++i)
    if (bits[i] == '1') b[1 + i / 8] |= static_cast<uint8_t>(0x80 >> (i % 8));
  return b;
}

Bytes AvcHeader(uint8_t profile, uint8_t level) { return {0x17, 0, 0, 0, 0, 1, profile, 0, level, 0xFF, 0xE1, 0, 0}; }

std::string ProfileText(uint32_t profile, uint32_t level) {
  char text[40] = {};
  AvcProfileLevelText(text, sizeof text, profile, level);
  return text;
}

TEST(FlashVideo, AudioTagFlags) {
  struct Case {
    Bytes data;
    std::string line;
  } cases[] = {
      {{0x2F, 0, 0, 0}, "FA [MPEG1-LayerIII] 44.10kHz 44100 16bit 2ch 0.00kbps 0.00"},
      {ByteWriter().U8(0x2F).Raw(test::MpegAudioFrame()), test::MpegAudioLine()},
      {{0xAF, 0, 0x12, 0x10}, "FA [AAC] 44.10kHz 44100 16bit 2ch 0.00kbps 0.00"},
      {{0x6A, 1}, "FA [Nellymoser] 22.05kHz 22050 16bit 1ch 0.00kbps 0.00"},
      {{0x5A, 1}, "FA [Nellymoser(8kHz)] 22.05kHz 22050 16bit 1ch 0.00kbps 0.00"},
      {{0x02, 1}, "FA [PCM] 5.50kHz 5500 16bit 1ch 0.00kbps 0.00"},
      {{0x15}, "FA [ADPCM] 11.03kHz 11025 8bit 2ch 0.00kbps 0.00"},
      {{0xF0}, "FA [Unknown(15)] 5.50kHz 5500 8bit 1ch 0.00kbps 0.00"},
  };
  for (const Case& c : cases) {
    Outcome o = test::AnalyzeBytes("f.flv", Flv({Tag(8, 0, c.data), Tag(8, 40, c.data)}));
    EXPECT_EQ(o.formatId, format::kFlashVideo);
    EXPECT_EQ(o.formatName, "FlashVideo");
    EXPECT_EQ(o.error, "");
    EXPECT_EQ(o.audio, std::vector<std::string>{c.line});
  }
}

TEST(FlashVideo, VideoTagsAndMetadata) {
  Bytes meta = Tag(18, 0, OnMetaData({Number("duration", 120.5), Number("width", 640), Number("height", 360),
                                      Number("videodatarate", 500), Number("framerate", 29.97),
                                      Number("audiodatarate", 128)}));
  std::string fll = "FLL 640x360 [AVC/H.264] " + ProfileText(100, 31) + " 29.97fps 500.00kbps 500000.00";
  struct Case {
    const char* name;
    std::vector<Bytes> tags;
    std::string video;
    std::string audio;
  } cases[] = {
      {"sorenson size 5 wins over metadata", {meta, Tag(9, 0, Sorenson(5))},
       "FLV 320x240 [Sorenson H.263] 29.97fps 500.00kbps 500000.00", ""},
      {"sorenson 8-bit size", {meta, Tag(9, 0, Sorenson(0, 100, 80))},
       "FLV 100x80 [Sorenson H.263] 29.97fps 500.00kbps 500000.00", ""},
      {"sorenson 16-bit size", {meta, Tag(9, 0, Sorenson(1, 1000, 700))},
       "FLV 1000x700 [Sorenson H.263] 29.97fps 500.00kbps 500000.00", ""},
      {"sorenson header cut short", {meta, Tag(9, 0, {0x22, 0, 0})},
       "FLV 640x360 [Sorenson H.263] 29.97fps 500.00kbps 500000.00", ""},
      {"avc", {meta, Tag(9, 0, AvcHeader(100, 31)), Tag(8, 0, {0xAF, 0, 0x12, 0x10})}, fll,
       "FA [AAC] 44.10kHz 44100 16bit 2ch 128.00kbps 128000.00"},
      {"avc tag without its configuration", {meta, Tag(9, 0, {0x17, 0, 0, 0, 0, 1})},
       "FLV 640x360 [AVC/H.264] 29.97fps 500.00kbps 500000.00", ""},
      {"vp6", {meta, Tag(9, 0, {0x14, 0, 0, 0})}, "FLV 640x360 [On2 VP6] 29.97fps 500.00kbps 500000.00", ""},
      {"metadata after the video tag is not used for it", {Tag(9, 0, {0x14, 0}), meta},
       "FLV 0x0 [On2 VP6]", ""},
      {"empty tags are passed over", {Tag(9, 0, {}), Tag(8, 0, {}), meta, Tag(9, 0, {0x13})},
       "FLV 640x360 [Screen video] 29.97fps 500.00kbps 500000.00", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Outcome o = test::AnalyzeBytes("f.flv", Flv(c.tags));
    EXPECT_EQ(o.error, "");
    EXPECT_EQ(o.video, std::vector<std::string>{c.video});
    EXPECT_EQ(o.audio, c.audio.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.audio});
    EXPECT_DOUBLE_EQ(o.duration, 120.5);
  }
}

TEST(FlashVideo, DurationFromMetadataOrTheLastTag) {
  Bytes audio = {0xAF, 1, 0, 0};
  std::vector<Bytes> tags = {Tag(18, 0, OnMetaData({Number("duration", 120.5)}))};
  for (int i = 0; i < 11; ++i) tags.push_back(Tag(8, i * 20, audio));
  // Read after the eleventh tag only if the walk did not stop there.
  tags.push_back(Tag(18, 0, OnMetaData({Number("duration", 99)})));
  EXPECT_DOUBLE_EQ(test::AnalyzeBytes("f.flv", Flv(tags)).duration, 120.5);

  Outcome o = test::AnalyzeBytes("f.flv", Flv({Tag(8, 0, audio), Tag(8, 30000, audio), Tag(8, 61000, audio, 0x7F)}));
  EXPECT_DOUBLE_EQ(o.duration, 61.0);  // the extension byte is ignored
  o = test::AnalyzeBytes("f.flv", Flv({Tag(18, 0, OnMetaData({Number("duration", -5)})), Tag(8, 2000, audio)}));
  EXPECT_DOUBLE_EQ(o.duration, 2.0);
}

TEST(FlashVideo, Failures) {
  Outcome o = test::RunAnalyzer("f.flv", ByteWriter().Text("FLX").U8(1).Zeros(40), AnalyzeFlashVideo);
  EXPECT_EQ(o.error, "[FlashVideo] FlashVideoではありません");
  EXPECT_EQ(o.formatName, "FlashVideo");
  o = test::AnalyzeBytes("f.flv", Flv({Tag(8, 0, ByteWriter().U8(0xAF).Zeros(20))}, 2));
  EXPECT_EQ(o.error, "[FlashVideo] FlashVideo Version1以外は未対応です");
  EXPECT_TRUE(o.audio.empty());
  o = test::AnalyzeBytes("f.flv", Flv({Tag(18, 0, OnMetaData({Number("width", 320)})), Tag(8, 3000, {}), Tag(7, 4000, {1, 2})}));
  EXPECT_EQ(o.error, "[FlashVideo] 認識できる映像と音声が1ストリームもありません");
  EXPECT_DOUBLE_EQ(o.duration, 4.0);
  // A tag whose size runs past the file ends the walk.
  o = test::AnalyzeBytes("f.flv", ByteWriter().Raw(Flv({Tag(8, 0, {0xAF, 1})})).U8(9).BE24(0xFFFFFF).Zeros(20));
  EXPECT_EQ(o.audio.size(), 1u);
}

TEST(Amf, ValuesAndTheirLengths) {
  auto table = std::make_unique<FlvMetadata>();
  struct Case {
    Bytes bytes;
    size_t length;
    size_t stored;
  } cases[] = {
      {ByteWriter().U8(0).DoubleBE(2.5), 9, 1},
      {ByteWriter().U8(0).Zeros(7), 0, 0},  // a number cut short
      {{1, 1}, 2, 1},
      {ByteWriter().U8(2).BE16(3).Text("abc"), 6, 1},
      {ByteWriter().U8(2).BE16(0), 0, 0},
      {ByteWriter().U8(2).BE16(9).Text("abc"), 0, 0},  // runs past the data
      {{7, 0, 5}, 3, 1},
      {ByteWriter().U8(11).Zeros(10), 11, 1},
      {ByteWriter().U8(11).Zeros(5), 0, 0},
      {ByteWriter().U8(12).BE32(2).Text("ab"), 7, 1},
      {ByteWriter().U8(12).BE32(0xFFFFFFFF).Text("ab"), 0, 0},
      {ByteWriter().U8(10).Raw(Number("x", 1)), 13, 1},
      {ByteWriter().U8(8).BE32(2).Raw(Number("a", 1)).Raw(Number("b", 2)), 29, 2},
      {ByteWriter().U8(8).BE32(3).Raw(Number("a", 1)), 0, 1},  // a missing property fails the array
      {{5}, 1, 0},
      {{}, 0, 0},
  };
  for (const Case& c : cases) {
    table->count = 0;
    EXPECT_EQ(ParseAmfValue(c.bytes.data(), c.bytes.size(), *table), c.length);
    EXPECT_EQ(table->count, c.stored);
  }
}

// Nesting beyond the depth limit fails instead of overflowing the stack.
TEST(Amf, NestingIsBounded) {
  auto nested = [](int levels) {
    ByteWriter w;
    for (int i = 0; i < levels; ++i) w.U8(8).BE32(1).BE16(1).Text("a");
    w.U8(0).DoubleBE(1);
    return w.Get();
  };
  auto table = std::make_unique<FlvMetadata>();
  Bytes shallow = nested(kAmfMaxDepth);
  EXPECT_EQ(ParseAmfValue(shallow.data(), shallow.size(), *table), shallow.size());
  for (int levels : {kAmfMaxDepth + 1, 200000}) {
    table->count = 0;
    Bytes deep = nested(levels);
    EXPECT_EQ(ParseAmfValue(deep.data(), deep.size(), *table), 0u);
  }
  Bytes strict;
  for (int i = 0; i < 100000; ++i) strict.push_back(10), strict.push_back(0), strict.push_back(1), strict.push_back('a');
  EXPECT_EQ(ParseAmfValue(strict.data(), strict.size(), *table), 0u);
  // The same inside a file: analysed, not crashed.
  Outcome o = test::AnalyzeBytes("f.flv", Flv({Tag(18, 0, ByteWriter().Text("duration").Raw(nested(100000))), Tag(8, 5000, {0xAF, 1})}));
  EXPECT_EQ(o.audio.size(), 1u);
  EXPECT_DOUBLE_EQ(o.duration, 5.0);
}

TEST(Amf, PropertySearch) {
  auto table = std::make_unique<FlvMetadata>();
  Bytes twice = ByteWriter().Raw(Number("duration", 10)).U8(3).Raw(Number("DURATION", 20));
  FindAmfProperty(twice.data(), twice.size(), "duration", *table);
  ASSERT_EQ(table->count, 2u);
  EXPECT_EQ(table->entries[1].number, 20);  // the later occurrence comes last
  EXPECT_STREQ(table->entries[1].name, "duration");

  table->count = 0;
  Bytes atTheEnd = ByteWriter().Zeros(3).Text("duration").U8(0).Zeros(4);
  FindAmfProperty(atTheEnd.data(), atTheEnd.size(), "duration", *table);
  EXPECT_EQ(table->count, 0u);
  FindAmfProperty(atTheEnd.data(), 5, "duration", *table);
  EXPECT_EQ(table->count, 0u);

  table->count = 0;
  ByteWriter many;
  for (int i = 0; i < 300; ++i) many.Raw(Number("width", i));
  FindAmfProperty(many.Get().data(), many.Size(), "width", *table);
  EXPECT_EQ(table->count, kFlvMaxProperties);
  EXPECT_EQ(table->entries[kFlvMaxProperties - 1].number, 255);
}

TEST(FlashVideo, EncoderFiles) {
  struct Case {
    const char* file;
    std::string video;
    std::string audio;
    double duration;
  } cases[] = {
      {"flv_flv1_mp3_22k.flv", "FLV 160x120 [Sorenson H.263] 25.00fps 195.31kbps 195312.50", "MPEG2 LIII 22050 32.00kbps CBR2",
       2.049},
      {"flv_h264_baseline_aac.flv", "FLL 128x96 [AVC/H.264] " + ProfileText(66, 10) + " 25.00fps",
       "FA [AAC] 44.10kHz 44100 16bit 1ch 46.88kbps 46875.00", 2.023},  // mono, as its AAC configuration says
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    Outcome o = test::AnalyzePath(test::FixturePath(std::string("containers/") + c.file));
    EXPECT_EQ(o.formatId, format::kFlashVideo);
    EXPECT_EQ(o.error, "");
    EXPECT_EQ(o.video, std::vector<std::string>{c.video});
    EXPECT_EQ(o.audio, std::vector<std::string>{c.audio});
    EXPECT_NEAR(o.duration, c.duration, 0.001);
  }
}

}  // namespace
}  // namespace probex
