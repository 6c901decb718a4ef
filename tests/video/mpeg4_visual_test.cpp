#include "video/mpeg4_visual.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "fixture.h"
#include "mpeg_test_support.h"

namespace probex {
namespace {

using test::Bytes;
using mpegtest::BitWriter;

struct Texts {
  std::string profile;
  std::string aspect;
};

Texts Scan(const Bytes& bytes, size_t length) {
  char profile[kMpeg4ProfileTextBytes] = "(none)";
  char aspect[kMpeg4AspectTextBytes] = "(none)";
  ParseMpeg4VisualConfig(bytes.data(), length, profile, sizeof profile, aspect, sizeof aspect);
  return {profile, aspect};
}

// Visual object sequence, visual object, video object and the first bits of
// a video object layer, as encoders write them.
Bytes Config(uint8_t profileLevel, bool layerIdentifier, uint32_t aspectInfo, uint32_t parW = 0,
             uint32_t parH = 0) {
  Bytes b = {0x00, 0x00, 0x01, 0xB0, profileLevel, 0x00, 0x00, 0x01, 0xB5, 0x89, 0x13,
             0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x20};
  BitWriter w;
  w.Put(0, 1);     // random_accessible_vol
  w.Put(0x11, 8);  // video_object_type_indication
  w.Put(layerIdentifier, 1);
  if (layerIdentifier) {
    w.Put(5, 4);  // verid: read as the aspect when the identifier is ignored
    w.Put(1, 3);
  }
  w.Put(aspectInfo, 4);
  if (aspectInfo == 15) {
    w.Put(parW, 8);
    w.Put(parH, 8);
  }
  w.Put(1, 1);  // vol_control_parameters and on
  w.Put(0x3F, 6);
  w.Align();
  mpegtest::Append(b, w.Data());
  mpegtest::Append(b, {0x00, 0x00, 0x01, 0xB3, 0x00, 0x10});
  return b;
}

// DivX and XviD put their version strings between the video object and its
// layer.
Bytes WithUserData(const Bytes& config) {
  Bytes b(config.begin(), config.begin() + 15);
  for (const char* text : {"DivX503b1393p", "XviD0050"}) {
    mpegtest::Append(b, {0x00, 0x00, 0x01, 0xB2});
    b.insert(b.end(), text, text + std::strlen(text));
  }
  b.insert(b.end(), config.begin() + 15, config.end());
  return b;
}

TEST(Mpeg4ProfileLevel, Texts) {
  const std::pair<uint32_t, const char*> cases[] = {
      {0x01, "Simple@L1"},          {0x03, "Simple@L3"},          {0x08, "Simple@L0"},
      {0x12, "Simple Scalable@L2"}, {0x21, "Core@L1"},            {0x32, "Main@L2"},
      {0x34, "Main@L4"},            {0x42, "N-bit@L2"},           {0x51, "Scalable Texture@L1"},
      {0x62, "Simple Face Anim@L2"}, {0x63, "Simple FBA@L1"},     {0x72, "Basic Anim Text@L2"},
      {0x81, "Hybrid@L1"},          {0x94, "Adv RT Simple@L4"},   {0xA3, "Core Scalable@L3"},
      {0xB4, "Adv Coding Efficieny@L4"}, {0xC2, "Adv Core Profile@L2"}, {0xD3, "Adv Scalable Texture@L3"},
      {0xE4, "Simple Studio@L4"},   {0xE5, "Core Studio@L1"},     {0xE8, "Core Studio@L4"},
      {0xF0, "Adv Simple@L0"},      {0xF5, "Adv Simple@L5"},      {0xF7, "Adv Simple@L3b"},
      {0xF8, "FGS@L0"},             {0xFD, "FGS@L5"},             {0xF6, "UnknownProfile(246)"},
      {0x00, "UnknownProfile(0)"},  {0x04, "UnknownProfile(4)"},  {0xFF, "UnknownProfile(255)"},
  };
  for (const auto& [code, text] : cases) {
    char out[kMpeg4ProfileTextBytes];
    Mpeg4ProfileLevelText(out, sizeof out, code);
    EXPECT_STREQ(out, text) << code;
  }
}

TEST(Mpeg4Aspect, TextsOfIso14496Part2) {
  const std::pair<uint32_t, const char*> cases[] = {
      {0, "Unspecified"}, {1, "1:1"},       {2, "12:11"},     {3, "10:11"},         {4, "16:11"},
      {5, "40:33"},       {6, "reserved"},  {14, "reserved"}, {15, "reserved"},     {16, "Unknown(16)"},
  };
  for (const auto& [code, text] : cases) {
    char out[kMpeg4AspectTextBytes];
    Mpeg4AspectText(out, sizeof out, code);
    EXPECT_STREQ(out, text) << code;
  }
}

TEST(Mpeg4VisualConfig, ProfileAndAspectOfTheFirstLayer) {
  struct Case {
    const char* name;
    Bytes bytes;
    const char* profile;
    const char* aspect;
  };
  const Case cases[] = {
      {"simple, no layer identifier", Config(0x03, false, 1), "Simple@L3", "1:1"},
      // The layer identifier's version bits come before the aspect code.
      {"advanced simple, identifier", Config(0xF5, true, 2), "Adv Simple@L5", "12:11"},
      {"extended par", Config(0xF1, true, 15, 64, 45), "Adv Simple@L1", "64:45"},
      {"reserved code", Config(0x01, false, 9), "Simple@L1", "reserved"},
      {"user data before the layer", WithUserData(Config(0xF5, false, 3)), "Adv Simple@L5", "10:11"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Texts t = Scan(c.bytes, c.bytes.size());
    EXPECT_EQ(t.profile, c.profile);
    EXPECT_EQ(t.aspect, c.aspect);
  }
}

TEST(Mpeg4VisualConfig, StopsAtTheDescriptorLength) {
  Bytes config = Config(0xF5, true, 2);
  // A layer header beyond the descriptor belongs to something else.
  Texts cutBeforeLayer = Scan(config, 17);
  EXPECT_EQ(cutBeforeLayer.profile, "Adv Simple@L5");
  EXPECT_EQ(cutBeforeLayer.aspect, "(none)");
  // The layer's aspect bits cut by the length are not read.
  Texts cutInLayer = Scan(config, 20);
  EXPECT_EQ(cutInLayer.aspect, "(none)");
  // Only the profile byte's start code inside: no profile byte, no read.
  Texts cutAtProfile = Scan(config, 4);
  EXPECT_EQ(cutAtProfile.profile, "(none)");
  // A configuration followed by other bytes (an SLConfigDescriptor here).
  Bytes followed = config;
  mpegtest::Append(followed, {0x06, 0x01, 0x02});
  EXPECT_EQ(Scan(followed, followed.size()).aspect, "12:11");
  EXPECT_EQ(Scan(Bytes{}, 0).aspect, "(none)");
}

TEST(Mpeg4VisualConfig, FfmpegOutput) {
  struct Case {
    const char* file;
    const char* profile;
    const char* aspect;
  };
  const Case cases[] = {
      {"mpeg4_simple.m4v", "Simple@L1", "1:1"},
      {"mpeg4_bframes.m4v", "Adv Simple@L1", "12:11"},  // B-frames: layer version 5
      {"mpeg4_xvid.m4v", "Adv Simple@L5", "10:11"},     // explicit par_width:par_height
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    Bytes data = test::ReadFile(test::FixturePath(std::string("mpeg/") + c.file));
    ASSERT_FALSE(data.empty());
    Texts t = Scan(data, data.size() < 64 ? data.size() : 64);
    EXPECT_EQ(t.profile, c.profile);
    EXPECT_EQ(t.aspect, c.aspect);
  }
}

}  // namespace
}  // namespace probex
