// RealAudio: the header of bare .ra files and of RealMedia and Matroska
// (A_REAL/) audio streams, its line, and the .ra analyzer. Big-endian.
#pragma once

#include <cstddef>
#include <cstdint>

#include "probex.h"

namespace probex {

class FileReader;

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
// Stand-alone duration: dataSize / bytesPerMinute × 60 s; 0 when either is 0.
double RealAudioDuration(const RealAudioInfo& info);

// dataSize × 8 / that duration; 0 when the duration is 0.
double RealAudioBitRate(const RealAudioInfo& info);

// CODECS.INI look-up of a RealAudio or RealVideo codec key (section
// "REAL-AUDIO" or "REAL-VIDEO"), upper-cased; an empty key looks nothing up.
void LookupRealCodec(char* out, size_t size, const char* section, const char* text);

// Section "REAL", key "AUDIO".
void FormatRealAudioText(char* out, size_t size, const RealAudioInfo& info);

// FormatId 118.
void AnalyzeRealAudio(MediaInfo& info, FileReader& reader);

}  // namespace probex
