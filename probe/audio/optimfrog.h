// OptimFROG (.ofr): a walk over the chunks, with the correction file (.ofc)
// of the dual-stream mode beside the main one.
#pragma once

#include <cstddef>
#include <cstdint>

#include "probex.h"

namespace probex {

class FileReader;

struct OfrInfo {
  char streamText[32];  // "SingleStream" or "DualStream"
  uint16_t bitsPerSample;
  uint16_t channels;
  uint32_t sampleRate;
  double bitrate;
  char compressionText[10];
  char speedText[3];
  char16_t correctionPath[PROBEX_PATH_UNITS];
  double duration;
  uint64_t streamSize;  // input: file size
  char error[256];
};

// Walks the chunks from the reader's position to the end of the file.
// correctionPath must be set. False with error on failure.
bool WalkOfrChunks(OfrInfo& info, FileReader& reader);

void AnalyzeOptimFrog(MediaInfo& info, FileReader& reader);

}  // namespace probex
