#include "damage.h"
#include "video/mpeg_ts.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "file_reader.h"
#include "fixture.h"
#include "probex_formats.h"
#include "messages.h"
#include "mpeg_test_support.h"

namespace probex {
namespace {

using mpegtest::Append;
using test::Bytes;

constexpr uint16_t kPmtPid = 0x1000;

// One 188-byte packet. A short payload is padded with adaptation-field
// stuffing as muxers do; sections are padded with 0xFF by the caller.
Bytes Packet(uint16_t pid, bool start, const Bytes& payload, uint8_t flags = 0) {
  Bytes p = {0x47, static_cast<uint8_t>((start ? 0x40 : 0) | flags | (pid >> 8)), static_cast<uint8_t>(pid), 0x10};
  size_t room = 184;
  if (payload.size() < room) {
    p[3] = 0x30;
    size_t af = room - payload.size() - 1;
    p.push_back(static_cast<uint8_t>(af));
    if (af > 0) {
      p.push_back(0x00);
      p.insert(p.end(), af - 1, 0xFF);
    }
  }
  p.insert(p.end(), payload.begin(), payload.begin() + static_cast<std::ptrdiff_t>(std::min(payload.size(), room)));
  return p;
}

// Pointer field, section, 0xFF to the packet's end.
Bytes SectionPacket(uint16_t pid, const Bytes& section) {
  Bytes payload = {0x00};
  Append(payload, section);
  payload.resize(184, 0xFF);
  return Packet(pid, true, payload);
}

Bytes Pat(const std::vector<std::pair<uint16_t, uint16_t>>& programs) {
  size_t length = 5 + 4 * programs.size() + 4;
  Bytes s = {0x00, static_cast<uint8_t>(0xB0 | (length >> 8)), static_cast<uint8_t>(length), 0x00, 0x01, 0xC1, 0x00, 0x00};
  for (auto [number, pid] : programs)
    Append(s, {static_cast<uint8_t>(number >> 8), static_cast<uint8_t>(number), static_cast<uint8_t>(0xE0 | (pid >> 8)),
               static_cast<uint8_t>(pid)});
  Append(s, {0x12, 0x34, 0x56, 0x78});
  return s;
}

struct Stream {
  uint8_t type;
  uint16_t pid;
  Bytes descriptors = {};
};

Bytes Pmt(uint16_t program, const std::vector<Stream>& streams, const Bytes& crc = {0x9A, 0xBC, 0xDE, 0xF0}) {
  size_t length = 9 + 4;
  for (const Stream& st : streams) length += 5 + st.descriptors.size();
  Bytes s = {0x02, static_cast<uint8_t>(0xB0 | (length >> 8)), static_cast<uint8_t>(length),
             static_cast<uint8_t>(program >> 8), static_cast<uint8_t>(program), 0xC1, 0x00, 0x00, 0xE1, 0x00, 0xF0, 0x00};
  for (const Stream& st : streams) {
    Append(s, {st.type, static_cast<uint8_t>(0xE0 | (st.pid >> 8)), static_cast<uint8_t>(st.pid),
               static_cast<uint8_t>(0xF0 | (st.descriptors.size() >> 8)), static_cast<uint8_t>(st.descriptors.size())});
    Append(s, st.descriptors);
  }
  Append(s, crc);
  return s;
}

Bytes PtsBytes(uint64_t pts) {
  return {static_cast<uint8_t>(0x21 | ((pts >> 29) & 0x0E)), static_cast<uint8_t>(pts >> 22),
          static_cast<uint8_t>(0x01 | ((pts >> 14) & 0xFE)), static_cast<uint8_t>(pts >> 7),
          static_cast<uint8_t>(0x01 | ((pts << 1) & 0xFE))};
}

Bytes Pes(uint8_t streamId, uint64_t pts, const Bytes& es) {
  Bytes b = {0x00, 0x00, 0x01, streamId, 0x00, 0x00, 0x84, 0x80, 0x05};
  if (streamId != 0xE0) {
    size_t length = 8 + es.size();
    b[4] = static_cast<uint8_t>(length >> 8);
    b[5] = static_cast<uint8_t>(length);
  }
  Append(b, PtsBytes(pts));
  Append(b, es);
  return b;
}

Bytes MpegVideoEs() {
  Bytes es = mpegtest::SequenceHeader(720, 576, 3, 3, 0x3FFFF);
  Append(es, mpegtest::SequenceExtension(4, 8, false));
  Append(es, mpegtest::GroupHeader(0, 0, 0, 0));
  Append(es, mpegtest::PictureHeader());
  return es;
}

// Frame headers with some frame data: a sync in a packet's last 14 bytes is
// not looked at.
Bytes WithData(Bytes header) {
  header.resize(header.size() + 40, 0x00);
  return header;
}
const Bytes kAdts = WithData({0xFF, 0xF1, 0x4C, 0x80, 0x2E, 0x7F, 0xFC});
const Bytes kAc3 = WithData({0x0B, 0x77, 0xFC, 0x8A, 0x14, 0x40, 0x43, 0xE1, 0x06, 0xF0});
const Bytes kMp2 = WithData({0xFF, 0xF5, 0x84, 0xC0});  // MPEG-2 Layer II, 24 kHz, mono
const Bytes kBdLpcm = {0x05, 0xA0, 0x91, 0x40};                      // 5.1, 48 kHz, 16 bit
// A TrueHD access unit with its major sync (5.1, 48 kHz), from ffmpeg.
Bytes TrueHdUnit() {
  Bytes unit = test::ReadFile(test::FixturePath("codecs/truehd_51_head.thd"));
  unit.resize(120);
  return unit;
}

constexpr char kVideoLine[] = "0100 M2|MPEG2|MP@ML|720x576|16:9 625line|25.00|||VBR|Interlace";

Bytes FullStream(uint64_t firstPts, uint64_t lastPts) {
  Bytes ts;
  Append(ts, SectionPacket(0, Pat({{1, kPmtPid}})));
  Append(ts, SectionPacket(kPmtPid, Pmt(1, {{0x02, 0x100},
                                            {0x0F, 0x101},
                                            {0x81, 0x102},
                                            {0x80, 0x103},
                                            {0x83, 0x104},
                                            {0x87, 0x105},
                                            {0x06, 0x106},
                                            {0x04, 0x107}})));
  Append(ts, Packet(0x100, true, Pes(0xE0, firstPts, MpegVideoEs())));
  Append(ts, Packet(0x101, true, Pes(0xC0, firstPts, kAdts)));
  Append(ts, Packet(0x102, true, Pes(0xBD, firstPts, kAc3)));
  Append(ts, Packet(0x103, true, Pes(0xBD, firstPts, kBdLpcm)));
  Append(ts, Packet(0x104, true, Pes(0xBD, firstPts, TrueHdUnit())));
  Append(ts, Packet(0x105, true, Pes(0xBD, firstPts, kAc3)));
  Append(ts, Packet(0x106, true, Pes(0xE1, firstPts, MpegVideoEs())));
  Append(ts, Packet(0x107, true, Pes(0xC1, firstPts, kMp2)));
  Append(ts, Packet(0x100, true, Pes(0xE0, lastPts, {0x00, 0x00, 0x01, 0x00, 0x00, 0x0F})));
  Append(ts, Packet(0x1FFF, false, Bytes(184, 0xFF)));
  return ts;
}

const std::vector<std::string> kFullAudio = {
    "0101 AAC|LC|48000|2.0|144.00", "0102 AC3|Dolby AC-3|48000|2.0|192.00",
    "0103 BD|LinearPCM|48.00|48000|16|5.1|3/2|C+L+R+BL+BR+LFE|4608.00|4608000.00",
    "0104 Dolby TrueHD 48.00kHz 24bit 5.1ch", "0105 AC3|Dolby AC-3|48000|2.0|192.00",  // E-AC-3's type, an AC-3 frame
    "0107 MP3|2|II|24000|64.00|Mono"};

Bytes With192(const Bytes& ts) {
  Bytes out;
  for (size_t i = 0; i + 188 <= ts.size(); i += 188) {
    Append(out, {0x00, 0x00, static_cast<uint8_t>(i >> 8), static_cast<uint8_t>(i)});
    out.insert(out.end(), ts.begin() + static_cast<std::ptrdiff_t>(i), ts.begin() + static_cast<std::ptrdiff_t>(i + 188));
  }
  return out;
}

std::vector<std::string> Lines(const char (*texts)[PROBEX_TEXT_BYTES], int count) {
  std::vector<std::string> out;
  for (int i = 0; i < count; ++i) out.push_back(texts[i]);
  return out;
}

struct Result {
  MediaInfo info;
  std::vector<std::string> video, audio, extra;
};

Result Analyze(const Bytes& file, const char* name = "test.ts") {
  test::TempFile temp(name, file);
  Result r{test::AnalyzeFile(temp.Path()), {}, {}, {}};
  r.video = Lines(r.info.videoText, r.info.videoCount);
  r.audio = Lines(r.info.audioText, r.info.audioCount);
  r.extra = Lines(r.info.extraText, r.info.extraCount);
  return r;
}

class MpegTsTest : public ::testing::Test {
 protected:
  mpegtest::MpegTemplates templates_;
};

TEST(TsPacketSize, PairsInsideTheWindow) {
  struct Case {
    const char* name;
    size_t length;
    std::vector<size_t> syncs;
    uint32_t size;
    size_t offset;
  };
  const Case cases[] = {
      {"188 at 0", 400, {0, 188, 376}, 188, 0},
      {"192 at 0", 400, {4, 196}, 192, 0},
      {"188 after junk", 400, {7, 195}, 188, 7},
      {"192 after junk", 400, {9, 201}, 192, 5},
      {"189 bytes, one pair", 189, {0, 188}, 188, 0},
      {"188 bytes", 188, {0, 187}, 0, 0},
      {"196 bytes, 192 pair needs 197", 196, {4}, 0, 0},
      {"197 bytes, 192 pair", 197, {4, 196}, 192, 0},
      {"no pair", 1000, {0, 100, 300}, 0, 0},
      {"empty", 0, {}, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // Exactly sized, so that a sanitizer build catches any read past it.
    std::vector<uint8_t> window(c.length, 0x00);
    for (size_t s : c.syncs)
      if (s < window.size()) window[s] = 0x47;
    size_t offset = 99;
    EXPECT_EQ(FindTsPacketSize(window.data(), window.size(), offset), c.size);
    EXPECT_EQ(offset, c.offset);
  }
}

TEST(TsPacketHeader, Fields) {
  Bytes b = {0x47, 0xC1, 0x23, 0xB7};
  TsPacketHeader h{};
  ASSERT_TRUE(ParseTsPacketHeader(b.data(), b.size(), h));
  EXPECT_EQ(h.syncByte, 0x47);
  EXPECT_TRUE(h.transportError);
  EXPECT_TRUE(h.payloadUnitStart);
  EXPECT_FALSE(h.transportPriority);
  EXPECT_EQ(h.pid, 0x0123);
  EXPECT_EQ(h.scramblingControl, 2);
  EXPECT_EQ(h.adaptationFieldControl, 3);
  EXPECT_EQ(h.continuityCounter, 7);
  EXPECT_FALSE(ParseTsPacketHeader(b.data(), 3, h));
}

// The bit rate counts every channel carried (6 for 5.1, 8 for 7.1) and
// 20-bit samples as 20 bits.
TEST(BdLpcmHeader, Fields) {
  struct Case {
    uint8_t assignmentAndRate, depth;
    bool ok;
    double rate;
    int bits;
    double channels;
    const char* config;
    const char* order;
    double bitRate;
  };
  const Case cases[] = {
      {0x11, 0x40, true, 48000, 16, 1.0, "1/0", "C", 768000},
      {0x31, 0x40, true, 48000, 16, 2.0, "2/0", "L+R", 1536000},
      {0x31, 0x80, true, 48000, 20, 2.0, "2/0", "L+R", 1920000},
      {0x91, 0x40, true, 48000, 16, 5.1, "3/2", "C+L+R+BL+BR+LFE", 4608000},
      {0x94, 0x80, true, 96000, 20, 5.1, "3/2", "C+L+R+BL+BR+LFE", 11520000},
      {0xB5, 0xC0, true, 192000, 24, 7.1, "3/4", "C+L+R+SL+SR+BL+BR+LFE", 36864000},
      {0xA1, 0xC0, true, 48000, 24, 7.0, "3/4", "C+L+R+SL+SR+BL+BR", 8064000},
      {0x51, 0x40, true, 48000, 16, 3.0, "2/1", "L+R+BC", 2304000},
      {0x21, 0x40, true, 48000, 16, 0.0, "0/0", "UnknownChannel(2)", 0},
      {0x32, 0x40, false, 0, 0, 0, "", "", 0},  // sampling frequency code 2
      {0x31, 0x00, false, 0, 0, 0, "", "", 0},  // bits per sample code 0
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.order);
    Bytes header = {0x01, 0xE0, c.assignmentAndRate, c.depth};
    BdLpcmInfo info{};
    ASSERT_EQ(ParseBdLpcmHeader(info, header.data(), header.size()), c.ok);
    if (!c.ok) continue;
    EXPECT_STREQ(info.codec, "LinearPCM");
    EXPECT_DOUBLE_EQ(info.sampleRate, c.rate);
    EXPECT_EQ(info.bitsPerSample, c.bits);
    EXPECT_DOUBLE_EQ(info.channels, c.channels);
    EXPECT_STREQ(info.channelConfig, c.config);
    EXPECT_STREQ(info.channelOrder, c.order);
    EXPECT_DOUBLE_EQ(info.bitRate, c.bitRate);
  }
}

TEST_F(MpegTsTest, StreamsOfAProgram) {
  Result r = Analyze(FullStream(90000, 90000 * 11));
  EXPECT_EQ(r.info.formatId, format::kMpeg2Ts);
  EXPECT_STREQ(r.info.formatName, "MPEG2-TS");
  EXPECT_STREQ(r.info.errorText, "");
  EXPECT_EQ(r.video, std::vector<std::string>{kVideoLine});  // private data (0x06) holding no audio is not described
  EXPECT_EQ(r.audio, kFullAudio);
  EXPECT_EQ(r.extra, std::vector<std::string>{"188Pct"});
  EXPECT_DOUBLE_EQ(r.info.duration, 10);
}

TEST_F(MpegTsTest, PacketsOf192Bytes) {
  Result r = Analyze(With192(FullStream(90000, 90000 * 11)), "test.m2ts");
  EXPECT_EQ(r.info.formatId, format::kMpeg2Ts);
  EXPECT_EQ(r.video, std::vector<std::string>{kVideoLine});
  EXPECT_EQ(r.audio, kFullAudio);
  EXPECT_EQ(r.extra, std::vector<std::string>{"192Pct"});
  EXPECT_DOUBLE_EQ(r.info.duration, 10);
}

TEST_F(MpegTsTest, FirstTimeStampZeroGivesNoDuration) {
  EXPECT_DOUBLE_EQ(Analyze(FullStream(0, 90000 * 11)).info.duration, 0);
  EXPECT_DOUBLE_EQ(Analyze(FullStream(90000 * 11, 90000)).info.duration, 0);
}

// An adaptation field claiming more than the packet holds: the packet is
// skipped, not read on into the next one.
TEST_F(MpegTsTest, OverlongAdaptationFieldSkipsThePacket) {
  Bytes bad = {0x47, 0x40, 0x00, 0x30, 190};
  bad.resize(188, 0xFF);
  // What a reader running 195 bytes on would take for a table: a PAT
  // naming map PID 0x0555.
  Bytes decoy = Packet(0x1FFF, false, Bytes(184, 0xFF));
  Bytes fake = {0x00};  // pointer field at 4 + 1 + 190 - 188
  Append(fake, Pat({{9, 0x0555}}));
  std::copy(fake.begin(), fake.end(), decoy.begin() + 7);
  Bytes ts = bad;
  Append(ts, decoy);
  Append(ts, SectionPacket(0, Pat({{1, kPmtPid}})));
  Append(ts, SectionPacket(kPmtPid, Pmt(1, {{0x02, 0x100}})));
  Append(ts, Packet(0x100, true, Pes(0xE0, 90000, MpegVideoEs())));
  Result r = Analyze(ts);
  EXPECT_STREQ(r.info.errorText, "");
  EXPECT_EQ(r.video, std::vector<std::string>{kVideoLine});
}

// Entries end where the CRC begins: CRC bytes 0F E2 00 F0 and a following
// zero byte would read as an AAC stream on PID 0x200.
TEST_F(MpegTsTest, MapEntriesStopAtTheCrc) {
  Bytes pmt = Pmt(1, {{0x02, 0x100}}, {0x0F, 0xE2, 0x00, 0xF0});
  Bytes payload = {0x00};
  Append(payload, pmt);
  payload.push_back(0x00);
  payload.resize(184, 0xFF);
  Bytes ts = SectionPacket(0, Pat({{1, kPmtPid}}));
  Append(ts, Packet(kPmtPid, true, payload));
  Append(ts, Packet(0x100, true, Pes(0xE0, 90000, MpegVideoEs())));
  Append(ts, Packet(0x200, true, Pes(0xC0, 90000, kAdts)));
  Result r = Analyze(ts);
  EXPECT_EQ(r.video, std::vector<std::string>{kVideoLine});
  EXPECT_TRUE(r.audio.empty());
}

TEST_F(MpegTsTest, SeveralPrograms) {
  Bytes ts = SectionPacket(0, Pat({{0, 0x0010}, {1, 0x1000}, {2, 0x1001}, {3, 0x1002}, {4, 0x1002}}));
  Append(ts, SectionPacket(0x1000, Pmt(1, {{0x02, 0x100}, {0x81, 0x102}})));
  Append(ts, SectionPacket(0x1001, Pmt(2, {{0x81, 0x102}})));  // shares the AC-3 stream
  // Two programs in one map PID, each with its own section.
  Append(ts, SectionPacket(0x1002, Pmt(4, {{0x0F, 0x101}})));
  Append(ts, SectionPacket(0x1002, Pmt(3, {{0x83, 0x104}})));
  Append(ts, Packet(0x100, true, Pes(0xE0, 90000, MpegVideoEs())));
  Append(ts, Packet(0x101, true, Pes(0xC0, 90000, kAdts)));
  Append(ts, Packet(0x102, true, Pes(0xBD, 90000, kAc3)));
  Append(ts, Packet(0x104, true, Pes(0xBD, 90000, TrueHdUnit())));
  Result r = Analyze(ts);
  EXPECT_EQ(r.video, std::vector<std::string>{kVideoLine});
  std::vector<std::string> audio = {"0102 AC3|Dolby AC-3|48000|2.0|192.00", "0102 AC3|Dolby AC-3|48000|2.0|192.00",
                                    "0104 Dolby TrueHD 48.00kHz 24bit 5.1ch",
                                    "0101 AAC|LC|48000|2.0|144.00"};
  EXPECT_EQ(r.audio, audio);
}

// The map's descriptors: private data named AC-3 by the DVB descriptor is
// described though its frame does not start the payload, and a Dolby Vision
// descriptor puts its tag on the HEVC line. Descriptors that overrun their
// loop are ignored.
TEST_F(MpegTsTest, StreamDescriptorsNameAndTagStreams) {
  test::UseShippedTemplates();
  Bytes dovi = test::ReadFile(test::FixturePath("codecs/dv_7.6_el.dvdesc"));
  Bytes hevc = test::ReadFile(test::FixturePath("codecs/hevc_hdr10_head.hevc"));
  hevc.resize(150);
  Bytes late = {0x00, 0x00, 0x00};
  Append(late, kAc3);
  Bytes ts = SectionPacket(0, Pat({{1, kPmtPid}}));
  Append(ts, SectionPacket(kPmtPid, Pmt(1, {{0x24, 0x100, dovi},
                                            {0x06, 0x101, {0x6A, 0x01, 0x00}},
                                            {0x06, 0x102, {0x7A, 0x09, 0x00}},  // overruns: not read
                                            {0x02, 0x103}})));
  Append(ts, Packet(0x100, true, Pes(0xE0, 90000, hevc)));
  Append(ts, Packet(0x101, true, Pes(0xBD, 90000, late)));
  Append(ts, Packet(0x102, true, Pes(0xBD, 90000, late)));
  Append(ts, Packet(0x103, true, Pes(0xE0, 90000, MpegVideoEs())));
  Result r = Analyze(ts);
  ASSERT_EQ(r.video.size(), 2u);
  EXPECT_NE(r.video[0].find("DV 7.6"), std::string::npos) << r.video[0];
  EXPECT_EQ(r.audio, std::vector<std::string>{"0101 Dolby AC-3 48.00kHz 2.0ch(L+R) 192.00kbps CM"});
}

TEST_F(MpegTsTest, DamagedPacketsAndTablesAreSkipped) {
  Bytes ts = SectionPacket(0, Pat({{1, 0x0777}}));
  ts[1] |= 0x80;  // transport error: this PAT is not used
  Bytes notCurrent = Pat({{1, 0x0778}});
  notCurrent[5] = 0xC0;
  Append(ts, SectionPacket(0, notCurrent));
  Append(ts, Bytes{0x12, 0x34, 0x56});  // out of step
  Append(ts, SectionPacket(0, Pat({{1, kPmtPid}})));
  Append(ts, SectionPacket(kPmtPid, Pmt(1, {{0x02, 0x100}})));
  Append(ts, Packet(0x100, true, Pes(0xE0, 90000, MpegVideoEs())));
  Result r = Analyze(ts);
  EXPECT_STREQ(r.info.errorText, "");
  EXPECT_EQ(r.video, std::vector<std::string>{kVideoLine});
}

TEST_F(MpegTsTest, Failures) {
  struct Case {
    const char* name;
    Bytes bytes;
    const char* message;
  };
  Bytes noPat = Packet(0x100, true, Pes(0xE0, 90000, MpegVideoEs()));
  Append(noPat, Packet(0x1FFF, false, Bytes(184, 0xFF)));
  Bytes tiny(190, 0x00);  // a pair of sync bytes and one packet: 188 bytes read at most
  tiny[0] = tiny[188] = 0x47;
  Bytes noSync(600, 0x00);
  noSync[0] = noSync[188] = 0x47;
  noSync[189] = 0x00;
  Bytes unsynced(1000, 0x11);
  unsynced[4] = unsynced[196] = 0x47;
  unsynced[4 + 192 + 192] = 0x12;
  const Case cases[] = {
      {"no association table", noPat, msg::kTsNoPat},
      {"190-byte file", tiny, msg::kTsNoPat},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Result r = Analyze(c.bytes);
    EXPECT_EQ(r.info.formatId, format::kMpeg2Ts);
    EXPECT_STREQ(r.info.errorText, c.message);
    EXPECT_EQ(r.info.fileSize, c.bytes.size());
    EXPECT_TRUE(r.video.empty());
    EXPECT_TRUE(r.extra.empty());
  }
  // Named .ts but without sync bytes a packet apart.
  Bytes junk(150, 0x47);
  for (size_t i = 0; i < junk.size(); i += 2) junk[i] = 0;
  Result r = Analyze(junk);
  EXPECT_EQ(r.info.formatId, format::kMpeg2Ts);
  EXPECT_STREQ(r.info.errorText, msg::kTsNoLinkHeader);
}

TEST_F(MpegTsTest, HeadAndTailWindowsOfALongFile) {
  Bytes ts = FullStream(90000, 90000 * 2);
  ts.resize(ts.size() - 188 * 2);  // drop the late video packet and the null packet
  while (ts.size() < 6000000) Append(ts, Packet(0x1FFF, false, Bytes(184, 0xFF)));
  Append(ts, Packet(0x100, true, Pes(0xE0, 90000 * 3601, {0x00, 0x00, 0x01, 0x00})));
  for (int i = 0; i < 3; ++i) Append(ts, Packet(0x101, false, Bytes(184, 0x00)));
  Result r = Analyze(ts);
  EXPECT_DOUBLE_EQ(r.info.duration, 3600);
  EXPECT_EQ(r.audio, kFullAudio);
}

TEST_F(MpegTsTest, FfmpegOutput) {
  struct Case {
    const char* file;
    std::vector<std::string> video;
    std::vector<std::string> audio;
    const char* extra;
    // First video time stamp to the greatest of the tail, plus one picture:
    // the files are 2 s, 1 s and 0.5 s long.
    double duration;
  };
  const char* mpeg2Cif = "0100 M2|MPEG2|MP@ML|352x288|1:1|25.00|||VBR|Progressive";
  const char* avcQvga = "0100 AVC|AVC/H.264|High@1.3|320x240|8|1:1|Progressive|25.00|0||";
  const Case cases[] = {
      // MPEG-1 audio at 48 kHz goes out as stream type 3.
      {"ts_mpeg2_mp2.ts", {mpeg2Cif}, {"0101 MP3|1|II|48000|64.00|Mono"}, "188Pct", 2.0},
      {"ts_h264_aac.ts", {avcQvga}, {"0101 AAC|LC|48000|1.0|288.00"}, "188Pct", 2.0},
      {"ts_h264_aac.m2ts", {avcQvga}, {"0101 AAC|LC|48000|1.0|288.00"}, "192Pct", 2.0},
      {"ts_ac3.ts", {mpeg2Cif}, {"0101 AC3|Dolby AC-3|48000|2.0|96.00"}, "188Pct", 2.0},
      {"ts_programs.ts",
       {avcQvga, "0102 M2|MPEG2|MP@ML|352x288|1:1|25.00|||VBR|Progressive"},
       {"0101 AAC|LC|48000|1.0|288.00", "0103 MP3|2|II|24000|64.00|Mono"}, "188Pct", 1.0},
      {"ts_dts_truehd.ts",
       {"0100 M2|MPEG2|MP@ML|176x144|1:1|25.00|||VBR|Progressive"},
       // ffprobe: dts and eac3 48000 Hz stereo (it leaves the TrueHD stream unknown).
       {"0101 DTS|48000|2.0|768.00", "0102 Dolby TrueHD 48.00kHz 24bit 2.0ch",
        "0103 AC3|Dolby Digital Plus|48000|2.0|96.00"},
       "188Pct",
       0.52},
      // ffprobe: eac3 48000 Hz 6 channels 192 kb/s; eac3 48000 Hz and ac3 44100 Hz stereo 96 kb/s;
      // truehd unknown to it, MediaInfo: MLP FBA 48000 Hz 6 channels.
      {"ts_eac3.ts", {}, {"0100 AC3|Dolby Digital Plus|48000|5.1|192.00"}, "188Pct", 0.512},
      {"ts_dvb_eac3_ac3.ts",
       {},
       {"0100 AC3|Dolby Digital Plus|48000|2.0|96.00", "0101 AC3|Dolby AC-3|44100|2.0|96.00"},
       "188Pct",
       0.508},
      {"ts_truehd.ts", {}, {"0100 Dolby TrueHD 48.00kHz 24bit 5.1ch"}, "188Pct", 0.498},
      {"bd_lpcm.m2ts",
       {"1011 M2|MPEG2|MP@ML|176x144|1:1|25.00|||VBR|Progressive"},
       {"1100 BD|LinearPCM|48.00|48000|16|5.1|3/2|C+L+R+BL+BR+LFE|4608.00|4608000.00"}, "192Pct", 0.12},
      // AAC as private data (06), the way ffmpeg's own 192-byte mode writes it.
      {"m2ts_h264_aac.m2ts",
       {"1011 AVC|AVC/H.264|High@1.1|176x144|8|1:1|Progressive|25.00|0||"},
       {"1100 AAC|LC|48000|1.0|288.00"}, "192Pct", 1.0},
      // No video: the audio stamps, the last packet's share of a full one added.
      {"ts_mp2_only.ts", {}, {"0100 MP3|1|II|48000|64.00|Mono"}, "188Pct", 1.008},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    MediaInfo info = test::AnalyzeFile(test::FixturePath(std::string("mpeg/") + c.file));
    EXPECT_EQ(info.formatId, format::kMpeg2Ts);
    EXPECT_STREQ(info.errorText, "");
    EXPECT_EQ(Lines(info.videoText, info.videoCount), c.video);
    EXPECT_EQ(Lines(info.audioText, info.audioCount), c.audio);
    EXPECT_EQ(Lines(info.extraText, info.extraCount), std::vector<std::string>{c.extra});
    EXPECT_NEAR(info.duration, c.duration, 0.001);
  }
}

TEST_F(MpegTsTest, TruncatedAndDamagedFiles) {
  for (const char* name : {"ts_h264_aac.ts", "ts_h264_aac.m2ts", "ts_programs.ts", "bd_lpcm.m2ts"}) {
    SCOPED_TRACE(name);
    Bytes data = test::ReadFile(test::FixturePath(std::string("mpeg/") + name));
    ASSERT_GT(data.size(), 4096u);
    for (const Bytes& copy : test::DamagedCopies(data, name, {189, 196, 197, 380, 1000, data.size() - 5})) Analyze(copy, name);
  }
}

}  // namespace
}  // namespace probex
