#include <gtest/gtest.h>

#include <string>

#include "container_test.h"
#include "video/mpeg4_visual.h"
#include "video/video_line.h"
#include "containers/avi.h"
#include "probex_formats.h"
#include "text.h"

namespace probex {
namespace {

using test::ByteWriter;
using test::Bytes;
using test::Outcome;

Bytes Avih(uint32_t microsecondsPerFrame) { return ByteWriter().Chunk("avih", ByteWriter().LE32(microsecondsPerFrame).Zeros(52)); }

Bytes Strh(const char* type, const char* handler, uint32_t scale, uint32_t rate, uint32_t length) {
  return ByteWriter().Chunk("strh", ByteWriter().Text(type).Text(handler).Zeros(12).LE32(scale).LE32(rate).LE32(0)
                                        .LE32(length).Zeros(20));
}

Bytes VideoStrl(const char* fourCC, uint32_t scale, uint32_t rate, uint32_t length, int32_t width = 320,
                int32_t height = 240) {
  Bytes bitmap = ByteWriter().LE32(40).LE32(static_cast<uint32_t>(width)).LE32(static_cast<uint32_t>(height)).LE16(1)
                     .LE16(24).Text(fourCC).Zeros(20);
  return ByteWriter().List("strl", ByteWriter().Raw(Strh("vids", fourCC, scale, rate, length)).Chunk("strf", bitmap));
}

Bytes AudioStrl(const Bytes& waveFormat) {
  return ByteWriter().List("strl", ByteWriter().Raw(Strh("auds", "none", 1, 1, 0)).Chunk("strf", waveFormat));
}

Bytes Mp3Format() { return test::WaveFormatBytes(0x55, 2, 44100, 16000, 1, 0); }

// 25 frames of 1,000 bytes at 25 frames/s: one second of video.
Bytes Frames(int count = 25, const Bytes& first = {}) {
  ByteWriter w;
  for (int i = 0; i < count; ++i) {
    Bytes frame = i == 0 && !first.empty() ? first : Bytes(1000, 0x20);
    w.Chunk("00dc", frame);
  }
  return w;
}

Bytes Avi(const Bytes& hdrlContent, const Bytes& moviContent, const Bytes& after = {}) {
  return test::Riff("AVI ", ByteWriter().List("hdrl", hdrlContent).List("movi", moviContent).Raw(after));
}

std::string VideoLine(const char* size, const char* codec, const char* rate, int frames, double bitRate) {
  char line[512];
  FormatText(line, sizeof line, "V %s 24bit [%s] %sfps %df %.2fkbps %.2f", size, codec, rate, frames, bitRate * 0.001,
             bitRate);
  return line;
}

TEST(Avi, Avi10BitRateIsTheMoviListLessTheAudio) {
  Bytes movi = ByteWriter().Raw(Frames()).Chunk("01wb", test::MpegAudioFrame());
  Bytes file = Avi(ByteWriter().Raw(Avih(40000)).Raw(VideoStrl("XXXX", 1, 25, 25)).Raw(AudioStrl(Mp3Format())), movi,
                   ByteWriter().Chunk("idx1", Bytes(16, 0)));
  Outcome o = test::AnalyzeBytes("a.avi", file);
  EXPECT_EQ(o.formatId, format::kAvi);
  EXPECT_EQ(o.formatName, "RIFF(AVI1.0)");
  EXPECT_EQ(o.error, "");
  EXPECT_DOUBLE_EQ(o.duration, 1.0);
  double moviSize = movi.size() + 4;
  ASSERT_EQ(o.video.size(), 1u);
  EXPECT_EQ(o.video[0], VideoLine("320x240", "不明XXXX", "25.00", 25, moviSize * 8 - 128000));
  EXPECT_EQ(o.audio, std::vector<std::string>{test::MpegAudioLine()});
}

TEST(Avi, OpenDmlCountsEveryMoviList) {
  Bytes movi0 = Frames(10), movi1 = Frames(8), movi2 = Frames(7);
  Bytes hdrl = ByteWriter().Raw(Avih(40000)).Raw(VideoStrl("XXXX", 1, 25, 25)).List("odml", ByteWriter().Chunk("dmlh", Bytes(248, 0)));
  Bytes file = ByteWriter().Raw(Avi(hdrl, movi0, ByteWriter().Chunk("idx1", Bytes(32, 0))))
                   .Raw(test::Riff("AVIX", ByteWriter().List("movi", movi1)))
                   .Raw(test::Riff("AVIX", ByteWriter().List("movi", movi2)));
  Outcome o = test::AnalyzeBytes("a.avi", file);
  EXPECT_EQ(o.formatName, "RIFF(AVI2.0)");
  double total = movi0.size() + movi1.size() + movi2.size() + 12;
  ASSERT_EQ(o.video.size(), 1u);
  EXPECT_EQ(o.video[0], VideoLine("320x240", "不明XXXX", "25.00", 25, total * 8));
}

// A RIFF chunk's length is taken in 64 bits and the chain only moves forward:
// sizes of 0, 0xFFFFFFFF and more chunks than the table holds end it.
TEST(Avi, RiffChainEndsOnHostileChunks) {
  Bytes hdrl = ByteWriter().Raw(Avih(40000)).Raw(VideoStrl("XXXX", 1, 25, 25)).List("odml", {});
  Bytes first = Avi(hdrl, Frames(2));
  Bytes zero = ByteWriter().Text("RIFF").LE32(0).Text("AVIX").List("movi", Frames(1));
  Bytes huge = ByteWriter().Text("RIFF").LE32(0xFFFFFFFF).Text("AVIX").List("movi", Frames(1));
  ByteWriter many;
  many.Raw(first);
  for (int i = 0; i < 300; ++i) many.Raw(test::Riff("AVIX", ByteWriter().List("movi", ByteWriter().Chunk("00dc", {1, 2}))));
  for (const Bytes& file : {ByteWriter().Raw(first).Raw(zero).Raw(Frames(3)).Get(),
                            ByteWriter().Raw(first).Raw(huge).Raw(Frames(3)).Get(), many.Get()}) {
    Outcome o = test::AnalyzeBytes("a.avi", file);
    EXPECT_EQ(o.formatName, "RIFF(AVI2.0)");
    EXPECT_EQ(o.video.size(), 1u);
    EXPECT_DOUBLE_EQ(o.duration, 1.0);
  }
}

TEST(Avi, EncoderNamesFromTheFirstFrames) {
  auto file = [](const char* fourCC, int emptyFrames, const std::string& userData) {
    ByteWriter movi;
    for (int i = 0; i < emptyFrames; ++i) movi.Chunk("00dc", Bytes(64, 0));
    movi.Chunk("00dc", ByteWriter().Raw({0, 0, 1, 0xB2}).Text(userData).Zeros(40));
    return Avi(ByteWriter().Raw(Avih(40000)).Raw(VideoStrl(fourCC, 1, 25, 25)), movi);
  };
  struct Case {
    const char* name;
    Bytes file;
    const char* codec;
  } cases[] = {
      {"divx known", file("DX50", 1, "DivX503b1393p"), "DivX 5.0.3 Pro"},
      {"divx unknown", file("DX50", 0, "DivX999b000p"), "Divx 5.x(DivX999b000/DivX999b000p/DivX999b000p)"},
      {"divx in the fourth frame: only three are read", file("DX50", 3, "DivX503b1393p"), "DivX 5.0"},
      {"divx tag holding xvid data", file("DX50", 0, "DivXXviD0050"), "XviD 1.1.0"},
      {"xvid known", file("XVID", 2, "XviD0050"), "XviD 1.1.0"},
      {"xvid unknown", file("XVID", 0, "XviD0069"), "XviD MPEG4(XviD0069)"},
      {"no user data", file("XVID", 0, "Lavc58"), "XviD MPEG-4"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Outcome o = test::AnalyzeBytes("a.avi", c.file);
    ASSERT_EQ(o.video.size(), 1u);
    std::string codec = o.video[0].substr(o.video[0].find('[') + 1);
    EXPECT_EQ(codec.substr(0, codec.find(']')), c.codec);
  }
}

TEST(Avi, EncoderNameSearchBounds) {
  test::UseContainerTemplates();
  char codec[64] = "kept";
  Bytes divx = ByteWriter().Zeros(4).Text("DivX503b1393p").Zeros(3);  // match at length - 16
  EXPECT_TRUE(FindDivxCodecName(codec, sizeof codec, divx.data(), divx.size()));
  EXPECT_STREQ(codec, "DivX 5.0.3 Pro");
  CopyText(codec, sizeof codec, "kept");
  EXPECT_FALSE(FindDivxCodecName(codec, sizeof codec, divx.data() + 1, divx.size() - 2));  // match at length - 15
  EXPECT_FALSE(FindDivxCodecName(codec, sizeof codec, divx.data() + 4, 14));
  Bytes xvid = ByteWriter().Zeros(2).Text("XviD0050").Zeros(1);  // match at length - 9
  EXPECT_TRUE(FindXvidCodecName(codec, sizeof codec, xvid.data(), xvid.size()));
  EXPECT_STREQ(codec, "XviD 1.1.0");
  CopyText(codec, sizeof codec, "kept");
  EXPECT_FALSE(FindXvidCodecName(codec, sizeof codec, xvid.data(), xvid.size() - 1));
  EXPECT_FALSE(FindXvidCodecName(codec, sizeof codec, nullptr, 0));
  EXPECT_STREQ(codec, "kept");
}

TEST(Avi, AudioProbe) {
  Bytes mp3Chunk = test::MpegAudioFrame();
  std::string riffLine = "A [MPEG Layer-3] 44.10kHz 44100 0bit 2ch 128.00kbps 128000.00";
  auto file = [&](const Bytes& movi) {
    return Avi(ByteWriter().Raw(Avih(40000)).Raw(VideoStrl("XXXX", 1, 25, 25)).Raw(AudioStrl(Mp3Format()))
                   .Raw(AudioStrl(test::WaveFormatBytes(0x11, 1, 22050, 11100, 512, 4))),
               movi);
  };
  struct Case {
    const char* name;
    Bytes movi;
    std::string first;
  } cases[] = {
      {"01wb probed", ByteWriter().Raw(Frames(2)).Chunk("01wb", mp3Chunk), test::MpegAudioLine()},
      {"00wb never probed", ByteWriter().Raw(Frames(2)).Chunk("00wb", mp3Chunk), riffLine},
      {"01wb beyond the first 1,024,000 bytes", ByteWriter().Chunk("JUNK", Bytes(1030000, 0)).Chunk("01wb", mp3Chunk),
       riffLine},
      {"01wb without a frame", ByteWriter().Chunk("01wb", Bytes(500, 0)), riffLine},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Outcome o = test::AnalyzeBytes("a.avi", file(c.movi));
    ASSERT_EQ(o.audio.size(), 2u);
    EXPECT_EQ(o.audio[0], c.first);
    EXPECT_EQ(o.audio[1], "A [IMA ADPCM] 22.05kHz 22050 4bit 1ch 88.80kbps 88800.00");
  }
}

TEST(Avi, StreamKindsAndHeaders) {
  Bytes info = ByteWriter().List("INFO", ByteWriter().Chunk("ISFT", Bytes(6, 'x')));
  Bytes dv = ByteWriter().List("strl", ByteWriter().Raw(Strh("iavs", "dvsd", 1, 25, 50)).Chunk("strf", Bytes(32, 0)));
  Bytes mids = ByteWriter().List("strl", Strh("mids", "none", 1, 1, 0));
  Bytes subs = ByteWriter().List("strl", ByteWriter().Raw(Strh("subs", "none", 1, 1, 0)).Chunk("strf", Bytes(12, 0)));
  struct Case {
    const char* name;
    Bytes file;
    const char* formatName;
    std::vector<std::string> video;
    std::vector<std::string> extra;
    const char* error;
    double duration;
  } cases[] = {
      {"dv type 1", Avi(ByteWriter().Raw(Avih(40000)).Raw(dv), Frames(1)), "RIFF(DV Type1)",
       {"V 720x480 0bit [DV] 25.00fps 50f 4.05kbps 4048.00"}, {}, "", 2.0},
      {"dv type 1 with an odml list", Avi(ByteWriter().Raw(Avih(40000)).Raw(dv).List("odml", {}), Frames(1)), "RIFF(AVI2.0)",
       {"V 720x480 0bit [DV] 25.00fps 50f 4.05kbps 4048.00"}, {}, "", 2.0},
      {"midi stream ends the analysis", Avi(ByteWriter().Raw(info).Raw(Avih(40000)).Raw(mids), Frames(1)), "RIFF(AVI1.0)", {},
       {}, "[RIFF-AVI] strhの中に未確認のfccType(mids : 56bytes)", 0.0},
      {"subtitle stream passed over", Avi(ByteWriter().Raw(Avih(40000)).Raw(subs).Raw(VideoStrl("XXXX", 1, 25, 25)), Frames(1)),
       "RIFF(AVI1.0)", {VideoLine("320x240", "不明XXXX", "25.00", 25, 1012 * 8)}, {}, "", 1.0},
      {"info list", Avi(ByteWriter().Raw(Avih(40000)).Raw(VideoStrl("XXXX", 1, 25, 25)), Frames(1), info), "RIFF(AVI1.0)",
       {VideoLine("320x240", "不明XXXX", "25.00", 25, 1012 * 8)}, {}, "", 1.0},
      {"info list before movi", Avi(ByteWriter().Raw(info).Raw(Avih(33367)).Raw(VideoStrl("XXXX", 1001, 30000, 30)), Frames(1)),
       "RIFF(AVI1.0)", {VideoLine("320x240", "不明XXXX", "29.97", 30, 1012 * 8 / 1.001)}, {"INFOTAG"}, "", 1.001},
      {"scale 0", Avi(ByteWriter().Raw(Avih(0)).Raw(VideoStrl("XXXX", 0, 25, 25)), Frames(1)), "RIFF(AVI1.0)",
       {"V 320x240 24bit [不明XXXX] 25f"}, {}, "", 0.0},
      {"no video stream", Avi(ByteWriter().Raw(Avih(40000)), Frames(1)), "RIFF(AVI1.0)",
       {"V 0x0 0bit [] 25.00fps 0f"}, {}, "", 0.0},
      {"google video", Avi(ByteWriter().Raw(Avih(40000)).Raw(VideoStrl("XXXX", 1, 25, 25)).List("goog", {}), Frames(1)),
       "RIFF(GoogleVideo)", {VideoLine("320x240", "不明XXXX", "25.00", 25, 1012 * 8)}, {}, "", 1.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Outcome o = test::AnalyzeBytes("a.avi", c.file);
    EXPECT_EQ(o.formatName, c.formatName);
    EXPECT_EQ(o.error, c.error);
    EXPECT_EQ(o.video, c.video);
    EXPECT_EQ(o.extra, c.extra);
    EXPECT_NEAR(o.duration, c.duration, 1e-9);
  }
}

TEST(Avi, AudioStreamsBeyondTheTable) {
  ByteWriter hdrl;
  hdrl.Raw(Avih(40000)).Raw(VideoStrl("XXXX", 1, 25, 25));
  for (int i = 0; i < 9; ++i) hdrl.Raw(AudioStrl(test::WaveFormatBytes(0x11, 1, 22050, 11100, 512, 4)));
  ByteWriter movi;
  for (int i = 1; i <= 9; ++i) movi.Chunk("0" + std::to_string(i) + "wb", Bytes(100, 0));
  Outcome o = test::AnalyzeBytes("a.avi", Avi(hdrl, movi));
  EXPECT_EQ(o.audio.size(), 9u);
  EXPECT_EQ(o.video.size(), 1u);
}

TEST(Avi, TruncatedFilesKeepWhatWasRead) {
  Bytes full = Avi(ByteWriter().Raw(Avih(40000)).Raw(VideoStrl("XXXX", 1, 25, 25)).Raw(AudioStrl(Mp3Format())),
                   ByteWriter().Raw(Frames(3)).Chunk("01wb", test::MpegAudioFrame()));
  for (size_t cut = 40; cut < full.size(); cut += 97) {
    Outcome o = test::AnalyzeBytes("a.avi", Bytes(full.begin(), full.begin() + static_cast<long>(cut)));
    EXPECT_LE(o.video.size(), 1u) << cut;
    EXPECT_LE(o.audio.size(), 1u) << cut;
  }
}

TEST(Avi, EncoderFiles) {
  struct Case {
    const char* file;
    std::string video;
    std::vector<std::string> audio;
    double duration;
  } cases[] = {
      {"avi_mpeg4_mp3_info.avi", "V 160x120 24bit [FFmpeg MPEG-4] 25.00fps 51f", {"MPEG1 LIII 44100 64.00kbps CBR2"}, 2.04},
      {"avi_xvid.avi", "V 160x120 24bit [XviD MPEG4(XviD0069)] 25.00fps 25f", {}, 1.0},
      {"avi_mjpeg_pcm_info.avi", "V 96x64 24bit [Motion JPEG] 10.00fps 10f",
       {"A [PCM] 8.00kHz 8000 16bit 1ch 128.00kbps 128000.00"}, 1.0},
      {"avi_h264_ac3.avi", "V 128x96 24bit [H.264] 25.00fps 25f", {"Dolby AC-3 48000 1.0ch 96.00kbps"}, 1.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    Outcome o = test::AnalyzePath(test::FixturePath(std::string("containers/") + c.file));
    EXPECT_EQ(o.formatId, format::kAvi);
    EXPECT_EQ(o.formatName, "RIFF(AVI1.0)");
    ASSERT_EQ(o.video.size(), 1u);
    EXPECT_EQ(o.video[0].substr(0, c.video.size()), c.video);
    EXPECT_EQ(o.audio, c.audio);
    EXPECT_EQ(o.extra, std::vector<std::string>{"INFOTAG"});
    EXPECT_NEAR(o.duration, c.duration, 0.001);
  }
}

// HEVC in AVI: the parameter sets of the first frame (ffprobe: Main, level
// 60, 320x240 yuv420p, 25 fps).
TEST(Avi, HevcFromItsFirstFrame) {
  test::UseShippedTemplates();
  MediaInfo info = test::AnalyzeFile(test::FixturePath("containers/avi_hevc.avi"));
  ASSERT_EQ(info.videoCount, 1);
  EXPECT_STREQ(info.videoText[0], "HEVC Main@L2@Main 320x240 25.00fps 146.20kbps 8bit 4:2:0");
}

}  // namespace
}  // namespace probex
