// RealVideo: the type-specific data of RealMedia and Matroska (V_REAL/)
// video streams and its line. Big-endian.
#pragma once

#include <cstddef>
#include <cstdint>

namespace probex {

// RealVideo type-specific data; zero-fill before use.
struct RealVideoInfo {
  uint32_t bitRate;  // set by the caller: the stream's average bit rate
  uint32_t size;
  char tag[5];     // "VIDO"
  char fourCC[5];  // "RV40"
  uint16_t width;
  uint16_t height;
  uint16_t bitCount;
  uint16_t paddedWidth;
  uint16_t paddedHeight;
  uint16_t frameRate;  // integer part
  uint16_t unused[7];
  char codec[128];  // set by the caller
};

// Bytes past length read as zero.
void ParseRealVideoHeader(const uint8_t* bytes, size_t length, RealVideoInfo& info);

// Section "REAL", key "VIDEO".
void FormatRealVideoText(char* out, size_t size, const RealVideoInfo& info);

}  // namespace probex
