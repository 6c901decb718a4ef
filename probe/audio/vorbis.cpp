#include "vorbis.h"

#include <cstring>

#include "../core/bits.h"
#include "../core/templates.h"
#include "../core/text.h"
#include "audio_file.h"

namespace probex {

bool ParseVorbisIdHeader(const uint8_t* packet, size_t length, VorbisInfo& info) {
  if (!packet || length < 12) return false;
  uint8_t h[28] = {};
  std::memcpy(h, packet, length < sizeof h ? length : sizeof h);
  info.channels = h[11];
  info.sampleRate = ReadU32LE(h, 12);
  uint32_t max = ReadU32LE(h, 16), nominal = ReadU32LE(h, 20), min = ReadU32LE(h, 24);
  info.maxBitrate = max;
  info.nominalBitrate = nominal;
  info.minBitrate = min;
  constexpr uint32_t F = 0xFFFFFFFFu;
  const char* mode;
  double rate;
  if (min == F && nominal == F && max == F) {
    mode = "VBR", rate = 0;
  } else if (min == 0 && nominal != 0 && max == 0) {
    mode = "QB", rate = nominal;
  } else if (min == nominal && nominal == max) {
    mode = "CBR", rate = nominal;
  } else if (min == F && nominal != 0 && max == F) {
    mode = "VBR", rate = nominal;
  } else if (min == F && nominal != 0 && max != 0) {
    mode = "ABR", rate = max * 0.5;
  } else {
    mode = "ABR", rate = (static_cast<double>(max) + min) * 0.5;
  }
  CopyText(info.bitrateMode, sizeof info.bitrateMode, mode);
  info.bitRate = rate;
  return true;
}

void FormatVorbisText(char* out, size_t size, const VorbisInfo& info) {
  Description d("OGG", "VORBIS");
  SetCommonAudio(d, info.sampleRate, info.bitRate, info.channels);
  d.SetText("#bitratemode#", info.bitrateMode);
  CopyText(out, size, d.Text());
}

}  // namespace probex
