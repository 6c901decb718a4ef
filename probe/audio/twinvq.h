// TwinVQ (.vqf): the "TWIN" header and its "COMM" chunk.
#pragma once

#include <cstddef>
#include <cstdint>

#include "probex.h"

namespace probex {

class FileReader;

struct VqInfo {
  uint32_t channels;
  uint32_t bitrate;  // bit/s
  uint32_t sampleRate;
  uint32_t securityLevel;
  char codecId[9];  // the 8 bytes after "TWIN", terminated
  char codecName[64];
  double duration;
  uint64_t streamSize;  // input: file size
  char error[256];
};

// Reader at the start of the file; walks the chunks up to "DATA". Fills
// everything but codecName. False with error on failure.
bool ParseVqHeader(VqInfo& info, FileReader& reader);

void AnalyzeTwinVq(MediaInfo& info, FileReader& reader);

}  // namespace probex
