// MPEG-2 transport streams, 188-byte packets and the 192-byte variant with a
// 4-byte prefix per packet: association and map tables, one line per
// elementary stream, duration from video time stamps.
#pragma once

#include <cstddef>
#include <cstdint>

#include "dolby_vision.h"
#include "probex.h"

namespace probex {

class FileReader;

inline constexpr size_t kTsWindowBytes = 4069000;
inline constexpr size_t kTsMaxPrograms = 20;
inline constexpr size_t kTsMaxStreams = 20;

struct TsPacketHeader {
  uint8_t syncByte;
  bool transportError;
  bool payloadUnitStart;
  bool transportPriority;
  uint16_t pid;
  uint8_t scramblingControl;
  uint8_t adaptationFieldControl;  // 1 payload, 2 adaptation field, 3 both
  uint8_t continuityCounter;
};

// One program map table; zero-fill before use.
struct TsProgram {
  uint8_t tableId;
  uint8_t sectionSyntaxIndicator;
  uint16_t sectionLength;
  uint16_t programNumber;
  uint8_t versionNumber;
  uint8_t currentNextIndicator;
  uint8_t sectionNumber;
  uint8_t lastSectionNumber;
  uint16_t pcrPid;
  uint16_t programInfoLength;
  uint8_t streamCount;
  uint8_t streamType[kTsMaxStreams];
  uint16_t elementaryPid[kTsMaxStreams];
  uint16_t esInfoLength[kTsMaxStreams];
  // What each stream's descriptors say: a stream type whose describer fits
  // a private-data stream (0: none), and a Dolby Vision record.
  uint8_t describeAs[kTsMaxStreams];
  bool hasDolbyVision[kTsMaxStreams];
  DolbyVisionConfig dolbyVision[kTsMaxStreams];
};

// Blu-ray linear PCM (stream type 0x80); zero-fill before use.
struct BdLpcmInfo {
  char codec[32];  // "LinearPCM"
  double sampleRate;
  uint16_t bitsPerSample;
  double channels;  // 5.1 and 7.1 as such
  char channelConfig[5];
  char channelOrder[30];
  double bitRate;  // bit/s
};

// The four header bytes at bytes (fewer than 4 give false).
bool ParseTsPacketHeader(const uint8_t* bytes, size_t length, TsPacketHeader& header);

// First offset i at which sync bytes lie one packet apart inside the buffer:
// 188 when bytes i and i + 188 are 0x47, else 192 when bytes i + 4 and
// i + 196 are. 0 (offset 0) when there is none.
uint32_t FindTsPacketSize(const uint8_t* buffer, size_t length, size_t& offset);

// The 4-byte BD LPCM audio header (payload size, channel assignment,
// sampling frequency, bits per sample). false for fewer than 4 bytes or an
// unknown frequency or sample size.
bool ParseBdLpcmHeader(BdLpcmInfo& info, const uint8_t* bytes, size_t length);
// The line from section "MPEG2-TS", key "LPCM".
void FormatBdLpcmText(char* out, size_t size, const BdLpcmInfo& info);

// Analyses file bytes [start, end): stream lines, duration and the packet
// size line ("188Pct"/"192Pct") go into info, failures into errorText. The
// reader's position is restored. false on failure.
bool AnalyzeTransportStream(FileReader& reader, MediaInfo& info, uint64_t start, uint64_t end);

// FormatId 17.
void AnalyzeMpegTs(MediaInfo& info, FileReader& reader);

}  // namespace probex
