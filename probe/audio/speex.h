// Speex: the stream header and its line.
#pragma once

#include <cstddef>
#include <cstdint>

namespace probex {

// Speex header; zero-fill before use.
struct SpeexInfo {
  char version[20];
  uint32_t versionId;
  uint32_t headerSize;
  uint32_t sampleRate;
  uint32_t mode;
  uint32_t modeBitstreamVersion;
  uint32_t channels;
  uint32_t bitRate;
  uint32_t frameSize;
  bool variableBitRate;
  uint32_t framesPerPacket;
  uint32_t extraHeaders;
  char modeName[16];  // "Narrow", "Wide", "Ultra-wide"
};

// packet starts at "Speex   "; fields past length read as zero. false when
// the packet is too short to hold any field.
bool ParseSpeexHeader(const uint8_t* packet, size_t length, SpeexInfo& info);

// Section "OGG", key "SPEEX".
void FormatSpeexText(char* out, size_t size, const SpeexInfo& info);

}  // namespace probex
