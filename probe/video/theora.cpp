#include "theora.h"

#include <cstring>

#include "bits.h"
#include "templates.h"
#include "text.h"

namespace probex {

bool ParseTheoraIdHeader(const uint8_t* packet, size_t length, TheoraInfo& info) {
  if (!packet || length < 10) return false;
  uint8_t h[42] = {};
  std::memcpy(h, packet, length < sizeof h ? length : sizeof h);
  info.versionMajor = h[7];
  info.versionMinor = h[8];
  info.versionRevision = h[9];
  // The picture region inside the macroblock-aligned frame is what shows.
  int32_t pictureWidth = static_cast<int32_t>(ReadU24BE(h, 14));
  int32_t pictureHeight = static_cast<int32_t>(ReadU24BE(h, 17));
  info.width = pictureWidth ? pictureWidth : static_cast<int32_t>(ReadU16BE(h, 10) * 16);
  info.height = pictureHeight ? pictureHeight : static_cast<int32_t>(ReadU16BE(h, 12) * 16);
  info.frameRateNumerator = ReadU32BE(h, 22);
  info.frameRateDenominator = ReadU32BE(h, 26);
  info.aspectNumerator = ReadU24BE(h, 30);
  info.aspectDenominator = ReadU24BE(h, 33);
  info.nominalBitrate = ReadU24BE(h, 37);
  info.granuleShift = (h[40] & 3u) * 8 + (h[41] >> 5);
  return true;
}

int64_t TheoraGranuleFrames(int64_t granule, uint32_t granuleShift) {
  if (granule < 0) return 0;
  if (granuleShift >= 63) return granule;
  uint64_t g = static_cast<uint64_t>(granule);
  uint64_t mask = (uint64_t{1} << granuleShift) - 1;
  return static_cast<int64_t>((g >> granuleShift) + (g & mask));
}

void FormatTheoraText(char* out, size_t size, const TheoraInfo& info) {
  Description d("OGG", "THEORA");
  d.Set("#width#", "%d", info.width);
  d.Set("#height#", "%d", info.height);
  d.Set("#codec#", "Theora %d.%d.%d", info.versionMajor, info.versionMinor, info.versionRevision);
  d.SetKnown("#framerate#", "%.2f",
        info.frameRateDenominator ? static_cast<double>(info.frameRateNumerator) / info.frameRateDenominator : 0.0);
  d.Set("#aspect#", "%u:%u", info.aspectNumerator, info.aspectDenominator);
  d.SetKnown("#bitratek#", "%.2f", info.nominalBitrate * 0.001);
  d.SetKnown("#bitrate#", "%.2f", static_cast<double>(info.nominalBitrate));
  d.Set("#frame#", "%lld", static_cast<long long>(info.frameCount));
  CopyText(out, size, d.Text());
}

}  // namespace probex
