#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "audio_file_support.h"
#include "fixture.h"
#include "probex_formats.h"

namespace probex::test {
namespace {

Bytes StreamInfo(uint32_t rate, uint32_t channels, uint32_t bits, uint64_t total) {
  Bytes b;
  PutU16BE(b, 4096);
  PutU16BE(b, 4096);
  PutU24BE(b, 0);
  PutU24BE(b, 0);
  uint64_t packed = (uint64_t{rate} << 44) | (uint64_t{channels - 1} << 41) | (uint64_t{bits - 1} << 36) |
                    (total & 0xFFFFFFFFFull);
  for (int shift = 56; shift >= 0; shift -= 8) b.push_back(static_cast<uint8_t>(packed >> shift));
  PutZeros(b, 16);  // MD5
  return b;
}

// A metadata block; length overrides the header's length field.
Bytes Block(int type, const Bytes& body, bool last, int64_t length = -1) {
  Bytes b;
  b.push_back(static_cast<uint8_t>((last ? 0x80 : 0) | type));
  PutU24BE(b, static_cast<uint32_t>(length < 0 ? static_cast<int64_t>(body.size()) : length));
  Append(b, body);
  return b;
}

Bytes VorbisComment(const std::vector<std::string>& comments) {
  Bytes b;
  PutU32LE(b, 6);
  PutText(b, "vortaq");
  PutU32LE(b, static_cast<uint32_t>(comments.size()));
  for (const std::string& c : comments) {
    PutU32LE(b, static_cast<uint32_t>(c.size()));
    PutText(b, c);
  }
  return b;
}

Bytes Flac(const std::vector<Bytes>& blocks, size_t audioBytes) {
  Bytes b;
  PutText(b, "fLaC");
  for (const Bytes& block : blocks) Append(b, block);
  PutZeros(b, audioBytes);
  return b;
}

Bytes CdStreamInfo() { return StreamInfo(44100, 2, 16, 441000); }

class FlacTest : public ::testing::Test {
 protected:
  void SetUp() override { UseAudioTestTemplates(); }

