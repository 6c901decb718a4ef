#include "real_video.h"

#include <cstring>

#include "bits.h"
#include "templates.h"
#include "text.h"

namespace probex {

namespace {

void CopyFourCC(char (&out)[5], const uint8_t* bytes) {
  std::memcpy(out, bytes, 4);
  out[4] = '\0';
}

}  // namespace

void ParseRealVideoHeader(const uint8_t* bytes, size_t length, RealVideoInfo& info) {
  uint8_t b[38] = {};
  if (bytes) std::memcpy(b, bytes, length < sizeof b ? length : sizeof b);
  info.size = ReadU32BE(b, 0);
  CopyFourCC(info.tag, b + 4);
  CopyFourCC(info.fourCC, b + 8);
  uint16_t values[13];
  for (size_t i = 0; i < 13; ++i) values[i] = static_cast<uint16_t>(ReadU16BE(b, 12 + 2 * i));
  info.width = values[0];
  info.height = values[1];
  info.bitCount = values[2];
  info.paddedWidth = values[3];
  info.paddedHeight = values[4];
  info.frameRate = values[5];
  std::memcpy(info.unused, values + 6, sizeof info.unused);
}

void FormatRealVideoText(char* out, size_t size, const RealVideoInfo& info) {
  Description d("REAL", "VIDEO");
  d.Set("#width#", "%d", info.width);
  d.Set("#height#", "%d", info.height);
  d.Set("#bitdepth#", "%d", info.bitCount);
  d.SetText("#codec#", info.codec);
  d.SetKnown("#framerate#", "%.2f", static_cast<double>(info.frameRate));
  d.SetKnown("#bitratek#", "%.2f", info.bitRate * 0.001);
  d.SetKnown("#bitrate#", "%.2f", static_cast<double>(info.bitRate));
  CopyText(out, size, d.Text());
}

}  // namespace probex
