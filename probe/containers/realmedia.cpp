#include "realmedia.h"

#include <cstring>
#include <vector>

#include "../core/bits.h"
#include "../core/file_reader.h"
#include "../core/media_info.h"
#include "../core/messages.h"
#include "../core/templates.h"
#include "../core/text.h"
#include "chunk_io.h"

namespace probex {

namespace {

constexpr size_t kChunkHeader = 8;
constexpr size_t kBodyCap = 64 * 1024;
constexpr int kMaxMdpr = 32;
constexpr size_t kRealAudioHead = 128;

void CopyFourCC(char (&out)[5], const uint8_t* bytes) {
  std::memcpy(out, bytes, 4);
  out[4] = '\0';
}

// Some writers store 32-bit header fields as 16.16 fixed point.
int32_t WholePart(uint32_t value) {
  return static_cast<int32_t>(value > 0xFFFF && (value & 0xFFFF) == 0 ? value >> 16 : value);
}

// The codec key upper-cased; an empty key (no codec named) looks nothing up.
void LookupRealCodec(char* out, size_t size, const char* section, const char* text) {
  char key[5];
  for (size_t i = 0; i < 4; ++i) key[i] = text[i] >= 'a' && text[i] <= 'z' ? static_cast<char>(text[i] - 32) : text[i];
  key[4] = '\0';
  if (key[0]) LookupCodec(out, size, section, key);
}

bool ParseVersion3(const uint8_t* b, size_t length, RealAudioInfo& info) {
  if (length < 22) return false;
  CopyText(info.signature, sizeof info.signature, ".ra3");
  info.bitsPerSample = 16;
  info.sampleRate = 8000;
  info.headerSize = static_cast<int32_t>(ReadU16BE(b, 6));
  info.channels = static_cast<uint16_t>(ReadU16BE(b, 8));
  info.value10 = static_cast<uint16_t>(ReadU16BE(b, 10));
  info.value12 = static_cast<uint16_t>(ReadU16BE(b, 12));
  info.value14 = static_cast<uint16_t>(ReadU16BE(b, 14));
  info.bytesPerMinute = static_cast<int32_t>(ReadU16BE(b, 16));
  info.dataSize = static_cast<int32_t>(ReadU32BE(b, 18));
  // Title, author and copyright, each a length byte and its text, then the
  // codec key three bytes on; all of it within the bytes read.
  size_t at = 22;
  for (int i = 0; i < 3; ++i) {
    if (at >= length) return true;
    at += 1 + b[at];
  }
  at += 3;
  if (at <= length && length - at >= 4) CopyFourCC(info.codecKey, b + at);
  return true;
}

bool ParseVersion45(const uint8_t* b, size_t length, RealAudioInfo& info) {
  size_t need = info.version == 4 ? 66 : 70;
  if (length < need) return false;
  CopyFourCC(info.signature, b + 8);
  info.headerSize = static_cast<int32_t>(ReadU32BE(b, 18));
  info.flavor = static_cast<uint16_t>(ReadU16BE(b, 22));
  info.codedFrameSize = ReadU32BE(b, 24);
  info.dataSize = static_cast<int32_t>(ReadU32BE(b, 28));
  info.bytesPerMinute = static_cast<int32_t>(ReadU32BE(b, 32));
  if (info.version == 4) {
    info.sampleRate = static_cast<int32_t>(ReadU16BE(b, 48));
    info.bitsPerSample = static_cast<int32_t>(ReadU16BE(b, 52));
    info.channels = static_cast<uint16_t>(ReadU16BE(b, 54));
    CopyFourCC(info.codecKey, b + 62);
  } else {
    info.sampleRate = WholePart(ReadU32BE(b, 48));
    info.bitsPerSample = WholePart(ReadU32BE(b, 56));
    info.channels = static_cast<uint16_t>(ReadU16BE(b, 60));
    CopyFourCC(info.codecKey, b + 66);
  }
  return true;
}

bool MimeIs(const uint8_t* mime, size_t length, const char* literal) {
  return length == std::strlen(literal) && EqualNoCase(mime, literal, length);
}

class RealMediaWalk {
 public:
  RealMediaWalk(MediaInfo& media, FileReader& reader) : media_(media), reader_(reader) {}
  void Run();

 private:
  void StreamProperties(const std::vector<uint8_t>& body);

