#include <gtest/gtest.h>

#include <string>

#include "fixture.h"
#include "dispatch.h"
#include "probex_formats.h"

namespace probex {
namespace {

using test::Bytes;
using test::TempFile;

void Put16LE(Bytes& b, size_t at, uint32_t v) {
  b[at] = static_cast<uint8_t>(v), b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void Put32LE(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

Bytes Bmp(uint32_t headerSize, int32_t width, int32_t height, uint32_t bits, uint32_t compression) {
  Bytes b(120, 0);
  b[0] = 'B', b[1] = 'M';
  Put32LE(b, 14, headerSize);
  Put32LE(b, 18, static_cast<uint32_t>(width));
  Put32LE(b, 22, static_cast<uint32_t>(height));
  Put16LE(b, 28, bits);
  Put32LE(b, 30, compression);
  return b;
}

struct Result {
  int32_t formatId;
  std::string video;
  std::string error;
};

Result Analyze(const std::string& name, const Bytes& content) {
  TempFile file(name, content);
  MediaInfo info = test::AnalyzeFile(file.Path());
  EXPECT_EQ(info.duration, 0.0);
  EXPECT_EQ(info.formatName[0], '\0');
  return {info.formatId, info.videoCount ? test::Utf8(info.videoText[0]) : "", test::Utf8(info.errorText)};
}

TEST(Bmp, Descriptions) {
  struct Case {
    Bytes bytes;
    const char* video;
    const char* error;
  } cases[] = {
      {Bmp(40, 640, 480, 24, 0), "Windows 24Bit 640x480 RAW", ""},
      {Bmp(40, 16, 16, 0, 0), "Windows 32Bit 16x16 RAW", ""},
      {Bmp(40, 100, -50, 8, 1), "Windows 8Bit 100x-50 RLE", ""},
      {Bmp(12, 100, 50, 8, 0), "", "[BMP] 不明なフォーマット"},
      {Bmp(124, 100, 50, 32, 3), "Windows 32Bit 100x50 RLE", ""},  // V5 header, common today
      {Bmp(108, 8, 8, 16, 3), "Windows 16Bit 8x8 RLE", ""},
      {Bmp(64, 100, 50, 8, 0), "", "[BMP] 不明なフォーマット"},
  };
  for (const Case& c : cases) {
    Result r = Analyze("p.bmp", c.bytes);
    EXPECT_EQ(r.formatId, format::kBmp);
    EXPECT_EQ(r.video, c.video);
    EXPECT_EQ(r.error, c.error);
  }
}

TEST(Gif, Description) {
  Bytes gif = {'G', 'I', 'F', '8', '9', 'a', 0x40, 0x01, 0xC8, 0x00};
  gif.resize(60, 0);
  EXPECT_EQ(Analyze("p.gif", gif).video, "GIF89a 320x200");
}

// SOI, an APP0 JFIF segment, optional extra segments, then a frame header.
Bytes Jfif(uint8_t units, const Bytes& between, uint16_t width, uint16_t height, uint8_t sof = 0xC0) {
  Bytes b = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0x00, 0x01, 0x01, units, 0, 1, 0, 1, 0, 0};
  b.insert(b.end(), between.begin(), between.end());
  Bytes frame = {0xFF, sof, 0x00, 0x11, 0x08, static_cast<uint8_t>(height >> 8), static_cast<uint8_t>(height),
                 static_cast<uint8_t>(width >> 8), static_cast<uint8_t>(width), 0x03};
  frame.resize(frame.size() + 9, 0);
  b.insert(b.end(), frame.begin(), frame.end());
  b.insert(b.end(), {0xFF, 0xDA, 0x00, 0x02, 0x12, 0x34, 0xFF, 0xD9});
  return b;
}

Bytes Segment(uint8_t marker, const Bytes& payload) {
  size_t length = payload.size() + 2;
  Bytes b = {0xFF, marker, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)};
  b.insert(b.end(), payload.begin(), payload.end());
  return b;
}

Bytes Many(const Bytes& piece, int times) {
  Bytes b;
  for (int i = 0; i < times; ++i) b.insert(b.end(), piece.begin(), piece.end());
  return b;
}

TEST(Jpeg, JfifFrameSizeUnitsAndEmbeddedThumbnails) {
  // An APP1 segment holding a thumbnail with its own frame header (160x120)
  // must not be taken for the picture (1920x1080).
  Bytes thumbnail = Jfif(0, {}, 160, 120);
  Bytes app1 = Segment(0xE1, thumbnail);
  struct Case {
    Bytes bytes;
    const char* video;
  } cases[] = {
      {Jfif(1, {}, 640, 480), "JFIF 24Bit 640x480 inch"},
      {Jfif(2, {}, 640, 480, 0xC2), "JFIF 24Bit 640x480 cm"},
      {Jfif(0, {}, 640, 480), "JFIF 24Bit 640x480 normal"},
      {Jfif(0, app1, 1920, 1080), "JFIF 24Bit 1920x1080 normal"},
      {Jfif(0, Segment(0xC4, Bytes(30, 0)), 64, 48), "JFIF 24Bit 64x48 normal"},  // DHT is no frame
      // An ICC profile or a large thumbnail ahead of the frame header is
      // passed by its length, however long.
      {Jfif(0, Segment(0xE2, Bytes(5200, 0)), 64, 48), "JFIF 24Bit 64x48 normal"},
      {Jfif(0, Many(Segment(0xE2, Bytes(65000, 0)), 10), 4000, 3000), "JFIF 24Bit 4000x3000 normal"},
      // The walk is bounded: 64 segments, or 64 KiB of bytes that are none.
      {Jfif(0, Many(Segment(0xFE, Bytes(8, 'c')), 70), 64, 48), "[JPEG] マーカが見つかりません"},
      {Jfif(0, Bytes(70000, 0x55), 64, 48), "[JPEG] マーカが見つかりません"},
      {Jfif(0, Bytes(1000, 0x55), 64, 48), "JFIF 24Bit 64x48 normal"},
  };
  for (const Case& c : cases) {
    Result r = Analyze("p.jpg", c.bytes);
    EXPECT_EQ(r.formatId, format::kJpeg);
    EXPECT_EQ(r.video, c.video);
    EXPECT_EQ(r.error, "");
  }
}

Bytes Exif(bool bigEndian, uint16_t type, uint32_t width, uint32_t height) {
  Bytes b = {0xFF, 0xD8, 0xFF, 0xE1, 0x00, 0x40, 'E', 'x', 'i', 'f', 0, 0};
  Bytes order = bigEndian ? Bytes{'M', 'M', 0, 42} : Bytes{'I', 'I', 42, 0};
  b.insert(b.end(), order.begin(), order.end());
  auto entry = [&](uint8_t tagLow, uint32_t value) {
    if (!bigEndian) {
      b.insert(b.end(), {tagLow, 0xA0, static_cast<uint8_t>(type), 0, 1, 0, 0, 0});
      for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(value >> (8 * i)));
      return;
    }
    b.insert(b.end(), {0xA0, tagLow, 0, static_cast<uint8_t>(type), 0, 0, 0, 1});
    if (type == 3)
      b.insert(b.end(), {static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value), 0, 0});
    else
      for (int i = 3; i >= 0; --i) b.push_back(static_cast<uint8_t>(value >> (8 * i)));
  };
  entry(0x02, width);
  entry(0x03, height);
  b.resize(200, 0);
  return b;
}

