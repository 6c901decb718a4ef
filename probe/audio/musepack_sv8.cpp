#include "musepack_sv8.h"

#include <cstring>

#include "../video/hdr_metadata.h"
#include "bits.h"

namespace probex {

namespace {

constexpr uint32_t kMaxPackets = 256;

bool StreamHeader(const uint8_t* body, size_t size, MusepackSv8Info& info) {
  if (size < 5) return false;
  info.crc = ReadU32BE(body);
  info.version = body[4];
  size_t at = 5, used = 0;
  if (!ReadSv8Size(body + at, size - at, info.samples, used)) return false;
  at += used;
  if (!ReadSv8Size(body + at, size - at, info.beginSilence, used)) return false;
  at += used;
  if (size - at < 2) return false;
  static const uint32_t kRates[] = {44100, 48000, 37800, 32000};
  uint32_t bits = uint32_t{body[at]} << 8 | body[at + 1];
  unsigned rateIndex = bits >> 13;
  if (rateIndex > 3 || info.version != 8) return false;
  info.sampleRate = kRates[rateIndex];
  info.maxBands = static_cast<uint8_t>((bits >> 8 & 0x1F) + 1);
  info.channels = static_cast<uint8_t>((bits >> 4 & 0xF) + 1);
  info.midSide = (bits >> 3 & 1) != 0;
  info.blockFrames = 1u << (2 * (bits & 7));
  info.streamHeaderSeen = true;
  return true;
}

}  // namespace

bool ReadSv8Size(const uint8_t* data, size_t size, uint64_t& value, size_t& used) {
  value = 0;
  for (size_t i = 0; i < size && i < 9; ++i) {
    value = value << 7 | (data[i] & 0x7Fu);
    if ((data[i] & 0x80) == 0) {
      used = i + 1;
      return true;
    }
  }
  return false;
}

bool ParseMusepackSv8(const uint8_t* data, size_t size, MusepackSv8Info& out) {
  if (data == nullptr || size < 4 || std::memcmp(data, "MPCK", 4) != 0) return false;
  MusepackSv8Info info;
  size_t at = 4;
  for (uint32_t n = 0; n < kMaxPackets && size - at >= 3; ++n) {
    const uint8_t* key = data + at;
    if (key[0] < 'A' || key[0] > 'Z' || key[1] < 'A' || key[1] > 'Z') break;
    uint64_t length = 0;
    size_t used = 0;
    if (!ReadSv8Size(data + at + 2, size - at - 2, length, used)) break;
    // The size counts the key and itself: a packet can never be shorter.
    if (length < 2 + used) break;
    if (std::memcmp(key, "AP", 2) == 0 || std::memcmp(key, "SE", 2) == 0) {
      info.headBytes = at;
      break;
    }
    const uint8_t* body = data + at + 2 + used;
    size_t available = size - at - 2 - used;
    size_t bodySize = length - 2 - used < available ? static_cast<size_t>(length - 2 - used) : available;
    if (std::memcmp(key, "SH", 2) == 0) {
      if (!StreamHeader(body, bodySize, info)) return false;
    } else if (std::memcmp(key, "RG", 2) == 0 && bodySize >= 9) {
      info.titleGain = static_cast<int16_t>(body[1] << 8 | body[2]);
      info.titlePeak = static_cast<uint16_t>(body[3] << 8 | body[4]);
      info.albumGain = static_cast<int16_t>(body[5] << 8 | body[6]);
      info.albumPeak = static_cast<uint16_t>(body[7] << 8 | body[8]);
      info.replayGainSeen = true;
    } else if (std::memcmp(key, "EI", 2) == 0 && bodySize >= 4) {
      info.profile = (body[0] >> 1) / 8.0;
      info.encoderMajor = body[1];
      info.encoderMinor = body[2];
      info.encoderBuild = body[3];
      info.encoderSeen = true;
    }
    if (length > size - at) break;
    at += static_cast<size_t>(length);
  }
  if (!info.streamHeaderSeen) return false;
  if (info.samples > info.beginSilence) {
    info.duration = static_cast<double>(info.samples - info.beginSilence) / info.sampleRate;
  }
  out = info;
  return true;
}

double MusepackSv8BitRate(const MusepackSv8Info& info, uint64_t audioBytes) {
  return info.duration > 0 ? static_cast<double>(audioBytes) * 8 / info.duration : 0;
}

std::string MusepackSv8Text(const MusepackSv8Info& info) {
  return LineF("MusePack SV8 %.2fkHz %uch", info.sampleRate / 1000.0, info.channels);
}

}  // namespace probex
