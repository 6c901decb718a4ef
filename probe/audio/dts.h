// DTS Coherent Acoustics core frame headers, in all four packings of the
// bit stream (16-bit or 14-bit words, either byte order).
#pragma once

#include <cstddef>
#include <cstdint>

#include "probex.h"

namespace probex {

class FileReader;

// One stream; zero-fill before use.
struct DtsInfo {
  char channelOrder[48];  // "C+L+R+SL+SR+LFE"
  double channels;        // + 0.1 with LFE
  uint32_t sampleRate;    // doubled with the X96 extension
  uint32_t bitrate;       // bit/s; 0 for the rates "Open", "VBR", "LossLess"
  char rateText[10];
  uint32_t bitDepth;
  bool isExtendedSurround;  // DTS-ES
  bool hasXch;
  bool hasX96;
  char packing[12];  // "14BitLE", "14BitBE", "16BitLE", "16BitBE"
  double duration;   // seconds
  uint64_t streamSize;   // input
  bool computeDuration;  // input
  char error[256];
};

// First offset from start, while 21 bytes still follow, of one of the four
// sync patterns; -1 when there is none.
int64_t FindDtsSync(const uint8_t* buffer, size_t length, size_t start);

// bytes begin with a sync word; 18 bytes hold every header field (shorter
// input reads as zero bits). false with error on failure.
bool ParseDtsHeader(DtsInfo& info, const uint8_t* bytes, size_t length);

// The line from section "DTS": AUDIO2 with a rate text, AUDIO1 otherwise.
void DescribeDts(char* out, size_t size, const DtsInfo& info);

// FormatIds 120 to 123.
void AnalyzeDts(MediaInfo& info, FileReader& reader);

}  // namespace probex
