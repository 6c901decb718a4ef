// The plain video line that containers without a codec unit of their own
// share (AVI, OGM, Matroska's VfW tracks), with the bitmap header of the
// Video for Windows family that most of them carry.
#pragma once

#include <cstddef>
#include <cstdint>

namespace probex {

// One video stream as the plain video lines show it, whatever the
// container or codec; zero-fill before use.
struct VideoStream {
  int32_t width;
  int32_t height;
  uint16_t bitDepth;
  char codec[256];
  double frameRate;
  int32_t frameCount;
  double bitRate;  // bit/s
};

// The fields of a BITMAPINFOHEADER that descriptions use.
struct BitmapInfo {
  int32_t width;
  int32_t height;
  uint16_t bitCount;
  char compression[5];  // FourCC, NUL bytes as blanks
};

// Bytes past length read as zero.
void ParseBitmapInfo(const uint8_t* bytes, size_t length, BitmapInfo& info);

// Section "RIFF", key "VIDEO".
void FormatRiffVideoText(char* out, size_t size, const VideoStream& info);

}  // namespace probex
