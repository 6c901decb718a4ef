// Flash Video (FLV version 1): the first audio and video tags and the
// script-data properties (AMF0) that carry size, rates and duration.
#pragma once

#include <cstddef>
#include <cstdint>

#include "probex.h"

namespace probex {

class FileReader;

struct AudioStream;

inline constexpr size_t kFlvMaxProperties = 256;
// AMF0 values nested deeper than this are not decoded.
inline constexpr int kAmfMaxDepth = 32;

struct FlvProperty {
  char name[256];
  int32_t type;  // 1 number, 2 text
  double number;
  char text[256];
};

// Properties found over all script-data tags; once full it takes no more.
struct FlvMetadata {
  FlvProperty entries[kFlvMaxProperties];
  size_t count;
};

struct FlvVideoInfo {
  int32_t width;
  int32_t height;
  char codec[256];
  double frameRate;
  double bitRate;  // bit/s
  char profile[32];
};

// For every place in data where name occurs (ASCII case ignored), records the
// name and decodes the AMF0 value after it into the table.
void FindAmfProperty(const uint8_t* data, size_t length, const char* name, FlvMetadata& table);
// One AMF0 value at bytes[0..length): the bytes it spans, 0 on failure.
size_t ParseAmfValue(const uint8_t* bytes, size_t length, FlvMetadata& table, int depth = 0);
// A 16-bit name length, the name, then a value; the bytes spanned, 0 on failure.
size_t ParseAmfProperty(const uint8_t* bytes, size_t length, FlvMetadata& table, int depth = 0);

// Section "FLASHVIDEO": key "FLL" with a profile, else "FLV"; key "AUDIO".
void FormatFlvVideoText(char* out, size_t size, const FlvVideoInfo& info);
void FormatFlvAudioText(char* out, size_t size, const AudioStream& info);

// FormatId 26.
void AnalyzeFlashVideo(MediaInfo& info, FileReader& reader);

}  // namespace probex
