// Monkey's Audio (.ape): the fixed header at the start of the file.
#pragma once

#include <cstddef>
#include <cstdint>

#include "probex.h"
#include "tags.h"

namespace probex {

class FileReader;

struct ApeInfo {
  uint32_t sampleRate;
  uint16_t bitsPerSample;
  uint16_t channels;
  double bitrate;
  uint32_t totalFrames;
  char compressionText[16];
  double duration;
  uint64_t streamSize;  // input: bytes of the file that are not tags
  TagInfo tags;
  bool computeDuration;  // input
  char error[256];
};

inline constexpr size_t kApeHeaderBytes = 80;

// header: the first 80 bytes of the stream ("MAC " onwards), unread bytes 0.
void ParseApeHeader(const uint8_t (&header)[kApeHeaderBytes], ApeInfo& info);

void AnalyzeMonkeysAudio(MediaInfo& info, FileReader& reader);

}  // namespace probex
