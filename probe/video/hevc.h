// HEVC/H.265: the HEVCDecoderConfigurationRecord (MP4 `hvcC`, Matroska
// V_MPEGH/ISO/HEVC CodecPrivate), sequence parameter sets and the SEI that
// carry HDR metadata (mastering display 137, content light level 144,
// ST 2094-40 in user data registered by T.35), from the record or from the
// first access unit of an Annex-B byte stream (MPEG-TS, AVI).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "hdr_metadata.h"

namespace probex {

struct HevcVideoInfo {
  bool spsSeen = false;
  uint8_t profileSpace = 0;
  uint8_t profileIdc = 0;
  uint32_t compatibilityFlags = 0;
  uint64_t constraintFlags = 0;  // the 48 bits after the compatibility flags
  bool highTier = false;
  uint8_t levelIdc = 0;  // 30 x level: 153 = 5.1
  uint32_t width = 0;    // after the conformance window
  uint32_t height = 0;
  uint32_t codedWidth = 0;
  uint32_t codedHeight = 0;
  uint8_t chromaFormat = 1;  // 0 mono, 1 4:2:0, 2 4:2:2, 3 4:4:4
  uint8_t bitDepthLuma = 8;
  uint8_t bitDepthChroma = 8;
  double frameRate = 0;  // VUI timing, 0 when absent
  HdrSignals hdr;
};

// One NAL unit starting at its two-byte header (type 33). Emulation
// prevention is removed here. false when it is no SPS or is cut before the
// picture size.
bool ParseHevcSps(const uint8_t* nal, size_t size, HevcVideoInfo& out);
// A prefix or suffix SEI NAL unit (types 39/40) from its header: the HDR
// messages it holds go into hdr. false when it is no SEI.
bool ParseHevcSei(const uint8_t* nal, size_t size, HdrSignals& hdr);
// The record: profile/tier/level from its head, then the SPS and SEI arrays.
// false when the record is malformed or holds no SPS.
bool ParseHevcDecoderConfig(const uint8_t* data, size_t size, HevcVideoInfo& out);
// Annex-B bytes (00 00 01 start codes): the first SPS and the SEI up to the
// first slice after it. false when no SPS is found.
bool FindHevcHeaders(const uint8_t* data, size_t size, HevcVideoInfo& out);

// "Main", "Main 10", "Main Still Picture", "Main 4:2:2 10", "Main 12"...
std::string HevcProfileName(const HevcVideoInfo& info);
// "5.1", "4", from level_idc.
std::string HevcLevelText(uint8_t levelIdc);
// "4:2:0"...
const char* ChromaFormatName(uint8_t chromaFormat);

// "HEVC Main 10@L5.1@High 3840x2160 10bit 4:2:0 HDR10"
std::string HevcVideoText(const HevcVideoInfo& info);
// The summary line through the HEVC template of FORMAT.INI; a frame rate or
// bit rate of 0 (unknown) leaves its field out.
void FormatHevcText(char* out, size_t size, const HevcVideoInfo& info, double frameRate, double bitRate);
// Full-report lines: profile, level, tier, size, bit depth, chroma, colour
// and HDR metadata.
void HevcDetailLines(const HevcVideoInfo& info, std::vector<std::string>& lines);

}  // namespace probex
