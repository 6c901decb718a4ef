#include "video/avc.h"

#include <gtest/gtest.h>

#include <string>

#include "bits.h"
#include "fixture.h"
#include "mpeg_test_support.h"

namespace probex {
namespace {

using test::Bytes;
using mpegtest::BitWriter;

struct Crop {
  uint32_t left = 0, right = 0, top = 0, bottom = 0;
};

struct Hrd {
  uint32_t cpbCountMinus1 = 0;
  uint32_t bitRateScale = 0;
  uint32_t firstRateMinus1 = 0;
};

// The fields of a sequence parameter set the parser reads.
struct Sps {
  uint32_t profile = 66;
  uint32_t level = 40;
  uint32_t chromaFormat = 1;
  bool separatePlanes = false;
  uint32_t lumaDepthMinus8 = 0;
  bool scalingLists = false;
  uint32_t pocType = 0;
  uint64_t pocCycle = 0;
  uint32_t widthMbs = 120;
  uint32_t heightMapUnits = 68;
  bool frameMbsOnly = true;
  Crop crop;
  bool cropping = false;
  bool vui = false;
  int aspectIdc = -1;  // -1: no aspect information
  uint32_t sarWidth = 0, sarHeight = 0;
  uint32_t unitsInTick = 0, timeScale = 0;  // 0: no timing
  bool nalHrd = false;
  Hrd hrd;
};

// ISO/IEC 14496-10 profiles whose SPS carries the chroma and bit-depth fields.
bool HighFamily(uint32_t p) {
  for (uint32_t h : {100u, 110u, 122u, 244u, 44u, 83u, 86u, 118u, 128u, 134u, 135u, 138u, 139u})
    if (p == h) return true;
  return false;
}

Bytes SpsPayload(const Sps& s) {
  BitWriter w;
  w.Put(0x67, 8);
  w.Put(s.profile, 8);
  w.Put(0, 8);
  w.Put(s.level, 8);
  w.Ue(0);
  if (HighFamily(s.profile)) {
    w.Ue(s.chromaFormat);
    if (s.chromaFormat == 3) w.Put(s.separatePlanes, 1);
    w.Ue(s.lumaDepthMinus8);
    w.Ue(s.lumaDepthMinus8);
    w.Put(0, 1);
    w.Put(s.scalingLists, 1);
    if (s.scalingLists) {
      // Lists 0 and 6 sent with changing deltas, list 1 falling back to the
      // default (a delta that makes nextScale 0), the rest absent.
      int count = s.chromaFormat == 3 ? 12 : 8;
      for (int i = 0; i < count; ++i) {
        bool present = i == 0 || i == 1 || i == 6;
        w.Put(present, 1);
        if (!present) continue;
        if (i == 1) {
          w.Se(-8);
          continue;
        }
        int size = i < 6 ? 16 : 64;
        for (int j = 0; j < size; ++j) w.Se(j % 3 == 0 ? 5 : -2);
      }
    }
  }
  w.Ue(0);  // log2_max_frame_num_minus4
  w.Ue(s.pocType);
  if (s.pocType == 0) {
    w.Ue(2);
  } else if (s.pocType == 1) {
    w.Put(1, 1);
    w.Se(-1);
    w.Se(3);
    w.Ue(s.pocCycle);
    for (uint64_t i = 0; i < s.pocCycle && i < 300; ++i) w.Se(static_cast<int64_t>(i % 5) - 2);
  }
  w.Ue(4);
  w.Put(0, 1);
  w.Ue(s.widthMbs - 1);
  w.Ue(s.heightMapUnits - 1);
  w.Put(s.frameMbsOnly, 1);
  if (!s.frameMbsOnly) w.Put(1, 1);
  w.Put(1, 1);
  w.Put(s.cropping, 1);
  if (s.cropping) {
    w.Ue(s.crop.left);
    w.Ue(s.crop.right);
    w.Ue(s.crop.top);
    w.Ue(s.crop.bottom);
  }
  w.Put(s.vui, 1);
  if (s.vui) {
    w.Put(s.aspectIdc >= 0, 1);
    if (s.aspectIdc >= 0) {
      w.Put(static_cast<uint32_t>(s.aspectIdc), 8);
      if (s.aspectIdc == 255) {
        w.Put(s.sarWidth, 16);
        w.Put(s.sarHeight, 16);
      }
    }
    w.Put(0, 1);  // overscan
    w.Put(1, 1);  // video signal type, with colour description
    w.Put(5, 3);
    w.Put(0, 1);
    w.Put(1, 1);
    w.Put(0x010101, 24);
    w.Put(1, 1);  // chroma location
    w.Ue(0);
    w.Ue(0);
    w.Put(s.timeScale != 0, 1);
    if (s.timeScale) {
      w.Put(s.unitsInTick, 32);
      w.Put(s.timeScale, 32);
      w.Put(1, 1);
    }
    w.Put(s.nalHrd, 1);
    if (s.nalHrd) {
      w.Ue(s.hrd.cpbCountMinus1);
      w.Put(s.hrd.bitRateScale, 4);
      w.Put(3, 4);
      for (uint32_t i = 0; i <= s.hrd.cpbCountMinus1 && i < 40; ++i) {
        w.Ue(i == 0 ? s.hrd.firstRateMinus1 : 999);
        w.Ue(1000);
        w.Put(0, 1);
      }
      w.Put(23, 5);
      w.Put(23, 5);
      w.Put(23, 5);
      w.Put(24, 5);
    }
    w.Put(0, 1);  // VCL HRD
    if (s.nalHrd) w.Put(0, 1);
    w.Put(0, 1);  // pic_struct_present_flag
    w.Put(0, 1);  // bitstream_restriction_flag
  }
  w.Trailing();
  return w.Data();
}

// Inserts emulation-prevention bytes as an encoder does.
Bytes Escape(const Bytes& raw) {
  Bytes out;
  int zeros = 0;
  for (uint8_t b : raw) {
    if (zeros >= 2 && b <= 3) {
      out.push_back(3);
      zeros = 0;
    }
    out.push_back(b);
    zeros = b == 0 ? zeros + 1 : 0;
  }
  return out;
}

AvcVideoInfo Parse(const Sps& s) {
  Bytes nal = Escape(SpsPayload(s));
  AvcVideoInfo info{};
  ParseAvcSps(nal.data(), nal.size(), info);
  return info;
}

TEST(AvcExpGolomb, ReadsUnsignedAndSignedCodes) {
  struct Case {
    const char* bits;  // whole bytes
    uint32_t ue;
    int32_t se;
    size_t used;
    bool exhausted;
  };
  const Case cases[] = {
      {"10000000", 0, 0, 1, false},  {"01000000", 1, 1, 3, false},  {"01100000", 2, -1, 3, false},
      {"00100000", 3, 2, 5, false},  {"00101000", 4, -2, 5, false}, {"00010000", 7, 4, 7, false},
      {"0000000100000000", 127, 64, 15, false},
      {"00000000", 0, 0, 8, true},   // no terminating one
      {"00000001", 0, 0, 8, true},   // cut before the value bits
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bits);
    BitWriter w;
    for (const char* p = c.bits; *p; ++p) w.Put(*p == '1', 1);
    Bytes bytes = w.Data();
    BitText ue(bytes.data(), bytes.size());
    EXPECT_EQ(ReadUe(ue), c.ue);
    EXPECT_EQ(ue.Exhausted(), c.exhausted);
    if (!c.exhausted) {
      EXPECT_EQ(ue.Position(), c.used);
    }
    BitText se(bytes.data(), bytes.size());
    EXPECT_EQ(ReadSe(se), c.se);
  }
}

TEST(AvcExpGolomb, CodeLongerThan32BitsStopsTheReader) {
  Bytes zeros(8, 0x00);
  zeros.push_back(0xFF);
  BitText bits(zeros.data(), zeros.size());
  EXPECT_EQ(ReadUe(bits), 0u);
  EXPECT_TRUE(bits.Exhausted());
}

TEST(AvcProfileLevel, Texts) {
  struct Case {
    uint32_t profile, level;
    const char* text;
  };
  const Case cases[] = {
      {66, 30, "Baseline@3"},        {77, 31, "Main@3.1"},          {88, 13, "Extended@1.3"},
      {100, 41, "High@4.1"},         {110, 51, "High 10@5.1"},      {122, 42, "High 4:2:2@4.2"},
      {244, 50, "High 4:4:4@5"},     {44, 10, "UnknownProfile(44)@1"},
      {100, 9, "High@UnknownLevel(9)"}, {100, 52, "High@UnknownLevel(52)"},
  };
  for (const Case& c : cases) {
    char out[40];
    AvcProfileLevelText(out, sizeof out, c.profile, c.level);
    EXPECT_STREQ(out, c.text);
  }
}

TEST(AvcAspect, Texts) {
  const std::pair<uint32_t, const char*> cases[] = {
      {0, "Unspecified"}, {1, "1:1"}, {5, "40:33"}, {13, "160:99"}, {14, "Unknown(14)"}, {200, "Unknown(200)"}};
  for (const auto& [idc, text] : cases) {
    char out[32];
    AvcAspectText(out, sizeof out, idc);
    EXPECT_STREQ(out, text);
  }
}

// Picture size after cropping: crop units follow the chroma format and, for
// field coding, count two lines.
TEST(AvcSps, PictureSizeAndCropping) {
  struct Case {
    const char* name;
    Sps sps;
    int width, height;
    bool interlaced;
  };
  Sps baseline;
  baseline.cropping = true;
  baseline.crop.bottom = 4;

  Sps fields = baseline;
  fields.frameMbsOnly = false;
  fields.heightMapUnits = 34;
  fields.crop.bottom = 2;

  Sps fieldsWidth = fields;  // 4:2:0 fields: horizontal unit stays 2
  fieldsWidth.profile = 100;
  fieldsWidth.widthMbs = 20;
  fieldsWidth.heightMapUnits = 8;
  fieldsWidth.crop = {0, 4, 0, 6};

  Sps c422;  // 4:2:2: one line per vertical unit
  c422.profile = 122;
  c422.chromaFormat = 2;
  c422.lumaDepthMinus8 = 2;
  c422.widthMbs = 20;
  c422.heightMapUnits = 12;
  c422.cropping = true;
  c422.crop.bottom = 12;

  Sps c444;  // 4:4:4: one sample each way
  c444.profile = 244;
  c444.chromaFormat = 3;
  c444.widthMbs = 20;
  c444.heightMapUnits = 12;
  c444.cropping = true;
  c444.crop = {0, 8, 0, 12};

  Sps planes = c444;  // separate colour planes: monochrome units
  planes.separatePlanes = true;

  Sps mono = c422;  // 4:0:0
  mono.profile = 100;
  mono.chromaFormat = 0;
  mono.frameMbsOnly = false;
  mono.heightMapUnits = 6;
  mono.crop = {3, 0, 0, 6};

  const Case cases[] = {
      {"baseline 1088 crop 4", baseline, 1920, 1080, false},
      {"fields crop 2", fields, 1920, 1080, true},
      {"4:2:0 fields horizontal", fieldsWidth, 312, 232, true},
      {"4:2:2 progressive", c422, 320, 180, false},
      {"4:4:4", c444, 312, 180, false},
      {"separate planes", planes, 312, 180, false},
      {"monochrome fields", mono, 317, 180, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AvcVideoInfo info = Parse(c.sps);
    EXPECT_EQ(info.width, c.width);
    EXPECT_EQ(info.height, c.height);
    EXPECT_EQ(info.interlaced, c.interlaced);
    EXPECT_STREQ(info.codec, "AVC/H.264");
  }
}

TEST(AvcSps, BitDepthOnlyFromProfilesThatCarryIt) {
  Sps baseline;
  baseline.lumaDepthMinus8 = 2;  // not written for Baseline
  EXPECT_EQ(Parse(baseline).bitDepth, 8);

  for (uint32_t profile : {100u, 110u, 122u, 244u, 44u, 83u, 86u, 118u, 128u, 134u, 135u, 138u, 139u}) {
    SCOPED_TRACE(profile);
    Sps s;
    s.profile = profile;
    s.chromaFormat = profile == 44 ? 3 : 1;
    s.lumaDepthMinus8 = 2;
    s.widthMbs = 80;
    s.heightMapUnits = 45;
    AvcVideoInfo info = Parse(s);
    EXPECT_EQ(info.bitDepth, 10);
    EXPECT_EQ(info.width, 1280);
    EXPECT_EQ(info.height, 720);
  }
}

// A fixed 96-bit skip over the scaling lists would land mid-field and
// corrupt the size. (x264 sends its matrices in the picture parameter set,
// so the case is built here.)
TEST(AvcSps, ScalingListsAreDecoded) {
  for (uint32_t chroma : {1u, 3u}) {
    SCOPED_TRACE(chroma);
    Sps s;
    s.profile = chroma == 3 ? 244 : 100;
    s.chromaFormat = chroma;
    s.scalingLists = true;
    s.widthMbs = 80;
    s.heightMapUnits = 45;
    s.vui = true;
    s.timeScale = 60000;
    s.unitsInTick = 1001;
    AvcVideoInfo info = Parse(s);
    EXPECT_EQ(info.width, 1280);
    EXPECT_EQ(info.height, 720);
    EXPECT_NEAR(info.frameRate, 29.97, 0.01);
  }
}

TEST(AvcSps, PictureOrderCycle) {
  Sps s;
  s.pocType = 1;
  s.pocCycle = 3;
  EXPECT_EQ(Parse(s).width, 1920);

  // More entries than the standard allows: the parse stops, size unset.
  s.pocCycle = 256;
  AvcVideoInfo info = Parse(s);
  EXPECT_EQ(info.width, 0);
  EXPECT_STREQ(info.profile, "Baseline@4");

  // A count near 2^32 from a crafted code ends at once.
  Bytes nal = {0x67, 66, 0, 40};
  BitWriter w;
  w.Ue(0);
  w.Ue(0);
  w.Ue(1);
  w.Put(1, 1);
  w.Se(0);
  w.Se(0);
  w.Ue(0xFFFFFFF0ull);
  mpegtest::Append(nal, w.Data());
  AvcVideoInfo crafted{};
  ParseAvcSps(nal.data(), nal.size(), crafted);
  EXPECT_EQ(crafted.width, 0);
}

TEST(AvcSps, VuiFields) {
  struct Case {
    const char* name;
    int aspectIdc;
    uint32_t sarW, sarH;
    uint32_t units, scale;
    bool hrd;
    Hrd hrdFields;
    const char* aspect;
    double frameRate;
    double bitRate;
  };
  const Case cases[] = {
      {"no aspect", -1, 0, 0, 0, 0, false, {}, "Unspecified", 0, 0},
      {"sar 4:3", 255, 4, 3, 1, 50, false, {}, "4:3", 25, 0},
      {"idc 2", 2, 0, 0, 1001, 48000, false, {}, "12:11", 23.976, 0},
      {"idc 14", 14, 0, 0, 0, 0, false, {}, "Unknown(14)", 0, 0},
      {"hrd", 1, 0, 0, 1, 50, true, {0, 2, 1249}, "1:1", 25, 1250.0 * 256},
      {"hrd two entries", 1, 0, 0, 1, 50, true, {1, 0, 99}, "1:1", 25, 100.0 * 64},
      {"hrd 33 entries", 1, 0, 0, 1, 50, true, {32, 0, 99}, "1:1", 25, 0},
      {"ticks 0", 1, 0, 0, 0, 0, false, {}, "1:1", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Sps s;
    s.vui = true;
    s.aspectIdc = c.aspectIdc;
    s.sarWidth = c.sarW;
    s.sarHeight = c.sarH;
    s.unitsInTick = c.units;
    s.timeScale = c.scale;
    s.nalHrd = c.hrd;
    s.hrd = c.hrdFields;
    AvcVideoInfo info = Parse(s);
    EXPECT_STREQ(info.aspect, c.aspect);
    EXPECT_NEAR(info.frameRate, c.frameRate, 0.001);
    EXPECT_DOUBLE_EQ(info.bitRate, c.bitRate);
    EXPECT_EQ(info.width, 1920);
  }
}

TEST(AvcSps, EmulationPreventionBytesAreRemoved) {
  Sps s;
  s.profile = 100;
  s.cropping = true;
  s.crop.bottom = 4;
  s.vui = true;
  s.aspectIdc = 255;
  s.sarWidth = 1;  // 16-bit fields full of zeros
  s.sarHeight = 1;
  s.unitsInTick = 1;
  s.timeScale = 50;
  Bytes raw = SpsPayload(s);
  Bytes escaped = Escape(raw);
  ASSERT_GT(escaped.size(), raw.size()) << "the case must contain 00 00 0x";
  AvcVideoInfo info{};
  ParseAvcSps(escaped.data(), escaped.size(), info);
  EXPECT_EQ(info.width, 1920);
  EXPECT_EQ(info.height, 1080);
  EXPECT_STREQ(info.aspect, "1:1");
  EXPECT_DOUBLE_EQ(info.frameRate, 25);
}

TEST(AvcSps, TruncatedSetKeepsWhatWasRead) {
  Sps s;
  s.vui = true;
  s.aspectIdc = 255;
  s.sarWidth = 4;
  s.sarHeight = 3;
  s.unitsInTick = 1;
  s.timeScale = 50;
  Bytes full = Escape(SpsPayload(s));
  for (size_t n = 0; n <= full.size(); ++n) {
    AvcVideoInfo info{};
    ParseAvcSps(full.data(), n, info);  // never reads past n
    if (n < 4) {
      EXPECT_EQ(info.codec[0], '\0');
    }
    if (n == full.size()) {
      EXPECT_DOUBLE_EQ(info.frameRate, 25);
    }
  }
  AvcVideoInfo info{};
  ParseAvcSps(full.data(), 12, info);
  EXPECT_EQ(info.width, 1920);
  EXPECT_DOUBLE_EQ(info.frameRate, 0);
}

TEST(AvcSps, StopsAtTheNextStartCode) {
  Sps s;
  Bytes stream = Escape(SpsPayload(s));
  size_t spsLength = stream.size();
  // The next NAL unit would otherwise be read as the missing VUI.
  s.vui = true;
  Bytes withVui = Escape(SpsPayload(s));
  stream.resize(spsLength - 1);
  stream.push_back(withVui[spsLength - 1]);
  mpegtest::Append(stream, {0x00, 0x00, 0x01, 0x68, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
  AvcVideoInfo info{};
  ParseAvcSps(stream.data(), stream.size(), info);
  EXPECT_EQ(info.width, 1920);
  EXPECT_STREQ(info.aspect, "Unspecified");
}

TEST(AvcSps, FindAvcSpsAndDecoderConfig) {
  Sps s;
  s.widthMbs = 40;
  s.heightMapUnits = 30;
  Bytes sps = Escape(SpsPayload(s));
  Bytes stream = {0x00, 0x00, 0x00, 0x01, 0x09, 0xF0, 0x00, 0x00, 0x01};
  mpegtest::Append(stream, sps);
  mpegtest::Append(stream, {0x00, 0x00, 0x01, 0x68, 0xCE, 0x38, 0x80});
  AvcVideoInfo info{};
  ASSERT_TRUE(FindAvcSps(stream.data(), stream.size(), info));
  EXPECT_EQ(info.width, 640);
  EXPECT_EQ(info.height, 480);

  Bytes none = {0x00, 0x00, 0x01, 0x09, 0xF0, 0x00, 0x00, 0x01, 0x68, 0xCE};
  AvcVideoInfo untouched{};
  untouched.width = 7;
  EXPECT_FALSE(FindAvcSps(none.data(), none.size(), untouched));
  EXPECT_EQ(untouched.width, 7);
  EXPECT_FALSE(FindAvcSps(stream.data(), 8, untouched));  // start code cut: no NAL type byte

  Bytes avcC = {0x01, 66, 0x00, 40, 0xFF, 0xE1, 0x00, static_cast<uint8_t>(sps.size())};
  mpegtest::Append(avcC, sps);
  mpegtest::Append(avcC, {0x01, 0x00, 0x04, 0x68, 0xCE, 0x38, 0x80});
  AvcVideoInfo fromConfig{};
  ASSERT_TRUE(ParseAvcDecoderConfig(avcC.data(), avcC.size(), fromConfig));
  EXPECT_EQ(fromConfig.width, 640);
  AvcVideoInfo cut{};
  EXPECT_FALSE(ParseAvcDecoderConfig(avcC.data(), 8 + sps.size() - 1, cut));
}

TEST(AvcSps, X264Output) {
  struct Case {
    const char* file;
    int width, height, depth;
    const char* profile;
    const char* aspect;
    bool interlaced;
    double frameRate;
  };
  const Case cases[] = {
      {"avc_baseline.264", 320, 240, 8, "Baseline@1.3", "1:1", false, 25},
      {"avc_main.264", 320, 240, 8, "Main@1.3", "1:1", false, 25},
      {"avc_high.264", 1280, 720, 8, "High@3.1", "64:45", false, 25},
      {"avc_high422_10.264", 320, 180, 10, "High 4:2:2@1.2", "1:1", false, 25},
      {"avc_interlaced.264", 312, 232, 8, "High@2.1", "1:1", true, 25},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    Bytes data = test::ReadFile(test::FixturePath(std::string("mpeg/") + c.file));
    ASSERT_FALSE(data.empty());
    AvcVideoInfo info{};
    ASSERT_TRUE(FindAvcSps(data.data(), data.size(), info));
    EXPECT_EQ(info.width, c.width);
    EXPECT_EQ(info.height, c.height);
    EXPECT_EQ(info.bitDepth, c.depth);
    EXPECT_STREQ(info.profile, c.profile);
    EXPECT_STREQ(info.aspect, c.aspect);
    EXPECT_EQ(info.interlaced, c.interlaced);
    EXPECT_NEAR(info.frameRate, c.frameRate, 0.01);
  }
}

TEST(AvcVideoText, FillsEveryPlaceholder) {
  mpegtest::MpegTemplates templates;
  AvcVideoInfo info{};
  info.width = 1920;
  info.height = 1080;
  info.bitDepth = 8;
  std::strcpy(info.codec, "AVC/H.264");
  std::strcpy(info.profile, "High@4.1");
  std::strcpy(info.aspect, "1:1");
  info.interlaced = true;
  info.frameRate = 29.97;
  info.frameCount = 1234;
  info.bitRate = 2500000;
  char out[512];
  FormatAvcVideoText(out, sizeof out, info);
  EXPECT_STREQ(out, "AVC|AVC/H.264|High@4.1|1920x1080|8|1:1|Interlace|29.97|1234|2500.00|2500000.00");
  info.interlaced = false;
  FormatAvcVideoText(out, sizeof out, info);
  EXPECT_NE(std::string(out).find("|Progressive|"), std::string::npos);
}

}  // namespace
}  // namespace probex
