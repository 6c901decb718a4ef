// MPEG-2/4 AAC: ADTS and ADIF framing and the MPEG-4 AudioSpecificConfig
// (ISO/IEC 14496-3) that containers store for AAC tracks.
#pragma once

#include <cstddef>
#include <cstdint>

#include "probex.h"

namespace probex {

class FileReader;

// One stream; zero-fill before use.
struct AacInfo {
  char framing[30];  // "ADTS" or "ADIF"; empty from a container
  uint32_t sampleRate;
  double channels;  // 5.1 with LFE; 65535.0 for an unknown configuration
  char channelConfig[5];  // "3/2"
  char channelOrder[30];  // "C+L+R+BL+BR+LFE"
  double bitrate;         // bit/s
  bool hasSbr;
  bool hasPs;
  bool sbrAbsent;  // said outright (sync extension, SBR bit 0): no SBR, so no PS either
  uint32_t frameCount;  // ADTS frames walked
  char profile[32];     // "LC", "LC(SBR+PS)" ...
  uint32_t objectType;
  double duration;   // seconds
  bool walkFrames;   // input: walk every ADTS frame for duration and bit rate
  uint64_t streamSize;  // input: offset where the audio data ends
  char error[256];
};

// 0..12 to Hz; 13 to 15 (and anything else) give 0.
uint32_t AacSampleRateFromIndex(uint32_t index);
// Object type name, "UnknownProfile(%d)" beyond 31.
void AacProfileName(char* out, size_t size, uint32_t objectType);
// Channel configuration 0..7 into channels, channelConfig and channelOrder.
void AacChannelConfigText(uint32_t config, AacInfo& info);

// Reader at the first ADTS header. Fills the header fields and, with
// walkFrames, walks the frame headers up to streamSize for frameCount,
// duration and bitrate. The reader ends where it started. false with error.
bool ParseAdtsHeader(AacInfo& info, FileReader& reader);
// Reader at "ADIF". false with error (bit rate 0).
bool ParseAdifHeader(AacInfo& info, FileReader& reader);

// The same on bytes in memory: one ADTS header (at least 7 bytes) or an ADIF
// header; no frame walk, no duration.
bool ParseAdtsHeaderBytes(const uint8_t* bytes, size_t length, AacInfo& info);
bool ParseAdifHeaderBytes(const uint8_t* bytes, size_t length, AacInfo& info);
// First offset from start of an ADTS sync (FFF, layer 0) with 7 bytes
// following; -1 when there is none.
int64_t FindAdtsSync(const uint8_t* buffer, size_t length, size_t start);
// ADTS frame length of the header at bytes (at least 7); 0 without sync.
uint32_t AdtsFrameLength(const uint8_t* bytes, size_t length);

// Sample rate, channels, object type, profile and SBR/PS from an
// AudioSpecificConfig of length bytes; bits past the end read as 0.
// false only without any bytes.
bool ParseAudioSpecificConfig(const uint8_t* bytes, size_t length, AacInfo& info);
// A configuration of object type 5 inside a container: SBR and PS that it
// does not signal are inferred from the track's own rate and channel count,
// marked "+(!SBR)" and "+(!PS)" in the profile.
void InferAacFromTrack(AacInfo& info, double trackRate, uint32_t trackChannels);

// The line from section "AAC" (AUDIO2 for a walked ADTS file, else AUDIO1).
void DescribeAac(char* out, size_t size, const AacInfo& info);

// FormatId 117.
void AnalyzeAac(MediaInfo& info, FileReader& reader);

}  // namespace probex
