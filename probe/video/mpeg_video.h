// MPEG-1/2 video (ISO/IEC 11172-2, 13818-2): start-code search, the sequence
// header and sequence extension, and the video line. Shared by the program
// and transport stream analyzers and by containers holding MPEG video.
#pragma once

#include <cstddef>
#include <cstdint>

namespace probex {

// One stream; zero-fill before use and preset codec ("MPEG1" or "MPEG2").
struct MpegVideoInfo {
  int32_t width;
  int32_t height;
  char codec[32];
  char profile[64];  // "MP@ML" from the sequence extension; empty for MPEG-1
  char aspect[32];
  bool progressive;  // progressive_sequence; stays false without an extension
  double frameRate;  // 0 for codes outside the table
  double bitRate;    // bit/s from the header; 0 for variable bit rate
  double averageBitRate;  // bit/s, computed by the caller from size and duration
  bool variableBitRate;   // bit_rate_value 0x3FFFF
};

inline constexpr uint32_t kMpegSequenceHeaderCode = 0x000001B3;
inline constexpr uint32_t kMpegExtensionStartCode = 0x000001B5;
inline constexpr uint32_t kMpegGroupStartCode = 0x000001B8;
inline constexpr uint32_t kMpegPackStartCode = 0x000001BA;

// First offset i >= start with i + 4 <= length at which the four bytes read
// big-endian equal value; -1 when there is none.
int64_t FindStartCode(const uint8_t* buffer, size_t length, uint32_t value, size_t start = 0);
// Last offset i with from <= i and i + 4 <= length holding value; -1 when none.
int64_t FindLastStartCode(const uint8_t* buffer, size_t length, uint32_t value, size_t from = 0);

// The 33-bit value of a 5-byte PTS or DTS field of a packet header: a 4-bit
// prefix, then 3, 15 and 15 bits, each followed by a marker bit.
uint64_t ReadMpegTimeStamp(const uint8_t* field);
// The field's three marker bits are set, as in every undamaged stamp.
bool MpegTimeStampMarked(const uint8_t* field);

// bytes: the first byte after a 000001B3 start code. Sets width, height,
// aspect, frameRate, bitRate and variableBitRate. false (nothing changed)
// when fewer than 7 bytes are given.
bool ParseMpegSequenceHeader(MpegVideoInfo& info, const uint8_t* bytes, size_t length);

// bytes: at a 000001B5 start code. A sequence extension (identifier 1) sets
// profile and progressive and gives true; anything else, or fewer than 7
// bytes, gives false and changes nothing.
bool ParseMpegSequenceExtension(MpegVideoInfo& info, const uint8_t* bytes, size_t length);

// Table texts: aspect_ratio_information (4 bits), frame_rate_code (4 bits),
// and profile/level as "MP@ML".
const char* MpegAspectText(uint32_t code);
double MpegFrameRate(uint32_t code);
void MpegProfileLevelText(char* out, size_t size, uint32_t profile, uint32_t level);

// The line from section "MPEG1/2": key "MPEG2" when profile is set, else
// "MPEG1". The bit rate shown is averageBitRate for variable bit rate.
void FormatMpegVideoText(char* out, size_t size, const MpegVideoInfo& info);

}  // namespace probex
