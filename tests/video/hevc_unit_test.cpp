#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fixture.h"
#include "video/dolby_vision.h"
#include "video/hdr_metadata.h"
#include "video/hevc.h"

namespace probex {
namespace {

using test::Bytes;

Bytes Fixture(const std::string& name) { return test::ReadFile(test::FixturePath("codecs/" + name)); }

// Fields agree with ffprobe -show_streams/-show_frames on the files the
// fixtures were cut from (make_codecs.sh).
TEST(HevcUnit, EncoderFixtures) {
  struct Case {
    const char* file;
    bool annexB;
    const char* line;
    uint32_t width, height;
    uint8_t depth, chroma;
    uint8_t transfer;  // 2 when unsignalled
  } cases[] = {
      {"hevc_main_250x142.hvcc", false, "HEVC Main@L2@Main 250x142 8bit 4:2:0", 250, 142, 8, 1, 2},
      {"hevc_main422_10.hvcc", false, "HEVC Main 4:2:2 10@L2@Main 320x240 10bit 4:2:2", 320, 240, 10, 2, 2},
      {"hevc_hdr10_head.hevc", true, "HEVC Main 10@L2@Main 320x240 10bit 4:2:0 HDR10", 320, 240, 10, 1, 16},
      {"hevc_hlg_head.hevc", true, "HEVC Main 10@L2@Main 320x240 10bit 4:2:0 HLG", 320, 240, 10, 1, 18},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    Bytes bytes = Fixture(c.file);
    ASSERT_FALSE(bytes.empty());
    HevcVideoInfo info;
    ASSERT_TRUE(c.annexB ? FindHevcHeaders(bytes.data(), bytes.size(), info)
                         : ParseHevcDecoderConfig(bytes.data(), bytes.size(), info));
    EXPECT_EQ(HevcVideoText(info), c.line);
    EXPECT_EQ(info.width, c.width);
    EXPECT_EQ(info.height, c.height);
    EXPECT_EQ(info.bitDepthLuma, c.depth);
    EXPECT_EQ(info.chromaFormat, c.chroma);
    EXPECT_EQ(info.hdr.colour.present ? info.hdr.colour.transfer : 2, c.transfer);
    EXPECT_NEAR(info.frameRate, 25.0, 1e-9);
  }
}

TEST(HevcUnit, Hdr10SeiValuesAndReport) {
  Bytes bytes = Fixture("hevc_hdr10_head.hevc");
  HevcVideoInfo info;
  ASSERT_TRUE(FindHevcHeaders(bytes.data(), bytes.size(), info));
  const MasteringDisplay& m = info.hdr.mastering;
  ASSERT_TRUE(m.present);
  EXPECT_NEAR(m.redX, 0.68, 1e-9);
  EXPECT_NEAR(m.greenY, 0.69, 1e-9);
  EXPECT_NEAR(m.blueX, 0.15, 1e-9);
  EXPECT_NEAR(m.whiteY, 0.329, 1e-9);
  EXPECT_NEAR(m.maxLuminance, 1000.0, 1e-9);
  EXPECT_NEAR(m.minLuminance, 0.005, 1e-9);
  EXPECT_EQ(info.hdr.light.maxCll, 1000u);
  EXPECT_EQ(info.hdr.light.maxFall, 400u);
  std::vector<std::string> lines;
  HevcDetailLines(info, lines);
  std::string all;
  for (const std::string& line : lines) all += line + "\n";
  for (const char* expected :
       {"Format profile: Main 10\n", "Format level: 2\n", "Format tier: Main\n", "HDR format: HDR10\n",
        "Colour primaries: BT.2020\n", "Transfer characteristics: PQ\n", "Matrix coefficients: BT.2020 non-constant\n",
        "Colour range: Limited\n", "Mastering display colour primaries: Display P3\n",
        "Mastering display luminance: min: 0.0050 cd/m2, max: 1000 cd/m2\n",
        "Maximum Content Light Level: 1000 cd/m2\n", "Maximum Frame-Average Light Level: 400 cd/m2\n"}) {
    EXPECT_NE(all.find(expected), std::string::npos) << expected << "in\n" << all;
  }
  // The extra entry of the full report: the numbers behind the tag; a tag
  // with nothing to add gives none.
  EXPECT_EQ(HdrSummary(info.hdr), "BT.2020 PQ, Display P3 0.0050-1000 cd/m2, MaxCLL 1000, MaxFALL 400");
  HdrSignals colourOnly;
  colourOnly.colour = info.hdr.colour;
  EXPECT_EQ(HdrTag(colourOnly), "PQ");
  EXPECT_EQ(HdrSummary(colourOnly), "");
}

// Prefix SEI NAL units built by hand: ST 2094-40 by its T.35 head, and a
// mastering display whose zero bytes carry emulation prevention.
TEST(HevcUnit, SeiMessages) {
  struct Case {
    const char* name;
    Bytes nal;
    bool hdr10Plus, mastering;
    double minLuminance;
  } cases[] = {
      {"HDR10+", {0x4E, 0x01, 0x04, 0x08, 0xB5, 0x00, 0x3C, 0x00, 0x01, 0x04, 0x01, 0x40, 0x80}, true, false, 0},
      {"other T.35 provider",
       {0x4E, 0x01, 0x04, 0x07, 0xB5, 0x00, 0x31, 0x00, 0x01, 0x04, 0x01, 0x80},
       false,
       false,
       0},
      {"escaped mastering display",
       {0x4E, 0x01, 0x89, 0x18, 0x33, 0xC2, 0x86, 0xC4, 0x1D, 0x4C, 0x0B, 0xB8, 0x84, 0xD0, 0x3E,
        0x80, 0x3D, 0x13, 0x40, 0x42, 0x00, 0x98, 0x96, 0x80, 0x00, 0x00, 0x03, 0x00, 0x32, 0x80},
       false,
       true,
       0.005},
      {"payload size past the end", {0x4E, 0x01, 0x89, 0x40, 0x33, 0xC2, 0x80}, false, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HdrSignals hdr;
    ASSERT_TRUE(ParseHevcSei(c.nal.data(), c.nal.size(), hdr));
    EXPECT_EQ(hdr.hdr10Plus, c.hdr10Plus);
    EXPECT_EQ(hdr.mastering.present, c.mastering);
    if (c.mastering) {
      EXPECT_NEAR(hdr.mastering.minLuminance, c.minLuminance, 1e-9);
    }
  }
  HdrSignals hdr;
  Bytes sps = {0x42, 0x01, 0x01};
  EXPECT_FALSE(ParseHevcSei(sps.data(), sps.size(), hdr));
}

// Every cut of a record or stream head stays inside its bytes (the sanitizer
// build checks that) and a record cut inside its arrays is refused.
TEST(HevcUnit, CutInputs) {
  struct Case {
    const char* file;
    bool annexB;
    uint32_t width;
  } cases[] = {{"hevc_main_250x142.hvcc", false, 250}, {"hevc_hdr10_head.hevc", true, 320}};
  for (const Case& c : cases) {
    Bytes bytes = Fixture(c.file);
    for (size_t n = 0; n < bytes.size(); n += 7) {
      Bytes cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
      HevcVideoInfo info;
      if (c.annexB) {
        FindHevcHeaders(cut.data(), cut.size(), info);
      } else {
        EXPECT_FALSE(ParseHevcDecoderConfig(cut.data(), cut.size(), info)) << n;
      }
      EXPECT_TRUE(info.width == 0 || info.width == c.width) << c.file << " cut at " << n;
    }
  }
  HevcVideoInfo info;
  Bytes noStartCode(64, 0xFF);
  EXPECT_FALSE(FindHevcHeaders(noStartCode.data(), noStartCode.size(), info));
  EXPECT_FALSE(FindHevcHeaders(nullptr, 0, info));
}

TEST(HevcUnit, ProfileNamesAndLevels) {
  struct Case {
    uint8_t idc;
    uint32_t compat;
    uint64_t constraints;
    uint8_t depth, chroma;
    const char* name;
  } cases[] = {
      {1, 0, 0, 8, 1, "Main"},
      {2, 0, 0, 10, 1, "Main 10"},
      {3, 0, 0, 8, 1, "Main Still Picture"},
      {0, 1u << 29, 0, 10, 1, "Main 10"},  // profile from the compatibility flags
      // RExt constraint flags: max_12bit..max_monochrome at bits 43..38.
      {4, 0, uint64_t{0b110100} << 38, 10, 2, "Main 4:2:2 10"},
      {4, 0, uint64_t{0b100000} << 38, 12, 3, "Main 4:4:4 12"},
      {4, 0, uint64_t{0b111000} << 38 | uint64_t{1} << 37, 8, 3, "Main 4:4:4 Intra"},
      {4, 0, uint64_t{0b100111} << 38, 12, 0, "Monochrome 12"},
      {4, 0, 0, 10, 3, "Main 4:4:4 10"},  // flags clear: named from the SPS
  };
  for (const Case& c : cases) {
    HevcVideoInfo info;
    info.profileIdc = c.idc;
    info.compatibilityFlags = c.compat;
    info.constraintFlags = c.constraints;
    info.bitDepthLuma = c.depth;
    info.chromaFormat = c.chroma;
    EXPECT_EQ(HevcProfileName(info), c.name);
  }
  EXPECT_EQ(HevcLevelText(153), "5.1");
  EXPECT_EQ(HevcLevelText(120), "4");
  EXPECT_EQ(HevcLevelText(186), "6.2");
}

TEST(HdrMetadata, Tags) {
  struct Case {
    const char* name;
    bool colour;
    uint8_t primaries, transfer;
    bool mastering, light, plus;
    const char* dv;
    const char* tag;
  } cases[] = {
      {"PQ with mastering data", true, 9, 16, true, false, false, "", "HDR10"},
      {"PQ with light level only", true, 9, 16, false, true, false, "", "HDR10"},
      {"PQ alone", true, 9, 16, false, false, false, "", "PQ"},
      {"HLG", true, 9, 18, false, false, false, "", "HLG"},
      {"HDR10+", true, 9, 16, true, true, true, "", "HDR10+"},
      {"wide gamut SDR", true, 9, 14, false, false, false, "", "BT.2020"},
      {"SDR", true, 1, 1, false, false, false, "", ""},
      {"nothing signalled", false, 2, 2, false, false, false, "", ""},
      {"mastering data without colour", false, 2, 2, true, false, false, "", "HDR10"},
      {"Dolby Vision over HDR10", true, 9, 16, true, false, false, "DV 8.1 (HDR10)", "DV 8.1 (HDR10)"},
      {"Dolby Vision and HDR10+", true, 9, 16, true, false, true, "DV 8.1 (HDR10)", "DV 8.1 (HDR10) HDR10+"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HdrSignals hdr;
    hdr.colour.present = c.colour;
    hdr.colour.primaries = c.primaries;
    hdr.colour.transfer = c.transfer;
    hdr.mastering.present = c.mastering;
    hdr.light.present = c.light;
    hdr.hdr10Plus = c.plus;
    snprintf(hdr.dolbyVision, sizeof hdr.dolbyVision, "%s", c.dv);
    EXPECT_EQ(HdrTag(hdr), c.tag);
  }
  EXPECT_EQ(ColourPrimariesName(12), "Display P3");
  EXPECT_EQ(TransferName(200), "Unknown(200)");
  EXPECT_EQ(MatrixName(3), "Unknown(3)");
}

TEST(HdrMetadata, BoxPayloads) {
  // mdcv as ffmpeg writes it for the values of the HDR10 fixture, then clli.
  Bytes mdcv = {0x33, 0xC2, 0x86, 0xC4, 0x1D, 0x4C, 0x0B, 0xB8, 0x84, 0xD0, 0x3E, 0x80,
                0x3D, 0x13, 0x40, 0x42, 0x00, 0x98, 0x96, 0x80, 0x00, 0x00, 0x00, 0x32};
  MasteringDisplay m;
  ASSERT_TRUE(ParseMasteringDisplay(mdcv.data(), mdcv.size(), m));
  EXPECT_NEAR(m.greenX, 0.265, 1e-9);
  EXPECT_NEAR(m.redY, 0.32, 1e-9);
  EXPECT_NEAR(m.whiteX, 0.3127, 1e-9);
  EXPECT_NEAR(m.maxLuminance, 1000.0, 1e-9);
  MasteringDisplay untouched;
  EXPECT_FALSE(ParseMasteringDisplay(mdcv.data(), 23, untouched));
  EXPECT_FALSE(untouched.present);
  Bytes clli = {0x03, 0xE8, 0x01, 0x90};
  ContentLightLevel light;
  ASSERT_TRUE(ParseContentLightLevel(clli.data(), clli.size(), light));
  EXPECT_EQ(light.maxCll, 1000u);
  EXPECT_EQ(light.maxFall, 400u);
  EXPECT_FALSE(ParseContentLightLevel(clli.data(), 3, light));
}

// Matroska Colour elements as ffmpeg's matroska muxer writes them for the
// HDR10 fixture's values, and partial ones.
TEST(HdrMetadata, MatroskaColour) {
  MatroskaColour full;
  full.matrix = 9, full.transfer = 16, full.primaries = 9, full.range = 1;
  full.maxCll = 1000, full.maxFall = 400;
  full.redX = 0.68, full.redY = 0.32, full.greenX = 0.265, full.greenY = 0.69, full.blueX = 0.15, full.blueY = 0.06;
  full.whiteX = 0.3127, full.whiteY = 0.329, full.luminanceMax = 1000, full.luminanceMin = 0.005;
  MatroskaColour hlgFull;
  hlgFull.transfer = 18, hlgFull.range = 2;
  MatroskaColour lightOnly;
  lightOnly.maxCll = 70000;
  MatroskaColour badPrimaries = full;
  badPrimaries.redX = 7.0, badPrimaries.luminanceMax = -1;
  struct Case {
    const char* name;
    MatroskaColour colour;
    bool colourPresent, fullRange, mastering, light;
    uint32_t maxCll;
    const char* tag;
  } cases[] = {
      {"HDR10", full, true, false, true, true, 1000, "HDR10"},
      {"HLG, full range", hlgFull, true, true, false, false, 0, "HLG"},
      {"light level only, clamped", lightOnly, false, false, false, true, 65535, ""},
      {"primaries out of range, no luminance", badPrimaries, true, false, false, true, 1000, "HDR10"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HdrSignals hdr;
    ApplyMatroskaColour(c.colour, hdr);
    EXPECT_EQ(hdr.colour.present, c.colourPresent);
    EXPECT_EQ(hdr.colour.fullRange, c.fullRange);
    EXPECT_EQ(hdr.mastering.present, c.mastering);
    EXPECT_EQ(hdr.light.present, c.light);
    EXPECT_EQ(hdr.light.maxCll, c.maxCll);
    EXPECT_EQ(HdrTag(hdr), c.tag);
  }
  HdrSignals hdr;
  ApplyMatroskaColour(full, hdr);
  std::vector<std::string> lines;
  HdrDetailLines(hdr, lines);
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Mastering display colour primaries: Display P3"), lines.end());
}

// Records built from the published layout; ffprobe shows the same fields as
// "dv_profile", "dv_level", "dv_bl_signal_compatibility_id".
TEST(DolbyVision, RecordsAndDescriptors) {
  auto record = [](uint8_t profile, uint8_t level, bool rpu, bool el, bool bl, uint8_t compat) {
    uint32_t word = uint32_t{profile} << 9 | uint32_t{level} << 3 | rpu << 2 | el << 1 | bl;
    Bytes b = {1, 0, static_cast<uint8_t>(word >> 8), static_cast<uint8_t>(word), static_cast<uint8_t>(compat << 4)};
    b.resize(24, 0);
    return b;
  };
  struct Case {
    const char* name;
    Bytes bytes;
    bool descriptor, ok;
    const char* text;
    uint8_t level;
  } cases[] = {
      {"8.1", record(8, 6, true, false, true, 1), false, true, "DV 8.1 (HDR10)", 6},
      {"8.4", record(8, 9, true, false, true, 4), false, true, "DV 8.4 (HLG)", 9},
      {"8.2", record(8, 4, true, false, true, 2), false, true, "DV 8.2 (SDR)", 4},
      {"5", record(5, 7, true, false, true, 0), false, true, "DV 5", 7},
      {"7.6", record(7, 6, true, true, true, 6), false, true, "DV 7.6 (Blu-ray)", 6},
      {"10.1 (AV1)", record(10, 5, true, false, true, 1), false, true, "DV 10.1 (HDR10)", 5},
      {"unknown compatibility", record(8, 6, true, false, true, 9), false, true, "DV 8", 6},
      {"profile out of range", record(12, 6, true, false, true, 1), false, false, "", 0},
      {"version 0", {0, 0, 0x10, 0x35, 0x10}, false, false, "", 0},
      {"short", {1, 0, 0x10, 0x35}, false, false, "", 0},
      {"TS descriptor 8.1", {0xB0, 0x05, 1, 0, 0x10, 0x35, 0x10}, true, true, "DV 8.1 (HDR10)", 6},
      {"TS descriptor, enhancement PID",
       {0xB0, 0x07, 1, 0, 0x0E, 0x36, 0x02, 0x08, 0x60},
       true,
       true,
       "DV 7.6 (Blu-ray)",
       6},
      {"TS descriptor of version 1.0", {0xB0, 0x04, 1, 0, 0x10, 0x35}, true, true, "DV 8", 6},
      {"TS descriptor length past the end", {0xB0, 0x09, 1, 0, 0x10, 0x35, 0x10}, true, false, "", 0},
      {"other descriptor", {0xB1, 0x05, 1, 0, 0x10, 0x35, 0x10}, true, false, "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DolbyVisionConfig config;
    bool ok = c.descriptor ? ParseDolbyVisionDescriptor(c.bytes.data(), c.bytes.size(), config)
                           : ParseDolbyVisionConfig(c.bytes.data(), c.bytes.size(), config);
    ASSERT_EQ(ok, c.ok);
    if (!ok) continue;
    EXPECT_EQ(DolbyVisionText(config), c.text);
    EXPECT_EQ(config.level, c.level);
  }
  // The record's text is the video line's HDR tag (ffprobe and MediaInfo read
  // this 8.1 record, put into an MP4 made from the HDR10 fixture, as
  // dv_profile 8, dv_level 6, compatibility 1 / "HDR10 compatible").
  DolbyVisionConfig eightOne;
  ASSERT_TRUE(ParseDolbyVisionConfig(cases[0].bytes.data(), cases[0].bytes.size(), eightOne));
  HdrSignals hdr;
  hdr.colour.present = true;
  hdr.colour.transfer = 16;
  hdr.mastering.present = true;
  NoteDolbyVision(eightOne, hdr);
  EXPECT_EQ(HdrTag(hdr), "DV 8.1 (HDR10)");

  DolbyVisionConfig config;
  Bytes enhanced = {0xB0, 0x07, 1, 0, 0x0E, 0x36, 0x02, 0x08, 0x60};
  ASSERT_TRUE(ParseDolbyVisionDescriptor(enhanced.data(), enhanced.size(), config));
  EXPECT_EQ(config.dependencyPid, 0x41);
  std::vector<std::string> lines;
  DolbyVisionDetailLines(config, lines);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "Dolby Vision: version 1.0, profile 7, level 6, EL+RPU, compatibility 6 (Blu-ray)");
}

}  // namespace
}  // namespace probex
