#include "wave_format.h"

#include <cstring>

#include "audio_frames.h"
#include "bits.h"
#include "templates.h"
#include "text.h"

namespace probex {

void ParseWaveFormat(const uint8_t* bytes, size_t length, WaveFormat& format) {
  uint8_t b[16] = {};
  if (bytes) std::memcpy(b, bytes, length < sizeof b ? length : sizeof b);
  format.formatTag = static_cast<uint16_t>(ReadU16LE(b, 0));
  format.channels = static_cast<uint16_t>(ReadU16LE(b, 2));
  format.samplesPerSec = ReadU32LE(b, 4);
  format.avgBytesPerSec = ReadU32LE(b, 8);
  format.blockAlign = static_cast<uint16_t>(ReadU16LE(b, 12));
  format.bitsPerSample = static_cast<uint16_t>(ReadU16LE(b, 14));
}

uint32_t PayloadFormatTag(const uint8_t* bytes, size_t length, const WaveFormat& format) {
  // 16 bytes of WAVEFORMATEX, cbSize, valid bits, channel mask, SubFormat.
  if (format.formatTag == 0xFFFE && bytes && length >= 40 && ReadU16LE(bytes, 16) >= 22) return ReadU16LE(bytes, 24);
  return format.formatTag;
}

void LookupWaveCodec(char* out, size_t size, uint32_t formatTag) {
  char key[8];
  FormatText(key, sizeof key, "%04X", formatTag & 0xFFFF);
  LookupCodec(out, size, "WAV", key);
}

bool IsProbedFormatTag(uint32_t formatTag) {
  AudioFrames family;
  return WaveTagFrames(formatTag, family);
}

bool ProbeAudioPayload(const uint8_t* bytes, size_t length, uint32_t formatTag, char* out, size_t size) {
  AudioFrames family;
  return WaveTagFrames(formatTag, family) && DescribeAudioFrames(family, bytes, length, out, size);
}

}  // namespace probex
