#include "video_line.h"

#include <cstring>

#include "bits.h"
#include "templates.h"
#include "text.h"

namespace probex {

void ParseBitmapInfo(const uint8_t* bytes, size_t length, BitmapInfo& info) {
  uint8_t b[20] = {};
  if (bytes) std::memcpy(b, bytes, length < sizeof b ? length : sizeof b);
  info.width = static_cast<int32_t>(ReadU32LE(b, 4));
  info.height = static_cast<int32_t>(ReadU32LE(b, 8));
  info.bitCount = static_cast<uint16_t>(ReadU16LE(b, 14));
  for (int i = 0; i < 4; ++i) info.compression[i] = b[16 + i] ? static_cast<char>(b[16 + i]) : ' ';
  info.compression[4] = '\0';
}

void FormatRiffVideoText(char* out, size_t size, const VideoStream& info) {
  Description d("RIFF", "VIDEO");
  d.Set("#width#", "%d", info.width);
  d.Set("#height#", "%d", info.height);
  d.Set("#bitdepth#", "%d", info.bitDepth);
  d.SetText("#codec#", info.codec);
  d.SetKnown("#framerate#", "%.2f", info.frameRate);
  d.Set("#frame#", "%d", info.frameCount);
  d.SetKnown("#bitratek#", "%.2f", info.bitRate * 0.001);
  d.SetKnown("#bitrate#", "%.2f", info.bitRate);
  CopyText(out, size, d.Text());
}

}  // namespace probex
