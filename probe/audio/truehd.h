// Meridian Lossless Packing: the major sync of Dolby TrueHD (F8 72 6F BA) and
// of MLP (F8 72 6F BB) access units, found in the head of a stream
// (Matroska A_TRUEHD/A_MLP, MPEG-TS stream type 0x83, raw .thd/.mlp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace probex {

struct TrueHdInfo {
  bool trueHd = false;  // false: MLP
  uint32_t sampleRate = 0;
  uint8_t channels = 0;     // the largest presentation: 8-channel for TrueHD when given
  uint8_t channels2ch = 0;  // TrueHD: the 2-channel presentation
  uint8_t channels6ch = 0;  // TrueHD: the 6-channel presentation
  uint8_t bitDepth = 0;     // MLP: group 1 quantisation; TrueHD streams are 24-bit
  bool lfe = false;
  uint32_t peakBitRate = 0;  // bit/s
  bool variableRate = false;
  uint8_t substreams = 0;
  bool atmos = false;  // a fourth substream: the 16-channel presentation
  uint32_t majorSyncOffset = 0;
};

// The major sync at data[0] (its F8 72 6F BA/BB). false when the sync or the
// B7 52 signature is missing, the rate is reserved or the bytes are short.
bool ParseMlpMajorSync(const uint8_t* data, size_t size, TrueHdInfo& out);
// The first major sync in the bytes (at least 4 bytes into them, after an
// access unit header).
bool FindMlpMajorSync(const uint8_t* data, size_t size, TrueHdInfo& out);

// "Dolby TrueHD 48.00kHz 24bit 5.1ch" (+ " Atmos"), "MLP 48.00kHz 16bit 2ch".
std::string TrueHdText(const TrueHdInfo& info);
void TrueHdDetailLines(const TrueHdInfo& info, std::vector<std::string>& lines);

}  // namespace probex
