// Vorbis: the identification header, from Ogg, Matroska and MP4 alike, and its line.
#pragma once

#include <cstddef>
#include <cstdint>

namespace probex {

// Vorbis identification header; zero-fill before use.
struct VorbisInfo {
  int32_t channels;
  double sampleRate;
  double maxBitrate;
  double nominalBitrate;
  double minBitrate;
  double bitRate;       // bit/s, by bitrateMode
  char bitrateMode[4];  // "VBR", "QB", "CBR", "ABR"
};

// packet starts at the type byte 0x01 "vorbis"; fields past length read as
// zero. false when the packet is too short to hold any field.
bool ParseVorbisIdHeader(const uint8_t* packet, size_t length, VorbisInfo& info);

// Section "OGG", key "VORBIS".
void FormatVorbisText(char* out, size_t size, const VorbisInfo& info);

}  // namespace probex
