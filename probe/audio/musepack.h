// MusePack stream version 7 (.mpc): the 30-byte header at the start.
#pragma once

#include <cstddef>
#include <cstdint>

#include "probex.h"

namespace probex {

class FileReader;

struct MusePackInfo {
  uint32_t versionMajor;
  uint32_t versionMinor;
  uint32_t sampleRate;
  uint32_t channels;  // always 2
  char stereoText[16];
  double bitrate;
  double duration;
  uint64_t streamSize;  // input: file size
  bool computeDuration;  // input
  char error[256];
};

inline constexpr size_t kMusePackHeaderBytes = 30;

// header: the 30 bytes from "MP+" on, unread bytes 0.
void ParseMusePackHeader(const uint8_t (&header)[kMusePackHeaderBytes], MusePackInfo& info);

void AnalyzeMusePack(MediaInfo& info, FileReader& reader);

}  // namespace probex
