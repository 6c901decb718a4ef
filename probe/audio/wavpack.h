// WavPack 4 and later (.wv): a walk over the blocks and their sub-blocks,
// with the hybrid mode's correction file (.wvc) beside the main one.
#pragma once

#include <cstddef>
#include <cstdint>

#include "probex.h"
#include "tags.h"

namespace probex {

class FileReader;

struct WavPackInfo {
  char versionText[32];  // "4" or "4(Hybrid)"
  bool isHybrid;
  bool isJointStereo;
  double bitrate;
  // The fields of the WAVE format chunk kept in the RIFF header sub-block.
  struct WaveFields {
    uint16_t formatTag;
    uint16_t channels;
    uint32_t sampleRate;
    uint32_t averageBytesPerSecond;
    uint16_t blockAlign;
    uint16_t bitsPerSample;
  } format;
  char16_t correctionPath[PROBEX_PATH_UNITS];
  TagInfo tags;
  char codecName[256];
  double duration;
  uint64_t streamSize;  // input: bytes of the file that are not tags
  bool computeDuration;  // input
  char error[256];
};

// Walks the blocks from the reader's position up to audioEnd (where the end
// tags start). correctionPath must be set. False with error on failure.
bool WalkWavPackBlocks(WavPackInfo& info, FileReader& reader, uint64_t audioEnd);

void AnalyzeWavPack(MediaInfo& info, FileReader& reader);

}  // namespace probex
