// WAVEFORMATEX: the audio header of WAVE "fmt ", AVI "strf", ASF and
// Matroska A_MS/ACM, its format tags, their codec names and the probe of the
// compressed streams some tags carry.
#pragma once

#include <cstddef>
#include <cstdint>

namespace probex {

// The first 16 bytes of a WAVEFORMATEX ("fmt " or "strf" payload).
struct WaveFormat {
  uint16_t formatTag;
  uint16_t channels;
  uint32_t samplesPerSec;
  uint32_t avgBytesPerSec;
  uint16_t blockAlign;
  uint16_t bitsPerSample;
};

// Bytes past length read as zero; the extension after byte 16 is ignored.
void ParseWaveFormat(const uint8_t* bytes, size_t length, WaveFormat& format);

// The tag that says what the payload holds: for WAVE_FORMAT_EXTENSIBLE
// (0xFFFE) with its extension present, the first two bytes of the SubFormat
// GUID; otherwise the format tag itself. Codec names still use formatTag.
uint32_t PayloadFormatTag(const uint8_t* bytes, size_t length, const WaveFormat& format);

// CODECS.INI section "WAV", key the tag as "%04X".
void LookupWaveCodec(char* out, size_t size, uint32_t formatTag);

// The format tags whose payload may hold a compressed stream worth probing:
// PCM and DTS (0x0001, 0x0008, 0x2001), MPEG audio (0x0050, 0x0055), AC-3 (0x2000).
bool IsProbedFormatTag(uint32_t formatTag);

// Looks for a DTS, MPEG audio or AC-3 stream (by formatTag) in the first
// length bytes of a payload. On success writes that stream's description
// into out and returns true; otherwise out is left alone.
bool ProbeAudioPayload(const uint8_t* bytes, size_t length, uint32_t formatTag, char* out, size_t size);

}  // namespace probex
