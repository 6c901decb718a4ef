// MPEG-1 system streams and MPEG-2 program streams (DVD video objects
// included), and bare MPEG-1/2 video: head and tail windows scanned for start
// codes, never walked packet by packet.
#pragma once

#include <cstddef>
#include <cstdint>

#include "probex.h"

namespace probex {

class FileReader;

// DVD linear PCM (private stream 1, sub-streams A0..A7); zero-fill before use.
struct LpcmInfo {
  char codec[32];  // "LinearPCM"
  double sampleRate;
  uint16_t bitsPerSample;
  uint16_t channels;
  double bitRate;  // bit/s
};

// The 6 bytes after the sub-stream number: frame count, first access unit
// pointer, then the audio frame header. false for fewer than 6 bytes, a
// quantization code of 3 or a sampling frequency code above 1.
bool ParseDvdLpcmHeader(LpcmInfo& info, const uint8_t* bytes, size_t length);
// The line from section "MPEG1/2", key "LPCM".
void FormatLpcmText(char* out, size_t size, const LpcmInfo& info);

enum class MpegSystemVariant { kMpeg1, kMpeg2 };

// Analyses file bytes [start, end): duration, the video line and one line per
// audio stream go into info; failures into info.errorText. The reader's
// position is restored. false when no sequence header was found or the
// windows could not be had. Containers call the MPEG-1 variant.
bool AnalyzeMpegSystemStream(FileReader& reader, MediaInfo& info, uint64_t start, uint64_t end,
                             MpegSystemVariant variant);

// FormatIds 13 (MPEG-1) and 16 (MPEG-2).
void AnalyzeMpeg1(MediaInfo& info, FileReader& reader);
void AnalyzeMpeg2(MediaInfo& info, FileReader& reader);

}  // namespace probex
