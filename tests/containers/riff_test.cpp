#include <gtest/gtest.h>

#include <string>

#include "audio/dts.h"
#include "container_test.h"
#include "audio/audio_line.h"
#include "audio/wave_format.h"
#include "containers/riff.h"
#include "probex_formats.h"
#include "text.h"

namespace probex {
namespace {

using test::ByteWriter;
using test::Bytes;
using test::Outcome;

constexpr char kPcmLine[] = "A [PCM] 44.10kHz 44100 16bit 2ch 1411.20kbps 1411200.00";

Bytes PcmFormat() { return test::WaveFormatBytes(1, 2, 44100, 176400, 4, 16); }

// WAVE_FORMAT_EXTENSIBLE whose SubFormat GUID begins with subFormat.
Bytes Extensible(uint16_t subFormat) {
  return ByteWriter().Raw(test::WaveFormatBytes(0xFFFE, 2, 44100, 176400, 4, 16)).LE16(22).LE16(16).LE32(3)
      .LE16(subFormat).Raw({0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71});
}

Bytes Wave(const Bytes& chunks) { return test::Riff("WAVE", chunks); }

Bytes PcmWave(const Bytes& before, const Bytes& between, uint32_t dataSize = 17640) {
  return Wave(ByteWriter().Raw(before).Chunk("fmt ", PcmFormat()).Raw(between).Chunk("data", Bytes(dataSize, 0x11)));
}

std::string DtsLine() {
  test::UseContainerTemplates();
  Bytes frame = test::DtsFrame();
  DtsInfo dts{};
  EXPECT_TRUE(ParseDtsHeader(dts, frame.data(), frame.size()));
  char line[512] = {};
  DescribeDts(line, sizeof line, dts);
  return test::Utf8(line);
}

TEST(WaveFormat, ReadsTheFirst16BytesAndZerosBeyondThePayload) {
  Bytes bytes = test::WaveFormatBytes(0x55, 2, 44100, 16000, 1, 0);
  WaveFormat format{};
  ParseWaveFormat(bytes.data(), bytes.size(), format);
  EXPECT_EQ(format.formatTag, 0x55);
  EXPECT_EQ(format.channels, 2);
  EXPECT_EQ(format.samplesPerSec, 44100u);
  EXPECT_EQ(format.avgBytesPerSec, 16000u);
  EXPECT_EQ(format.blockAlign, 1);
  ParseWaveFormat(bytes.data(), 6, format);  // a cut payload
  EXPECT_EQ(format.channels, 2);
  EXPECT_EQ(format.samplesPerSec, 44100u & 0xFFFF);
  EXPECT_EQ(format.avgBytesPerSec, 0u);
  EXPECT_EQ(format.bitsPerSample, 0);
}

TEST(RiffAudio, RenderersFillEveryPlaceholder) {
  test::UseContainerTemplates();
  AudioStream info{};
  CopyText(info.codec, sizeof info.codec, "PCM");
  info.sampleRate = 44100;
  info.bitDepth = 16;
  info.channels = 2;
  info.bitRate = 1411200;
  char out[512];
  FormatRiffAudioText(out, sizeof out, info);
  EXPECT_STREQ(out, kPcmLine);
  FormatAiffText(out, sizeof out, info);
  EXPECT_STREQ(out, "AIFF 44.10kHz 44100 16bit 2ch 1411.20kbps 1411200.00");
  FormatPureVoiceText(out, sizeof out, info);
  EXPECT_STREQ(out, "QCP [PCM] 44.10kHz 44100 16bit 2ch 1411.20kbps 1411200.00");
  FormatRiffAudioText(out, 10, info);  // bounded by the caller's size
  EXPECT_STREQ(out, "A [PCM] 4");
}

TEST(ProbeAudioPayload, FindsTheStreamOfItsFormatTagOnly) {
  Bytes dts = ByteWriter().Zeros(100).Raw(test::DtsFrame());
  Bytes mpeg = ByteWriter().Zeros(3).Raw(test::MpegAudioFrame());
  std::string dtsLine = DtsLine(), mpegLine = test::MpegAudioLine();
  char out[512] = "untouched";
  EXPECT_FALSE(ProbeAudioPayload(dts.data(), dts.size(), 0x0055, out, sizeof out));
  EXPECT_FALSE(ProbeAudioPayload(mpeg.data(), mpeg.size(), 0x0011, out, sizeof out));
  EXPECT_FALSE(ProbeAudioPayload(dts.data(), 50, 0x0001, out, sizeof out));  // frame beyond the window
  EXPECT_STREQ(out, "untouched");
  for (uint32_t tag : {0x0001u, 0x0008u, 0x2001u}) {
    ASSERT_TRUE(ProbeAudioPayload(dts.data(), dts.size(), tag, out, sizeof out));
    EXPECT_EQ(test::Utf8(out), dtsLine);
  }
  for (uint32_t tag : {0x0050u, 0x0055u}) {
    ASSERT_TRUE(ProbeAudioPayload(mpeg.data(), mpeg.size(), tag, out, sizeof out));
    EXPECT_EQ(test::Utf8(out), mpegLine);
  }
}

TEST(Wave, WalkCases) {
  Bytes id3 = ByteWriter().Text("ID3").U8(3).U8(0).U8(0).Raw({0, 0, 0, 20}).Zeros(20);
  Bytes bext = ByteWriter().Chunk("bext", Bytes(30, 0));
  Bytes iidx = ByteWriter().Chunk("2DX9", Bytes(8, 0));
  Bytes info = ByteWriter().List("INFO", ByteWriter().Chunk("INAM", Bytes(6, 'a')));
  struct Case {
    const char* name;
    Bytes file;
    const char* formatName;
    std::vector<std::string> audio;
    std::vector<std::string> extra;
    double duration;
  } cases[] = {
      {"plain", PcmWave({}, {}), "RIFF(WAVE)", {kPcmLine}, {}, 0.1},
      {"behind ID3v2", ByteWriter().Raw(id3).Raw(PcmWave({}, {})), "RIFF(WAVE)", {kPcmLine}, {}, 0.1},
      {"pad byte after fmt", PcmWave({}, {0}), "RIFF(WAVE)", {kPcmLine}, {}, 0.1},
      {"junk and unknown chunks", PcmWave(ByteWriter().Chunk("JUNK", Bytes(7, 0)), ByteWriter().Chunk("zzzz", Bytes(5, 1))),
       "RIFF(WAVE)", {kPcmLine}, {}, 0.1},
      {"broadcast wave", PcmWave(bext, {}), "RIFF(WAVE-BWF)", {kPcmLine}, {}, 0.1},
      {"iidx", PcmWave(iidx, {}), "RIFF(WAVE-IIDX)", {kPcmLine}, {}, 0.1},
      {"bwf then iidx: the later decides", PcmWave(bext, iidx), "RIFF(WAVE-IIDX)", {kPcmLine}, {}, 0.1},
      {"iidx then bwf", PcmWave(iidx, bext), "RIFF(WAVE-BWF)", {kPcmLine}, {}, 0.1},
      {"info list", PcmWave({}, info), "RIFF(WAVE)", {kPcmLine}, {"INFOTAG"}, 0.1},
      {"data size beyond the file", Wave(ByteWriter().Chunk("fmt ", PcmFormat()).Text("data").LE32(1764000).Zeros(100)),
       "RIFF(WAVE)", {kPcmLine}, {}, 10.0},
      {"avgBytesPerSec 0", Wave(ByteWriter().Chunk("fmt ", test::WaveFormatBytes(1, 2, 44100, 0, 4, 16)).Chunk("data", Bytes(400, 0))),
       "RIFF(WAVE)", {"A [PCM] 44.10kHz 44100 16bit 2ch 0.00kbps 0.00"}, {}, 0.0},
      // 0x0011 IMA ADPCM: 22,050 samples in the fact chunk make one second
      // whatever the nominal rate says; PCM keeps the data size, and a fact
      // of 0 leaves the nominal rate.
      {"fact of compressed data", Wave(ByteWriter().Chunk("fmt ", test::WaveFormatBytes(0x11, 1, 22050, 16000, 512, 4))
                                           .Chunk("fact", ByteWriter().LE32(22050)).Chunk("data", Bytes(4000, 0))),
       "RIFF(WAVE)", {"A [IMA ADPCM] 22.05kHz 22050 4bit 1ch 128.00kbps 128000.00"}, {}, 1.0},
      {"fact of compressed data, 0", Wave(ByteWriter().Chunk("fmt ", test::WaveFormatBytes(0x11, 1, 22050, 16000, 512, 4))
                                              .Chunk("fact", ByteWriter().LE32(0)).Chunk("data", Bytes(4000, 0))),
       "RIFF(WAVE)", {"A [IMA ADPCM] 22.05kHz 22050 4bit 1ch 128.00kbps 128000.00"}, {}, 0.25},
      {"fact of PCM is ignored", PcmWave(ByteWriter().Chunk("fact", ByteWriter().LE32(1)), {}), "RIFF(WAVE)", {kPcmLine},
       {}, 0.1},
      {"no fmt chunk", Wave(ByteWriter().Chunk("data", Bytes(400, 0))), "RIFF(WAVE)",
       {"A [] 0.00kHz 0 0bit 0ch 0.00kbps 0.00"}, {}, 0.0},
      {"dts in pcm", Wave(ByteWriter().Chunk("fmt ", PcmFormat()).Chunk("data", ByteWriter().Zeros(64).Raw(test::DtsFrame()))),
       "RIFF(WAVE)", {DtsLine()}, {}, 1070.0 / 176400},
      {"mp3", Wave(ByteWriter().Chunk("fmt ", test::WaveFormatBytes(0x55, 2, 44100, 16000, 1, 0)).Chunk("data", test::MpegAudioFrame())),
       "RIFF(WAVE)", {test::MpegAudioLine()}, {}, 417.0 / 16000},
      {"extensible pcm carrying dts", Wave(ByteWriter().Chunk("fmt ", Extensible(1)).Chunk("data", test::DtsFrame())),
       "RIFF(WAVE)", {DtsLine()}, {}, 1006.0 / 176400},
      {"extensible float is not probed", Wave(ByteWriter().Chunk("fmt ", Extensible(3)).Chunk("data", test::DtsFrame())),
       "RIFF(WAVE)", {"A [Extensible] 44.10kHz 44100 16bit 2ch 1411.20kbps 1411200.00"}, {}, 1006.0 / 176400},
      {"data size FFFFFFFF runs to the end of the file",
       Wave(ByteWriter().Chunk("fmt ", PcmFormat()).Text("data").LE32(0xFFFFFFFF).Zeros(1764)), "RIFF(WAVE)", {kPcmLine}, {},
       0.01},
      {"mp3 tag without a frame", Wave(ByteWriter().Chunk("fmt ", test::WaveFormatBytes(0x55, 2, 44100, 16000, 1, 0)).Chunk("data", Bytes(800, 0))),
       "RIFF(WAVE)", {"A [MPEG Layer-3] 44.10kHz 44100 0bit 2ch 128.00kbps 128000.00"}, {}, 0.05},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Outcome o = test::AnalyzeBytes("w.wav", c.file);
    EXPECT_EQ(o.formatId, format::kWave);
    EXPECT_EQ(o.formatName, c.formatName);
    EXPECT_EQ(o.error, "");
    EXPECT_EQ(o.audio, c.audio);
    EXPECT_EQ(o.extra, c.extra);
    EXPECT_NEAR(o.duration, c.duration, 1e-9);
    EXPECT_TRUE(o.video.empty());
  }
}

// Sizes from the file never move the walk backwards or keep it in place, and
// a cut file still gets its line.
TEST(Wave, HostileSizesEndTheWalk) {
  Bytes huge = Wave(ByteWriter().Chunk("fmt ", PcmFormat()).Text("LIST").LE32(0xFFFFFFFF).Text("INFO").Chunk("data", Bytes(40, 0)));
  Outcome o = test::AnalyzeBytes("w.wav", huge);
  EXPECT_EQ(o.audio, std::vector<std::string>{kPcmLine});
  EXPECT_EQ(o.extra, std::vector<std::string>{"INFOTAG"});
  EXPECT_EQ(o.duration, 0.0);  // the data chunk lies inside the huge list

  Bytes full = PcmWave({}, {});
  for (size_t cut : {size_t{12}, size_t{20}, size_t{30}, size_t{44}, full.size() - 1}) {
    Bytes part(full.begin(), full.begin() + static_cast<long>(cut));
    Outcome cutShort = test::RunAnalyzer("w.wav", part, AnalyzeRiff);
    EXPECT_EQ(cutShort.audio.size(), 1u) << cut;
  }
}

TEST(Riff, OtherForms) {
  Bytes cdda = test::Riff("CDDA", ByteWriter().Chunk("fmt ", ByteWriter().LE16(1).LE16(3).LE32(0x1A2B3C4D).LE32(450000).LE32(7500).Zeros(8)));
  Bytes comm = ByteWriter().BE16(2).BE32(441000).BE16(16).Raw({0x40, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0});
  auto aiff = [](const char* form, const Bytes& chunks) {
    return ByteWriter().Text("FORM").BE32(static_cast<uint32_t>(chunks.size() + 4)).Text(form).Raw(chunks).Get();
  };
  auto aiffChunk = [](const char* id, const Bytes& payload, uint32_t size) {
    return ByteWriter().Text(id).BE32(size).Raw(payload).Get();
  };
  Bytes ssnd = ByteWriter().Text("SSND").BE32(1764008).Zeros(64);
  Bytes ima4 = ByteWriter().Raw(comm).Text("ima4").Raw({0, 0}).Get();
  Bytes ulaw = ByteWriter().Raw(comm).Text("ulaw").Raw({0, 0}).Get();
  Bytes none = ByteWriter().Raw(comm).Text("NONE").Raw({0, 0}).Get();
  Bytes qcpFormat = ByteWriter().U8(2).U8(0).Zeros(16).LE16(1).Text("Qcelp 13K").Zeros(71).LE16(14000).LE16(35).LE16(160)
                        .LE16(8000).LE16(16).Zeros(40);
  Bytes qlcm = test::Riff("QLCM", ByteWriter().Chunk("fmt ", qcpFormat).Chunk("vrat", Bytes(8, 0)).Chunk("data", Bytes(3500, 0)));
  Bytes rmp3 = test::Riff("RMP3", ByteWriter().Chunk("data", ByteWriter().Raw(test::MpegAudioFrame()).Raw(test::MpegAudioFrame()))
                                        .Chunk("IID3", Bytes(128, 0)));
  Bytes tagList = ByteWriter().Text("INFO").Zeros(20).Text("TAG").Zeros(125);
  Bytes rmp3Tagged = test::Riff("RMP3", ByteWriter().Chunk("data", test::MpegAudioFrame()).Text("LIST")
                                              .LE32(static_cast<uint32_t>(tagList.size())).Raw(tagList));
  Bytes midi = ByteWriter().Text("MThd").BE32(6).BE16(1).BE16(5).BE16(480).Text("MTrk").BE32(12).Raw({0, 0xFF, 3, 4})
                   .Text("Song").Zeros(4);
  const char* kRmp3Line = "MPEG1 LIII 44100 128.00kbps CBR";
  Bytes rmid = test::Riff("RMID", ByteWriter().Chunk("data", midi));
  struct Case {
    const char* name;
    Bytes file;
    int32_t formatId;
    const char* formatName;
    std::vector<std::string> audio;
    std::vector<std::string> extra;
    const char* error;
    double duration;
  } cases[] = {
      {"cd track", cdda, format::kCdda, "RIFF(CD)", {"Track03 1A2B3C4D 01:40:00"}, {}, "", 100.0},
      {"cd track without fmt", test::Riff("CDDA", ByteWriter().Chunk("data", Bytes(40, 0))), format::kCdda, "RIFF(CD)", {}, {},
       "[RIFF(CD)] fmtチャンクがありません", 0.0},
      {"aiff", aiff("AIFF", ByteWriter().Raw(aiffChunk("COMM", comm, 18)).Raw(ssnd)), format::kAiff, "",
       {"AIFF 44.10kHz 44100 16bit 2ch 1411.21kbps 1411206.40"}, {}, "", 10.0},
      {"aiff-c with an odd chunk and its pad", aiff("AIFC", ByteWriter().Raw(aiffChunk("COMT", {1, 2, 3, 0}, 3))
                                                               .Raw(aiffChunk("COMM", comm, 18)).Raw(ssnd)),
       format::kAiff, "", {"AIFF 44.10kHz 44100 16bit 2ch 1411.21kbps 1411206.40"}, {}, "", 10.0},
      // AIFF-C names its compression; ima4 counts packets of 64 samples.
      {"aiff-c ima4", aiff("AIFC", ByteWriter().Raw(aiffChunk("COMM", ima4, 24)).Raw(ssnd)), format::kAiff, "",
       {"AIFC ima4 44.10kHz 16bit 2ch 22.05kbps"}, {}, "", 640.0},
      {"aiff-c ulaw", aiff("AIFC", ByteWriter().Raw(aiffChunk("COMM", ulaw, 24)).Raw(ssnd)), format::kAiff, "",
       {"AIFC ulaw 44.10kHz 16bit 2ch 1411.21kbps"}, {}, "", 10.0},
      {"aiff-c NONE", aiff("AIFC", ByteWriter().Raw(aiffChunk("COMM", none, 24)).Raw(ssnd)), format::kAiff, "",
       {"AIFF 44.10kHz 44100 16bit 2ch 1411.21kbps 1411206.40"}, {}, "", 10.0},
      {"aiff rate 0", aiff("AIFF", ByteWriter().Raw(aiffChunk("COMM", ByteWriter().BE16(2).BE32(441000).BE16(16).Zeros(10), 18)).Raw(ssnd)),
       format::kAiff, "", {"AIFF 0.00kHz 0 16bit 2ch 0.00kbps 0.00"}, {}, "", 0.0},
      {"purevoice", qlcm, format::kQlcm, "", {"QCP [Qcelp 13K] 8.00kHz 8000 16bit 1ch 14.00kbps 14000.00"}, {}, "", 2.0},
      {"rmp3 with IID3", rmp3, format::kRmp3, "RIFF(RMP3)", {kRmp3Line}, {"ID3v1"}, "", 834 * 8.0 / 128000},
      // The MPEG audio analysis finds the ID3v1 block at the file's end and
      // leaves it out of the stream.
      {"rmp3 with a tag at the end of a list", rmp3Tagged, format::kRmp3, "RIFF(RMP3)", {test::MpegAudioLine()}, {"ID3v1 / INFOTAG"}, "",
       (417 - 128) * 8.0 / 128000},
      {"rmid", rmid, format::kRmid, "RIFF(MIDI)", {"MIDI 1 4 480 Song"}, {}, "", 0.0},
      {"rmid without MThd", test::Riff("RMID", ByteWriter().Chunk("data", Bytes(30, 0))), format::kRmid, "RIFF(MIDI)",
       {"MIDI 0 0 0"}, {}, "", 0.0},
      {"unknown form", test::Riff("ABCD", Bytes(40, 0)), format::kUnknown, "RIFF", {}, {}, "[RIFF] 非対応のフォーマット(ABCD)", 0.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // The analyzer looks at the file, not at the FormatId.
    Outcome o = c.formatId == format::kUnknown ? test::RunAnalyzer("r.bin", c.file, AnalyzeRiff)
                                               : test::AnalyzeBytes("r.bin", c.file);
    if (c.formatId != format::kUnknown) {
      EXPECT_EQ(o.formatId, c.formatId);
    }
    EXPECT_EQ(o.formatName, c.formatName);
    EXPECT_EQ(o.error, c.error);
    EXPECT_EQ(o.audio, c.audio);
    EXPECT_EQ(o.extra, c.extra);
    EXPECT_NEAR(o.duration, c.duration, 1e-9);
  }
}

TEST(Riff, NeitherRiffNorFormIsRefused) {
  Bytes file = ByteWriter().Text("XXXX").LE32(100).Text("AIFF").Zeros(60);
  Outcome o = test::AnalyzeBytes("a.aif", file);
  EXPECT_EQ(o.formatId, format::kAiff);
  EXPECT_EQ(o.formatName, "RIFF");
  EXPECT_EQ(o.error, "[RIFF] RIFF/AIFFフォーマットではありません");
  EXPECT_TRUE(o.audio.empty());
}

TEST(Riff, QlcmWithRateZeroHasNoDuration) {
  Bytes format = ByteWriter().Zeros(20).Text("x").Zeros(79).LE16(0).Zeros(8);
  Outcome o = test::AnalyzeBytes("q.qcp", test::Riff("QLCM", ByteWriter().Chunk("fmt ", format).Chunk("data", Bytes(100, 0))));
  EXPECT_EQ(o.audio, std::vector<std::string>{"QCP [x] 0.00kHz 0 0bit 1ch 0.00kbps 0.00"});
  EXPECT_EQ(o.duration, 0.0);
}

// Encoder-made files (tests/fixtures/containers/make.sh).
TEST(Riff, EncoderFiles) {
  struct Case {
    const char* file;
    int32_t formatId;
    const char* formatName;
    std::vector<std::string> audio;
    std::vector<std::string> extra;
    double duration;
  } cases[] = {
      {"wave_pcm16.wav", format::kWave, "RIFF(WAVE)", {"A [PCM] 22.05kHz 22050 16bit 2ch 705.60kbps 705600.00"}, {}, 0.5},
      {"wave_pcm24.wav", format::kWave, "RIFF(WAVE)", {"A [Extensible] 22.05kHz 22050 24bit 1ch 529.20kbps 529200.00"},
       {"INFOTAG"}, 1.0},
      {"wave_float.wav", format::kWave, "RIFF(WAVE)", {"A [Extensible] 8.00kHz 8000 32bit 1ch 256.00kbps 256000.00"},
       {"INFOTAG"}, 1.0},
      {"wave_ima_adpcm.wav", format::kWave, "RIFF(WAVE)", {"A [IMA ADPCM] 22.05kHz 22050 4bit 1ch 128.00kbps 128000.00"},
       {"INFOTAG"}, 1.0182},  // from the fact chunk: the nominal byte rate says 0.704 s
      {"wave_mp3.wav", format::kWave, "RIFF(WAVE)", {"MPEG1 LIII 44100 64.00kbps CBR2"}, {"INFOTAG"}, 2.0251},
      {"wave_ac3.wav", format::kWave, "RIFF(WAVE)", {"Dolby AC-3 44100 2.0ch 96.00kbps"}, {"INFOTAG"}, 1.01},
      {"wave_bwf.wav", format::kWave, "RIFF(WAVE-BWF)", {"A [PCM] 8.00kHz 8000 16bit 1ch 128.00kbps 128000.00"},
       {"INFOTAG"}, 1.0},
      {"wave_info.wav", format::kWave, "RIFF(WAVE)", {"A [PCM] 8.00kHz 8000 16bit 1ch 128.00kbps 128000.00"},
       {"INFOTAG"}, 1.0},
      {"aiff_pcm.aiff", format::kAiff, "", {"AIFF 11.03kHz 11025 16bit 2ch 352.86kbps 352864.00"}, {}, 1.0},
      {"aifc_pcm.aifc", format::kAiff, "", {"AIFF 22.05kHz 22050 16bit 1ch 352.86kbps 352864.00"}, {}, 1.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    Outcome o = test::AnalyzePath(test::FixturePath(std::string("containers/") + c.file));
    EXPECT_EQ(o.formatId, c.formatId);
    EXPECT_EQ(o.formatName, c.formatName);
    EXPECT_EQ(o.error, "");
    EXPECT_EQ(o.audio, c.audio);
    EXPECT_EQ(o.extra, c.extra);
    EXPECT_NEAR(o.duration, c.duration, 0.001);
  }
}

TEST(Riff, VideoCdDataFile) {
  Outcome o = test::AnalyzePath(test::FixturePath("containers/cdxa_vcd.dat"));
  EXPECT_EQ(o.formatId, format::kCdxa);
  EXPECT_EQ(o.formatName, "RIFF(VideoCD)");
  EXPECT_EQ(o.video, std::vector<std::string>{"MPEG1 160x120"});
  EXPECT_EQ(o.audio.size(), 1u);
  EXPECT_GT(o.duration, 0.4);
  // Unknown headers move the walk five bytes on; junk alone ends it quietly.
  Outcome junk = test::AnalyzeBytes("v.dat", test::Riff("CDXA", ByteWriter().Chunk("fmt ", Bytes(16, 0)).Raw(Bytes(3001, 0x5A))));
  EXPECT_EQ(junk.formatName, "RIFF(VideoCD)");
  EXPECT_EQ(junk.error, "");
  EXPECT_TRUE(junk.video.empty() && junk.audio.empty());
}

// Damaged real files from other projects' test suites: analysed, never hung.
TEST(Riff, PublicMediaFiles) {
  const char* files[] = {"taglib/segfault.wav", "taglib/zero-size-chunk.wav", "taglib/infloop.wav",
                         "taglib/invalid-chunk.wav", "taglib/excessive_alloc.aif", "taglib/segfault.aif",
                         "taglib/noise_odd.aif", "music-metadata/aiff/CWE-835-01.aiff",
                         "music-metadata/wav/ffmpeg-missing-chunksize.wav", "taglib/alaw.aifc"};
  bool any = false;
  for (const char* name : files) {
    std::string path = test::PublicMedia(name);
    if (path.empty()) continue;
    any = true;
    Outcome o = test::AnalyzePath(path);
    EXPECT_LE(o.audio.size(), 2u) << name;
  }
  if (!any) GTEST_SKIP() << "public media absent";
}

}  // namespace
}  // namespace probex
