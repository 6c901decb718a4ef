// Dolby AC-3 (ATSC A/52) and E-AC-3 (Dolby Digital Plus, A/52 Annex E)
// sync frames: one header gives rate, channels and the nominal bit rate.
#pragma once

#include <cstddef>
#include <cstdint>

#include "probex.h"

namespace probex {

class FileReader;

// One stream; zero-fill before use.
struct Ac3Info {
  char codec[32];  // #codec#: set by the caller ("Dolby AC-3", or kEac3Codec when isEac3)
  uint32_t sampleRate;
  double channels;  // full-range channels, + 0.1 with LFE
  char serviceType[10];    // bit stream mode: "CM", "ME" ...
  char channelConfig[5];   // "3/2"
  char channelOrder[50];   // "L+C+R+SL+SR+LFE"
  uint32_t bitrate;  // bit/s
  double duration;   // seconds
  uint64_t streamSize;   // input: audio bytes
  bool computeDuration;  // input
  char error[256];
  bool isEac3;  // bsid 11..16: E-AC-3 syncinfo and bsi
  uint32_t bsid;
  uint32_t frameSize;  // bytes of the first frame (with its dependent substreams for E-AC-3)
};

inline constexpr char kAc3Codec[] = "Dolby AC-3";
inline constexpr char kEac3Codec[] = "Dolby Digital Plus";

// First offset from start of the bytes 0B 77 with 7 bytes from there inside
// the buffer; -1 when there is none.
int64_t FindAc3Sync(const uint8_t* buffer, size_t length, size_t start);

// bytes begin with a sync word; at least 7 are needed. For E-AC-3 the
// dependent and further independent substreams that follow the first frame
// inside length count towards the bit rate. Sets duration when
// computeDuration. false on failure, with error set for reserved fields.
bool ParseAc3SyncInfo(Ac3Info& info, const uint8_t* bytes, size_t length);

// The line from section "AC3", key "AUDIO".
void DescribeAc3(char* out, size_t size, const Ac3Info& info);

// FormatId 113.
void AnalyzeAc3(MediaInfo& info, FileReader& reader);

}  // namespace probex
