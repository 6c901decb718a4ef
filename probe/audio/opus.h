// Opus: the identification header ("OpusHead") and its line.
#pragma once

#include <cstddef>
#include <cstdint>

namespace probex {

// Zero-fill before use.
struct OpusInfo {
  uint8_t version;
  int32_t channels;
  uint32_t preSkip;          // 48 kHz samples dropped at the start
  uint32_t inputSampleRate;  // what the encoder was given; playback is 48 kHz
  uint8_t mappingFamily;
  double bitRate;            // bit/s, set by the container when it knows it
};

inline constexpr double kOpusRate = 48000.0;

// packet starts at "OpusHead"; fields past length read as zero. false when
// it is no Opus header.
bool ParseOpusHead(const uint8_t* packet, size_t length, OpusInfo& info);

// Seconds up to a granule position, which counts 48 kHz samples from before
// the pre-skip whatever rate the input had; 0 when not past the pre-skip.
double OpusSeconds(const OpusInfo& info, int64_t granule);

// Section "OGG", key "OPUS".
void FormatOpusText(char* out, size_t size, const OpusInfo& info);

}  // namespace probex
