#include <gtest/gtest.h>

#include <string>

#include "box_builders.h"
#include "fixture.h"
#include "probex_formats.h"
#include "media_info.h"
#include "../../probe/containers/mp4.h"
#include "../../probe/containers/mp4_sample_description.h"

namespace probex {
namespace {

using namespace test;

// The avcC of the x264 fixture: Baseline@1.1, 160x120.
Bytes AvcC() {
  return Bytes{0x01, 0x42, 0xc0, 0x0b, 0xff, 0xe1, 0x00, 0x18, 0x67, 0x42, 0xc0, 0x0b, 0xda, 0x0a, 0x11, 0xf9,
               0x70, 0x11, 0x00, 0x00, 0x03, 0x00, 0x01, 0x00, 0x00, 0x03, 0x00, 0x32, 0x0f, 0x14, 0x2a, 0xa0,
               0x01, 0x00, 0x05, 0x68, 0xce, 0x03, 0x9c, 0x80};
}
// The MPEG-4 Visual configuration of the ffmpeg fixture (Simple@L1).
Bytes VisualConfig() {
  return Bytes{0x00, 0x00, 0x01, 0xb0, 0x01, 0x00, 0x00, 0x01, 0xb5, 0x89, 0x13, 0x00, 0x00, 0x01, 0x00, 0x00,
               0x00, 0x01, 0x20, 0x00, 0xc4, 0x8d, 0x88, 0x00, 0xcd, 0x05, 0x84, 0x12, 0x14, 0x43};
}

Bytes Descriptor(uint8_t tag, const Bytes& body) {
  // The four-byte length form that encoders write.
  uint32_t n = static_cast<uint32_t>(body.size());
  return Cat({Bytes{tag, static_cast<uint8_t>(0x80 | (n >> 21)), static_cast<uint8_t>(0x80 | (n >> 14 & 0x7F)),
                    static_cast<uint8_t>(0x80 | (n >> 7 & 0x7F)), static_cast<uint8_t>(n & 0x7F)},
              body});
}
// esds payload (after the box header): version/flags, ES, decoder config
// with an optional decoder-specific info, SL config.
Bytes EsdsPayload(uint8_t objectType, uint32_t maxBitrate, uint32_t avgBitrate, const Bytes* specific) {
  Bytes config = Cat({Bytes{objectType, 0x15, 0, 0, 0}, BE32(maxBitrate), BE32(avgBitrate)});
  if (specific) config = Cat({config, Descriptor(5, *specific)});
  Bytes es = Cat({BE16(1), Bytes{0}, Descriptor(4, config), Descriptor(6, Bytes{2})});
  return Cat({BE32(0), Descriptor(3, es)});
}
Bytes Esds(uint8_t objectType, uint32_t maxBitrate, uint32_t avgBitrate, const Bytes* specific) {
  return Box("esds", EsdsPayload(objectType, maxBitrate, avgBitrate, specific));
}

Mp4Track ParseAudio(const Bytes& entry, double trackBitRate = 0) {
  Bytes stsd = Stsd(entry);
  Mp4Track track{};
  track.bitRate = trackBitRate;
  ParseMp4SampleDescription(stsd.data(), stsd.size(), kMp4Audio, track, nullptr);
  return track;
}
Mp4Track ParseVideo(const Bytes& entry) {
  Bytes stsd = Stsd(entry);
  Mp4Track track{};
  ParseMp4SampleDescription(stsd.data(), stsd.size(), kMp4Video, track, nullptr);
  return track;
}
std::string AudioLine(const Mp4Track& track) {
  if (track.audioText[0]) return track.audioText;
  char line[512];
  FormatMp4AudioText(line, sizeof line, track);
  return line;
}
std::string VideoLine(const Mp4Track& track) {
  char line[512];
  FormatMp4VideoText(line, sizeof line, track);
  return line;
}

class SampleDescriptionTest : public ::testing::Test {
 protected:
  void SetUp() override { UseShippedTemplates(); }
};

TEST(Mp4CodecKeyTest, UpperCaseBlanksAndWaveTags) {
  struct Case {
    Bytes format;
    std::string key;
  } cases[] = {
      {Str("avc1"), "AVC1"}, {Bytes{'r', 'l', 'e', 0}, "RLE "}, {Bytes{'r', 'a', 'w', ' '}, "RAW "},
      {Bytes{'m', 's', 0, 0x55}, std::string("MS\0U", 4)}, {Str(".mp3"), ".MP3"},
  };
  for (const Case& c : cases) {
    Bytes stsd = Stsd(Box(std::string(c.format.begin(), c.format.end()).c_str(), Zeros(8)));
    char key[5];
    Mp4CodecKey(stsd.data(), stsd.size(), key);
    EXPECT_EQ(std::string(key, 4), c.key);
  }
}

TEST_F(SampleDescriptionTest, AudioCodecNamesAndFields) {
  struct Case {
    const char* name;
    Bytes entry;
    const char* line;
  } cases[] = {
      {"twos", SoundEntry("twos", 2, 16, 44100, Bytes()), "PCM (BE) 44.10kHz 16bit 2ch"},
      {"sowt", SoundEntry("sowt", 1, 8, 11025, Bytes()), "PCM (LE) 11.03kHz 8bit 1ch"},
      {"mp4a without esds", SoundEntry("mp4a", 2, 16, 48000, Bytes()), "MPEG-4 Audio 48.00kHz 16bit 2ch"},
      {"ms + 0x0055", SoundEntry(std::string("ms\0U", 4).c_str(), 2, 16, 44100, Bytes()),
       "MPEG Layer-3 44.10kHz 16bit 2ch"},
      {"unknown type", SoundEntry("zzzz", 1, 16, 8000, Bytes()), "不明ZZZZ 8.00kHz 16bit 1ch"},
      {"3GPP AMR", SoundEntry("samr", 1, 16, 8000, Box("damr", Zeros(9))), "AMR-NB 8.00kHz 16bit 1ch"},
      // QuickTime's PCM codes carry their sample size; the old field says 16.
      {"in24", SoundEntry("in24", 2, 16, 48000, Bytes()), "PCM 24-bit 48.00kHz 24bit 2ch"},
      {"fl64", SoundEntry("fl64", 2, 16, 48000, Bytes()), "PCM 64-bit Float 48.00kHz 64bit 2ch"},
      // Opus: channels from dOps, no sample size.
      {"Opus", SoundEntry("Opus", 2, 16, 48000, Box("dOps", {0, 6, 0x01, 0x38, 0, 0, 0xBB, 0x80, 0, 0, 1})),
       "Opus 48.00kHz 6ch"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Utf8(AudioLine(ParseAudio(c.entry))), c.line);
  }
}

TEST_F(SampleDescriptionTest, EsdsDescriptors) {
  Bytes lc = {0x12, 0x10};                    // AAC LC, 44100 Hz, stereo
  Bytes lcNoSbr = {0x13, 0x10, 0x56, 0xE5, 0x00};  // LC 24000 Hz, explicitly no SBR
  Bytes monoNoSbr = {0x11, 0x88, 0x56, 0xE5, 0x00};  // LC 48000 Hz mono, explicitly no SBR (ffmpeg)
  Bytes monoHe = {0x13, 0x08, 0x56, 0xE5, 0x98};     // mono LC 24000 Hz, SBR to 48000 Hz, PS not signalled
  // LC at an explicit 3200 Hz (index 15): the 24-bit rate holds a byte 06,
  // which must not end the configuration.
  Bytes explicitRate = {0x17, 0x80, 0x06, 0x40, 0x10};
  Bytes unknown = {0x01, 0x02};
  struct Case {
    const char* name;
    Bytes entry;
    double trackBitRate;
    const char* line;
  } cases[] = {
      {"AAC, average bit rate", SoundEntry("mp4a", 2, 16, 44100, Esds(0x40, 160000, 128000, &lc)), 0,
       "AAC LC 44.10kHz 2.0ch(L+R) 128.00kbps"},
      {"AAC, maximum only", SoundEntry("mp4a", 2, 16, 44100, Esds(0x40, 160000, 0, &lc)), 0,
       "AAC LC 44.10kHz 2.0ch(L+R) 160.00kbps"},
      {"AAC, the track's rate", SoundEntry("mp4a", 2, 16, 44100, Esds(0x67, 0, 0, &lc)), 96000,
       "AAC LC 44.10kHz 2.0ch(L+R) 96.00kbps"},
      {"SBR not signalled in a 48 kHz track", SoundEntry("mp4a", 2, 16, 48000, Esds(0x40, 0, 64000, &lcNoSbr)), 0,
       "AAC HE(LC)+(!SBR) 48.00kHz 2.0ch(L+R) 64.00kbps"},
      // ISO sample entries always say two channels: PS is inferred only where
      // SBR may be present.
      {"mono, explicitly no SBR", SoundEntry("mp4a", 2, 16, 48000, Esds(0x40, 0, 64000, &monoNoSbr)), 0,
       "AAC HE(LC) 48.00kHz 1.0ch(C) 64.00kbps"},
      {"mono HE-AAC, PS not signalled", SoundEntry("mp4a", 2, 16, 48000, Esds(0x40, 0, 48000, &monoHe)), 0,
       "AAC HE(SBR)+(!PS) 48.00kHz 2.0ch(L+R) 48.00kbps"},
      {"configuration bounded by its length", SoundEntry("mp4a", 2, 16, 3200, Esds(0x40, 0, 8000, &explicitRate)),
       0, "AAC LC 3.20kHz 2.0ch(L+R) 8.00kbps"},
      {"unknown object type", SoundEntry("mp4a", 1, 16, 8000, Esds(0xA3, 0, 0, nullptr)), 0,
       "UnknownESConfigDescriptor(A3) 8.00kHz 16bit 1ch"},
      {"unknown object type with specific info", SoundEntry("mp4a", 1, 16, 8000, Esds(0xA3, 0, 0, &unknown)), 0,
       "UnknownESSpecificDescriptor(A3) 8.00kHz 16bit 1ch"},
      {"PureVoice", SoundEntry("mp4a", 1, 16, 8000, Esds(0xE1, 0, 0, &unknown)), 0,
       "QUALCOMM PureVoice 8.00kHz 16bit 1ch"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(AudioLine(ParseAudio(c.entry, c.trackBitRate)), c.line);
  }
}

TEST_F(SampleDescriptionTest, ChildShorterThanItsHeaderEndsTheScan) {
  Bytes lc = {0x12, 0x10};
  Bytes tiny = Cat({BE32(4), Str("esds")});
  Bytes zero = Cat({BE32(0), Str("esds")});
  for (const Bytes* bad : {&tiny, &zero}) {
    Mp4Track track = ParseAudio(SoundEntry("mp4a", 2, 16, 44100, Cat({*bad, Esds(0x40, 0, 128000, &lc)})));
    EXPECT_STREQ(track.audioText, "");
    EXPECT_STREQ(track.audioCodec, "MPEG-4 Audio");
  }
}

TEST_F(SampleDescriptionTest, VersionTwoSoundDescription) {
  uint64_t rate;
  double hz = 96000.0;
  std::memcpy(&rate, &hz, 8);
  Bytes entry = Box("lpcm", Cat({Zeros(6), BE16(1), BE16(2), BE16(0), BE32(0), BE16(3), BE16(16), BE16(0xFFFE),
                                  BE16(0), BE32(0x00010000), BE32(72), BE64(rate), BE32(6), BE32(0x7F000000),
                                  BE32(24), BE32(0), BE32(18), BE32(1)}));
  Mp4Track track = ParseAudio(entry);
  EXPECT_DOUBLE_EQ(track.sampleRate, 96000.0);
  EXPECT_EQ(track.channels, 6);
  EXPECT_EQ(track.bitsPerSample, 24);
}

TEST_F(SampleDescriptionTest, VideoFieldsAvcAndMpeg4Visual) {
  Bytes avcc = Box("avcC", AvcC());
  Bytes visual = VisualConfig();
  // MPEG-2 sequence header (352x288, 4:3, 25 fps, variable rate) and its
  // extension (Main@Main, progressive).
  Bytes sequence = {0x00, 0x00, 0x01, 0xB3, 0x16, 0x01, 0x20, 0x23, 0xFF, 0xFF, 0xE0, 0x80,
                    0x00, 0x00, 0x01, 0xB5, 0x14, 0x8A, 0x00, 0x01, 0x00, 0x00};
  struct Case {
    const char* name;
    Bytes entry;
    const char* line;
  } cases[] = {
      {"avc1", VisualEntry("avc1", 160, 120, avcc),
       "AVC/H.264 Baseline@1.1 160x120 PAR 1:1 Progressive"},
      {"mp4v", VisualEntry("mp4v", 176, 144, Esds(0x20, 0, 0, &visual)),
       "MPEG-4 Visual Simple@L1 176x144 PAR 1:1 Progressive"},
      // MPEG-2 and MPEG-1 video object types: the sequence header decides,
      // and without one the object type still names the codec.
      {"mp4v holding MPEG-2", VisualEntry("mp4v", 176, 144, Esds(0x61, 0, 0, &sequence)),
       "MPEG2 MP@ML 352x288 25.00fps VBR 4:3 Progressive"},
      {"mp4v holding MPEG-1 without a header", VisualEntry("mp4v", 176, 144, Esds(0x6A, 0, 0, nullptr)),
       "MPEG-1 Video 176x144 24bpp"},
      {"jpeg", VisualEntry("jpeg", 640, 480, Bytes()), "Photo JPEG 640x480 24bpp"},
      {"8-bit with an embedded colour table", VisualEntry("rle ", 64, 48, Cat({BE32(0), BE16(0x8000), BE16(1), Zeros(16)}), 0, 8),
       "Animation (RLE) 64x48 8bpp"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(VideoLine(ParseVideo(c.entry)), c.line);
  }
}

TEST_F(SampleDescriptionTest, OnlyColourTableIdZeroEmbedsATable) {
  // A table whose entries look like an avcC box with a bogus parameter set:
  // skipped with id 0, so only the real avcC after it is read.
  Bytes fake = Cat({BE32(16), Str("avcC"), Bytes{1, 0x64, 0, 0x28, 0xFF, 0xE1, 0, 0}});
  Bytes table = Cat({BE32(0), BE16(0), BE16(1), fake});  // two entries of 8 bytes
  Mp4Track withTable = ParseVideo(VisualEntry("avc1", 1, 1, Cat({table, Box("avcC", AvcC())}), 0, 8));
  EXPECT_EQ(withTable.width, 160);
  EXPECT_STREQ(withTable.profile, "Baseline@1.1");
  // Id -1: no table; the scan starts right after the id.
  Mp4Track none = ParseVideo(VisualEntry("avc1", 1, 1, Box("avcC", AvcC()), -1));
  EXPECT_EQ(none.width, 160);
}

TEST_F(SampleDescriptionTest, FirstSampleProbedForWaveTagAndMpegAudio) {
  // A QuickTime "ms" 0x0055 track and an mp4a track with MPEG audio
  // (object type 0x6B): both described from the MP3 frame in the mdat.
  Bytes frame = Mp3Frame();
  for (int variant = 0; variant < 2; ++variant) {
    SCOPED_TRACE(variant);
    Bytes entry = variant == 0 ? SoundEntry(std::string("ms\0U", 4).c_str(), 2, 16, 44100, Bytes())
                               : SoundEntry("mp4a", 2, 16, 44100, Esds(0x6B, 0, 0, nullptr));
    Bytes ftyp = Ftyp("isom");
    Bytes mdatHeader = Cat({BE32(static_cast<uint32_t>(frame.size() + 8)), Str("mdat")});
    uint32_t offset = static_cast<uint32_t>(ftyp.size() + mdatHeader.size());
    Bytes trak = Trak(1, "soun", Stsd(entry), Cat({Stts({{1, 1152}}), Stsz(0, {417}), Stco(offset)}),
                      Mdhd(44100, 1152));
    Bytes file = Cat({ftyp, mdatHeader, frame, Box("moov", Cat({Mvhd(44100, 1152), trak}))});
    TempFile f("mp3.mp4", file);
    MediaInfo info = AnalyzeFile(f.Path());
    ASSERT_EQ(info.audioCount, 1);
    EXPECT_EQ(std::string(info.audioText[0]).rfind("MPEG-1 Layer III 44.10kHz", 0), 0u) << info.audioText[0];
  }
}

}  // namespace
}  // namespace probex
