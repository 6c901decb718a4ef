#include "dts_hd.h"

#include "../video/hdr_metadata.h"
#include "../video/nal_bits.h"
#include "bits.h"

namespace probex {

namespace {

constexpr uint32_t kSubstreamSync = 0x64582025;

void ScanExtensions(const uint8_t* data, size_t size, DtsHdInfo& info) {
  for (size_t at = 0; at + 4 <= size; ++at) {
    switch (ReadU32BE(data + at)) {
      case 0x41A29547:
        info.xll = true;
        break;
      case 0x655E315E:
        info.xbr = true;
        break;
      case 0x1D95F262:
        info.x96 = true;
        break;
      case 0x0A801921:
        info.lbr = true;
        break;
      case 0x47004A03:
        info.xxch = true;
        break;
      default:
        break;
    }
  }
}

}  // namespace

bool ParseDtsHdSubstream(const uint8_t* data, size_t size, DtsHdInfo& out) {
  if (data == nullptr || size < 8 || ReadU32BE(data) != kSubstreamSync) return false;
  NalBits bits(data + 4, size - 4);
  DtsHdInfo info;
  bits.Skip(8);  // user defined
  info.substreamIndex = static_cast<uint8_t>(bits.Bits(2));
  bool wide = bits.Flag();
  info.headerBytes = bits.Bits(wide ? 12 : 8) + 1;
  info.frameBytes = bits.Bits(wide ? 20 : 16) + 1;
  if (bits.Exhausted() || info.headerBytes > info.frameBytes) return false;
  bool staticFields = bits.Flag();
  if (staticFields) {
    bits.Skip(2 + 3);  // reference clock, frame duration
    if (bits.Flag()) bits.Skip(36);
    info.presentations = static_cast<uint8_t>(bits.Bits(3) + 1);
    info.assets = static_cast<uint8_t>(bits.Bits(3) + 1);
    uint32_t activeMasks[8] = {};
    for (unsigned p = 0; p < info.presentations; ++p) activeMasks[p] = bits.Bits(info.substreamIndex + 1);
    for (unsigned p = 0; p < info.presentations; ++p) {
      for (unsigned s = 0; s <= info.substreamIndex; ++s) {
        if (activeMasks[p] >> s & 1) bits.Skip(8);
      }
    }
    if (bits.Flag()) {  // mix metadata
      bits.Skip(2);
      unsigned maskBits = (bits.Bits(2) + 1) * 4;
      unsigned configs = bits.Bits(2) + 1;
      bits.Skip(maskBits * configs);
    }
  }
  for (unsigned a = 0; a < info.assets; ++a) bits.Skip(wide ? 20 : 16);
  // The first asset descriptor: its size, index, then the static fields.
  bits.Skip(9 + 3);
  if (staticFields) {
    if (bits.Flag()) bits.Skip(4);
    if (bits.Flag()) bits.Skip(24);
    if (bits.Flag()) bits.Skip((bits.Bits(10) + 1) * 8);
    static const uint32_t kRates[] = {8000,   16000,  32000, 64000, 128000, 22050, 44100,  88200,
                                      176400, 352800, 12000, 24000, 48000,  96000, 192000, 384000};
    info.bitDepth = static_cast<uint8_t>(bits.Bits(5) + 1);
    info.sampleRate = kRates[bits.Bits(4)];
    info.channels = static_cast<uint8_t>(bits.Bits(8) + 1);
    info.assetKnown = !bits.Exhausted();
  }
  size_t frame = info.frameBytes < size ? info.frameBytes : size;
  ScanExtensions(data + info.headerBytes, frame > info.headerBytes ? frame - info.headerBytes : 0, info);
  out = info;
  return true;
}

bool FindDtsHdSubstream(const uint8_t* data, size_t size, DtsHdInfo& out) {
  if (data == nullptr) return false;
  for (size_t at = 0; at + 8 <= size; ++at) {
    if (ReadU32BE(data + at) == kSubstreamSync && ParseDtsHdSubstream(data + at, size - at, out)) return true;
  }
  return false;
}

const char* DtsHdName(const DtsHdInfo& info) {
  if (info.xll) return "DTS-HD MA";
  if (info.xbr || info.x96) return "DTS-HD HRA";
  if (info.lbr) return "DTS Express";
  return "DTS-HD";
}

std::string DtsHdText(const DtsHdInfo& info) {
  std::string text = DtsHdName(info);
  if (info.assetKnown) {
    text += LineF(" %.2fkHz %ubit %uch", info.sampleRate / 1000.0, info.bitDepth, info.channels);
  }
  return text;
}

bool ParseDdts(const uint8_t* data, size_t size, DtsSpecificBox& out) {
  if (data == nullptr || size < 20) return false;
  DtsSpecificBox box;
  box.samplingFrequency = ReadU32BE(data);
  box.maxBitRate = ReadU32BE(data + 4);
  box.avgBitRate = ReadU32BE(data + 8);
  box.sampleDepth = data[12];
  NalBits bits(data + 13, size - 13);
  box.frameDuration = static_cast<uint8_t>(bits.Bits(2));
  box.streamConstruction = static_cast<uint8_t>(bits.Bits(5));
  box.coreLfe = bits.Flag();
  box.coreLayout = static_cast<uint8_t>(bits.Bits(6));
  box.coreSize = static_cast<uint16_t>(bits.Bits(14));
  bits.Skip(1 + 3);  // stereo downmix, representation type
  box.channelLayout = static_cast<uint16_t>(bits.Bits(16));
  box.multiAsset = bits.Flag();
  // Speaker groups, LSB first: C, L/R, Ls/Rs, LFE, Cs, Lh/Rh, Lsr/Rsr, Ch,
  // Oh, Lc/Rc, Lw/Rw, Lss/Rss, LFE2, Lhs/Rhs, Chr, Lhr/Rhr.
  static const uint8_t kWidth[] = {1, 2, 2, 1, 1, 2, 2, 1, 1, 2, 2, 2, 1, 2, 1, 2};
  for (unsigned bit = 0; bit < 16; ++bit) {
    if (box.channelLayout >> bit & 1) box.channels += kWidth[bit];
  }
  out = box;
  return true;
}

}  // namespace probex
