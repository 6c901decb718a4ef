// Dolby AC-3 and E-AC-3 configuration as containers carry it: MP4 `dac3` and
// `dec3` (with the Atmos/JOC flag after the substreams), the E-AC-3 syncframe
// header with its stream type and substream id, and the MPEG-TS AC-3 (0x6A)
// and enhanced AC-3 (0x7A) descriptors.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace probex {

struct Ac3Config {
  uint32_t sampleRate = 0;
  uint8_t bsid = 0;
  uint8_t bsmod = 0;
  uint8_t acmod = 0;
  bool lfe = false;
  uint32_t bitRate = 0;  // bit/s, from bit_rate_code
  uint8_t channels = 0;  // with the LFE
};

struct Eac3Substream {
  uint32_t sampleRate = 0;
  uint8_t bsid = 0;
  uint8_t bsmod = 0;
  uint8_t acmod = 0;
  bool lfe = false;
  uint8_t dependentCount = 0;
  uint16_t channelLocations = 0;  // chan_loc of the dependent substreams
};

struct Eac3Config {
  uint32_t dataRate = 0;                  // kbit/s
  std::vector<Eac3Substream> substreams;  // independent substreams, 1..8
  bool atmos = false;                     // flag_ec3_extension_type_a (JOC)
  uint8_t complexityIndex = 0;            // objects, when atmos
  uint8_t channels = 0;                   // of the first substream and its dependents, with LFE
  bool lfe = false;
};

// The 3-byte `dac3` payload; false when short or of a reserved rate code.
bool ParseDac3(const uint8_t* data, size_t size, Ac3Config& out);
// The `dec3` payload; false when short or the substreams run past its end.
bool ParseDec3(const uint8_t* data, size_t size, Eac3Config& out);

struct Eac3FrameHeader {
  uint8_t streamType = 0;  // 0 independent, 1 dependent, 2 AC-3 converted
  uint8_t substreamId = 0;
  uint32_t frameBytes = 0;  // (frmsiz + 1) * 2
  uint32_t sampleRate = 0;
  uint8_t blocks = 6;  // audio blocks per frame
  uint32_t samplesPerFrame = 1536;
  uint8_t acmod = 0;
  bool lfe = false;
  uint8_t bsid = 0;
  uint8_t channels = 0;  // with the LFE
  uint32_t bitRate = 0;  // bit/s of this frame
};

// An E-AC-3 syncframe from its 0B 77 (bsid 11..16); false otherwise or when
// the rate is reserved.
bool ParseEac3FrameHeader(const uint8_t* data, size_t size, Eac3FrameHeader& out);

// MPEG-TS descriptors from their tag byte: 0x6A (AC-3) and 0x7A (E-AC-3).
struct Ac3Descriptor {
  bool enhanced = false;  // 0x7A
  bool hasComponentType = false;
  uint8_t componentType = 0;
  bool hasBsid = false;
  uint8_t bsid = 0;
  bool hasMainId = false;
  uint8_t mainId = 0;
  bool hasAsvc = false;
  uint8_t asvc = 0;
  bool mixInfo = false;  // 0x7A only
};
bool ParseAc3Descriptor(const uint8_t* data, size_t size, Ac3Descriptor& out);
// From component_type: "Mono", "1+1", "Stereo", "Dolby Surround",
// "Multichannel", "Multichannel > 5.1", "Multiple substreams".
const char* Ac3ComponentChannels(uint8_t componentType);

// "5.1ch" for 6 channels with an LFE, "2.0ch" for 2 without.
std::string ChannelText(uint8_t channels, bool lfe);
// Channels of acmod/lfe: 1+1 counts 2.
uint8_t Ac3Channels(uint8_t acmod, bool lfe);
// "Dolby AC-3 48.00kHz 2.0ch 192.00kbps"
std::string Ac3ConfigText(const Ac3Config& config);
// "Dolby Digital Plus 48.00kHz 5.1ch 384.00kbps", with " Atmos" for JOC.
std::string Eac3ConfigText(const Eac3Config& config);
void Eac3DetailLines(const Eac3Config& config, std::vector<std::string>& lines);

}  // namespace probex
