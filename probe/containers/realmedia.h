// RealMedia (.rm: PROP, MDPR, DATA, INDX chunks) and bare RealAudio (.ra).
// The RealAudio header and RealVideo type-specific data parsers are shared
// with Matroska (A_REAL/ and V_REAL/ tracks). All numbers are big-endian.
#pragma once

#include <cstddef>
#include <cstdint>

#include "probex.h"

namespace probex {

class FileReader;

// RealVideo type-specific data; zero-fill before use.
struct RealVideoInfo {
  uint32_t bitRate;  // set by the caller: the stream's average bit rate
  uint32_t size;
  char tag[5];     // "VIDO"
  char fourCC[5];  // "RV40"
  uint16_t width;
  uint16_t height;
  uint16_t bitCount;
  uint16_t paddedWidth;
  uint16_t paddedHeight;
  uint16_t frameRate;  // integer part
  uint16_t unused[7];
  char codec[128];  // set by the caller
};

// RealAudio header (.ra versions 3 to 5, or "LSD:" lossless); zero-fill before use.
struct RealAudioInfo {
  double bitRate;   // set by the caller
  char codec[128];  // set by the caller
  uint16_t version;
  char signature[5];  // ".ra3", ".ra4", ".ra5"
  int32_t bitsPerSample;
  int32_t sampleRate;
  int32_t headerSize;
  uint16_t channels;
  uint16_t value10;
  uint16_t value12;
  uint16_t value14;
  int32_t bytesPerMinute;
  int32_t dataSize;
  char codecKey[5];  // "cook", "sipr", "28_8" ...
  uint16_t flavor;
  uint32_t codedFrameSize;
};

// false for an unknown signature, versions 0 to 2, or a header shorter than
// its fixed fields. Versions above 5 succeed with only the version read.
bool ParseRealAudioHeader(const uint8_t* bytes, size_t length, RealAudioInfo& info);
// Bytes past length read as zero.
void ParseRealVideoHeader(const uint8_t* bytes, size_t length, RealVideoInfo& info);

// Stand-alone duration: dataSize / bytesPerMinute × 60 s; 0 when either is 0.
double RealAudioDuration(const RealAudioInfo& info);
// dataSize × 8 / that duration; 0 when the duration is 0.
double RealAudioBitRate(const RealAudioInfo& info);

// Section "REAL", keys "VIDEO" and "AUDIO".
void FormatRealVideoText(char* out, size_t size, const RealVideoInfo& info);
void FormatRealAudioText(char* out, size_t size, const RealAudioInfo& info);

// FormatId 19 and FormatId 118.
void AnalyzeRealMedia(MediaInfo& info, FileReader& reader);
void AnalyzeRealAudio(MediaInfo& info, FileReader& reader);

}  // namespace probex
