#include "ogg.h"

#include <cstring>
#include <vector>

#include "../audio/audio_line.h"
#include "../audio/flac.h"
#include "../audio/tags.h"
#include "../audio/wave_format.h"
#include "../core/bits.h"
#include "../core/file_reader.h"
#include "../core/media_info.h"
#include "../core/messages.h"
#include "../core/templates.h"
#include "../core/text.h"
#include "../video/mpeg4_visual.h"
#include "../video/video_line.h"

namespace probex {

namespace {

constexpr size_t kMaxStreams = 16;
constexpr uint64_t kTailWindow = 1024000;
constexpr size_t kMaxTailPages = 2048;
constexpr size_t kPageHeaderBytes = 27;
constexpr size_t kResyncChunk = 64 * 1024;

struct OggPage {
  uint64_t start;
  uint8_t headerType;
  int64_t granule;
  uint32_t serial;
  uint64_t bodyStart;
  uint32_t bodySize;
  uint32_t firstPacketSize;
};

struct OggStream {
  uint32_t serial;
  uint64_t firstPos;
  uint32_t firstSize;
  int64_t firstGranule;
  bool hasSecond;
  uint64_t secondPos;
  uint32_t secondSize;
  bool hasEnd;
  int64_t endGranule;
};

void ParsePageHeader(const uint8_t* h, uint64_t start, OggPage& page) {
  page.start = start;
  page.headerType = h[5];
  page.granule = static_cast<int64_t>(ReadU64LE(h, 6));
  page.serial = ReadU32LE(h, 14);
  page.bodyStart = start + kPageHeaderBytes + h[26];
}

// The page at start; false when the file ends inside its header or lacing.
bool ReadPage(FileReader& reader, uint64_t start, OggPage& page) {
  uint8_t header[kPageHeaderBytes + 255] = {};
  reader.Seek(static_cast<int64_t>(start), 0);
  if (reader.Read(header, kPageHeaderBytes) < kPageHeaderBytes) return false;
  uint8_t segments = header[26];
  if (reader.Read(header + kPageHeaderBytes, segments) < segments) return false;
  ParsePageHeader(header, start, page);
  page.bodySize = 0;
  page.firstPacketSize = 0;
  bool firstEnded = false;
  for (size_t i = 0; i < segments; ++i) {
    uint8_t lace = header[kPageHeaderBytes + i];
    page.bodySize += lace;
    if (!firstEnded) page.firstPacketSize += lace;
    if (lace < 255) firstEnded = true;
  }
  return true;
}

// Offset of the next "OggS" at or after from, or the file size.
uint64_t FindCapture(FileReader& reader, uint64_t from) {
  std::vector<uint8_t> chunk(kResyncChunk + 3);
  while (from < reader.Size()) {
    reader.Seek(static_cast<int64_t>(from), 0);
    size_t got = reader.Read(chunk.data(), chunk.size(), false);
    if (got < 4) break;
    std::ptrdiff_t at = FindNoCase(chunk.data(), got, "OggS");
    if (at >= 0) return from + static_cast<uint64_t>(at);
    from += got - 3;
  }
  return reader.Size();
}

std::vector<uint8_t> ReadBytes(FileReader& reader, uint64_t position, uint32_t size) {
  std::vector<uint8_t> bytes(size, 0);
  reader.Seek(static_cast<int64_t>(position), 0);
  bytes.resize(size ? reader.Read(bytes.data(), size, true) : 0);
  return bytes;
}

class OggWalk {
 public:
  OggWalk(MediaInfo& media, FileReader& reader) : media_(media), reader_(reader) {}
  void Run();

  // The describers of the first packets' table (kOggCodecs).
  void CountText(const OggStream& stream, const std::vector<uint8_t>& packet, bool reference, int64_t g);
  void DescribeVorbis(const OggStream& stream, const std::vector<uint8_t>& packet, bool reference, int64_t g);
  void DescribeSpeex(const OggStream& stream, const std::vector<uint8_t>& packet, bool reference, int64_t g);
  void DescribeTheora(const OggStream& stream, const std::vector<uint8_t>& packet, bool reference, int64_t g);
  void DescribeOgmVideo(const OggStream& stream, const std::vector<uint8_t>& packet, bool reference, int64_t g);
  void DescribeOgmAudio(const OggStream& stream, const std::vector<uint8_t>& packet, bool reference, int64_t g);
  void DescribeOpus(const OggStream& stream, const std::vector<uint8_t>& packet, bool reference, int64_t g);
  void DescribeFlac(const OggStream& stream, const std::vector<uint8_t>& packet, bool reference, int64_t g);

 private:
  void CollectStreams();
  void CollectEnds();
  OggStream* FindStream(uint32_t serial);
  void Describe(const OggStream& stream, bool reference, int64_t g);

