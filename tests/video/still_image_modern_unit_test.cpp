#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "fixture.h"
#include "probex_formats.h"
#include "video/still_image_modern.h"

namespace probex {
namespace {

using test::Bytes;

Bytes Fixture(const std::string& name) { return test::ReadFile(test::FixturePath("codecs/" + name)); }

// ffprobe/MediaInfo: 320x240; rgba (RGBA, 8 bits) for the PNG, rgb24 for the
// APNG; yuv420p for the lossy and argb for the lossless WebP. The animated
// WebP was written with three frames (ffprobe does not decode it).
TEST(StillImageModern, EncoderFiles) {
  struct Case {
    const char* file;
    bool png;
    const char* text;
  } cases[] = {
      {"png_rgba_head.png", true, "PNG 320x240 32Bit RGBA"},
      {"apng_3frames_head.png", true, "APNG 320x240 24Bit RGB 3frames"},
      {"webp_lossy_head.webp", false, "WebP 320x240 Lossy"},
      {"webp_lossless_head.webp", false, "WebP 320x240 Lossless"},
      // libwebp's animation encoder sets the alpha flag of VP8X (0x12).
      {"webp_anim_3frames.webp", false, "WebP 320x240 Lossy Alpha Animated 3frames"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    Bytes bytes = Fixture(c.file);
    if (c.png) {
      PngInfo info;
      ASSERT_TRUE(ParsePng(bytes.data(), bytes.size(), info));
      EXPECT_EQ(PngText(info), c.text);
    } else {
      WebpInfo info;
      ASSERT_TRUE(ParseWebp(bytes.data(), bytes.size(), info));
      EXPECT_EQ(WebpText(info), c.text);
    }
  }
  Bytes apng = Fixture("apng_3frames_head.png");
  PngInfo info;
  ASSERT_TRUE(ParsePng(apng.data(), apng.size(), info));
  EXPECT_EQ(info.plays, 2u);
}

Bytes Png(uint8_t depth, uint8_t colorType, uint8_t interlace, uint32_t width = 16) {
  Bytes b;
  b.reserve(64);
  b.insert(b.end(), {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R'});
  for (uint32_t v : {width, 8u}) {
    for (int i = 3; i >= 0; --i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
  b.insert(b.end(), {depth, colorType, 0, 0, interlace, 0, 0, 0, 0});
  // an acTL whose length claims more than the bytes hold
  b.insert(b.end(), {0x7F, 0, 0, 0, 'a', 'c', 'T', 'L', 0, 0, 0, 9});
  return b;
}

Bytes Cut(Bytes b, size_t n) {
  b.resize(n);
  return b;
}

TEST(StillImageModern, PngHeaders) {
  struct Case {
    const char* name;
    Bytes bytes;
    bool ok;
    const char* text;
  } cases[] = {
      {"16-bit grey interlaced", Png(16, 0, 1), true, "PNG 16x8 16Bit Greyscale Interlaced"},
      {"4-bit indexed", Png(4, 3, 0), true, "PNG 16x8 4Bit Indexed"},
      {"colour type 5", Png(8, 5, 0), false, ""},
      {"depth 3", Png(3, 0, 0), false, ""},
      {"zero width", Png(8, 2, 0, 0), false, ""},
      {"cut IHDR", Cut(Png(8, 2, 0), 30), false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PngInfo info;
    ASSERT_EQ(ParsePng(c.bytes.data(), c.bytes.size(), info), c.ok);
    if (c.ok) {
      EXPECT_EQ(PngText(info), c.text);
    }
  }
}

Bytes Riff(const std::string& chunk, const Bytes& body) {
  Bytes b;
  b.reserve(32 + body.size());
  b.insert(b.end(), {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'E', 'B', 'P'});
  b.insert(b.end(), chunk.begin(), chunk.end());
  uint32_t n = static_cast<uint32_t>(body.size());
  b.insert(b.end(), {static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8), 0, 0});
  b.insert(b.end(), body.begin(), body.end());
  return b;
}

TEST(StillImageModern, WebpHeaders) {
  struct Case {
    const char* name;
    Bytes bytes;
    bool ok;
    const char* text;
  } cases[] = {
      // VP8X: alpha, 1000x500 canvas, no image chunk in the bytes
      {"extended with alpha", Riff("VP8X", {0x10, 0, 0, 0, 0xE7, 0x03, 0x00, 0xF3, 0x01, 0x00}), true,
       "WebP 1000x500 Lossy Alpha"},
      // VP8L 2x3 with alpha: (1) | (2 << 14) | (1 << 28)
      {"lossless with alpha", Riff("VP8L", {0x2F, 0x01, 0x80, 0x00, 0x10}), true, "WebP 2x3 Lossless Alpha"},
      {"VP8L of version 1", Riff("VP8L", {0x2F, 0x01, 0x80, 0x00, 0x30}), false, ""},
      {"VP8L without signature", Riff("VP8L", {0x2E, 0x01, 0x80, 0x00, 0x10}), false, ""},
      {"VP8X cut", Riff("VP8X", {0x10, 0, 0, 0, 0xE7}), false, ""},
      {"unknown first chunk", Riff("ALPH", {0, 0, 0, 0}), false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WebpInfo info;
    ASSERT_EQ(ParseWebp(c.bytes.data(), c.bytes.size(), info), c.ok);
    if (c.ok) {
      EXPECT_EQ(WebpText(info), c.text);
    }
  }
}

// Whole files through detection and dispatch. ffprobe: 160x120 rgb24,
// 64x48 rgba64be, 48x32 rgb24 (3 frames, 2 plays), 160x120 yuv420p VP8,
// 64x48 VP8L; the animation was written as 3 ANMF frames.
TEST(StillImageModernFiles, PngAndWebpAreFormatsOfTheirOwn) {
  test::UseShippedTemplates();
  struct Case {
    const char* file;
    int32_t formatId;
    const char* line;
  } cases[] = {
      {"images/png_rgb.png", format::kPng, "PNG 160x120 24Bit RGB"},
      {"images/png_rgba16.png", format::kPng, "PNG 64x48 64Bit RGBA"},
      {"images/apng_3frames.png", format::kPng, "APNG 48x32 24Bit RGB 3frames"},
      {"images/webp_lossy.webp", format::kWebp, "WebP 160x120 Lossy"},
      {"images/webp_lossless.webp", format::kWebp, "WebP 64x48 Lossless"},
      {"images/webp_anim.webp", format::kWebp, "WebP 48x32 Lossy Animated 3frames"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    MediaInfo info = test::AnalyzeFile(test::FixturePath(c.file));
    EXPECT_EQ(info.formatId, c.formatId);
    EXPECT_STREQ(info.errorText, "");
    ASSERT_EQ(info.videoCount, 1);
    EXPECT_STREQ(info.videoText[0], c.line);
  }
}

TEST(StillImageModernFiles, BrokenHeadersAreReported) {
  test::UseShippedTemplates();
  Bytes png = test::ReadFile(test::FixturePath("images/png_rgb.png"));
  std::copy_n("JUNK", 4, png.begin() + 12);  // the first chunk is no IHDR
  test::TempFile cutPng("cut.png", png);
  EXPECT_EQ(test::Utf8(test::AnalyzeFile(cutPng.Path()).errorText), "[PNG] IHDRチャンクが見つかりません");
  Bytes webp = {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'E', 'B', 'P', 'J', 'U', 'N', 'K', 0, 0, 0, 0};
  webp.resize(1024);
  test::TempFile junk("junk.webp", webp);
  EXPECT_EQ(test::Utf8(test::AnalyzeFile(junk.Path()).errorText), "[WebP] 画像チャンクが見つかりません");
}

}  // namespace
}  // namespace probex
