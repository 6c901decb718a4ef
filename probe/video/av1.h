// AV1: the AV1CodecConfigurationRecord (MP4 `av1C`, Matroska/WebM V_AV1
// CodecPrivate) and the OBUs it or the first temporal unit carries: the
// sequence header (profile, level, tier, bit depth, chroma, maximum size,
// colour config) and the HDR metadata OBUs (content light level, mastering
// display, ITU-T T.35 ST 2094-40).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "hdr_metadata.h"

namespace probex {

struct Av1VideoInfo {
  bool sequenceHeaderSeen = false;
  uint8_t profile = 0;   // 0 Main, 1 High, 2 Professional
  uint8_t levelIdx = 0;  // seq_level_idx of operating point 0
  bool highTier = false;
  uint8_t bitDepth = 8;
  bool monochrome = false;
  bool subsamplingX = true;
  bool subsamplingY = true;
  bool stillPicture = false;
  uint32_t width = 0;  // max_frame_width_minus_1 + 1
  uint32_t height = 0;
  double frameRate = 0;  // timing info with equal picture intervals, else 0
  HdrSignals hdr;
};

// Low-overhead OBUs (each with its size field, or the last one running to the
// end): the first sequence header and the metadata OBUs before the first
// frame. false when no sequence header is found.
bool ParseAv1Obus(const uint8_t* data, size_t size, Av1VideoInfo& out);
// One sequence header OBU payload (after the OBU header and size).
bool ParseAv1SequenceHeader(const uint8_t* data, size_t size, Av1VideoInfo& out);
// The record: its four fixed bytes, then the configuration OBUs when present.
// false when the marker/version are wrong or the record is short.
bool ParseAv1Config(const uint8_t* data, size_t size, Av1VideoInfo& out);

// "Main", "High", "Professional".
const char* Av1ProfileName(uint8_t profile);
// "2.0", "5.1"; "Max" for 31.
std::string Av1LevelText(uint8_t levelIdx);
// "4:2:0", "4:2:2", "4:4:4", "4:0:0".
const char* Av1ChromaName(const Av1VideoInfo& info);

// "AV1 Main@L5.1@Main 3840x2160 10bit 4:2:0 HDR10"
std::string Av1VideoText(const Av1VideoInfo& info);
// The summary line through the AV1 template of FORMAT.INI.
void FormatAv1Text(char* out, size_t size, const Av1VideoInfo& info, double frameRate, double bitRate);
void Av1DetailLines(const Av1VideoInfo& info, std::vector<std::string>& lines);

}  // namespace probex
