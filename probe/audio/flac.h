// Native FLAC files: the metadata blocks in front of the audio frames.
#pragma once

#include <cstddef>
#include <cstdint>

#include "probex.h"
#include "tags.h"

namespace probex {

class FileReader;

struct FlacInfo {
  uint32_t sampleRate;
  uint32_t channels;
  uint32_t bitsPerSample;
  // All 36 bits: at 192 kHz a recording passes 2^32 samples after 6.2 hours.
  uint64_t totalSamples;
  double bitrate;
  uint32_t pictureCount;
  uint32_t cueSheetCount;
  TagInfo tags;
  double duration;
  uint64_t streamSize;  // input: file size; afterwards the bytes after the metadata
  bool computeDuration;  // input
  char error[256];
};

// The fields of a STREAMINFO block body (at least its first 18 bytes), as
// FLAC files and the containers that carry FLAC hold it; false when shorter.
bool ParseFlacStreamInfo(const uint8_t* bytes, size_t length, FlacInfo& info);

// Reader at the "fLaC" marker. Walks the blocks up to the last one, or to
// the end of the file when it comes first; false with error on failure.
bool ParseFlacMetadata(FlacInfo& info, FileReader& reader);
// The "AUDIO" template of [FLAC], filled.
void DescribeFlac(char* out, size_t size, const FlacInfo& info);

void AnalyzeFlac(MediaInfo& info, FileReader& reader);

}  // namespace probex
