// AVI 1.0 and OpenDML (AVI 2.0), with the DivX Media, Google Video and DV
// type-1 variants. The video record, the bitmap header and the DivX/XviD
// encoder-name search are shared with Ogg (OGM), ASF and Matroska.
#pragma once

#include <cstddef>
#include <cstdint>

#include "probex.h"

namespace probex {

class FileReader;
struct TagInfo;

// One video line's values; zero-fill before use.
struct RiffVideoInfo {
  int32_t width;
  int32_t height;
  uint16_t bitDepth;
  char codec[256];
  double frameRate;
  int32_t frameCount;
  double bitRate;  // bit/s
};

// The fields of a BITMAPINFOHEADER that descriptions use.
struct BitmapInfo {
  int32_t width;
  int32_t height;
  uint16_t bitCount;
  char compression[5];  // FourCC, NUL bytes as blanks
};

// Bytes past length read as zero.
void ParseBitmapInfo(const uint8_t* bytes, size_t length, BitmapInfo& info);

// Search one video frame for DivX or XviD encoder user data; on a find write
// the CODECS.INI ("AVI-DIVX" / "AVI-XVID") label, or a label built from the
// found text, into codec and return true. false leaves codec unchanged.
bool FindDivxCodecName(char* codec, size_t size, const uint8_t* frame, size_t length);
bool FindXvidCodecName(char* codec, size_t size, const uint8_t* frame, size_t length);
// The search AVI, OGM and Matroska run on a first frame: DivX user data when
// codec is a "DivX 5" label, then XviD's when it is (or became) an "XviD"
// label. true when either was found.
bool RefineMpeg4VisualName(char* codec, size_t size, const uint8_t* frame, size_t length);

// Section "RIFF", key "VIDEO".
void FormatRiffVideoText(char* out, size_t size, const RiffVideoInfo& info);

// The "AVI " form walk, run by AnalyzeRiff with the reader just after the
// form type. riffStart and riffLength describe the file's first RIFF chunk.
void WalkAvi(MediaInfo& media, FileReader& reader, uint64_t riffStart, uint64_t riffLength, TagInfo& tags);

}  // namespace probex
