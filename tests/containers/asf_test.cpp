#include <gtest/gtest.h>

#include <string>

#include "container_test.h"
#include "video/mpeg4_visual.h"
#include "video/video_line.h"
#include "audio/audio_line.h"
#include "audio/wave_format.h"
#include "containers/asf.h"
#include "probex_formats.h"

namespace probex {
namespace {

using test::ByteWriter;
using test::Bytes;
using test::Outcome;

constexpr char kHeader[] = "75B22630-668E-11CF-A6D9-00AA0062CE6C";
constexpr char kData[] = "75B22636-668E-11CF-A6D9-00AA0062CE6C";
constexpr char kHeaderExtension[] = "5FBF03B5-A92E-11CF-8EE3-00C00C205365";
constexpr char kFileProperties[] = "8CABDCA1-A947-11CF-8EE4-00C00C205365";
constexpr char kStreamProperties[] = "B7DC0791-A9B7-11CF-8EE6-00C00C205365";
constexpr char kExtendedStreamProperties[] = "14E6A5CB-C672-4332-8399-A96952065B5A";
constexpr char kCodecList[] = "86D15240-311D-11D0-A3A4-00A0C90348F6";
constexpr char kContentEncryption[] = "2211B3FB-BD23-11D2-B4B7-00A0C955FC6E";
constexpr char kAudioMedia[] = "F8699E40-5B4D-11CF-A8FD-00805F5C442B";
constexpr char kVideoMedia[] = "BC19EFC0-5B4D-11CF-A8FD-00805F5C442B";
constexpr char kPadding[] = "1806D474-CADF-4509-A4BA-9AABCB96AAE8";

// GUID text to its 16 bytes: the first three groups little-endian.
Bytes Guid(const char* text) {
  std::string hex;
  for (const char* p = text; *p; ++p)
    if (*p != '-') hex += *p;
  Bytes b(16);
  for (size_t i = 0; i < 16; ++i) b[i] = static_cast<uint8_t>(std::stoul(hex.substr(2 * i, 2), nullptr, 16));
  std::swap(b[0], b[3]), std::swap(b[1], b[2]), std::swap(b[4], b[5]), std::swap(b[6], b[7]);
  return b;
}

Bytes Object(const char* guid, const Bytes& body) {
  return ByteWriter().Raw(Guid(guid)).LE64(body.size() + 24).Raw(body);
}

Bytes Header(const std::vector<Bytes>& objects) {
  ByteWriter children;
  for (const Bytes& o : objects) children.Raw(o);
  return ByteWriter().Raw(Guid(kHeader)).LE64(children.Size() + 30).LE32(static_cast<uint32_t>(objects.size())).U8(1).U8(2)
      .Raw(children);
}

Bytes Asf(const std::vector<Bytes>& objects) {
  return ByteWriter().Raw(Header(objects)).Raw(Object(kData, ByteWriter().Zeros(26))).Zeros(200);
}

Bytes FileProperties(uint64_t playDuration, uint64_t preroll, uint32_t maxBitrate) {
  return Object(kFileProperties, ByteWriter().Zeros(40).LE64(playDuration).LE64(0).LE64(preroll).LE32(2).LE32(3200)
                                     .LE32(3200).LE32(maxBitrate));
}

Bytes StreamPropertiesBody(const char* type, uint32_t number, const Bytes& specific) {
  return ByteWriter().Raw(Guid(type)).Zeros(16).LE64(0).LE32(static_cast<uint32_t>(specific.size())).LE32(0)
      .LE16(number).LE32(0).Raw(specific);
}

Bytes VideoSpecific(uint32_t width, uint32_t height, const char* fourCC) {
  return ByteWriter().LE32(width).LE32(height).U8(2).LE16(40).LE32(40).LE32(width).LE32(height).LE16(1).LE16(24)
      .Text(fourCC).Zeros(20);
}

Bytes AudioSpecific(uint16_t tag, uint16_t channels, uint32_t rate, uint32_t avg) {
  return ByteWriter().Raw(test::WaveFormatBytes(tag, channels, rate, avg, 1487, 16)).LE16(0);
}

Bytes VideoStream(uint32_t number, uint32_t width = 320, uint32_t height = 240) {
  return Object(kStreamProperties, StreamPropertiesBody(kVideoMedia, number, VideoSpecific(width, height, "WMV2")));
}

Bytes AudioStream(uint32_t number, uint32_t avg = 8000, uint16_t tag = 0x161) {
  return Object(kStreamProperties, StreamPropertiesBody(kAudioMedia, number, AudioSpecific(tag, 2, 44100, avg)));
}

// Extended stream properties; names are (language, text) pairs whose length
// field counts bytes, and an embedded stream properties object may follow.
Bytes Utf16(const std::string& s);

Bytes ExtendedStream(uint32_t number, uint32_t bitRate, uint64_t timePerFrame, const std::vector<std::string>& names,
                     const Bytes& after = {}) {
  ByteWriter w;
  w.LE64(0).LE64(0).LE32(bitRate).Zeros(24).LE32(0).LE16(number).LE16(0).LE64(timePerFrame)
      .LE16(static_cast<uint32_t>(names.size())).LE16(1);
  for (const std::string& n : names) w.LE16(0).LE16(static_cast<uint32_t>(n.size() * 2)).Raw(Utf16(n));
  w.Zeros(16).LE16(4).LE32(3).Text("abc");  // one payload extension system
  return Object(kExtendedStreamProperties, w.Raw(after));
}

Bytes Utf16(const std::string& s) {
  ByteWriter w;
  for (char c : s) w.U8(static_cast<uint8_t>(c)).U8(0);
  return w;
}

Bytes CodecList(const std::vector<std::pair<uint16_t, std::string>>& entries) {
  ByteWriter w;
  w.Zeros(16).LE32(static_cast<uint32_t>(entries.size()));
  for (const auto& [type, name] : entries)
    w.LE16(type).LE16(static_cast<uint32_t>(name.size() + 1)).Raw(Utf16(name)).LE16(0).LE16(1).LE16(0).LE16(2).LE16(0x161);
  return Object(kCodecList, w);
}

Bytes HeaderExtension(const std::vector<Bytes>& objects) {
  ByteWriter children;
  for (const Bytes& o : objects) children.Raw(o);
  return ByteWriter().Raw(Guid(kHeaderExtension)).LE64(children.Size() + 46).Zeros(16).LE16(6)
      .LE32(static_cast<uint32_t>(children.Size())).Raw(children);
}

constexpr uint64_t kPlay = 1234567890;  // 123 s in 100 ns units

TEST(Asf, Descriptions) {
  Bytes codecs = CodecList({{1, "Windows Media Video 8"}, {2, "Windows Media Audio V8"}, {2, "Second"}});
  Bytes drm = Object(kContentEncryption, ByteWriter().LE32(2).Text("ab").LE32(4).Text("DRM").U8(0).LE32(0).LE32(0));
  Bytes embedded = ByteWriter().Raw(Guid(kStreamProperties)).LE64(0).Raw(StreamPropertiesBody(kVideoMedia, 3, VideoSpecific(640, 480, "WMV3")));
  struct Case {
    const char* name;
    Bytes file;
    int32_t formatId;
    const char* formatName;
    std::vector<std::string> video;
    std::vector<std::string> audio;
    double duration;
  } cases[] = {
      {"video with extended properties, codec names from the list",
       Asf({FileProperties(kPlay, 3000, 300000), codecs, VideoStream(1), AudioStream(2),
            HeaderExtension({ExtendedStream(1, 250000, 400000, {})})}),
       format::kAsfVideo, "WindowsMedia", {"WMV1 320x240 24bit [Windows Media Video 8] 25.00fps 250.00kbps 250000.00"},
       {"WMA [Windows Media Audio V8] 44.10kHz 44100 16bit 2ch 64.00kbps 64000.00"}, 120.0},
      {"video without extended properties", Asf({FileProperties(kPlay, 3000, 300000), VideoStream(1), AudioStream(2)}),
       format::kAsfVideo, "WindowsMedia", {"WMV2 320x240 24bit [WMV8] 236.00kbps 236000.00"},
       {"WMA [WMA2] 44.10kHz 44100 16bit 2ch 64.00kbps 64000.00"}, 120.0},
      {"extended bit rate 0 takes the rest of the maximum",
       Asf({FileProperties(kPlay, 3000, 300000), VideoStream(1), AudioStream(2), HeaderExtension({ExtendedStream(1, 0, 0, {})})}),
       format::kAsfVideo, "WindowsMedia", {"WMV2 320x240 24bit [WMV8] 236.00kbps 236000.00"},
       {"WMA [WMA2] 44.10kHz 44100 16bit 2ch 64.00kbps 64000.00"}, 120.0},
      {"two audio streams share the first audio name",
       Asf({FileProperties(kPlay, 3000, 300000), codecs, AudioStream(1), AudioStream(2, 4000)}), format::kAsfAudio,
       "WindowsMedia", {},
       {"WMA [Windows Media Audio V8] 44.10kHz 44100 16bit 2ch 64.00kbps 64000.00",
        "WMA [Windows Media Audio V8] 44.10kHz 44100 16bit 2ch 32.00kbps 32000.00"},
       120.0},
      {"protected", Asf({FileProperties(kPlay, 3000, 0), drm, AudioStream(1)}), format::kAsfAudio, "WindowsMedia(DRM)", {},
       {"WMA [WMA2] 44.10kHz 44100 16bit 2ch 64.00kbps 64000.00"}, 120.0},
      {"broadcast: play duration below the preroll", Asf({FileProperties(0, 3000, 0), AudioStream(1)}), format::kAsfAudio,
       "WindowsMedia", {}, {"WMA [WMA2] 44.10kHz 44100 16bit 2ch 64.00kbps 64000.00"}, 0.0},
      {"stream only inside extended properties, after a named stream",
       Asf({FileProperties(kPlay, 3000, 300000), AudioStream(1),
            HeaderExtension({ExtendedStream(3, 500000, 333667, {"en", "x"}, embedded)})}),
       format::kAsfAudio, "WindowsMedia", {"WMV1 640x480 24bit [不明WMV3] 29.97fps 500.00kbps 500000.00"},
       {"WMA [WMA2] 44.10kHz 44100 16bit 2ch 64.00kbps 64000.00"}, 120.0},
      {"no embedded stream where no GUID stands",
       Asf({FileProperties(kPlay, 3000, 300000), AudioStream(1),
            HeaderExtension({ExtendedStream(3, 500000, 333667, {}, ByteWriter().Zeros(24).Raw(StreamPropertiesBody(kVideoMedia, 3, VideoSpecific(640, 480, "WMV3"))))})}),
       format::kAsfAudio, "WindowsMedia", {}, {"WMA [WMA2] 44.10kHz 44100 16bit 2ch 64.00kbps 64000.00"}, 120.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Outcome o = test::AnalyzeBytes("a.wmv", c.file);
    EXPECT_EQ(o.formatId, c.formatId);
    EXPECT_EQ(o.formatName, c.formatName);
    EXPECT_EQ(o.error, "");
    EXPECT_EQ(o.video, c.video);
    EXPECT_EQ(o.audio, c.audio);
    EXPECT_DOUBLE_EQ(o.duration, c.duration);
  }
}

// Objects below their own header size or running past the file end the walk:
// what was collected before them is described, nothing hangs.
TEST(Asf, HostileObjectSizes) {
  auto withBad = [](uint64_t size) {
    Bytes bad = ByteWriter().Raw(Guid(kPadding)).LE64(size).Zeros(8);
    return ByteWriter().Raw(Header({FileProperties(kPlay, 3000, 0), AudioStream(1)})).Raw(bad)
        .Raw(Object(kStreamProperties, StreamPropertiesBody(kVideoMedia, 2, VideoSpecific(16, 16, "WMV2")))).Get();
  };
  for (uint64_t size : {uint64_t{0}, uint64_t{23}, uint64_t{1} << 40, ~uint64_t{0}}) {
    SCOPED_TRACE(size);
    Outcome o = test::RunAnalyzer("a.wma", withBad(size), AnalyzeAsf);
    EXPECT_EQ(o.audio, std::vector<std::string>{"WMA [WMA2] 44.10kHz 44100 16bit 2ch 64.00kbps 64000.00"});
    EXPECT_TRUE(o.video.empty());
    EXPECT_DOUBLE_EQ(o.duration, 120.0);
  }
  Bytes cut = Asf({FileProperties(kPlay, 3000, 0), CodecList({{2, "Windows Media Audio V8"}}), AudioStream(1)});
  for (size_t n = 16; n < 400; n += 7) {
    Outcome o = test::RunAnalyzer("a.wma", Bytes(cut.begin(), cut.begin() + static_cast<long>(n)), AnalyzeAsf);
    EXPECT_LE(o.audio.size(), 1u);
  }
}

TEST(Asf, NotAsf) {
  Outcome o = test::RunAnalyzer("a.wma", Bytes(64, 0x30), AnalyzeAsf);
  EXPECT_EQ(o.error, "[WindowsMedia] WindowsMedia形式ではありません");
  EXPECT_EQ(o.formatName, "WindowsMedia");
  EXPECT_EQ(o.fileSize, 64u);
}

TEST(Asf, EncoderFiles) {
  struct Case {
    const char* file;
    int32_t formatId;
    std::vector<std::string> video;
    std::vector<std::string> audio;
    double duration;
  } cases[] = {
      {"asf_wmv2_wmav2_2s.wmv", format::kAsfVideo, {"WMV2 160x120 24bit [wmv2] 200.00kbps 200000.00"},
       {"WMA [Windows Media Audio V8] 22.05kHz 22050 16bit 1ch 32.00kbps 32000.00"}, 2.0},
      {"asf_wmav2.wma", format::kAsfAudio, {}, {"WMA [Windows Media Audio V8] 22.05kHz 22050 16bit 1ch 32.00kbps 32000.00"},
       2.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    Outcome o = test::AnalyzePath(test::FixturePath(std::string("containers/") + c.file));
    EXPECT_EQ(o.formatId, c.formatId);
    EXPECT_EQ(o.formatName, "WindowsMedia");
    EXPECT_EQ(o.video, c.video);
    EXPECT_EQ(o.audio, c.audio);
    EXPECT_DOUBLE_EQ(o.duration, c.duration);
  }
}

}  // namespace
}  // namespace probex
