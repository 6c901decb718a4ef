// MusePack SV8 ("MPCK"): the packets of the stream head with their
// variable-length sizes: SH (stream header), RG (replay gain), EI (encoder
// information), up to the first audio packet.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace probex {

struct MusepackSv8Info {
  bool streamHeaderSeen = false;
  uint32_t crc = 0;
  uint8_t version = 0;
  uint64_t samples = 0;
  uint64_t beginSilence = 0;
  uint32_t sampleRate = 0;
  uint8_t maxBands = 0;
  uint8_t channels = 0;
  bool midSide = false;
  uint32_t blockFrames = 0;  // frames per audio packet
  bool replayGainSeen = false;
  int16_t titleGain = 0;  // 1/256 dB
  uint16_t titlePeak = 0;
  int16_t albumGain = 0;
  uint16_t albumPeak = 0;
  bool encoderSeen = false;
  double profile = 0;  // quality profile, 0..15.875
  uint8_t encoderMajor = 0, encoderMinor = 0, encoderBuild = 0;
  uint64_t headBytes = 0;  // offset of the first audio packet, 0 when not reached
  double duration = 0;     // seconds: samples less the leading silence
};

// A packet size: 7 bits per byte, high bit set while more follow, at most 9
// bytes. false when the bytes end first or it overflows.
bool ReadSv8Size(const uint8_t* data, size_t size, uint64_t& value, size_t& used);
// From "MPCK" on. false without the magic or a valid SH packet before the
// first audio packet or the end of the bytes.
bool ParseMusepackSv8(const uint8_t* data, size_t size, MusepackSv8Info& out);
// Bit rate of audioBytes over the duration, 0 when unknown.
double MusepackSv8BitRate(const MusepackSv8Info& info, uint64_t audioBytes);
// "MusePack SV8 44.10kHz 2ch"
std::string MusepackSv8Text(const MusepackSv8Info& info);

}  // namespace probex
