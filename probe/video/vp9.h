// VP9 and VP8: the VPCodecConfigurationRecord (MP4 `vpcC`, version 1), the
// uncompressed header of a VP9 key frame (also inside a superframe), and the
// VP8 key frame header (WebM, IVF, the VP8 chunk of WebP).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "hdr_metadata.h"

namespace probex {

struct Vp9VideoInfo {
  bool recordSeen = false;
  bool keyFrameSeen = false;
  uint8_t profile = 0;
  uint8_t level = 0;  // record only: 10 x level, 0 unknown
  uint8_t bitDepth = 8;
  bool subsamplingX = true;
  bool subsamplingY = true;
  uint8_t colorSpace = 0;  // key frame: 0 unknown, 1 BT.601 ... 5 BT.2020, 7 sRGB
  uint32_t width = 0;      // key frame only
  uint32_t height = 0;
  uint32_t renderWidth = 0;
  uint32_t renderHeight = 0;
  HdrSignals hdr;  // colour from the record
};

// The `vpcC` payload from its version byte. false unless version 1 with its
// 12 fixed bytes and a codec initialisation size inside the bytes.
bool ParseVpCodecConfig(const uint8_t* data, size_t size, Vp9VideoInfo& out);
// One compressed frame (or superframe): the first key frame's uncompressed
// header. false when it is no key frame or is cut before its size.
bool ParseVp9KeyFrame(const uint8_t* data, size_t size, Vp9VideoInfo& out);
// The sizes of the frames of a superframe, from the index at its end; empty
// when the chunk has no valid index.
std::vector<uint32_t> Vp9SuperframeSizes(const uint8_t* data, size_t size);

// "4:2:0"...
const char* Vp9ChromaName(const Vp9VideoInfo& info);
// "BT.601"... for the key frame's color_space.
const char* Vp9ColorSpaceName(uint8_t colorSpace);
// "VP9 Profile 2 3840x2160 10bit 4:2:0 HDR10"
std::string Vp9VideoText(const Vp9VideoInfo& info);
// The summary line through the VP9 template of FORMAT.INI; width and height
// come from the container where no key frame was read.
void FormatVp9Text(char* out, size_t size, const Vp9VideoInfo& info, uint32_t width, uint32_t height,
                   double frameRate, double bitRate);
void Vp9DetailLines(const Vp9VideoInfo& info, std::vector<std::string>& lines);

struct Vp8VideoInfo {
  uint8_t version = 0;  // 0..3
  uint32_t width = 0;
  uint32_t height = 0;
  uint8_t horizontalScale = 0;  // 0 none, 1 5/4, 2 5/3, 3 2
  uint8_t verticalScale = 0;
};

// A key frame from its 3-byte frame tag: version, size and scaling. false for
// inter frames, a wrong start code or a zero size.
bool ParseVp8KeyFrame(const uint8_t* data, size_t size, Vp8VideoInfo& out);
// "VP8 176x144"
std::string Vp8VideoText(const Vp8VideoInfo& info);

}  // namespace probex