TEST(Jpeg, ExifDimensions) {
  struct Case {
    Bytes bytes;
    const char* video;
  } cases[] = {
      {Exif(true, 4, 4000, 3000), "Exif 24Bit 4000x3000"},
      {Exif(true, 3, 4000, 3000), "Exif 24Bit 4000x3000"},  // SHORT values read as 16 bits
      {Exif(false, 4, 4000, 3000), "Exif 24Bit 4000x3000"},  // little-endian, as most cameras write
      {Exif(false, 3, 640, 480), "Exif 24Bit 640x480"},
  };
  for (const Case& c : cases) EXPECT_EQ(Analyze("p.jpg", c.bytes).video, c.video);

  Bytes noHeight = Exif(true, 4, 10, 20);
  noHeight[16 + 12 + 1] = 0x00;  // break the A0 03 tag of the second entry
  EXPECT_EQ(Analyze("p.jpg", noHeight).video, "[Exif] PixelYDimensionが見つかりません");
}

TEST(Jpeg, OtherHeadersAreAnError) {
  Bytes adobe = Jfif(0, {}, 10, 10);
  std::copy_n("Adob", 4, adobe.begin() + 6);
  TempFile file("adobe.jpg", adobe);
  MediaInfo info = test::MakeRecord(file.Path());
  info.formatId = format::kJpeg;
  Dispatch(info);
  EXPECT_EQ(test::Utf8(info.errorText), "[JPEG] JFIFかExif以外のJPEGです");
  EXPECT_EQ(info.videoCount, 0);
}

// Files from real encoders (tests/fixtures/images/make.sh).
TEST(StillImageFiles, GoldenDescriptions) {
  struct Case {
    const char* file;
    const char* video;
  } cases[] = {
      {"bmp_1bit.bmp", "Windows 1Bit 64x48 RAW"},
      {"bmp_24.bmp", "Windows 24Bit 64x48 RAW"},
      {"bmp_8_rle.bmp", "Windows 8Bit 64x48 RLE"},
      {"bmp_topdown.bmp", "Windows 24Bit 64x-48 RAW"},
      {"bmp_v5_32.bmp", "Windows 32Bit 64x48 RLE"},
      {"gif87a.gif", "GIF87a 160x120"},
      {"gif89a_anim.gif", "GIF89a 96x72"},
      {"jpeg_exif_be_long.jpg", "Exif 24Bit 320x240"},
      {"jpeg_exif_be_short.jpg", "Exif 24Bit 320x240"},
      {"jpeg_exif_le_short.jpg", "Exif 24Bit 320x240"},
      {"jpeg_exif_bigthumb.jpg", "Exif 24Bit 320x240"},
      {"jpeg_exiftool_thumb.jpg", "JFIF 24Bit 320x240 inch"},
      {"jpeg_jfif_cm.jpg", "JFIF 24Bit 160x120 cm"},
      {"jpeg_progressive.jpg", "JFIF 24Bit 160x120 normal"},
  };
  for (const Case& c : cases) {
    MediaInfo info = test::AnalyzeFile(test::FixturePath(std::string("images/") + c.file));
    EXPECT_EQ(info.errorText[0], '\0') << c.file;
    ASSERT_EQ(info.videoCount, 1) << c.file;
    EXPECT_STREQ(info.videoText[0], c.video) << c.file;
  }
  MediaInfo os2 = test::AnalyzeFile(test::FixturePath("images/bmp_os2.bmp"));
  EXPECT_EQ(test::Utf8(os2.errorText), "[BMP] 不明なフォーマット");
}

}  // namespace
}  // namespace probex
