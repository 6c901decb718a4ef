#include "mpeg_ts.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "../audio/aac.h"
#include "../audio/ac3.h"
#include "../audio/audio_frames.h"
#include "../audio/dts.h"
#include "../audio/mpeg_audio.h"
#include "../audio/truehd.h"
#include "../core/bits.h"
#include "../core/file_reader.h"
#include "../core/media_info.h"
#include "../core/messages.h"
#include "../core/templates.h"
#include "../core/text.h"
#include "avc.h"
#include "hevc.h"
#include "mpeg_video.h"
#include "stream_windows.h"

namespace probex {

namespace {

constexpr size_t kPacketBytes = 188;
constexpr uint8_t kSyncByte = 0x47;
constexpr double kPesClock = 90000.0;
// Sync searches in a packet stop this far before its end.
constexpr size_t kRegionTail = 14;
// Bytes handed to an audio parser from its sync on: more than any first
// frame, so that a header that fails to parse costs little.
constexpr size_t kAudioParseBytes = 8192;

struct Window {
  const uint8_t* data;
  size_t length;
};

// One packet of a walk: start is where it begins in the window (at its
// 4-byte prefix for 192-byte packets), payload..end the bytes after the
// header and adaptation field, next the following packet's start.
struct Packet {
  size_t start;
  size_t next;
  size_t payload;
  size_t end;
  TsPacketHeader header;
  bool hasPayload;
  bool damaged;  // adaptation field longer than the packet: skipped
};

bool SyncAt(const Window& w, size_t at) { return at < w.length && w.data[at] == kSyncByte; }

// Reads the packet whose first byte (prefix included) is at b; false when
// it does not lie wholly inside the window.
bool ReadPacket(const Window& w, size_t b, uint32_t size, Packet& p) {
  size_t prefix = size - kPacketBytes;
  size_t pk = b + prefix;
  if (pk + kPacketBytes > w.length) return false;
  if (!ParseTsPacketHeader(w.data + pk, 4, p.header)) return false;
  p.start = b;
  p.next = b + size;
  p.end = pk + kPacketBytes;
  p.payload = pk + 4;
  uint8_t control = p.header.adaptationFieldControl;
  p.hasPayload = control == 1 || control == 3;
  if (control == 2 || control == 3) {
    p.payload += 1 + size_t{w.data[pk + 4]};
    if (p.payload > p.end) p.damaged = true;
  }
  return true;
}

// First packet start from q whose sync byte has another one a packet
// further (or is the window's last packet); npos when there is none.
size_t FindPacketStart(const Window& w, size_t q, uint32_t size) {
  size_t prefix = size - kPacketBytes;
  for (size_t b = q; b + size <= w.length; ++b) {
    size_t s = b + prefix;
    if (SyncAt(w, s) && (s + size >= w.length || SyncAt(w, s + size))) return b;
  }
  return SIZE_MAX;
}

// Walks the packets of the window forwards from offset q. task returns true
// when it is done. A packet out of step is found again by its sync bytes.
template <typename Task>
void WalkForward(const Window& w, uint32_t size, size_t q, Task task) {
  size_t prefix = size - kPacketBytes;
  while (q + size <= w.length) {
    size_t b = SyncAt(w, q + prefix) ? q : FindPacketStart(w, q, size);
    if (b == SIZE_MAX) return;
    Packet p{};
    if (!ReadPacket(w, b, size, p)) {
      q = b + 1;
      continue;
    }
    q = p.next;
    if (p.header.transportError || p.damaged) continue;
    if (task(p)) return;
  }
}

// Walks backwards from the window's end: a packet start is a sync byte with
// another one a packet away on either side.
template <typename Task>
void WalkBackward(const Window& w, uint32_t size, Task task) {
  if (w.length < size) return;
  size_t prefix = size - kPacketBytes;
  size_t b = w.length - size;
  while (true) {
    size_t s = b + prefix;
    bool aligned = SyncAt(w, s) && ((s >= size && SyncAt(w, s - size)) || SyncAt(w, s + size));
    Packet p{};
    if (aligned && ReadPacket(w, b, size, p) && !p.header.transportError && !p.damaged) {
      if (task(p)) return;
    }
    size_t step = aligned ? size : 1;
    if (b < step) return;
    b -= step;
  }
}

// Start of the elementary stream data of a packet whose payload begins a PES
// packet; the payload start itself otherwise.
size_t EsStart(const Window& w, const Packet& p) {
  const uint8_t* d = w.data;
  size_t q = p.payload;
  if (p.header.payloadUnitStart && q + 9 <= p.end && d[q] == 0 && d[q + 1] == 0 && d[q + 2] == 1) {
    size_t es = q + 9 + d[q + 8];
    return es <= p.end ? es : p.end;
  }
  return q;
}

// PTS of a video (or, with audio set, an audio) PES packet beginning in this
// packet.
// payloadBytes: what the PES packet carries past its header, 0 when unbounded.
bool ReadPesPts(const Window& w, const Packet& p, bool audio, double& pts, size_t* payloadBytes = nullptr) {
  if (!p.hasPayload || !p.header.payloadUnitStart) return false;
  const uint8_t* d = w.data + p.payload;
  if (p.payload + 14 > p.end) return false;
  if ((ReadU32BE(d, 0) >> 8) != 1) return false;
  uint8_t id = d[3];
  bool wanted = audio ? ((id >= 0xC0 && id <= 0xDF) || id == 0xBD) : id == 0xE0;
  if (!wanted) return false;
  uint32_t flags = d[7] >> 6;
  if (flags != 2 && flags != 3) return false;
  pts = static_cast<double>(ReadMpegTimeStamp(d + 9));
  if (payloadBytes) {
    size_t length = ReadU16BE(d, 4), header = 3 + size_t{d[8]};
    *payloadBytes = length > header ? length - header : 0;
  }
  return true;
}

// The section starting in a table packet: past the pointer field. A packet
// without payload_unit_start_indicator only continues a section.
bool SectionStart(const Window& w, const Packet& p, size_t& s) {
  if (!p.hasPayload || !p.header.payloadUnitStart || p.payload >= p.end) return false;
  s = p.payload + 1 + w.data[p.payload];
  return s < p.end;
}

struct PatEntry {
  uint16_t programNumber;
  uint16_t pid;
};

struct Pat {
  PatEntry entries[kTsMaxPrograms];
  size_t count = 0;
};

bool ReadPat(const Window& w, const Packet& p, Pat& pat) {
  if (p.header.pid != 0) return false;
  size_t s;
  if (!SectionStart(w, p, s) || s + 8 > p.end) return false;
  const uint8_t* d = w.data;
  if (d[s] != 0 || ReadU16BE(d, s + 1) < 0xB000) return false;
  size_t sectionLength = ReadU16BE(d, s + 1) & 0x0FFF;
  if ((d[s + 5] & 1) != 1) return false;  // not yet current
  size_t count = sectionLength >= 9 ? (sectionLength - 9) / 4 : 0;
  Pat found;
  for (size_t i = 0; i < count; ++i) {
    size_t e = s + 8 + 4 * i;
    if (e + 4 > p.end || found.count == kTsMaxPrograms) break;
    uint16_t number = static_cast<uint16_t>(ReadU16BE(d, e));
    uint16_t pid = ReadU16BE(d, e + 2) & 0x1FFF;
    if (pid == 0x0010 || number == 0) continue;  // the network information table
    found.entries[found.count++] = {number, pid};
  }
  if (found.count == 0) return false;
  pat = found;
  return true;
}

// MPEG-1 video (01) and audio (03) are kept too: DVB radio and FFmpeg carry
// Layer II audio as type 03, and dropping it would hide the stream.
// Private data (06) is kept for the audio that Blu-ray style muxers put there.
// The row of a stream type the map keeps; none for the others.
struct TsStreamRow;
const TsStreamRow* FindStreamRow(uint8_t type);

// The elementary-stream descriptors the analysis reads, one row per tag;
// each notes what it says about stream i of the program. descriptor points
// at the tag byte, length counts the whole descriptor.
struct TsDescriptorRow {
  uint8_t tag;
  void (*note)(const uint8_t* descriptor, size_t length, TsProgram& program, size_t i);
};

void NoteRegistration(const uint8_t* d, size_t length, TsProgram& program, size_t i) {
  if (length < 6) return;
  static constexpr struct {
    const char* id;
    uint8_t type;
  } kIds[] = {{"AC-3", 0x81}, {"EAC3", 0x87}, {"DTS1", 0x82}, {"DTS2", 0x82}, {"DTS3", 0x82}, {"HEVC", 0x24}};
  for (const auto& id : kIds)
    if (std::memcmp(d + 2, id.id, 4) == 0) program.describeAs[i] = id.type;
}

constexpr TsDescriptorRow kTsDescriptors[] = {
    {0x05, NoteRegistration},
    {0x6A, [](const uint8_t*, size_t, TsProgram& p, size_t i) { p.describeAs[i] = 0x81; }},  // DVB AC-3
    {0x7A, [](const uint8_t*, size_t, TsProgram& p, size_t i) { p.describeAs[i] = 0x87; }},  // DVB E-AC-3
    {0x7B, [](const uint8_t*, size_t, TsProgram& p, size_t i) { p.describeAs[i] = 0x82; }},  // DVB DTS
    {0xB0,
     [](const uint8_t* d, size_t length, TsProgram& p, size_t i) {
       p.hasDolbyVision[i] = ParseDolbyVisionDescriptor(d, length, p.dolbyVision[i]);
     }},
};

// Descriptors of stream i in [at, end); each is bounded by the loop.
void ReadStreamDescriptors(const uint8_t* d, size_t at, size_t end, TsProgram& program, size_t i) {
  while (at + 2 <= end) {
    size_t length = 2 + size_t{d[at + 1]};
    if (at + length > end) break;
    for (const TsDescriptorRow& row : kTsDescriptors)
      if (row.tag == d[at]) row.note(d + at, length, program, i);
    at += length;
  }
}

bool ReadPmt(const Window& w, const Packet& p, const PatEntry& entry, TsProgram& program) {
  if (p.header.pid != entry.pid) return false;
  size_t s;
  if (!SectionStart(w, p, s) || s + 12 > p.end) return false;
  const uint8_t* d = w.data;
  if (d[s] != 2) return false;
  TsProgram t{};
  BitText bits(d + s, 12);
  t.tableId = static_cast<uint8_t>(bits.Take(8));
  t.sectionSyntaxIndicator = static_cast<uint8_t>(bits.Take(1));
  bits.Skip(3);
  t.sectionLength = static_cast<uint16_t>(bits.Take(12));
  t.programNumber = static_cast<uint16_t>(bits.Take(16));
  bits.Skip(2);
  t.versionNumber = static_cast<uint8_t>(bits.Take(5));
  t.currentNextIndicator = static_cast<uint8_t>(bits.Take(1));
  t.sectionNumber = static_cast<uint8_t>(bits.Take(8));
  t.lastSectionNumber = static_cast<uint8_t>(bits.Take(8));
  bits.Skip(3);
  t.pcrPid = static_cast<uint16_t>(bits.Take(13));
  bits.Skip(4);
  t.programInfoLength = static_cast<uint16_t>(bits.Take(12));
  // Several programs may share one map PID, each with its own section.
  if (t.programNumber != entry.programNumber) return false;

  // Entries end where the CRC begins, and with the packet.
  size_t sectionEnd = s + 3 + t.sectionLength;
  size_t entriesEnd = sectionEnd >= 4 ? sectionEnd - 4 : 0;
  if (entriesEnd > p.end) entriesEnd = p.end;
  for (size_t e = s + 12 + t.programInfoLength; e + 5 <= entriesEnd; ) {
    uint8_t type = d[e];
    uint16_t pid = ReadU16BE(d, e + 1) & 0x1FFF;
    uint16_t infoLength = ReadU16BE(d, e + 3) & 0x0FFF;
    if (FindStreamRow(type) && t.streamCount < kTsMaxStreams) {
      t.streamType[t.streamCount] = type;
      t.elementaryPid[t.streamCount] = pid;
      t.esInfoLength[t.streamCount] = infoLength;
      ReadStreamDescriptors(d, e + 5, std::min(e + 5 + size_t{infoLength}, entriesEnd), t, t.streamCount);
      ++t.streamCount;
    }
    e += 5 + size_t{infoLength};
  }
  if (t.streamCount == 0) return false;
  program = t;
  return true;
}

size_t ParseLength(const Window& w, size_t at) {
  size_t rest = w.length - at;
  return rest < kAudioParseBytes ? rest : kAudioParseBytes;
}

void AddStreamLine(MediaInfo& info, bool video, uint16_t pid, const char* text) {
  char line[kLineBytes];
  FormatText(line, sizeof line, "%04X %s", pid, text);
  if (video) {
    AddVideoText(info, line);
  } else {
    AddAudioText(info, line);
  }
}

// Where a stream's bytes lie in a packet: from is the start of its
// elementary data, regionEnd the end of what a header search may cover.
struct TsPayload {
  const Window& w;
  const Packet& p;
  size_t from;
  size_t regionEnd;
  const DolbyVisionConfig* dolbyVision;  // from the program map, or none
  std::string* hdrSummary;               // the video's HDR details for the extra list
};

// A stream type's describer: the line's text from the payload, or false
// when the packet holds no header it can read.
using TsDescriber = bool (*)(const TsPayload&, char* text, size_t size);

bool DescribeMpegVideoStream(const TsPayload& t, char* text, size_t size, const char* codec) {
  const uint8_t* d = t.w.data;
  MpegVideoInfo video{};
  CopyText(video.codec, sizeof video.codec, codec);
  int64_t at = FindStartCode(d, t.regionEnd, kMpegSequenceHeaderCode, t.from);
  while (at >= 0 && !ParseMpegSequenceHeader(video, d + at + 4, t.p.end - static_cast<size_t>(at) - 4))
    at = FindStartCode(d, t.regionEnd, kMpegSequenceHeaderCode, static_cast<size_t>(at) + 1);
  if (at < 0) return false;
  for (int64_t x = FindStartCode(d, t.regionEnd, kMpegExtensionStartCode, static_cast<size_t>(at) + 4); x >= 0;
       x = FindStartCode(d, t.regionEnd, kMpegExtensionStartCode, static_cast<size_t>(x) + 4)) {
    if (ParseMpegSequenceExtension(video, d + x, t.p.end - static_cast<size_t>(x))) break;
  }
  FormatMpegVideoText(text, size, video);
  return true;
}

// The first sync word's header only: a stream's first packet starts with a
// frame, and the parse may run past the region to the window's end.
bool DescribeFrameStream(const TsPayload& t, AudioFrames family, char* text, size_t size) {
  int64_t hit = FindAudioFrameSync(family, t.w.data, t.regionEnd, t.from);
  if (hit < 0) return false;
  size_t at = static_cast<size_t>(hit);
  return DescribeAudioFrame(family, t.w.data + at, ParseLength(t.w, at), text, size);
}

bool DescribeMpegAudioStream(const TsPayload& t, char* text, size_t size) {
  return DescribeFrameStream(t, AudioFrames::kMpegAudio, text, size);
}

bool DescribeAdtsStream(const TsPayload& t, char* text, size_t size) {
  const uint8_t* d = t.w.data;
  for (size_t q = t.from; q + 1 < t.regionEnd; ++q) {
    if (d[q] != 0xFF || ((d[q + 1] & 0xFE) != 0xF0 && (d[q + 1] & 0xFE) != 0xF8)) continue;
    AacInfo aac{};
    if (!ParseAdtsHeaderBytes(d + q, ParseLength(t.w, q), aac)) continue;
    if (aac.channels > 0) {
      double rate = aac.hasSbr ? aac.sampleRate / 2.0 : aac.sampleRate;
      aac.bitrate = rate * 6144 / (1024 * aac.channels);
    }
    DescribeAac(text, size, aac);
    return true;
  }
  return false;
}

bool DescribeAvcStream(const TsPayload& t, char* text, size_t size) {
  AvcVideoInfo avc{};
  if (!FindAvcSps(t.w.data + t.p.payload, t.p.end - t.p.payload, avc)) return false;
  FormatAvcVideoText(text, size, avc);
  return true;
}

// The parameter sets lead an access unit, so the first packet holds the SPS;
// SEI cut off at its end only costs the HDR tag.
bool DescribeHevcStream(const TsPayload& t, char* text, size_t size) {
  HevcVideoInfo hevc;
  if (!FindHevcHeaders(t.w.data + t.p.payload, t.p.end - t.p.payload, hevc)) return false;
  if (t.dolbyVision) NoteDolbyVision(*t.dolbyVision, hevc.hdr);
  *t.hdrSummary = HdrSummary(hevc.hdr);
  FormatHevcText(text, size, hevc, 0, 0);
  return true;
}

bool DescribeBdLpcmStream(const TsPayload& t, char* text, size_t size) {
  BdLpcmInfo lpcm{};
  if (!t.p.header.payloadUnitStart || !ParseBdLpcmHeader(lpcm, t.w.data + t.from, t.p.end - t.from)) return false;
  FormatBdLpcmText(text, size, lpcm);
  return true;
}

bool DescribeAc3Stream(const TsPayload& t, char* text, size_t size) {
  return DescribeFrameStream(t, AudioFrames::kAc3, text, size);
}

bool DescribeDtsStream(const TsPayload& t, char* text, size_t size) {
  return DescribeFrameStream(t, AudioFrames::kDts, text, size);
}

// TrueHD access units lead with a major sync every few units; the first
// packet of the stream starts one.
bool DescribeTrueHdStream(const TsPayload& t, char* text, size_t size) {
  TrueHdInfo hd;
  if (!FindMlpMajorSync(t.w.data + t.from, ParseLength(t.w, t.from), hd)) return false;
  CopyText(text, size, TrueHdText(hd).c_str());
  return true;
}

// Private data: ffmpeg's 192-byte mode writes AAC so. Subtitles and teletext
// share the type: only a frame header right at the payload's start counts.
bool DescribePrivateStream(const TsPayload& t, char* text, size_t size) {
  const uint8_t* d = t.w.data;
  size_t from = t.from;
  if (!t.p.header.payloadUnitStart || from + 8 > t.regionEnd) return false;
  if (d[from] == 0xFF && (d[from + 1] & 0xF6) == 0xF0) return DescribeAdtsStream(t, text, size);
  if (d[from] == 0x0B && d[from + 1] == 0x77) return DescribeAc3Stream(t, text, size);
  if (ReadU32BE(d, from) == 0x7FFE8001) return DescribeDtsStream(t, text, size);
  return false;
}

// One row per stream type the program map keeps. A row without a describer
// is kept (it counts among the program's streams) but never described, as
// DTS-HD and the secondary audio of discs; a row with a fixed name is
// described by the name alone. E-AC-3 (0x87) shares AC-3's sync word and
// frame finder.
struct TsStreamRow {
  uint8_t streamType;
  bool video;
  TsDescriber describe;
  const char* name;
};

constexpr TsStreamRow kTsStreams[] = {
    {0x01, true, [](const TsPayload& t, char* x, size_t n) { return DescribeMpegVideoStream(t, x, n, "MPEG1"); }, nullptr},
    {0x02, true, [](const TsPayload& t, char* x, size_t n) { return DescribeMpegVideoStream(t, x, n, "MPEG2"); }, nullptr},
    {0x03, false, DescribeMpegAudioStream, nullptr},
    {0x04, false, DescribeMpegAudioStream, nullptr},
    {0x06, false, DescribePrivateStream, nullptr},
    {0x0F, false, DescribeAdtsStream, nullptr},
    {0x1B, true, DescribeAvcStream, nullptr},
    {0x24, true, DescribeHevcStream, nullptr},
    {0x80, false, DescribeBdLpcmStream, nullptr},
    {0x81, false, DescribeAc3Stream, nullptr},
    {0x82, false, DescribeDtsStream, nullptr},
    {0x83, false, DescribeTrueHdStream, nullptr},
    {0x84, false, nullptr, nullptr},
    {0x85, false, nullptr, nullptr},
    {0x86, false, nullptr, nullptr},
    {0x87, false, DescribeAc3Stream, nullptr},
    {0xA1, false, nullptr, nullptr},
    {0xA2, false, nullptr, nullptr},
};

const TsStreamRow* FindStreamRow(uint8_t type) {
  for (const TsStreamRow& row : kTsStreams)
    if (row.streamType == type) return &row;
  return nullptr;
}

// One stream's examination of a packet; true when it was described.
bool DescribeStream(const Window& w, const Packet& p, const TsProgram& program, size_t i, MediaInfo& info,
                    std::string* hdrSummaries) {
  uint8_t type = program.streamType[i];
  // Private data that its descriptors name is described as what they name.
  if (type == 0x06 && program.describeAs[i]) type = program.describeAs[i];
  const TsStreamRow* row = FindStreamRow(type);
  if (!row || (!row->describe && !row->name)) return false;
  std::string& hdr = hdrSummaries[i];
  size_t regionEnd = p.next >= kRegionTail ? p.next - kRegionTail : 0;
  if (regionEnd > p.end) regionEnd = p.end;
  char text[kLineBytes];
  if (row->describe) {
    const DolbyVisionConfig* dv = program.hasDolbyVision[i] ? &program.dolbyVision[i] : nullptr;
    if (!row->describe(TsPayload{w, p, EsStart(w, p), regionEnd, dv, &hdr}, text, sizeof text)) return false;
  } else {
    CopyText(text, sizeof text, row->name);
  }
  AddStreamLine(info, row->video, p.header.pid, text);
  return true;
}

void AnalyzeProgram(const Window& w, uint32_t size, size_t first, const TsProgram& program, MediaInfo& info,
                    std::vector<std::string>& hdrLines) {
  bool described[kTsMaxStreams] = {};
  std::string hdr[kTsMaxStreams];
  size_t remaining = program.streamCount;
  WalkForward(w, size, first, [&](const Packet& p) {
    if (!p.hasPayload || !p.header.payloadUnitStart) return false;
    int match = -1;
    for (size_t i = 0; i < program.streamCount; ++i)
      if (!described[i] && program.elementaryPid[i] == p.header.pid) match = static_cast<int>(i);
    if (match < 0) return false;
    if (DescribeStream(w, p, program, static_cast<size_t>(match), info, hdr)) {
      described[match] = true;
      --remaining;
    }
    return remaining == 0;
  });
  for (const std::string& line : hdr)
    if (!line.empty()) hdrLines.push_back(line);
}

// The span of the video stamps, first of the head window to latest of the
// tail window (B-pictures put the last packet's before it), plus the period
// of that last picture: the least step between the tail's stamps, whatever
// the codec. Without video stamps, the audio ones, plus the step of the last
// audio packet.
bool StampSpan(const StreamWindows& windows, uint32_t size, size_t first, bool audio, double& seconds) {
  Window head{windows.head, windows.headLength};
  Window tail{windows.tail, windows.tailLength};
  double least = 0;
  bool haveFirst = false;
  WalkForward(head, size, first, [&](const Packet& p) { return haveFirst = ReadPesPts(head, p, audio, least); });
  struct Stamp {
    double pts;
    size_t payloadBytes;
  };
  std::vector<Stamp> stamps;
  WalkBackward(tail, size, [&](const Packet& p) {
    Stamp stamp{};
    if (ReadPesPts(tail, p, audio, stamp.pts, &stamp.payloadBytes)) stamps.push_back(stamp);
    return stamps.size() >= 256;
  });
  if (!haveFirst || stamps.empty() || least == 0) return false;
  std::sort(stamps.begin(), stamps.end(), [](const Stamp& a, const Stamp& b) { return a.pts < b.pts; });
  double greatest = stamps.back().pts;
  if (!(greatest > least)) return false;
  double step = 0;
  if (audio) {
    // Audio packets follow each other: the last one lasts as long as the one
    // before, in proportion to what it carries (muxers fill them to a size).
    if (stamps.size() >= 2) {
      const Stamp& last = stamps[stamps.size() - 1];
      const Stamp& before = stamps[stamps.size() - 2];
      step = last.pts - before.pts;
      if (last.payloadBytes > 0 && before.payloadBytes > 0 && last.payloadBytes < before.payloadBytes)
        step = step * static_cast<double>(last.payloadBytes) / static_cast<double>(before.payloadBytes);
    }
  } else {
    for (size_t i = 1; i < stamps.size(); ++i) {
      double gap = stamps[i].pts - stamps[i - 1].pts;
      if (gap > 0 && (step == 0 || gap < step)) step = gap;
    }
  }
  // A step of a second or more is a gap in the stream, not a picture.
  if (step >= kPesClock) step = 0;
  seconds = (greatest - least + step) / kPesClock;
  return true;
}

void ReadDuration(const StreamWindows& windows, uint32_t size, size_t first, MediaInfo& info) {
  double seconds = 0;
  if (StampSpan(windows, size, first, false, seconds) || StampSpan(windows, size, first, true, seconds))
    info.duration = seconds;
}

}  // namespace

bool ParseTsPacketHeader(const uint8_t* bytes, size_t length, TsPacketHeader& header) {
  if (!bytes || length < 4) return false;
  header.syncByte = bytes[0];
  header.transportError = (bytes[1] & 0x80) != 0;
  header.payloadUnitStart = (bytes[1] & 0x40) != 0;
  header.transportPriority = (bytes[1] & 0x20) != 0;
  header.pid = static_cast<uint16_t>(ReadU16BE(bytes, 1) & 0x1FFF);
  header.scramblingControl = static_cast<uint8_t>(bytes[3] >> 6);
  header.adaptationFieldControl = static_cast<uint8_t>((bytes[3] >> 4) & 3);
  header.continuityCounter = static_cast<uint8_t>(bytes[3] & 0x0F);
  return true;
}

uint32_t FindTsPacketSize(const uint8_t* buffer, size_t length, size_t& offset) {
  offset = 0;
  if (!buffer) return 0;
  for (size_t i = 0; i + 188 < length; ++i) {
    if (buffer[i] == kSyncByte && buffer[i + 188] == kSyncByte) {
      offset = i;
      return 188;
    }
    if (i + 196 < length && buffer[i + 4] == kSyncByte && buffer[i + 196] == kSyncByte) {
      offset = i;
      return 192;
    }
  }
  return 0;
}

bool ParseBdLpcmHeader(BdLpcmInfo& info, const uint8_t* bytes, size_t length) {
  if (!bytes || length < 4) return false;
  uint32_t assignment = bytes[2] >> 4;
  uint32_t frequency = bytes[2] & 0x0F;
  uint32_t depth = bytes[3] >> 6;
  double sampleRate = frequency == 1 ? 48000 : frequency == 4 ? 96000 : frequency == 5 ? 192000 : 0;
  if (sampleRate == 0 || depth == 0) return false;

  struct Layout {
    double channels;
    int count;  // channels actually carried, the LFE included
    const char* config;
    const char* order;
  };
  static constexpr Layout kLayouts[12] = {
      {0, 0, nullptr, nullptr},
      {1.0, 1, "1/0", "C"},
      {0, 0, nullptr, nullptr},
      {2.0, 2, "2/0", "L+R"},
      {3.0, 3, "3/0", "C+L+R"},
      {3.0, 3, "2/1", "L+R+BC"},
      {4.0, 4, "3/1", "C+L+R+BC"},
      {4.0, 4, "2/2", "L+R+BL+BR"},
      {5.0, 5, "3/2", "C+L+R+BL+BR"},
      {5.1, 6, "3/2", "C+L+R+BL+BR+LFE"},
      {7.0, 7, "3/4", "C+L+R+SL+SR+BL+BR"},
      {7.1, 8, "3/4", "C+L+R+SL+SR+BL+BR+LFE"},
  };
  CopyText(info.codec, sizeof info.codec, "LinearPCM");
  info.sampleRate = sampleRate;
  info.bitsPerSample = static_cast<uint16_t>(depth == 1 ? 16 : depth == 2 ? 20 : 24);
  int count = 0;
  if (assignment < 12 && kLayouts[assignment].config) {
    const Layout& l = kLayouts[assignment];
    info.channels = l.channels;
    count = l.count;
    CopyText(info.channelConfig, sizeof info.channelConfig, l.config);
    CopyText(info.channelOrder, sizeof info.channelOrder, l.order);
  } else {
    info.channels = 0;
    CopyText(info.channelConfig, sizeof info.channelConfig, "0/0");
    FormatText(info.channelOrder, sizeof info.channelOrder, "UnknownChannel(%u)", assignment);
  }
  info.bitRate = static_cast<double>(info.bitsPerSample) * count * sampleRate;
  return true;
}

void FormatBdLpcmText(char* out, size_t size, const BdLpcmInfo& info) {
  if (size == 0) return;
  Description d("MPEG2-TS", "LPCM");
  d.SetText("#codec#", info.codec);
  d.Set("#sampleratek#", "%.2f", info.sampleRate * 0.001);
  d.Set("#samplerate#", "%lld", WholeNumber(info.sampleRate));
  d.Set("#bitdepth#", "%d", info.bitsPerSample);
  d.Set("#channel#", "%.1f", info.channels);
  d.SetText("#channelconfig#", info.channelConfig);
  d.SetText("#channelorder#", info.channelOrder);
  d.Set("#bitratek#", "%.2f", info.bitRate * 0.001);
  d.Set("#bitrate#", "%.2f", info.bitRate);
  CopyText(out, size, d.Text());
}

bool AnalyzeTransportStream(FileReader& reader, MediaInfo& info, uint64_t start, uint64_t end) {
  FileReader::State saved = reader.Save();
  StreamWindows windows;
  WindowLoad load = LoadStreamWindows(reader, start, end, kTsWindowBytes, windows);
  reader.Restore(saved);
  if (load == WindowLoad::kNoHeadBuffer) {
    SetErrorText(info, msg::kTsNoBuffer1);
    return false;
  }
  if (load == WindowLoad::kNoTailBuffer) {
    SetErrorText(info, msg::kTsNoBuffer2);
    return false;
  }

  Window head{windows.head, windows.headLength};
  size_t first = 0;
  uint32_t size = FindTsPacketSize(head.data, head.length, first);
  if (size == 0) {
    SetErrorText(info, msg::kTsNoLinkHeader);
    return false;
  }

  Pat pat;
  bool havePat = false;
  WalkForward(head, size, first, [&](const Packet& p) { return havePat = ReadPat(head, p, pat); });
  if (!havePat) {
    SetErrorText(info, msg::kTsNoPat);
    return false;
  }

  std::vector<std::string> hdrLines;
  for (size_t i = 0; i < pat.count; ++i) {
    TsProgram program{};
    bool found = false;
    WalkForward(head, size, first, [&](const Packet& p) { return found = ReadPmt(head, p, pat.entries[i], program); });
    if (found) AnalyzeProgram(head, size, first, program, info, hdrLines);
  }

  ReadDuration(windows, size, first, info);
  char line[32];
  FormatText(line, sizeof line, "%uPct", size);
  AddExtraText(info, line);
  for (const std::string& hdr : hdrLines) AddExtraText(info, hdr.c_str());
  return true;
}

void AnalyzeMpegTs(MediaInfo& info, FileReader& reader) {
  SetFormatName(info, "MPEG2-TS");
  AnalyzeTransportStream(reader, info, 0, reader.Size());
  reader.Close();
}

}  // namespace probex
