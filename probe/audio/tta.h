// TTA (True Audio): the header at the start of the stream, in its three
// layouts.
#pragma once

#include <cstddef>
#include <cstdint>

#include "probex.h"
#include "tags.h"

namespace probex {

class FileReader;

struct TtaInfo {
  uint16_t version;  // 1: first header, 2: "TTA2", 3: "TTA1"
  uint16_t channels;
  uint16_t bitsPerSample;
  uint32_t sampleRate;
  uint32_t totalSamples;
  double bitrate;
  double duration;
  TagInfo tags;
  uint64_t streamSize;  // input: bytes of the file that are not tags
  char error[256];
};

inline constexpr size_t kTtaHeaderBytes = 26;

// header: 26 bytes from "TTA" on, unread bytes 0. False with error for an
// unknown layout.
bool ParseTtaHeader(const uint8_t (&header)[kTtaHeaderBytes], TtaInfo& info);

void AnalyzeTta(MediaInfo& info, FileReader& reader);

}  // namespace probex