  MediaInfo& media_;
  FileReader& reader_;
  OggStream streams_[kMaxStreams] = {};
  size_t streamCount_ = 0;
  size_t endCount_ = 0;
  int textStreams_ = 0;
  TagInfo tags_{};
};

OggStream* OggWalk::FindStream(uint32_t serial) {
  for (size_t i = 0; i < streamCount_; ++i)
    if (streams_[i].serial == serial) return &streams_[i];
  return nullptr;
}

void OggWalk::CollectStreams() {
  uint64_t position = 0;
  while (position < reader_.Size()) {
    uint8_t capture[4] = {};
    reader_.Seek(static_cast<int64_t>(position), 0);
    reader_.Read(capture, 4, false);
    if (std::memcmp(capture, "OggS", 4) != 0) {
      // Damage between pages: go on at the next capture pattern.
      position = FindCapture(reader_, position + 1);
      continue;
    }
    OggPage page{};
    if (!ReadPage(reader_, position, page) || page.bodySize == 0) break;
    position = page.bodyStart + page.bodySize;  // always past this page's header

    if (page.headerType & 0x02) {
      if (streamCount_ < kMaxStreams) {
        OggStream& s = streams_[streamCount_++];
        s.serial = page.serial;
        s.firstPos = page.bodyStart;
        s.firstSize = page.bodySize;
        s.firstGranule = page.granule;
      }
      continue;
    }
    std::vector<uint8_t> probe = ReadBytes(reader_, page.bodyStart, 15);
    if (probe.size() >= 15 && EqualNoCase(probe.data() + 11, "Xiph", 4)) {
      std::vector<uint8_t> packet = ReadBytes(reader_, page.bodyStart, page.firstPacketSize);
      if (packet.size() > 7) ScanVorbisComment(packet.data() + 7, packet.size() - 7, tags_);
      continue;
    }
    if (OggStream* s = FindStream(page.serial); s && !s->hasSecond) {
      s->hasSecond = true;
      s->secondPos = page.bodyStart;
      s->secondSize = page.bodySize;
    }
    bool waiting = false;
    for (size_t i = 0; i < streamCount_; ++i) waiting = waiting || !streams_[i].hasSecond;
    if (!waiting) break;
  }
}

void OggWalk::CollectEnds() {
  uint64_t window = reader_.Size() < kTailWindow ? reader_.Size() : kTailWindow;
  uint64_t base = reader_.Size() - window;
  std::vector<uint8_t> tail = ReadBytes(reader_, base, static_cast<uint32_t>(window));
  // The last pages are the ones that matter: keep the newest offsets only.
  std::vector<size_t> offsets;
  for (size_t i = 0; i + 4 <= tail.size(); ++i)
    if (std::memcmp(tail.data() + i, "OggS", 4) == 0) offsets.push_back(i);
  size_t first = offsets.size() > kMaxTailPages ? offsets.size() - kMaxTailPages : 0;
  for (size_t k = offsets.size(); k > first && endCount_ < streamCount_; --k) {
    size_t at = offsets[k - 1];
    if (tail.size() - at < kPageHeaderBytes) continue;
    OggPage page{};
    ParsePageHeader(tail.data() + at, base + at, page);
    // 0: no packet ends on the page yet; -1: no packet ends on it at all;
    // other negative positions are damage and would give a negative time.
    if (page.granule <= 0) continue;
    OggStream* s = FindStream(page.serial);
    if (!s || s->hasEnd) continue;
    s->hasEnd = true;
    s->endGranule = page.granule;
    ++endCount_;
  }
}

void OggWalk::Run() {
  CollectStreams();
  if (streamCount_ == 0) {
    SetErrorText(media_, msg::kOggNoStream);
    return;
  }
  CollectEnds();
  if (endCount_ == 0) {
    SetErrorText(media_, msg::kOggNoStreamEnd);
    return;
  }
  // The reference stream, whose end gives the playing time, is the first
  // stream in stream order that has a recorded end.
  size_t reference = 0;
  while (!streams_[reference].hasEnd) ++reference;
  int64_t g = streams_[reference].endGranule;
  for (size_t i = 0; i < streamCount_; ++i) Describe(streams_[i], i == reference, g);

  char text[PROBEX_TEXT_BYTES] = {};
  if (textStreams_ > 0) {
    FormatText(text, sizeof text, "Text(%d)", textStreams_);
    AddExtraText(media_, text);
  }
  DescribeTags(text, sizeof text, tags_);
  if (text[0]) AddExtraText(media_, text);
}

// One row per first packet a stream may begin with: its magic at offset,
// tried in order, and the describer of the stream.
struct OggCodecRow {
  const char* magic;
  size_t offset;
  void (OggWalk::*describe)(const OggStream&, const std::vector<uint8_t>&, bool, int64_t);
};

constexpr OggCodecRow kOggCodecs[] = {
    {"text", 1, &OggWalk::CountText},
    {"video", 1, &OggWalk::DescribeOgmVideo},
    {"vorbis", 1, &OggWalk::DescribeVorbis},
    {"Speex   ", 0, &OggWalk::DescribeSpeex},
    {"OpusHead", 0, &OggWalk::DescribeOpus},
    {"audio", 1, &OggWalk::DescribeOgmAudio},
    {"theora", 1, &OggWalk::DescribeTheora},
    {"fLaC", 0, &OggWalk::DescribeFlac},
    {"FLAC", 1, &OggWalk::DescribeFlac},
};

void OggWalk::Describe(const OggStream& stream, bool reference, int64_t g) {
  std::vector<uint8_t> packet = ReadBytes(reader_, stream.firstPos, stream.firstSize);
  for (const OggCodecRow& row : kOggCodecs) {
    size_t length = std::strlen(row.magic);
    if (packet.size() >= row.offset + length && EqualNoCase(packet.data() + row.offset, row.magic, length)) {
      (this->*row.describe)(stream, packet, reference, g);
      return;
    }
  }
}

void OggWalk::CountText(const OggStream&, const std::vector<uint8_t>&, bool, int64_t) { ++textStreams_; }

void OggWalk::DescribeVorbis(const OggStream&, const std::vector<uint8_t>& packet, bool reference, int64_t g) {
  VorbisInfo info{};
  ParseVorbisIdHeader(packet.data(), packet.size(), info);
  if (reference) media_.duration = info.sampleRate > 0 ? g / info.sampleRate : 0.0;
  char text[PROBEX_TEXT_BYTES] = {};
  FormatVorbisText(text, sizeof text, info);
  AddAudioText(media_, text);
}

void OggWalk::DescribeSpeex(const OggStream&, const std::vector<uint8_t>& packet, bool reference, int64_t g) {
  SpeexInfo info{};
  ParseSpeexHeader(packet.data(), packet.size(), info);
  if (reference) media_.duration = info.sampleRate ? static_cast<double>(g) / info.sampleRate : 0.0;
  char text[PROBEX_TEXT_BYTES] = {};
  FormatSpeexText(text, sizeof text, info);
  AddAudioText(media_, text);
}

void OggWalk::DescribeTheora(const OggStream& stream, const std::vector<uint8_t>& packet, bool reference, int64_t g) {
  TheoraInfo info{};
  ParseTheoraIdHeader(packet.data(), packet.size(), info);
  if (reference && info.frameRateNumerator)
    media_.duration = static_cast<double>(TheoraGranuleFrames(g, info.granuleShift)) *
                      info.frameRateDenominator / info.frameRateNumerator;
  // Before 3.2.1 granule positions counted frames from 0.
  bool zeroBased = info.versionMajor == 3 && info.versionMinor == 2 && info.versionRevision == 0;
  info.frameCount = stream.hasEnd ? TheoraGranuleFrames(stream.endGranule, info.granuleShift) + (zeroBased ? 1 : 0) : 0;
  char text[PROBEX_TEXT_BYTES] = {};
  FormatTheoraText(text, sizeof text, info);
  AddVideoText(media_, text);
}

void OggWalk::DescribeOgmVideo(const OggStream& stream, const std::vector<uint8_t>& packet, bool reference,
                               int64_t g) {
  uint8_t h[53] = {};
  std::memcpy(h, packet.data(), packet.size() < sizeof h ? packet.size() : sizeof h);
  uint64_t timeUnit = ReadU64LE(h, 17);
  if (reference) media_.duration = static_cast<double>(g) * static_cast<double>(timeUnit) / 10000000.0;
  char fourCC[5] = {};
  for (int i = 0; i < 4; ++i) fourCC[i] = h[9 + i] ? static_cast<char>(h[9 + i]) : ' ';
  char codec[64] = {};
  LookupCodec(codec, sizeof codec, "AVI", fourCC);
  bool divx = std::strncmp(codec, "DivX 5", 6) == 0;
  bool xvid = std::strncmp(codec, "XviD", 4) == 0;
  if ((divx || xvid) && stream.hasSecond) {
    std::vector<uint8_t> frame = ReadBytes(reader_, stream.secondPos, stream.secondSize);
    RefineMpeg4VisualName(codec, sizeof codec, frame.data(), frame.size());
  }
  Description d("OGG", "VIDEO");
  d.Set("#width#", "%d", static_cast<int>(ReadU32LE(h, 45)));
  d.Set("#height#", "%d", static_cast<int>(ReadU32LE(h, 49)));
  d.Set("#bitdepth#", "%d", static_cast<int>(ReadU16LE(h, 41)));
  d.SetText("#codec#", codec);
  d.SetKnown("#framerate#", "%.2f", timeUnit ? 10000000.0 / static_cast<double>(timeUnit) : 0.0);
  d.Set("#frame#", "%lld", stream.hasEnd ? static_cast<long long>(stream.endGranule) + 1 : 0LL);
  AddVideoText(media_, d.Text());
}

void OggWalk::DescribeOgmAudio(const OggStream& stream, const std::vector<uint8_t>& packet, bool reference,
                               int64_t g) {
  uint8_t h[53] = {};
  std::memcpy(h, packet.data(), packet.size() < sizeof h ? packet.size() : sizeof h);
  char subtype[5] = {};
  std::memcpy(subtype, h + 9, 4);
  uint32_t tag = 0;
  for (int i = 0; i < 4 && subtype[i]; ++i) {
    char c = AsciiLower(subtype[i]);
    int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    if (digit < 0) break;
    tag = tag * 16 + static_cast<uint32_t>(digit);
  }
  uint64_t samplesPerUnit = ReadU64LE(h, 25);
  if (reference) media_.duration = samplesPerUnit ? static_cast<double>(g) / static_cast<double>(samplesPerUnit) : 0.0;
  char text[PROBEX_TEXT_BYTES] = {};
  if (stream.hasSecond) {
    std::vector<uint8_t> data = ReadBytes(reader_, stream.secondPos, stream.secondSize);
    if (ProbeAudioPayload(data.data(), data.size(), tag, text, sizeof text)) {
      AddAudioText(media_, text);
      return;
    }
  }
  AudioStream audio{};
  LookupWaveCodec(audio.codec, sizeof audio.codec, tag);
  audio.sampleRate = static_cast<double>(samplesPerUnit);
  audio.bitDepth = static_cast<uint16_t>(ReadU16LE(h, 41));
  audio.channels = static_cast<uint16_t>(ReadU16LE(h, 45));
  audio.bitRate = ReadU32LE(h, 49) * 8.0;
  FormatRiffAudioText(text, sizeof text, audio);
  AddAudioText(media_, text);
}

// Opus (RFC 7845): granule positions count 48 kHz samples from before the
// pre-skip, whatever rate the input had.
void OggWalk::DescribeOpus(const OggStream&, const std::vector<uint8_t>& packet, bool reference, int64_t g) {
  OpusInfo info{};
  ParseOpusHead(packet.data(), packet.size(), info);
  double duration = OpusSeconds(info, g);
  if (reference) media_.duration = duration;
  // The pages do not say which bytes are Opus: alone in its file, the
  // stream's rate is the file's.
  info.bitRate = streamCount_ == 1 && duration > 0 ? static_cast<double>(reader_.Size()) * 8.0 / duration : 0.0;
  char text[PROBEX_TEXT_BYTES] = {};
  FormatOpusText(text, sizeof text, info);
  AddAudioText(media_, text);
}

// Ogg FLAC reads like a FLAC file: its STREAMINFO, the time from the last
// granule position (samples) and the bit rate of the whole file.
// Current mapping: 7F "FLAC" 1 1 n "fLaC" and the STREAMINFO block in the
// first packet; the old one: "fLaC" alone, the block in the next packet.
void OggWalk::DescribeFlac(const OggStream& stream, const std::vector<uint8_t>& packet, bool reference,
                           int64_t g) {
  std::vector<uint8_t> block;
  if (packet.size() >= 1 && packet[0] == 0x7F) {
    block.assign(packet.begin() + (packet.size() < 13 ? packet.size() : 13), packet.end());
  } else if (stream.hasSecond) {
    block = ReadBytes(reader_, stream.secondPos, stream.secondSize);
  }
  // A metadata block header (4 bytes), then the STREAMINFO body.
  FlacInfo info{};
  if (block.size() < 4 || !ParseFlacStreamInfo(block.data() + 4, block.size() - 4, info) || info.sampleRate == 0) {
    AddAudioText(media_, msg::kOggFlacUnsupported);
    return;
  }
  double seconds = stream.hasEnd ? static_cast<double>(stream.endGranule) / info.sampleRate : 0.0;
  info.bitrate = seconds > 0 ? static_cast<double>(reader_.Size()) * 8 / seconds : 0.0;
  char text[PROBEX_TEXT_BYTES] = {};
  ::probex::DescribeFlac(text, sizeof text, info);
  AddAudioText(media_, text);
  if (reference) media_.duration = static_cast<double>(g) / info.sampleRate;
}

}  // namespace

void AnalyzeOgg(MediaInfo& media, FileReader& reader) {
  SetFormatName(media, "Ogg");
  OggWalk walk(media, reader);
  walk.Run();
  reader.Close();
}

}  // namespace probex
