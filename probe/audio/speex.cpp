#include "speex.h"

#include <cstring>

#include "../core/bits.h"
#include "../core/templates.h"
#include "../core/text.h"
#include "audio_file.h"

namespace probex {

bool ParseSpeexHeader(const uint8_t* packet, size_t length, SpeexInfo& info) {
  if (!packet || length < 8) return false;
  uint8_t h[72] = {};
  std::memcpy(h, packet, length < sizeof h ? length : sizeof h);
  char version[21] = {};
  std::memcpy(version, h + 8, 20);
  CopyText(info.version, sizeof info.version, version);
  info.versionId = ReadU32LE(h, 28);
  info.headerSize = ReadU32LE(h, 32);
  info.sampleRate = ReadU32LE(h, 36);
  info.mode = ReadU32LE(h, 40);
  info.modeBitstreamVersion = ReadU32LE(h, 44);
  info.channels = ReadU32LE(h, 48);
  // -1 stands for an unknown bit rate.
  uint32_t bitRate = ReadU32LE(h, 52);
  info.bitRate = bitRate == 0xFFFFFFFFu ? 0 : bitRate;
  info.frameSize = ReadU32LE(h, 56);
  info.variableBitRate = ReadU32LE(h, 60) != 0;
  info.framesPerPacket = ReadU32LE(h, 64);
  info.extraHeaders = ReadU32LE(h, 68);
  static const char* const kModes[] = {"Narrow", "Wide", "Ultra-wide"};
  CopyText(info.modeName, sizeof info.modeName, info.mode < 3 ? kModes[info.mode] : "");
  return true;
}

void FormatSpeexText(char* out, size_t size, const SpeexInfo& info) {
  Description d("OGG", "SPEEX");
  SetCommonAudio(d, info.sampleRate, info.bitRate, static_cast<int>(info.channels));
  d.SetText("#bitratemode#", info.variableBitRate ? "VBR" : "ABR");
  d.SetText("#comptype#", info.modeName);
  CopyText(out, size, d.Text());
}

}  // namespace probex
