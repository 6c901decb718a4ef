#include "alac.h"

#include <cstring>

#include "../video/hdr_metadata.h"
#include "bits.h"

namespace probex {

namespace {

constexpr size_t kConfigBytes = 24;

bool IsAtom(const uint8_t* data, size_t size, const char* type) {
  return size >= 12 && std::memcmp(data + 4, type, 4) == 0;
}

}  // namespace

bool ParseAlacConfig(const uint8_t* data, size_t size, AlacConfig& out) {
  if (data == nullptr) return false;
  if (IsAtom(data, size, "frma")) {
    data += 12;
    size -= 12;
  }
  if (IsAtom(data, size, "alac")) {
    data += 12;  // size, type, version and flags
    size -= 12;
  } else if (size >= kConfigBytes + 4 && ReadU32BE(data) == 0) {
    data += 4;  // version and flags of the box payload
    size -= 4;
  }
  if (size < kConfigBytes) return false;
  AlacConfig config;
  config.frameLength = ReadU32BE(data);
  config.compatibleVersion = data[4];
  config.bitDepth = data[5];
  config.channels = data[9];
  config.maxRun = static_cast<uint16_t>(uint32_t{data[10]} << 8 | data[11]);
  config.maxFrameBytes = ReadU32BE(data + 12);
  config.avgBitRate = ReadU32BE(data + 16);
  config.sampleRate = ReadU32BE(data + 20);
  bool depthOk = config.bitDepth == 16 || config.bitDepth == 20 || config.bitDepth == 24 || config.bitDepth == 32;
  if (!depthOk || config.channels == 0 || config.channels > 8 || config.frameLength == 0 || config.sampleRate == 0) {
    return false;
  }
  out = config;
  return true;
}

std::string AlacText(const AlacConfig& config) {
  std::string text = LineF("ALAC %.2fkHz %ubit %uch", config.sampleRate / 1000.0, config.bitDepth, config.channels);
  if (config.avgBitRate > 0) text += LineF(" %.2fkbps", config.avgBitRate / 1000.0);
  return text;
}

}  // namespace probex
