// DTS-HD: the extension substream header (sync 64 58 20 25) with its first
// asset descriptor, the extension payloads that name the stream (XLL: Master
// Audio; XBR/X96: High Resolution; LBR: Express), and the MP4 `ddts` box.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace probex {

struct DtsHdInfo {
  uint8_t substreamIndex = 0;
  uint32_t headerBytes = 0;
  uint32_t frameBytes = 0;  // the whole extension substream
  uint8_t presentations = 1;
  uint8_t assets = 1;
  // First asset descriptor, when the static fields are present.
  bool assetKnown = false;
  uint8_t bitDepth = 0;
  uint32_t sampleRate = 0;
  uint8_t channels = 0;
  // Extensions whose sync words appear in the substream frame.
  bool xll = false;
  bool xbr = false;
  bool x96 = false;
  bool lbr = false;
  bool xxch = false;
};

// The substream at data[0]. false when the sync is missing, or the header
// sizes do not fit the bytes.
bool ParseDtsHdSubstream(const uint8_t* data, size_t size, DtsHdInfo& out);
// The first substream header in the bytes (e.g. after a core frame).
bool FindDtsHdSubstream(const uint8_t* data, size_t size, DtsHdInfo& out);
// "DTS-HD MA", "DTS-HD HRA", "DTS Express", "DTS-HD".
const char* DtsHdName(const DtsHdInfo& info);
// "DTS-HD MA 48.00kHz 24bit 6ch"
std::string DtsHdText(const DtsHdInfo& info);

struct DtsSpecificBox {
  uint32_t samplingFrequency = 0;
  uint32_t maxBitRate = 0;
  uint32_t avgBitRate = 0;
  uint8_t sampleDepth = 0;
  uint8_t frameDuration = 0;  // samples: 512 << code
  uint8_t streamConstruction = 0;
  bool coreLfe = false;
  uint8_t coreLayout = 0;
  uint16_t coreSize = 0;
  uint16_t channelLayout = 0;
  uint8_t channels = 0;  // from channelLayout
  bool multiAsset = false;
};
// The `ddts` payload (20 bytes and more). false when short.
bool ParseDdts(const uint8_t* data, size_t size, DtsSpecificBox& out);

}  // namespace probex
