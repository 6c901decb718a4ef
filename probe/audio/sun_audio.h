// Sun/NeXT audio (.au, .snd): the big-endian header behind ".snd".
#pragma once

#include <cstddef>
#include <cstdint>

#include "probex.h"

namespace probex {

class FileReader;

struct AuInfo {
  uint32_t sampleRate;
  uint32_t channels;
  uint32_t bitsPerSample;
  char codecName[256];
  double bitrate;
  double duration;
  uint64_t dataSize;
};

inline constexpr size_t kAuHeaderBytes = 32;

// header: the first 32 bytes, unread bytes 0. Fills everything but codecName;
// returns the encoding number.
uint32_t ParseAuHeader(const uint8_t (&header)[kAuHeaderBytes], uint64_t fileSize, AuInfo& info);

void AnalyzeSunAudio(MediaInfo& info, FileReader& reader);

}  // namespace probex
