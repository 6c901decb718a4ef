// RIFF family: WAVE, RMID, RMP3, CDDA, CDXA, QLCM and the big-endian AIFF and
// AIFF-C. The wave format header, the audio record and its renderer, and the
// probe that finds DTS, MPEG audio or AC-3 inside WAVE-style payloads are
// shared with AVI, ASF, Ogg, Matroska and MP4.
#pragma once

#include <cstddef>
#include <cstdint>

#include "probex.h"

namespace probex {

class FileReader;

// The first 16 bytes of a WAVEFORMATEX ("fmt " or "strf" payload).
struct WaveFormat {
  uint16_t formatTag;
  uint16_t channels;
  uint32_t samplesPerSec;
  uint32_t avgBytesPerSec;
  uint16_t blockAlign;
  uint16_t bitsPerSample;
};

// One audio line's values; zero-fill before use.
struct RiffAudioInfo {
  char codec[256];
  double sampleRate;  // Hz
  uint16_t bitDepth;
  uint16_t channels;
  double bitRate;  // bit/s
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

// The template of (section, key) filled with #codec#, #sampleratek#,
// #samplerate#, #bitdepth#, #channel#, #bitratek#, #bitrate#, in that order:
// the audio line of RIFF, PureVoice, Flash Video and ASF.
void FormatAudioLine(char* out, size_t size, const char* section, const char* key, const RiffAudioInfo& info);

// Section "RIFF" key "AUDIO"; "AIFF"/"AUDIO" (no codec); "PUREVOICE"/"AUDIO".
void FormatRiffAudioText(char* out, size_t size, const RiffAudioInfo& info);
void FormatAiffText(char* out, size_t size, const RiffAudioInfo& info);
void FormatPureVoiceText(char* out, size_t size, const RiffAudioInfo& info);

// FormatIds 12, 14, 101, 103, 105, 107, 108, 128: the walk is chosen by the
// file's own form type, not by the FormatId.
void AnalyzeRiff(MediaInfo& info, FileReader& reader);

}  // namespace probex