  MediaInfo& media_;
  FileReader& reader_;
  uint32_t propDuration_ = 0;
  bool haveMdprDuration_ = false;
  uint32_t mdprDuration_ = 0;
  int mdprCount_ = 0;
  bool described_ = false;
  uint64_t streamBitRates_ = 0;  // the streams' average rates, summed
  uint64_t mediaBytes_ = 0;      // what the first DATA chunk's packets carry
};

void RealMediaWalk::Run() {
  std::vector<uint8_t> body;
  bool dataReached = false;
  while (reader_.Tell() < reader_.Size()) {
    uint64_t start = reader_.Tell();
    uint8_t header[kChunkHeader] = {};
    if (reader_.Read(header, sizeof header) < sizeof header) break;
    uint32_t size = ReadU32BE(header, 4);
    // A chunk smaller than its own header would keep the walk in place.
    if (size < kChunkHeader) break;
    uint32_t bodySize = size - kChunkHeader;
    if (EqualNoCase(header, "PROP", 4)) {
      ReadPayload(reader_, bodySize, body, kBodyCap);
      if (body.size() >= 26 && ReadU16BE(body.data(), 0) == 0) propDuration_ = ReadU32BE(body.data(), 22);
    } else if (EqualNoCase(header, "MDPR", 4)) {
      ReadPayload(reader_, bodySize, body, kBodyCap);
      if (mdprCount_++ < kMaxMdpr) StreamProperties(body);
    } else if (EqualNoCase(header, "INDX", 4)) {
      uint8_t index[12] = {};
      size_t got = reader_.Read(index, sizeof index);
      if (got == sizeof index && ReadU16BE(index, 0) == 0) {
        uint32_t next = ReadU32BE(index, 8);
        // The chain of index chunks is followed forward only.
        if (next == 0 || next < reader_.Tell()) break;
        reader_.Seek(next, 0);
      } else {
        reader_.Seek(static_cast<int64_t>(ClampedEnd(reader_, start, size)), 0);
      }
    } else {
      if (EqualNoCase(header, "DATA", 4) && !dataReached) {
        dataReached = true;
        // Version, packet count and next header, then packets of a 12-byte
        // header each.
        uint8_t counts[10] = {};
        if (bodySize >= sizeof counts && reader_.Read(counts, sizeof counts, false) == sizeof counts) {
          uint64_t headers = uint64_t{ReadU32BE(counts, 2)} * 12;
          uint64_t packets = bodySize - sizeof counts;
          mediaBytes_ = packets > headers ? packets - headers : 0;
        }
      }
      SkipPayload(reader_, bodySize);
    }
    if (dataReached && described_) break;
  }
  if (propDuration_ != 0) media_.duration = propDuration_ * 0.001;
  else if (haveMdprDuration_ && mdprDuration_ != 0) media_.duration = mdprDuration_ * 0.001;
  // ffmpeg writes no duration for audio alone: the media's size at its rate.
  else if (streamBitRates_ > 0 && mediaBytes_ > 0)
    media_.duration = static_cast<double>(mediaBytes_) * 8 / static_cast<double>(streamBitRates_);
  else if (haveMdprDuration_) media_.duration = 0;
}

void RealMediaWalk::StreamProperties(const std::vector<uint8_t>& body) {
  if (body.size() < 33 || ReadU16BE(body.data(), 0) != 0) return;
  const uint8_t* b = body.data();
  uint32_t averageBitRate = ReadU32BE(b, 8);
  streamBitRates_ += averageBitRate;
  if (!haveMdprDuration_) {
    haveMdprDuration_ = true;
    mdprDuration_ = ReadU32BE(b, 28);
  }
  size_t at = 32;
  at += 1 + b[at];  // stream name
  if (at >= body.size()) return;
  size_t mimeLength = b[at];
  const uint8_t* mime = b + at + 1;
  at += 1 + mimeLength;
  if (at + 4 > body.size()) return;
  size_t specificLength = ReadU32BE(b, at);
  at += 4;
  const uint8_t* specific = b + at;
  size_t available = body.size() - at;
  if (specificLength > available) specificLength = available;

  char text[PROBEX_TEXT_BYTES] = {};
  if (MimeIs(mime, mimeLength, "video/x-pn-realvideo") || MimeIs(mime, mimeLength, "video/x-pn-multirate-realvideo")) {
    RealVideoInfo video{};
    ParseRealVideoHeader(specific, specificLength, video);
    video.bitRate = averageBitRate;
    LookupRealCodec(video.codec, sizeof video.codec, "REAL-VIDEO", video.fourCC);
    FormatRealVideoText(text, sizeof text, video);
    AddVideoText(media_, text);
    described_ = true;
  } else if (MimeIs(mime, mimeLength, "audio/x-pn-realaudio") ||
             MimeIs(mime, mimeLength, "audio/x-pn-multirate-realaudio") ||
             MimeIs(mime, mimeLength, "audio/x-ralf-mpeg4-generic")) {
    RealAudioInfo audio{};
    if (!ParseRealAudioHeader(specific, specificLength, audio)) return;
    audio.bitRate = averageBitRate;
    if (MimeIs(mime, mimeLength, "audio/x-ralf-mpeg4-generic")) {
      CopyText(audio.codec, sizeof audio.codec, "RealAudio LossLess");
    } else {
      LookupRealCodec(audio.codec, sizeof audio.codec, "REAL-AUDIO", audio.codecKey);
    }
    FormatRealAudioText(text, sizeof text, audio);
    AddAudioText(media_, text);
    described_ = true;
  }
}

}  // namespace

bool ParseRealAudioHeader(const uint8_t* bytes, size_t length, RealAudioInfo& info) {
  if (!bytes || length < 6) return false;
  if (bytes[0] == '.' && bytes[1] == 'r' && bytes[2] == 'a' && bytes[3] == 0xFD) {
    info.version = static_cast<uint16_t>(ReadU16BE(bytes, 4));
    if (info.version <= 2) return false;
    if (info.version > 5) return true;
    return info.version == 3 ? ParseVersion3(bytes, length, info) : ParseVersion45(bytes, length, info);
  }
  if (length >= 16 && std::memcmp(bytes, "LSD:", 4) == 0) {
    info.channels = static_cast<uint16_t>(ReadU16BE(bytes, 8));
    info.bitsPerSample = static_cast<int32_t>(ReadU16BE(bytes, 10));
    info.sampleRate = static_cast<int32_t>(ReadU32BE(bytes, 12));
    return true;
  }
  return false;
}

void ParseRealVideoHeader(const uint8_t* bytes, size_t length, RealVideoInfo& info) {
  uint8_t b[38] = {};
  if (bytes) std::memcpy(b, bytes, length < sizeof b ? length : sizeof b);
  info.size = ReadU32BE(b, 0);
  CopyFourCC(info.tag, b + 4);
  CopyFourCC(info.fourCC, b + 8);
  uint16_t values[13];
  for (size_t i = 0; i < 13; ++i) values[i] = static_cast<uint16_t>(ReadU16BE(b, 12 + 2 * i));
  info.width = values[0];
  info.height = values[1];
  info.bitCount = values[2];
  info.paddedWidth = values[3];
  info.paddedHeight = values[4];
  info.frameRate = values[5];
  std::memcpy(info.unused, values + 6, sizeof info.unused);
}

double RealAudioDuration(const RealAudioInfo& info) {
  if (info.dataSize == 0 || info.bytesPerMinute == 0) return 0.0;
  return static_cast<double>(static_cast<uint32_t>(info.dataSize)) / static_cast<uint32_t>(info.bytesPerMinute) * 60;
}

double RealAudioBitRate(const RealAudioInfo& info) {
  double duration = RealAudioDuration(info);
  return duration > 0 ? static_cast<uint32_t>(info.dataSize) / duration * 8 : 0.0;
}

void FormatRealVideoText(char* out, size_t size, const RealVideoInfo& info) {
  Description d("REAL", "VIDEO");
  d.Set("#width#", "%d", info.width);
  d.Set("#height#", "%d", info.height);
  d.Set("#bitdepth#", "%d", info.bitCount);
  d.SetText("#codec#", info.codec);
  d.SetKnown("#framerate#", "%.2f", static_cast<double>(info.frameRate));
  d.SetKnown("#bitratek#", "%.2f", info.bitRate * 0.001);
  d.SetKnown("#bitrate#", "%.2f", static_cast<double>(info.bitRate));
  CopyText(out, size, d.Text());
}

void FormatRealAudioText(char* out, size_t size, const RealAudioInfo& info) {
  Description d("REAL", "AUDIO");
  d.SetText("#codec#", info.codec);
  d.Set("#sampleratek#", "%.2f", info.sampleRate * 0.001);
  d.Set("#samplerate#", "%d", info.sampleRate);
  d.Set("#bitdepth#", "%d", info.bitsPerSample);
  d.Set("#channel#", "%d", info.channels);
  d.Set("#bitratek#", "%.2f", info.bitRate * 0.001);
  d.Set("#bitrate#", "%.2f", info.bitRate);
  CopyText(out, size, d.Text());
}

void AnalyzeRealMedia(MediaInfo& media, FileReader& reader) {
  SetFormatName(media, "RealMedia");
  RealMediaWalk walk(media, reader);
  walk.Run();
  reader.Close();
}

void AnalyzeRealAudio(MediaInfo& media, FileReader& reader) {
  uint8_t head[kRealAudioHead] = {};
  size_t got = reader.Read(head, sizeof head);
  reader.Close();
  RealAudioInfo audio{};
  if (!ParseRealAudioHeader(head, got, audio)) {
    SetErrorText(media, msg::kRealAudioBadVersion);
    return;
  }
  media.duration = RealAudioDuration(audio);
  audio.bitRate = RealAudioBitRate(audio);
  LookupRealCodec(audio.codec, sizeof audio.codec, "REAL-AUDIO", audio.codecKey);
  char text[PROBEX_TEXT_BYTES] = {};
  FormatRealAudioText(text, sizeof text, audio);
  AddAudioText(media, text);
}

}  // namespace probex
