// Dolby Vision configuration: the DOVIDecoderConfigurationRecord of MP4
// `dvcC`/`dvvC`/`dvwC` boxes and of Matroska's BlockAdditionMapping extra data
// (the same bytes), and the MPEG-TS DOVI video stream descriptor (tag 0xB0).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "hdr_metadata.h"

namespace probex {

struct DolbyVisionConfig {
  uint8_t versionMajor = 0;
  uint8_t versionMinor = 0;
  uint8_t profile = 0;
  uint8_t level = 0;
  bool rpuPresent = false;
  bool elPresent = false;
  bool blPresent = false;
  uint8_t blCompatibilityId = 0;  // 1 HDR10, 2 SDR, 4 HLG, 6 Blu-ray
  uint16_t dependencyPid = 0;     // TS descriptor without a base layer
};

// The record: false when shorter than its 5 fixed bytes, of an unknown major
// version, or of a profile beyond 10.
bool ParseDolbyVisionConfig(const uint8_t* data, size_t size, DolbyVisionConfig& out);
// The descriptor from its tag byte (0xB0) on.
bool ParseDolbyVisionDescriptor(const uint8_t* data, size_t size, DolbyVisionConfig& out);

// "DV 8.1 (HDR10)", "DV 8.4 (HLG)", "DV 8.2 (SDR)", "DV 5", "DV 7.6 (Blu-ray)".
std::string DolbyVisionText(const DolbyVisionConfig& config);
// The record's text into hdr.dolbyVision, where HdrTag finds it.
void NoteDolbyVision(const DolbyVisionConfig& config, HdrSignals& hdr);
// Full-report lines: version, profile, level, layers, compatibility.
void DolbyVisionDetailLines(const DolbyVisionConfig& config, std::vector<std::string>& lines);

}  // namespace probex
