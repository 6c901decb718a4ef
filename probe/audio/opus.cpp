#include "opus.h"

#include <cstring>

#include "../core/bits.h"
#include "../core/templates.h"
#include "../core/text.h"
#include "audio_file.h"

namespace probex {

bool ParseOpusHead(const uint8_t* packet, size_t length, OpusInfo& info) {
  if (!packet || length < 8 || !EqualNoCase(packet, "OpusHead", 8)) return false;
  uint8_t h[19] = {};
  std::memcpy(h, packet, length < sizeof h ? length : sizeof h);
  info.version = h[8];
  info.channels = h[9];
  info.preSkip = ReadU16LE(h, 10);
  info.inputSampleRate = ReadU32LE(h, 12);
  info.mappingFamily = h[18];
  return true;
}

double OpusSeconds(const OpusInfo& info, int64_t granule) {
  int64_t samples = granule - static_cast<int64_t>(info.preSkip);
  return samples > 0 ? static_cast<double>(samples) / kOpusRate : 0.0;
}

void FormatOpusText(char* out, size_t size, const OpusInfo& info) {
  Description d("OGG", "OPUS");
  SetCommonAudio(d, kOpusRate, info.bitRate, info.channels);
  CopyText(out, size, d.Text());
}

}  // namespace probex
