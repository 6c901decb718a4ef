#include "real_audio.h"

#include <cstring>

#include "bits.h"
#include "file_reader.h"
#include "media_info.h"
#include "messages.h"
#include "templates.h"
#include "text.h"

namespace probex {

namespace {

constexpr size_t kRealAudioHead = 128;

void CopyFourCC(char (&out)[5], const uint8_t* bytes) {
  std::memcpy(out, bytes, 4);
  out[4] = '\0';
}

// Some writers store 32-bit header fields as 16.16 fixed point.
int32_t WholePart(uint32_t value) {
  return static_cast<int32_t>(value > 0xFFFF && (value & 0xFFFF) == 0 ? value >> 16 : value);
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

}  // namespace

void LookupRealCodec(char* out, size_t size, const char* section, const char* text) {
  char key[5];
  for (size_t i = 0; i < 4; ++i) key[i] = text[i] >= 'a' && text[i] <= 'z' ? static_cast<char>(text[i] - 32) : text[i];
  key[4] = '\0';
  if (key[0]) LookupCodec(out, size, section, key);
}

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

double RealAudioDuration(const RealAudioInfo& info) {
  if (info.dataSize == 0 || info.bytesPerMinute == 0) return 0.0;
  return static_cast<double>(static_cast<uint32_t>(info.dataSize)) / static_cast<uint32_t>(info.bytesPerMinute) * 60;
}

double RealAudioBitRate(const RealAudioInfo& info) {
  double duration = RealAudioDuration(info);
  return duration > 0 ? static_cast<uint32_t>(info.dataSize) / duration * 8 : 0.0;
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