  static MediaInfo Analyze(const Bytes& content) {
    TempFile file("test.flac", content);
    return AnalyzeFile(file.Path());
  }
};

struct LineCase {
  const char* name;
  Bytes file;
  const char* line;
  double duration;
};

TEST_F(FlacTest, DescribesStreamInfo) {
  const LineCase cases[] = {
      {"ten seconds of CD audio", Flac({Block(0, CdStreamInfo(), true)}, 1000),
       "FLAC 44.10kHz 44100 16bit 2ch 0.80kbps 800.00", 10.0},
      {"24-bit 6 channels", Flac({Block(0, StreamInfo(96000, 6, 24, 96000), true)}, 500),
       "FLAC 96.00kHz 96000 24bit 6ch 4.00kbps 4000.00", 1.0},
      {"sample rate 0", Flac({Block(0, StreamInfo(0, 2, 16, 441000), true)}, 1000),
       "FLAC 0.00kHz 0 16bit 2ch 0.00kbps 0.00", 0.0},
      {"total samples 0 (unknown length)", Flac({Block(0, StreamInfo(44100, 2, 16, 0), true)}, 1000),
       "FLAC 44.10kHz 44100 16bit 2ch 0.00kbps 0.00", 0.0},
      // 2^35 samples: the 36-bit total is kept whole.
      {"total above 32 bits", Flac({Block(0, StreamInfo(192000, 2, 24, 1ull << 35), true)}, 100000),
       "FLAC 192.00kHz 192000 24bit 2ch 0.00kbps 4.47", 178956.970666},
      {"blocks before the audio are not audio",
       Flac({Block(0, CdStreamInfo(), false), Block(1, Bytes(200), false), Block(3, Bytes(18), false),
             Block(2, Bytes(10), true)},
            2000),
       "FLAC 44.10kHz 44100 16bit 2ch 1.60kbps 1600.00", 10.0},
      {"file ends before the last block", Flac({Block(0, CdStreamInfo(), false)}, 0),
       "FLAC 44.10kHz 44100 16bit 2ch 0.00kbps 0.00", 10.0},
      {"last block longer than the file", Flac({Block(0, CdStreamInfo(), false), Block(1, Bytes(40), true, 0xFFFFFF)}, 0),
       "FLAC 44.10kHz 44100 16bit 2ch 0.00kbps 0.00", 10.0},
  };
  for (const LineCase& c : cases) {
    SCOPED_TRACE(c.name);
    MediaInfo info = Analyze(c.file);
    EXPECT_EQ(info.formatId, format::kFlac);
    EXPECT_STREQ(info.errorText, "");
    ASSERT_EQ(info.audioCount, 1);
    EXPECT_STREQ(info.audioText[0], c.line);
    EXPECT_NEAR(info.duration, c.duration, 1e-6);
    EXPECT_EQ(info.fileSize, c.file.size());
  }
}

TEST_F(FlacTest, ReportsDamagedMetadata) {
  Bytes padded = Block(1, Bytes(30), false);
  Bytes streamInfo = CdStreamInfo();
  Bytes cutStreamInfo(streamInfo.begin(), streamInfo.begin() + 10);
  struct ErrorCase {
    const char* name;
    Bytes file;
    const char* error;
  } cases[] = {
      {"STREAMINFO of 20 bytes", Flac({Block(0, Bytes(20), true)}, 40), "[FLAC] STREAMINFOが短すぎます(20bytes)"},
      {"STREAMINFO cut by the end of the file",
       Flac({padded, Block(0, cutStreamInfo, true, 34)}, 0),
       "[FLAC] STREAMINFOが短すぎます(10bytes)"},
      {"block type 7", Flac({Block(0, CdStreamInfo(), false), Block(7, Bytes(8), true)}, 100),
       "[FLAC] 不明なBlockType(7)"},
      {"invalid block type 127", Flac({Block(0, CdStreamInfo(), false), Block(127, Bytes(8), true)}, 100),
       "[FLAC] 不明なBlockType(127)"},
  };
  for (const ErrorCase& c : cases) {
    SCOPED_TRACE(c.name);
    MediaInfo info = Analyze(c.file);
    EXPECT_EQ(info.formatId, format::kFlac);
    EXPECT_EQ(Text(info.errorText), c.error);
    EXPECT_EQ(info.audioCount, 0);
  }
}

TEST_F(FlacTest, ListsCueSheetsPicturesAndComments) {
  struct ExtraCase {
    const char* name;
    std::vector<Bytes> blocks;
    std::vector<std::string> extras;
  } cases[] = {
      {"cue sheet and two pictures",
       {Block(0, CdStreamInfo(), false), Block(5, Bytes(396), false), Block(6, Bytes(50), false),
        Block(6, Bytes(50), true)},
       {"CueSheet / Picture(2)"}},
      {"one picture", {Block(0, CdStreamInfo(), false), Block(6, Bytes(50), true)}, {"Picture(1)"}},
      {"cue sheet in the comments too",
       {Block(0, CdStreamInfo(), false), Block(5, Bytes(396), false),
        Block(4, VorbisComment({"TITLE=x", "CUESHEET=FILE \"a.wav\" WAVE"}), true)},
       {"CueSheet", "VorbisComment / CueSheet"}},
      {"chapters",
       {Block(0, CdStreamInfo(), false),
        Block(4, VorbisComment({"CHAPTER001=00:00:00.000", "CHAPTER001NAME=One", "CHAPTER002=00:00:05.000"}), true)},
       {"VorbisComment / Chapter(2)"}},
      {"no comments in the comment block", {Block(0, CdStreamInfo(), false), Block(4, VorbisComment({}), true)}, {}},
      // The comment count lies inside the bytes there; the lengths run past the file.
      {"comment block longer than the file",
       {Block(0, CdStreamInfo(), false), Block(4, VorbisComment({"TITLE=cut"}), true, 0xFFFFFF)},
       {"VorbisComment"}},
  };
  for (const ExtraCase& c : cases) {
    SCOPED_TRACE(c.name);
    MediaInfo info = Analyze(Flac(c.blocks, 100));
    EXPECT_STREQ(info.errorText, "");
    ASSERT_EQ(info.extraCount, static_cast<int>(c.extras.size()));
    for (size_t i = 0; i < c.extras.size(); ++i) EXPECT_EQ(info.extraText[i], c.extras[i]);
  }
}

TEST_F(FlacTest, ReadsBehindLeadingId3v2Tag) {
  Bytes file = Id3v2Tag(300);
  Append(file, Flac({Block(0, CdStreamInfo(), true)}, 1000));
  MediaInfo info = Analyze(file);
  EXPECT_EQ(info.formatId, format::kFlac);
  EXPECT_STREQ(info.errorText, "");
  EXPECT_STREQ(info.audioText[0], "FLAC 44.10kHz 44100 16bit 2ch 0.80kbps 800.00");
  ASSERT_EQ(info.extraCount, 1);
  EXPECT_STREQ(info.extraText[0], "ID3v2");
}

TEST_F(FlacTest, DescribesEncoderFiles) {
  struct FileCase {
    const char* file;
    const char* line;
    double duration;
    std::vector<std::string> extras;
  } cases[] = {
      {"audio/flac_comments.flac", "FLAC 44.10kHz 44100 16bit 2ch 251.84kbps 251840.00", 0.6, {"VorbisComment"}},
      {"audio/flac_cue_pictures.flac",
       "FLAC 44.10kHz 44100 16bit 2ch 251.84kbps 251840.00",
       0.6,
       {"CueSheet / Picture(2)", "VorbisComment / CueSheet"}},
      {"audio/flac_chapters.flac",
       "FLAC 44.10kHz 44100 16bit 2ch 251.84kbps 251840.00",
       0.6,
       {"VorbisComment / Chapter(2)"}},
      {"audio/flac_24bit_6ch.flac", "FLAC 48.00kHz 48000 24bit 6ch 1225.16kbps 1225160.00", 0.2, {"VorbisComment"}},
  };
  for (const FileCase& c : cases) {
    SCOPED_TRACE(c.file);
    MediaInfo info = AnalyzeFile(FixturePath(c.file));
    EXPECT_EQ(info.formatId, format::kFlac);
    EXPECT_STREQ(info.errorText, "");
    ASSERT_EQ(info.audioCount, 1);
    EXPECT_STREQ(info.audioText[0], c.line);
    EXPECT_NEAR(info.duration, c.duration, 1e-9);
    ASSERT_EQ(info.extraCount, static_cast<int>(c.extras.size()));
    for (size_t i = 0; i < c.extras.size(); ++i) EXPECT_EQ(info.extraText[i], c.extras[i]);
  }
}

TEST_F(FlacTest, DescribesPublicFiles) {
  struct PublicCase {
    const char* file;
    const char* line;
    double duration;  // as MediaInfo reports it, in seconds
  } cases[] = {
      {"taglib/silence-44-s.flac", "FLAC 44.10kHz 44100 16bit 2ch 101.43kbps 101430.87", 3.685},
      {"taglib/sinewave.flac", "FLAC 44.10kHz 44100 16bit 2ch 145.31kbps 145308.37", 3.550},
      {"taglib/zero-sized-padding.flac", "FLAC 44.10kHz 44100 16bit 2ch 1.10kbps 1098.59", 3.684},
      {"taglib/empty-seektable.flac", "FLAC 88.20kHz 88200 24bit 2ch 0.02kbps 15.35", 217.868},
  };
  for (const PublicCase& c : cases) {
    SCOPED_TRACE(c.file);
    std::string path = PublicMedia(c.file);
    if (path.empty()) GTEST_SKIP() << "public media absent";
    MediaInfo info = AnalyzeFile(path);
    EXPECT_EQ(info.formatId, format::kFlac);
    EXPECT_STREQ(info.audioText[0], c.line);
    EXPECT_NEAR(info.duration, c.duration, 0.001);
  }
}

}  // namespace
}  // namespace probex::test
