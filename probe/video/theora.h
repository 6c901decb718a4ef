// Theora: the identification header, granule positions and the line.
#pragma once

#include <cstddef>
#include <cstdint>

namespace probex {

// Theora identification header; zero-fill before use.
struct TheoraInfo {
  uint8_t versionMajor;
  uint8_t versionMinor;
  uint8_t versionRevision;
  int32_t width;   // the picture region (the frame size when it is 0)
  int32_t height;
  uint32_t frameRateNumerator;
  uint32_t frameRateDenominator;
  uint32_t aspectNumerator;
  uint32_t aspectDenominator;
  uint32_t nominalBitrate;
  uint32_t granuleShift;
  int64_t frameCount;  // set by the caller from the last granule position
};

// packet starts at the type byte (0x80 "theora"); fields past
// length read as zero. false when the packet is too short to hold any field.
bool ParseTheoraIdHeader(const uint8_t* packet, size_t length, TheoraInfo& info);

// Frames up to and including the one a granule position names: the frame
// count of the last keyframe plus the frames since it.
int64_t TheoraGranuleFrames(int64_t granule, uint32_t granuleShift);

// Section "OGG", key "THEORA".
void FormatTheoraText(char* out, size_t size, const TheoraInfo& info);

}  // namespace probex
