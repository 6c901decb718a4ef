#include "mpeg_ps.h"

#include <cstring>

#include "../audio/aac.h"
#include "../audio/ac3.h"
#include "../audio/dts.h"
#include "../audio/mpeg_audio.h"
#include "../core/bits.h"
#include "../core/file_reader.h"
#include "../core/media_info.h"
#include "../core/messages.h"
#include "../core/templates.h"
#include "../core/text.h"
#include "mpeg_video.h"
#include "stream_windows.h"

namespace probex {

namespace {

constexpr size_t kWindowBytes = 1024000;
constexpr size_t kSyncSearchBytes = 256;
constexpr double kSystemClock = 90000.0;
constexpr size_t kSlots = 16;

struct AudioSlots {
  bool used[kSlots] = {};
  char text[kSlots][kLineBytes] = {};
  double bitRateSum = 0;  // bit/s of every described stream

  void Fill(size_t slot, const char* line, double bitRate) {
    CopyText(text[slot], sizeof text[slot], line);
    used[slot] = true;
    bitRateSum += bitRate;
  }
};

// 33-bit system clock reference base of the pack header whose start code is
// at offset at; false when the header is cut by the window's end.
bool ReadPackClock(const uint8_t* w, size_t length, size_t at, double& clock) {
  if (at + 4 + 5 > length) return false;
  BitText bits(w + at + 4, 5);
  bits.Skip((w[at + 4] & 0xC0) == 0 ? 4 : 2);
  uint64_t high = bits.Take(3);
  bits.Skip(1);
  uint64_t mid = bits.Take(15);
  bits.Skip(1);
  uint64_t low = bits.Take(15);
  clock = static_cast<double>((high << 30) | (mid << 15) | low);
  return true;
}

struct TimeCode {
  double wholeSeconds;
  double pictures;
};

bool ReadTimeCode(const uint8_t* w, size_t length, size_t at, TimeCode& tc) {
  if (at + 4 + 4 > length) return false;
  BitText bits(w + at + 4, 4);
  bits.Skip(1);  // drop_frame_flag
  uint64_t hours = bits.Take(5);
  uint64_t minutes = bits.Take(6);
  bits.Skip(1);
  uint64_t seconds = bits.Take(6);
  tc.pictures = static_cast<double>(bits.Take(6));
  tc.wholeSeconds = static_cast<double>(hours * 3600 + minutes * 60 + seconds);
  return true;
}

// First start code of the head window and last of the tail window whose
// fields lie wholly inside their window.
template <typename T, typename Reader>
bool FirstAndLast(const StreamWindows& w, uint32_t code, Reader read, T& first, T& last, size_t* lastAt = nullptr) {
  bool haveFirst = false;
  for (int64_t at = FindStartCode(w.head, w.headLength, code); at >= 0;
       at = FindStartCode(w.head, w.headLength, code, static_cast<size_t>(at) + 1)) {
    if (read(w.head, w.headLength, static_cast<size_t>(at), first)) {
      haveFirst = true;
      break;
    }
  }
  if (!haveFirst) return false;
  // Backwards from the tail's end: each search ends just before the last hit.
  size_t limit = w.tailLength;
  while (true) {
    int64_t at = FindLastStartCode(w.tail, limit, code);
    if (at < 0) return false;
    if (read(w.tail, w.tailLength, static_cast<size_t>(at), last)) {
      if (lastAt) *lastAt = static_cast<size_t>(at);
      return true;
    }
    limit = static_cast<size_t>(at) + 3;
  }
}

// Offset of an MPEG-1 packet's time-stamp flags: past the stuffing bytes and
// the STD buffer size of the packet whose start code is at offset at.
size_t Mpeg1StampsAt(const uint8_t* w, size_t at, size_t end) {
  size_t q = at + 6;
  for (int stuffing = 0; q < end && w[q] == 0xFF && stuffing < 16; ++stuffing) ++q;
  if (q < end && (w[q] & 0xC0) == 0x40) q += 2;
  return q;
}

// Presentation time of the packet (MPEG-1 or MPEG-2 header) whose start
// code is at offset at; false when it carries none, is damaged or is cut by
// the window.
bool ReadPesTime(const uint8_t* w, size_t length, size_t at, double& pts) {
  size_t q = at + 6;
  if (q + 3 <= length && (w[q] & 0xC0) == 0x80) {
    if ((w[q + 1] & 0x80) == 0) return false;
    q += 3;
  } else {
    q = Mpeg1StampsAt(w, at, length);
  }
  if (q + 5 > length || (w[q] & 0xE0) != 0x20 || !MpegTimeStampMarked(w + q)) return false;
  pts = static_cast<double>(ReadMpegTimeStamp(w + q));
  return true;
}

bool IsPesStream(uint8_t id) { return id == 0xBD || (id >= 0xC0 && id <= 0xEF); }

struct StampRange {
  bool found = false;
  double least = 0, greatest = 0;
  bool greatestIsVideo = false;
};

// Least and greatest presentation time of the audio and video packets of a
// window. B-pictures put the stamps out of order, hence not first and last.
StampRange ScanPesTimes(const uint8_t* w, size_t length) {
  StampRange range;
  double pts = 0;
  for (size_t at = 0; at + 4 <= length; ++at) {
    if (w[at + 2] > 1) {  // no 00 00 01 starts here or at the next two offsets
      at += 2;
      continue;
    }
    if (w[at] != 0 || w[at + 1] != 0 || w[at + 2] != 1 || !IsPesStream(w[at + 3])) continue;
    if (!ReadPesTime(w, length, at, pts)) continue;
    if (!range.found || pts < range.least) range.least = pts;
    if (!range.found || pts > range.greatest) {
      range.greatest = pts;
      range.greatestIsVideo = w[at + 3] >= 0xE0;
    }
    range.found = true;
  }
  return range;
}

// Earliest presentation time of the head window to the latest of the tail
// window, plus a picture's period when the latest is a picture's. Muxers
// start the system clock well before the first presentation (ffmpeg by half
// a second), which in short files is a large part of the pack-clock span.
double PesTimeDuration(const StreamWindows& w, double frameRate) {
  StampRange head = ScanPesTimes(w.head, w.headLength);
  StampRange tail = w.single ? head : ScanPesTimes(w.tail, w.tailLength);
  if (!head.found || !tail.found || !(tail.greatest > head.least)) return 0;
  return (tail.greatest - head.least) / kSystemClock + (tail.greatestIsVideo && frameRate > 0 ? 1 / frameRate : 0);
}

double PackClockDuration(const StreamWindows& w) {
  double first = 0, last = 0;
  if (!FirstAndLast(w, kMpegPackStartCode, ReadPackClock, first, last)) return 0;
  double seconds = (last - first) / kSystemClock;
  return seconds > 0 ? seconds : 0;
}

// Pictures from the group header at offset at to the window's end.
double CountPictures(const uint8_t* w, size_t length, size_t at) {
  constexpr uint32_t kPictureStartCode = 0x00000100;
  double count = 0;
  for (int64_t p = FindStartCode(w, length, kPictureStartCode, at); p >= 0;
       p = FindStartCode(w, length, kPictureStartCode, static_cast<size_t>(p) + 4))
    ++count;
  return count;
}

// Span of the group time codes plus the pictures of the last group, which
// its time code does not cover.
double GopTimecodeDuration(const StreamWindows& w, double frameRate) {
  TimeCode first{}, last{};
  size_t lastAt = 0;
  if (!FirstAndLast(w, kMpegGroupStartCode, ReadTimeCode, first, last, &lastAt)) return 0;
  double seconds = last.wholeSeconds - first.wholeSeconds;
  if (frameRate > 0) {
    double lastGroup = CountPictures(w.tail, w.tailLength, lastAt);
    seconds += (last.pictures - first.pictures + lastGroup) / frameRate;
  }
  return seconds > 0 ? seconds : 0;
}

void DescribeMpegAudioAt(AudioSlots& slots, size_t slot, const uint8_t* bytes, size_t length) {
  MpegAudioInfo audio{};
  if (!ParseMpegAudioHeader(bytes, length, audio)) return;
  char line[kLineBytes];
  DescribeMpegAudio(line, sizeof line, audio);
  slots.Fill(slot, line, audio.bitrate * 1000);
}

// Start of an MPEG-1 packet's data: past stuffing, the STD buffer size and
// the time stamps.
size_t Mpeg1PayloadStart(const uint8_t* w, size_t at, size_t end) {
  size_t q = Mpeg1StampsAt(w, at, end);
  if (q < end) {
    if ((w[q] & 0xF0) == 0x20) {
      q += 5;
    } else if ((w[q] & 0xF0) == 0x30) {
      q += 10;
    } else if (w[q] == 0x0F) {
      q += 1;
    }
  }
  return q;
}

void ScanMpeg1Audio(const uint8_t* w, size_t length, AudioSlots& slots) {
  size_t p = 0;
  while (p + 6 <= length) {
    uint32_t code = ReadU32BE(w, p);
    if (code < 0x1C0 || code > 0x1C7) {
      ++p;
      continue;
    }
    size_t slot = code & 7;
    if (slots.used[slot]) return;
    size_t end = p + 6 + ReadU16BE(w, p + 4);
    size_t payloadEnd = end < length ? end : length;
    for (size_t q = Mpeg1PayloadStart(w, p, payloadEnd); q < payloadEnd;) {
      int64_t hit = FindMpegAudioSync(w, payloadEnd, q);
      if (hit < 0) break;
      size_t at = static_cast<size_t>(hit);
      DescribeMpegAudioAt(slots, slot, w + at, payloadEnd - at);
      if (slots.used[slot]) break;
      q = at + 1;
    }
    p = end;
  }
}

// Where the scan goes on after a PES packet: its end when the length field
// keeps it inside the window, else just past the start code.
size_t PacketEnd(const uint8_t* w, size_t length, size_t p) {
  size_t packetLength = ReadU16BE(w, p + 4);
  size_t end = p + 6 + packetLength;
  return packetLength != 0 && end <= length ? end : p + 4;
}

void ScanMpegAudioPacket(const uint8_t* w, size_t length, size_t p, size_t slot, AudioSlots& slots) {
  size_t start = p + 9 + w[p + 8];
  for (size_t q = start; q < start + kSyncSearchBytes && q + 1 < length; ++q) {
    if (w[q] != 0xFF) continue;
    uint8_t next = w[q + 1];
    if ((next & 0xFE) == 0xF0 || (next & 0xFE) == 0xF8) {
      AacInfo aac{};
      if (ParseAdtsHeaderBytes(w + q, length - q, aac)) {
        char line[kLineBytes];
        DescribeAac(line, sizeof line, aac);
        slots.Fill(slot, line, aac.bitrate);
      }
      return;
    }
    if (next >= 0xE0 && next <= 0xFE) {
      DescribeMpegAudioAt(slots, slot, w + q, length - q);
      return;
    }
  }
}

void ScanAc3Packet(const uint8_t* w, size_t length, size_t from, size_t slot, AudioSlots& slots) {
  size_t limit = from + kSyncSearchBytes + 6;
  int64_t hit = FindAc3Sync(w, limit < length ? limit : length, from);
  if (hit < 0) return;
  size_t at = static_cast<size_t>(hit);
  Ac3Info ac3{};
  CopyText(ac3.codec, sizeof ac3.codec, kAc3Codec);
  if (!ParseAc3SyncInfo(ac3, w + at, length - at)) return;
  if (ac3.isEac3) CopyText(ac3.codec, sizeof ac3.codec, kEac3Codec);
  char line[kLineBytes];
  DescribeAc3(line, sizeof line, ac3);
  slots.Fill(slot, line, ac3.bitrate);
}

void ScanDtsPacket(const uint8_t* w, size_t length, size_t from, size_t slot, AudioSlots& slots) {
  constexpr size_t kSyncSpan = 21;  // FindDtsSync wants this much from a hit
  size_t limit = from + kSyncSearchBytes + kSyncSpan - 1;
  int64_t hit = FindDtsSync(w, limit < length ? limit : length, from);
  if (hit < 0) return;
  size_t at = static_cast<size_t>(hit);
  DtsInfo dts{};
  if (!ParseDtsHeader(dts, w + at, length - at)) return;
  char line[kLineBytes];
  DescribeDts(line, sizeof line, dts);
  slots.Fill(slot, line, dts.bitrate);
}

void ScanPrivateStream(const uint8_t* w, size_t length, size_t p, AudioSlots& slots) {
  size_t sub = p + 9 + w[p + 8];
  if (sub >= length) return;
  uint8_t id = w[sub];
  if (id >= 0x80 && id <= 0x87) {
    if (!slots.used[id - 0x80]) ScanAc3Packet(w, length, sub + 1, id - 0x80, slots);
  } else if (id >= 0x88 && id <= 0x8F) {
    if (!slots.used[id - 0x88]) ScanDtsPacket(w, length, sub + 4, id - 0x88, slots);
  } else if (id >= 0xA0 && id <= 0xA7) {
    size_t slot = id - 0xA0;
    LpcmInfo lpcm{};
    if (!slots.used[slot] && ParseDvdLpcmHeader(lpcm, w + sub + 1, length - sub - 1)) {
      char line[kLineBytes];
      FormatLpcmText(line, sizeof line, lpcm);
      slots.Fill(slot, line, lpcm.bitRate);
    }
  }
}

void ScanMpeg2Audio(const uint8_t* w, size_t length, AudioSlots& slots) {
  size_t p = 0;
  while (p + 9 <= length) {
    if (w[p + 2] > 1) {  // no start code begins at p, p + 1 or p + 2
      p += 3;
      continue;
    }
    uint32_t code = ReadU32BE(w, p);
    if (code >= 0x1C0 && code <= 0x1C7) {
      size_t slot = code & 7;
      if ((w[p + 6] & 0xC0) == 0x80 && !slots.used[slot]) ScanMpegAudioPacket(w, length, p, slot, slots);
      p = PacketEnd(w, length, p);
    } else if (code == 0x1BD) {
      ScanPrivateStream(w, length, p, slots);
      p = PacketEnd(w, length, p);
    } else {
      ++p;
    }
  }
}

void ReportSequenceMissing(MediaInfo& info, MpegSystemVariant variant) {
  SetErrorText(info, variant == MpegSystemVariant::kMpeg1 ? msg::kMpeg1NoSequence : msg::kMpeg2NoSequence);
}

void AnalyzeMpegFile(MediaInfo& info, FileReader& reader, MpegSystemVariant variant) {
  SetFormatName(info, variant == MpegSystemVariant::kMpeg1 ? "MPEG1" : "MPEG2");
  AnalyzeMpegSystemStream(reader, info, 0, reader.Size(), variant);
  reader.Close();
}

}  // namespace

bool ParseDvdLpcmHeader(LpcmInfo& info, const uint8_t* bytes, size_t length) {
  if (!bytes || length < 5) return false;
  BitText bits(bytes, 5);
  bits.Skip(8 + 16 + 1 + 1 + 1 + 5);
  uint64_t quantization = bits.Take(2);
  uint64_t frequency = bits.Take(2);
  bits.Skip(1);
  uint64_t channels = bits.Take(3) + 1;
  if (quantization > 2 || frequency > 1) return false;
  CopyText(info.codec, sizeof info.codec, "LinearPCM");
  info.bitsPerSample = static_cast<uint16_t>(16 + 4 * quantization);
  info.sampleRate = frequency == 0 ? 48000 : 96000;
  info.channels = static_cast<uint16_t>(channels);
  info.bitRate = info.channels * info.bitsPerSample * info.sampleRate;
  return true;
}

void FormatLpcmText(char* out, size_t size, const LpcmInfo& info) {
  if (size == 0) return;
  Description d("MPEG1/2", "LPCM");
  d.SetText("#codec#", info.codec);
  d.Set("#sampleratek#", "%.2f", info.sampleRate * 0.001);
  d.Set("#samplerate#", "%lld", WholeNumber(info.sampleRate));
  d.Set("#bitdepth#", "%d", info.bitsPerSample);
  d.Set("#channel#", "%d", info.channels);
  d.Set("#bitratek#", "%.2f", info.bitRate * 0.001);
  d.Set("#bitrate#", "%.2f", info.bitRate);
  CopyText(out, size, d.Text());
}

bool AnalyzeMpegSystemStream(FileReader& reader, MediaInfo& info, uint64_t start, uint64_t end,
                             MpegSystemVariant variant) {
  bool mpeg1 = variant == MpegSystemVariant::kMpeg1;
  FileReader::State saved = reader.Save();
  MpegVideoInfo video{};
  CopyText(video.codec, sizeof video.codec, mpeg1 ? "MPEG1" : "MPEG2");

  StreamWindows w;
  WindowLoad load = LoadStreamWindows(reader, start, end, kWindowBytes, w);
  reader.Restore(saved);
  if (load == WindowLoad::kNoHeadBuffer) {
    SetErrorText(info, mpeg1 ? msg::kMpeg1NoBuffer1 : msg::kMpeg2NoBuffer1);
    return false;
  }
  if (load == WindowLoad::kNoTailBuffer) {
    SetErrorText(info, mpeg1 ? msg::kMpeg1NoBuffer2 : msg::kMpeg2NoBuffer2);
    return false;
  }

  int64_t header = -1;
  for (int64_t at = FindStartCode(w.head, w.headLength, kMpegSequenceHeaderCode); at >= 0;
       at = FindStartCode(w.head, w.headLength, kMpegSequenceHeaderCode, static_cast<size_t>(at) + 1)) {
    size_t body = static_cast<size_t>(at) + 4;
    if (ParseMpegSequenceHeader(video, w.head + body, w.headLength - body)) {
      header = at;
      break;
    }
  }
  if (header < 0) {
    ReportSequenceMissing(info, variant);
    return false;
  }

  if (!mpeg1) {
    for (int64_t at = FindStartCode(w.head, w.headLength, kMpegExtensionStartCode); at >= 0;
         at = FindStartCode(w.head, w.headLength, kMpegExtensionStartCode, static_cast<size_t>(at) + 4)) {
      size_t a = static_cast<size_t>(at);
      if (ParseMpegSequenceExtension(video, w.head + a, w.headLength - a)) break;
    }
  }

  double pesDuration = PesTimeDuration(w, video.frameRate);
  double packDuration = PackClockDuration(w);
  double gopDuration = GopTimecodeDuration(w, video.frameRate);

  w.tailData.reset();
  AudioSlots slots;
  if (mpeg1) {
    ScanMpeg1Audio(w.head, w.headLength, slots);
  } else {
    ScanMpeg2Audio(w.head, w.headLength, slots);
  }

  uint64_t range = end > start ? end - start : 0;
  double bytesAfterHeader = static_cast<double>(range - static_cast<uint64_t>(header));
  double duration = pesDuration > 0 ? pesDuration : packDuration > 0 ? packDuration : gopDuration;
  if (duration <= 0 && video.bitRate > 0) duration = bytesAfterHeader * 8 / (video.bitRate + slots.bitRateSum);
  if (!(duration > 0)) duration = 0;
  info.duration = duration;
  if (duration > 0) video.averageBitRate = bytesAfterHeader * 8 / duration - slots.bitRateSum;
  if (video.averageBitRate < 0) video.averageBitRate = 0;  // audio rates above the measured total

  char line[kLineBytes];
  FormatMpegVideoText(line, sizeof line, video);
  AddVideoText(info, line);
  for (size_t i = 0; i < kSlots; ++i)
    if (slots.used[i]) AddAudioText(info, slots.text[i]);
  return true;
}

void AnalyzeMpeg1(MediaInfo& info, FileReader& reader) { AnalyzeMpegFile(info, reader, MpegSystemVariant::kMpeg1); }

void AnalyzeMpeg2(MediaInfo& info, FileReader& reader) { AnalyzeMpegFile(info, reader, MpegSystemVariant::kMpeg2); }

}  // namespace probex
