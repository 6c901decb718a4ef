// Apple Lossless: the ALACSpecificConfig ("magic cookie") of MP4 `alac`
// boxes, Matroska A_ALAC CodecPrivate and CAF `kuki` chunks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace probex {

struct AlacConfig {
  uint32_t frameLength = 0;  // samples per frame
  uint8_t compatibleVersion = 0;
  uint8_t bitDepth = 0;
  uint8_t channels = 0;
  uint16_t maxRun = 0;
  uint32_t maxFrameBytes = 0;
  uint32_t avgBitRate = 0;  // bit/s, 0 when unknown
  uint32_t sampleRate = 0;
};

// The 24-byte config, also behind the 4 version/flags bytes of the MP4 box
// payload, behind a whole `alac` atom, or behind a `frma` atom first (older
// CAF cookies). false when none of these fits, or the fields are out of range
// (bit depth not 16/20/24/32, no channels or more than 8, zero frame length
// or rate).
bool ParseAlacConfig(const uint8_t* data, size_t size, AlacConfig& out);

// "ALAC 44.10kHz 24bit 2ch 1411.20kbps" (the rate left out when unknown).
std::string AlacText(const AlacConfig& config);

}  // namespace probex
