// Truncated and corrupted versions of the lossless and other audio files are
// analysed to the end: no crash, no hang, no text past its field, no inf or
// NaN in a line or the duration.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "damage.h"
#include "dispatch.h"
#include "probex_formats.h"
#include "audio/flac.h"
#include "audio/midi.h"
#include "audio/monkeys_audio.h"
#include "audio/musepack.h"
#include "audio/optimfrog.h"
#include "audio/s98.h"
#include "audio/sun_audio.h"
#include "audio/tta.h"
#include "audio/twinvq.h"
#include "audio/wavpack.h"
#include "audio_file_support.h"
#include "fixture.h"

namespace probex::test {
namespace {

void ExpectSane(const MediaInfo& info, const std::string& what) {
  SCOPED_TRACE(what);
  EXPECT_NE(std::memchr(info.errorText, 0, sizeof info.errorText), nullptr);
  EXPECT_NE(std::memchr(info.formatName, 0, sizeof info.formatName), nullptr);
  ASSERT_LE(info.audioCount, PROBEX_MAX_AUDIO);
  ASSERT_LE(info.extraCount, PROBEX_MAX_EXTRA);
  for (int i = 0; i < info.audioCount; ++i) {
    ASSERT_NE(std::memchr(info.audioText[i], 0, sizeof info.audioText[i]), nullptr);
    std::string line = info.audioText[i];
    EXPECT_EQ(line.find("inf"), std::string::npos) << line;
    EXPECT_EQ(line.find("nan"), std::string::npos) << line;
  }
  for (int i = 0; i < info.extraCount; ++i) EXPECT_NE(std::memchr(info.extraText[i], 0, sizeof info.extraText[i]), nullptr);
  EXPECT_TRUE(std::isfinite(info.duration));
  EXPECT_GE(info.duration, -1.0);
}

Bytes Seed(const std::string& magic, size_t n) {
  Bytes b(magic.begin(), magic.end());
  for (size_t i = b.size(); i < n; ++i) b.push_back(static_cast<uint8_t>(i * 37));
  return b;
}

class DamagedAudioTest : public ::testing::Test {
 protected:
  void SetUp() override { UseAudioTestTemplates(); }

  // Cut where the headers end and past the detection's 40 bytes, and
  // damaged under several seeds.
  static void Damage(const Bytes& original, const std::string& extension) {
    const size_t n = original.size();
    size_t variant = 0;
    for (const Bytes& b : DamagedCopies(original, "damaged" + extension,
                                        {40, 41, 48, 64, 77, 100, 256, 300, n / 3, n / 2, n - 129, n - 33}, 5)) {
      TempFile file("damaged" + extension, b);
      ExpectSane(AnalyzeFile(file.Path()), "copy " + std::to_string(variant++) + " of " + std::to_string(b.size()) + " bytes");
    }
  }
};

TEST_F(DamagedAudioTest, EncoderFixtures) {
  const char* files[] = {"flac_comments.flac",     "flac_cue_pictures.flac",   "flac_chapters.flac",
                         "flac_24bit_6ch.flac",    "wavpack_lossless.wv",           "wavpack_hybrid.wv",
                         "wavpack_apetag.wv",           "wavpack_6ch.wv",                "tta_short.tta",
                         "au_ulaw_8k.au",            "au_pcm16_stereo.au",             "midi_format0_named.mid",
                         "midi_format1_named.mid", "midi_format1_unnamed.mid"};
  for (const char* name : files) {
    SCOPED_TRACE(name);
    Bytes original = ReadFile(FixturePath(std::string("audio/") + name));
    ASSERT_GT(original.size(), 40u);
    std::string path = name;
    Damage(original, path.substr(path.rfind('.')));
  }
}

TEST_F(DamagedAudioTest, ByteBuiltHeaders) {
  struct SeedCase {
    std::string magic;
    const char* extension;
  } seeds[] = {
      {std::string("MAC \x96\x0f\x00\x00\x34\x00\x00\x00", 12), ".ape"},
      {std::string("MAC \x8a\x0f\x88\x13", 8), ".ape"},
      {std::string("MP+\x07", 4), ".mpc"},
      {std::string("OFR \x0f\x00\x00\x00", 8), ".ofr"},
      {std::string("TWIN97012000\x00\x00\x00\x40" "COMM\x00\x00\x00\x0c", 24), ".vqf"},
      {std::string("S98300000000\x00\x00\x00\x00", 16), ".s98"},
      {std::string("S981", 4), ".s98"},
  };
  for (const SeedCase& s : seeds) {
    SCOPED_TRACE(s.extension);
    Damage(Seed(s.magic, 600), s.extension);
  }
}

TEST_F(DamagedAudioTest, PublicFiles) {
  const char* files[] = {"taglib/mac-399.ape", "taglib/mac-390-hdr.ape", "music-metadata/monkeysaudio.ape",
                         "taglib/longloop.ape", "taglib/zerodiv.ape",    "taglib/click.mpc",
                         "taglib/tagged.tta",   "taglib/click.wv",       "taglib/four_channels.wv",
                         "taglib/infloop.wv",   "taglib/silence-44-s.flac"};
  for (const char* name : files) {
    SCOPED_TRACE(name);
    std::string path = PublicMedia(name);
    if (path.empty()) GTEST_SKIP() << "public media absent";
    ExpectSane(AnalyzeFile(path), "as it is");
    std::string extension = path.substr(path.rfind('.'));
    Damage(ReadFile(path), extension);
  }
}

constexpr int32_t kAnalyzers[] = {format::kFlac,    format::kMonkeysAudio, format::kMusePack, format::kTta,
                                  format::kWavPack, format::kOptimFrog,    format::kMidi,     format::kSunAudio,
                                  format::kTwinVq,  format::kS98};

// Every analyzer on every other format's file: what a wrong guess meets.
TEST_F(DamagedAudioTest, ForeignFiles) {
  const char* files[] = {"flac_cue_pictures.flac", "wavpack_hybrid.wv", "wavpack_hybrid.wvc", "tta_short.tta",
                         "au_pcm16_stereo.au",           "midi_format1_named.mid"};
  for (const char* name : files) {
    for (size_t i = 0; i < sizeof kAnalyzers / sizeof kAnalyzers[0]; ++i) {
      MediaInfo info = MakeRecord(FixturePath(std::string("audio/") + name));
      info.formatId = kAnalyzers[i];
      Dispatch(info);
      ExpectSane(info, std::string(name) + " by analyzer " + std::to_string(i));
    }
  }
}

TEST_F(DamagedAudioTest, UnopenableFile) {
  for (int32_t formatId : kAnalyzers) {
    MediaInfo info = MakeRecord("/nonexistent/folder/file.bin");
    info.formatId = formatId;
    Dispatch(info);
    EXPECT_EQ(Text(info.errorText), "ファイルのオープンに失敗");
    EXPECT_EQ(info.audioCount, 0);
  }
}

}  // namespace
}  // namespace probex::test
