// ASF (Windows Media audio and video): the header objects up to the data
// object, one line per audio and video stream.
#pragma once

#include <cstddef>
#include <cstdint>

#include "probex.h"

namespace probex {

class FileReader;

struct AsfVideoInfo {
  int32_t width;
  int32_t height;
  uint16_t bits;
  char codec[128];
  double frameRate;
  double bitRate;  // bit/s
};

struct AsfAudioInfo {
  char codec[128];
  double sampleRate;
  uint16_t bits;
  uint16_t channels;
  double bitRate;  // bit/s
};

// Section "WINDOWSMEDIA": "VIDEO1" with a frame rate, "VIDEO2" without; "AUDIO".
void FormatAsfVideoText(char* out, size_t size, const AsfVideoInfo& info);
void FormatAsfAudioText(char* out, size_t size, const AsfAudioInfo& info);

// The kinds of stream the header declares: 18 (video), 112 (audio only) or
// 1 (neither, or no file properties).
int32_t ScanAsfStreams(FileReader& reader);

// FormatIds 18 and 112.
void AnalyzeAsf(MediaInfo& info, FileReader& reader);

}  // namespace probex
