// Standard MIDI files, Sun/NeXT audio, TwinVQ and S98.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "dispatch.h"
#include "audio/midi.h"
#include "audio/s98.h"
#include "audio/twinvq.h"
#include "audio_file_support.h"
#include "file_reader.h"
#include "fixture.h"
#include "probex_formats.h"

namespace probex::test {
namespace {

class OtherAudioTest : public ::testing::Test {
 protected:
  void SetUp() override { UseAudioTestTemplates(); }

  static MediaInfo Analyze(const Bytes& content, const char* name) {
    TempFile file(name, content);
    return AnalyzeFile(file.Path());
  }
};

Bytes MidiHeader(uint16_t format, uint16_t tracks, uint16_t division) {
  Bytes b;
  PutText(b, "MThd");
  PutU32BE(b, 6);
  PutU16BE(b, format);
  PutU16BE(b, tracks);
  PutU16BE(b, division);
  return b;
}

// A track whose first event names it; name empty: no name event.
Bytes MidiTrack(const std::string& name, size_t nameLength, size_t filler = 0) {
  Bytes body(filler, 0);
  if (!name.empty()) {
    body.push_back(0xFF);
    body.push_back(0x03);
    body.push_back(static_cast<uint8_t>(nameLength));
    PutText(body, name);
  }
  for (uint8_t e : {0x00, 0x90, 0x3C, 0x40, 0x60, 0x80, 0x3C, 0x40, 0x00, 0xFF, 0x2F, 0x00}) body.push_back(e);
  Bytes b;
  PutText(b, "MTrk");
  PutU32BE(b, static_cast<uint32_t>(body.size()));
  Append(b, body);
  return b;
}

Bytes Midi(uint16_t format, uint16_t tracks, uint16_t division, const Bytes& track) {
  Bytes b = MidiHeader(format, tracks, division);
  Append(b, track);
  while (b.size() < 40) b.push_back(0);  // detection passes over shorter files
  return b;
}

TEST_F(OtherAudioTest, MidiLines) {
  std::string longName(120, 'A');
  struct Case {
    const char* name;
    Bytes file;
    std::string line;
  } cases[] = {
      {"format 1, five tracks, no name", Midi(1, 5, 480, MidiTrack("", 0)), "MIDI 1 4 480"},
      {"format 0 with a name", Midi(0, 1, 96, MidiTrack("Song   ", 7)), "MIDI 0 0 96 \"Song\""},
      {"no tracks", Midi(1, 0, 480, MidiTrack("", 0)), "MIDI 1 0 480"},
      {"more than 255 tracks", Midi(1, 300, 480, MidiTrack("", 0)), "MIDI 1 299 480"},
      // The name runs past the 256 bytes read: what was read is kept.
      {"name longer than the bytes read", Midi(1, 2, 480, MidiTrack(longName, longName.size(), 178)),
       "MIDI 1 1 480 \"" + std::string(256 - 203, 'A') + "\""},
      {"name longer than the file", Midi(1, 2, 480, MidiTrack("Short", 200)), "MIDI 1 1 480 \"Short"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MediaInfo info = Analyze(c.file, "test.mid");
    EXPECT_EQ(info.formatId, format::kMidi);
    EXPECT_STREQ(info.errorText, "");
    ASSERT_EQ(info.audioCount, 1);
    std::string line = info.audioText[0];
    EXPECT_EQ(line.substr(0, c.line.size()), c.line);
  }
}

Bytes Vlq(uint32_t n) {
  Bytes b = {static_cast<uint8_t>(n & 0x7F)};
  while (n >>= 7) b.insert(b.begin(), static_cast<uint8_t>(0x80 | (n & 0x7F)));
  return b;
}

template <typename... More>
Bytes Concat(Bytes first, const More&... more) {
  (Append(first, more), ...);
  return first;
}

Bytes Track(const Bytes& events) {
  Bytes b;
  PutText(b, "MTrk");
  PutU32BE(b, static_cast<uint32_t>(events.size() + 4));
  Append(b, events);
  Append(b, {0x00, 0xFF, 0x2F, 0x00});
  return b;
}

Bytes Tempo(uint32_t delta, uint32_t microseconds) {
  Bytes b = Vlq(delta);
  Append(b, {0xFF, 0x51, 0x03, static_cast<uint8_t>(microseconds >> 16), static_cast<uint8_t>(microseconds >> 8),
             static_cast<uint8_t>(microseconds)});
  return b;
}

// A note on, then its end delta ticks later in running status (velocity 0).
Bytes Note(uint32_t delta) {
  Bytes b = {0x00, 0x90, 0x3C, 0x40};
  Append(b, Vlq(delta));
  Append(b, {0x3C, 0x00});
  return b;
}

Bytes Smf(uint16_t format, uint16_t division, const std::vector<Bytes>& tracks) {
  Bytes b = MidiHeader(format, static_cast<uint16_t>(tracks.size()), division);
  for (const Bytes& t : tracks) Append(b, t);
  while (b.size() < 40) b.push_back(0);
  return b;
}

// The playing time: every track's events merged and timed by the tempo map.
TEST_F(OtherAudioTest, MidiPlayingTime) {
  Bytes sysex = {0x00, 0xF0};
  Append(sysex, Vlq(300));
  sysex.resize(sysex.size() + 300, 0x7E);  // no byte of it is read as an event
  Bytes longMeta = {0x00, 0xFF, 0x01};
  Append(longMeta, Vlq(200));
  longMeta.resize(longMeta.size() + 200, 0x90);
  Bytes overlong = Smf(0, 480, {Track(Note(960))});
  overlong[14 + 6] = 0x7F;  // the track's length runs far past the file
  struct Case {
    const char* name;
    Bytes file;
    double seconds;
  } cases[] = {
      {"120 bpm until told otherwise", Smf(0, 480, {Track(Note(960))}), 1.0},
      // Conductor: 120 bpm, then 240 bpm from tick 960; the notes end at 1920.
      {"tempo change in another track", Smf(1, 480, {Track(Concat(Tempo(0, 500000), Tempo(960, 250000))), Track(Note(1920))}),
       1.5},
      {"the longest track ends the piece", Smf(1, 96, {Track(Note(96)), Track(Note(480)), Track(Note(192))}), 2.5},
      {"format 2: sequences one after another", Smf(2, 480, {Track(Note(480)), Track(Note(480))}), 1.0},
      {"SysEx and meta events skipped by length", Smf(0, 480, {Track(Concat(sysex, longMeta, Note(480)))}), 0.5},
      // 25 frames a second of 40 ticks each.
      {"SMPTE division", Smf(0, 0xE728, {Track(Note(2000))}), 2.0},
      {"29.97 drop frame", Smf(0, 0xE302, {Track(Note(60))}), 1.001},
      {"track length past the end", overlong, 1.0},
      {"stray bytes after the track", Smf(0, 480, {Concat(Track(Note(480)), Bytes{0x00, 0x90})}), 0.5},
      {"no tracks", Smf(0, 480, {}), 0.0},
      {"division 0", Smf(0, 0, {Track(Note(960))}), 0.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MediaInfo info = Analyze(c.file, "test.mid");
    EXPECT_EQ(info.formatId, format::kMidi);
    EXPECT_NEAR(info.duration, c.seconds, 0.0005);
  }
}

// The header is looked for in the first 256 bytes, where its fields still fit.
TEST_F(OtherAudioTest, MidiHeaderMustFitInTheBytesRead) {
  struct Case {
    size_t offset;
    const char* marker;
    std::string expect;  // line or error
  } cases[] = {
      {0, "mthd", "MIDI 1 2 480"},
      {100, "MThd", "MIDI 1 2 480"},
      {242, "MThd", "MIDI 1 2 480"},
      {243, "MThd", "[MIDI] MThdが見つかりません"},
      {0, "MTrk", "[MIDI] MThdが見つかりません"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.offset);
    Bytes file(c.offset, 0x20);
    Bytes header = MidiHeader(1, 3, 480);
    std::copy(c.marker, c.marker + 4, header.begin());
    Append(file, header);
    PutZeros(file, 300);
    TempFile temp("test.mid", file);
    MediaInfo info = MakeRecord(temp.Path());
    info.formatId = format::kMidi;
    Dispatch(info);
    EXPECT_EQ(info.audioCount ? std::string(info.audioText[0]) : Text(info.errorText), c.expect);
  }
}

TEST_F(OtherAudioTest, MidiFromPython) {
  struct Case {
    const char* file;
    const char* line;
  } cases[] = {
      {"audio/midi_format0_named.mid", "MIDI 0 0 480 \"Vortaq Tune\""},
      {"audio/midi_format1_named.mid", "MIDI 1 4 96 \"Conductor\""},
      {"audio/midi_format1_unnamed.mid", "MIDI 1 2 480"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    MediaInfo info = AnalyzeFile(FixturePath(c.file));
    EXPECT_EQ(info.formatId, format::kMidi);
    EXPECT_STREQ(info.audioText[0], c.line);
  }
}

Bytes Au(uint32_t offset, uint32_t dataSize, uint32_t encoding, uint32_t rate, uint32_t channels, size_t payload) {
  Bytes b;
  PutText(b, ".snd");
  PutU32BE(b, offset);
  PutU32BE(b, dataSize);
  PutU32BE(b, encoding);
  PutU32BE(b, rate);
  PutU32BE(b, channels);
  PutZeros(b, offset > 24 ? offset - 24 : 0);
  PutZeros(b, payload);
  return b;
}

TEST_F(OtherAudioTest, SunAudioLines) {
  Bytes offsetPastEnd = Au(32, 0xFFFFFFFF, 1, 8000, 1, 100);
  offsetPastEnd[6] = 0x10;  // data offset 4128 in a file of 132 bytes
  struct Case {
    const char* name;
    Bytes file;
    std::string line;
    double duration;
  } cases[] = {
      {"mu-law 8 kHz mono", Au(32, 80000, 1, 8000, 1, 100), "AU mu-law 8.00kHz 8000 8bit 1ch 64.00kbps 64000.00", 10.0},
      {"96 kHz needs all 32 bits of the rate", Au(32, 384000, 3, 96000, 2, 100),
       "AU PCM16 96.00kHz 96000 16bit 2ch 3072.00kbps 3072000.00", 1.0},
      {"unknown data size: the rest of the file", Au(32, 0xFFFFFFFF, 1, 8000, 1, 1000),
       "AU mu-law 8.00kHz 8000 8bit 1ch 64.00kbps 64000.00", 0.125},
      {"unknown data size, offset past the end", offsetPastEnd,
       "AU mu-law 8.00kHz 8000 8bit 1ch 0.00kbps 0.00", 0.0},
      {"4-bit G.721", Au(32, 4000, 23, 8000, 1, 100), "AU 不明17 8.00kHz 8000 4bit 1ch 32.00kbps 32000.00", 1.0},
      {"sample rate 0", Au(32, 80000, 1, 0, 1, 100), "AU mu-law 0.00kHz 0 8bit 1ch 0.00kbps 0.00", 0.0},
      {"no channels", Au(32, 80000, 1, 8000, 0, 100), "AU mu-law 8.00kHz 8000 8bit 0ch 0.00kbps 0.00", 0.0},
      {"no data", Au(32, 0, 1, 8000, 1, 100), "AU mu-law 8.00kHz 8000 8bit 1ch 0.00kbps 0.00", 0.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MediaInfo info = Analyze(c.file, "test.au");
    EXPECT_EQ(info.formatId, format::kSunAudio);
    ASSERT_EQ(info.audioCount, 1);
    EXPECT_EQ(Text(info.audioText[0]), c.line);
    EXPECT_NEAR(info.duration, c.duration, 1e-9);
  }
}

TEST_F(OtherAudioTest, SunAudioBitsPerSampleByEncoding) {
  const std::pair<uint32_t, int> cases[] = {{1, 8},   {2, 8},   {3, 16},  {4, 24},  {5, 32},  {6, 32},  {7, 64},
                                            {11, 8},  {12, 16}, {13, 24}, {14, 32}, {18, 16}, {19, 16}, {20, 16},
                                            {23, 4},  {25, 3},  {26, 5},  {27, 8},  {99, 8}};
  for (auto [encoding, bits] : cases) {
    SCOPED_TRACE(encoding);
    MediaInfo info = Analyze(Au(32, 1000, encoding, 8000, 1, 100), "test.au");
    EXPECT_NE(std::string(info.audioText[0]).find(" " + std::to_string(bits) + "bit "), std::string::npos)
        << info.audioText[0];
  }
}

TEST_F(OtherAudioTest, SunAudioFromSox) {
  struct Case {
    const char* file;
    const char* line;
    double duration;
  } cases[] = {
      {"audio/au_ulaw_8k.au", "AU mu-law 8.00kHz 8000 8bit 1ch 64.00kbps 64000.00", 1.0},
      {"audio/au_pcm16_stereo.au", "AU PCM16 22.05kHz 22050 16bit 2ch 705.60kbps 705600.00", 0.1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    MediaInfo info = AnalyzeFile(FixturePath(c.file));
    EXPECT_EQ(info.formatId, format::kSunAudio);
    EXPECT_STREQ(info.audioText[0], c.line);
    EXPECT_NEAR(info.duration, c.duration, 1e-9);
  }
}

Bytes VqChunk(const char* id, const Bytes& body, uint32_t size) {
  Bytes b;
  PutText(b, id);
  PutU32BE(b, size);
  Append(b, body);
  return b;
}

Bytes Vq(uint32_t channelsLess1, uint32_t kbps, uint32_t code, const char* codec = "97012000",
         const Bytes& before = Bytes()) {
  Bytes comm;
  PutU32BE(comm, channelsLess1);
  PutU32BE(comm, kbps);
  PutU32BE(comm, code);
  PutU32BE(comm, 0);
  Bytes b;
  PutText(b, "TWIN");
  PutText(b, codec);
  PutU32BE(b, 100);
  Append(b, before);
  Append(b, VqChunk("COMM", comm, 16));
  Append(b, VqChunk("DSIZ", Bytes(4), 4));
  Append(b, VqChunk("DATA", Bytes(1000 - b.size() - 8), 0));
  return b;  // 1000 bytes
}

TEST_F(OtherAudioTest, TwinVqLines) {
  struct Case {
    const char* name;
    Bytes file;
    std::string line;
    double duration;
  } cases[] = {
      {"stereo 44.1 kHz", Vq(1, 80, 44), "VQ TwinVQ 44.10kHz 44100 2ch 80.00kbps 80000.00", 0.1},
      {"mono 22.05 kHz", Vq(0, 20, 22), "VQ TwinVQ 22.05kHz 22050 1ch 20.00kbps 20000.00", 0.4},
      {"16 kHz", Vq(0, 16, 16), "VQ TwinVQ 16.00kHz 16000 1ch 16.00kbps 16000.00", 0.5},
      {"11.025 kHz", Vq(0, 8, 11), "VQ TwinVQ 11.03kHz 11025 1ch 8.00kbps 8000.00", 1.0},
      {"bit rate 0", Vq(1, 0, 44), "VQ TwinVQ 44.10kHz 44100 2ch 0.00kbps 0.00", 0.0},
      {"unknown codec", Vq(1, 80, 44, "12345678"), "VQ 不明12345678 44.10kHz 44100 2ch 80.00kbps 80000.00", 0.1},
      // A chunk that claims more than the file ends the walk before COMM.
      {"huge chunk first", Vq(1, 80, 44, "97012000", VqChunk("NAME", Bytes(4), 0xFFFFFFF0)),
       "VQ TwinVQ 0.00kHz 0 0ch 0.00kbps 0.00", 0.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MediaInfo info = Analyze(c.file, "test.vqf");
    EXPECT_EQ(info.formatId, format::kTwinVq);
    EXPECT_STREQ(info.errorText, "");
    ASSERT_EQ(info.audioCount, 1);
    EXPECT_EQ(Text(info.audioText[0]), c.line);
    EXPECT_NEAR(info.duration, c.duration, 1e-9);
  }
}

TEST_F(OtherAudioTest, TwinVqErrors) {
  MediaInfo rate = Analyze(Vq(1, 80, 48), "test.vqf");
  EXPECT_EQ(Text(rate.errorText), "[VQ] 不明なサンプリングレート(48)");
  EXPECT_EQ(rate.audioCount, 0);

  TempFile notVq("test.vqf", Bytes(100, 'x'));
  MediaInfo info = MakeRecord(notVq.Path());
  info.formatId = format::kTwinVq;
  Dispatch(info);
  EXPECT_EQ(Text(info.errorText), "[VQ] TwinVQファイルではありません");
}

struct S98Spec {
  char version = '3';
  uint32_t numerator = 0, denominator = 0, tag = 0, loop = 0;
  int64_t dump = -1;  // -1: right after the device records
  uint32_t deviceCount = 0;
  std::vector<std::array<uint32_t, 3>> devices;
  Bytes dumpBytes = {0xFF, 0xFF, 0xFE, 0x03, 0x00, 0x01, 0x02, 0xFD};  // 1 + 1 + 5 ticks
  Bytes after;  // bytes after the dump (a tag)
};

Bytes S98(const S98Spec& s) {
  uint32_t dump = s.dump < 0 ? static_cast<uint32_t>(32 + 16 * s.devices.size()) : static_cast<uint32_t>(s.dump);
  Bytes b;
  PutText(b, "S98");
  b.push_back(static_cast<uint8_t>(s.version));
  PutU32LE(b, s.numerator);
  PutU32LE(b, s.denominator);
  PutU32LE(b, 0);
  PutU32LE(b, s.tag);
  PutU32LE(b, dump);
  PutU32LE(b, s.loop);
  PutU32LE(b, s.deviceCount);
  for (const auto& d : s.devices) {
    PutU32LE(b, d[0]);
    PutU32LE(b, d[1]);
    PutU32LE(b, d[2]);
    PutU32LE(b, 0);
  }
  Append(b, s.dumpBytes);
  Append(b, s.after);
  while (b.size() < 40) b.push_back(0);
  return b;
}

TEST_F(OtherAudioTest, S98Lines) {
  struct Case {
    const char* name;
    S98Spec spec;
    std::vector<std::string> lines;
    std::vector<std::string> extras;
    double duration;
  };
  std::vector<Case> cases;
  cases.push_back({"no devices: one OPNA", {}, {"S98 OPNA(YM2608) 7987200"}, {"10/1000 0x00000000 (+0x00000000)"}, 0.07});
  {
    S98Spec s;
    s.version = '1';
    cases.push_back({"version 1", s, {"S98 OPNA(YM2608) 7987200"}, {"10/1000 0x00000000 (+0x00000000)"}, 0.07});
  }
  {
    S98Spec s;
    s.deviceCount = 3;
    s.devices = {{{1, 2000000, 0}}, {{5, 4000000, 1}}, {{16, 3579545, 0}}};
    s.numerator = 1;
    s.denominator = 60;
    cases.push_back({"three devices, 60 Hz timer",
                     s,
                     {"S98 PSG(YM2149) 2000000", "S98 OPM(YM2151) 4000000", "S98 DCSG(SN76489) 3579545"},
                     {"1/60 0x00000000 (+0x00000000)"},
                     7.0 / 60});
  }
  {
    S98Spec s;
    s.deviceCount = 4;
    s.devices = {{{15, 1789772, 0}}, {{10, 1, 0}}, {{99, 2, 0}}, {{0, 0, 0}}};
    cases.push_back({"device names",
                     s,
                     {"S98 PSG(AY-3-8910) 1789772", "S98 NONE(10) 1", "S98 UnknownDevice(99) 2", "S98 NONE 0"},
                     {"10/1000 0x00000000 (+0x00000000)"},
                     0.07});
  }
  {
    S98Spec s;
    s.loop = 32 + 100;
    s.dumpBytes = Bytes(100, 0xFF);
    s.dumpBytes.push_back(0xFD);
    cases.push_back({"loop point 100 bytes into the dump", s, {"S98 OPNA(YM2608) 7987200"},
                     {"10/1000 0x00000084 (+0x00000064)"}, 1.0});
  }
  {
    // No end mark: the walk stops at the tag, whose bytes are not ticks.
    S98Spec s;
    s.tag = 32 + 50;
    s.dumpBytes = Bytes(50, 0xFF);
    s.after = Bytes(200, 0xFF);
    cases.push_back({"tag after a dump without end mark", s, {"S98 OPNA(YM2608) 7987200"},
                     {"10/1000 0x00000000 (+0x00000000)", "TAG"}, 0.5});
  }
  {
    S98Spec s;
    s.dumpBytes = Bytes(50, 0xFF);
    cases.push_back({"dump that runs to the end of the file", s, {"S98 OPNA(YM2608) 7987200"},
                     {"10/1000 0x00000000 (+0x00000000)"}, 0.5});
  }
  {
    S98Spec s;
    s.dump = 0x7FFFFFF0;
    cases.push_back({"dump offset past the end", s, {"S98 OPNA(YM2608) 7987200"},
                     {"10/1000 0x00000000 (+0x00000000)"}, 0.0});
  }
  {
    S98Spec s;
    s.loop = 8;  // in front of the dump
    cases.push_back({"loop point before the dump", s, {"S98 OPNA(YM2608) 7987200"},
                     {"10/1000 0x00000008 (+0x00000000)"}, 0.07});
  }
  {
    // FE 80 01: n = 128, 130 ticks; then a wait whose length never ends.
    S98Spec s;
    s.dumpBytes = {0xFE, 0x80, 0x01, 0xFE};
    s.dumpBytes.insert(s.dumpBytes.end(), 40, 0x80);
    cases.push_back({"long waits", s, {"S98 OPNA(YM2608) 7987200"}, {"10/1000 0x00000000 (+0x00000000)"}, 1.32});
  }
  {
    // More devices announced than there are records: those there are kept.
    S98Spec s;
    s.deviceCount = 0xFFFFFFFF;
    s.devices = {{{2, 3993600, 0}}, {{6, 3579545, 0}}};
    s.dumpBytes = {0xFD};
    cases.push_back({"device count beyond the file", s, {"S98 OPN(YM2203) 3993600", "S98 OPLL(YM2413) 3579545"},
                     {"10/1000 0x00000000 (+0x00000000)"}, 0.0});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MediaInfo info = Analyze(S98(c.spec), "test.s98");
    EXPECT_EQ(info.formatId, format::kS98);
    EXPECT_STREQ(info.errorText, "");
    EXPECT_STREQ(info.formatName, "S98");
    ASSERT_EQ(info.audioCount, static_cast<int>(c.lines.size()));
    for (size_t i = 0; i < c.lines.size(); ++i) EXPECT_EQ(info.audioText[i], c.lines[i]);
    ASSERT_EQ(info.extraCount, static_cast<int>(c.extras.size()));
    for (size_t i = 0; i < c.extras.size(); ++i) EXPECT_EQ(info.extraText[i], c.extras[i]);
    EXPECT_NEAR(info.duration, c.duration, 1e-9);
  }
}

TEST_F(OtherAudioTest, S98KeepsAtMost64Devices) {
  S98Spec s;
  s.deviceCount = 100;
  for (uint32_t i = 0; i < 100; ++i) s.devices.push_back({{4, 1000 + i, 0}});
  TempFile file("test.s98", S98(s));
  FileReader reader;
  ASSERT_TRUE(reader.Open(ToUtf16(file.Path()).c_str()));
  S98Info parsed = {};
  ASSERT_TRUE(ParseS98(parsed, reader));
  EXPECT_EQ(parsed.deviceCount, kS98MaxDevices);
  EXPECT_EQ(parsed.devices[63].clock, 1063u);
  // The dump offset in the header still finds the dump behind all 100 records.
  EXPECT_NEAR(parsed.duration, 0.07, 1e-9);

  MediaInfo info = AnalyzeFile(file.Path());
  EXPECT_EQ(info.audioCount, PROBEX_MAX_AUDIO);
}

TEST_F(OtherAudioTest, S98OfAnotherVersionFails) {
  S98Spec s;
  s.version = '2';
  MediaInfo info = Analyze(S98(s), "test.s98");
  EXPECT_EQ(Text(info.errorText), "不明なS98のバージョン(2)");
  EXPECT_EQ(info.audioCount, 0);
}

}  // namespace
}  // namespace probex::test
