#include "vp9.h"

#include "nal_bits.h"

namespace probex {

namespace {

constexpr uint8_t kColorSpaceRgb = 7;

bool KeyFrameHeader(const uint8_t* data, size_t size, Vp9VideoInfo& out) {
  NalBits bits(data, size);
  if (bits.Bits(2) != 2) return false;  // frame_marker
  unsigned low = bits.Bits(1), high = bits.Bits(1);
  unsigned profile = high << 1 | low;
  if (profile == 3 && bits.Flag()) return false;
  if (bits.Flag()) return false;  // show_existing_frame
  if (bits.Flag()) return false;  // not a key frame
  bits.Skip(2);                   // show_frame, error_resilient_mode
  if (bits.Bits(24) != 0x498342) return false;
  Vp9VideoInfo parsed = out;
  parsed.profile = static_cast<uint8_t>(profile);
  parsed.bitDepth = profile >= 2 ? (bits.Flag() ? 12 : 10) : 8;
  parsed.colorSpace = static_cast<uint8_t>(bits.Bits(3));
  if (parsed.colorSpace != kColorSpaceRgb) {
    bits.Skip(1);  // color_range
    if (profile == 1 || profile == 3) {
      parsed.subsamplingX = bits.Flag();
      parsed.subsamplingY = bits.Flag();
      bits.Skip(1);
    } else {
      parsed.subsamplingX = parsed.subsamplingY = true;
    }
  } else {
    parsed.subsamplingX = parsed.subsamplingY = false;
    if (profile == 1 || profile == 3) bits.Skip(1);
  }
  parsed.width = bits.Bits(16) + 1;
  parsed.height = bits.Bits(16) + 1;
  parsed.renderWidth = parsed.width;
  parsed.renderHeight = parsed.height;
  if (bits.Flag()) {
    parsed.renderWidth = bits.Bits(16) + 1;
    parsed.renderHeight = bits.Bits(16) + 1;
  }
  if (bits.Exhausted()) return false;
  parsed.keyFrameSeen = true;
  out = parsed;
  return true;
}

}  // namespace

bool ParseVpCodecConfig(const uint8_t* data, size_t size, Vp9VideoInfo& out) {
  if (data == nullptr || size < 12 || data[0] != 1) return false;
  size_t init = size_t{data[10]} << 8 | data[11];
  if (init > size - 12) return false;
  Vp9VideoInfo parsed = out;
  parsed.profile = data[4];
  parsed.level = data[5];
  parsed.bitDepth = data[6] >> 4;
  unsigned chroma = data[6] >> 1 & 7;
  parsed.subsamplingX = chroma <= 2;
  parsed.subsamplingY = chroma <= 1;
  ColourDescription& colour = parsed.hdr.colour;
  colour.fullRange = (data[6] & 1) != 0;
  colour.primaries = data[7];
  colour.transfer = data[8];
  colour.matrix = data[9];
  colour.present = true;
  parsed.recordSeen = true;
  out = parsed;
  return true;
}

std::vector<uint32_t> Vp9SuperframeSizes(const uint8_t* data, size_t size) {
  std::vector<uint32_t> sizes;
  if (data == nullptr || size == 0) return sizes;
  uint8_t marker = data[size - 1];
  if ((marker & 0xE0) != 0xC0) return sizes;
  size_t bytesPerSize = (marker >> 3 & 3) + 1, frames = (marker & 7) + 1;
  size_t indexSize = 2 + bytesPerSize * frames;
  if (indexSize > size || data[size - indexSize] != marker) return sizes;
  uint64_t total = 0;
  for (size_t f = 0; f < frames; ++f) {
    const uint8_t* at = data + size - indexSize + 1 + f * bytesPerSize;
    uint32_t frameSize = 0;
    for (size_t b = 0; b < bytesPerSize; ++b) frameSize |= uint32_t{at[b]} << (8 * b);
    total += frameSize;
    sizes.push_back(frameSize);
  }
  if (total > size - indexSize) sizes.clear();
  return sizes;
}

bool ParseVp9KeyFrame(const uint8_t* data, size_t size, Vp9VideoInfo& out) {
  if (data == nullptr) return false;
  std::vector<uint32_t> frames = Vp9SuperframeSizes(data, size);
  if (frames.empty()) return KeyFrameHeader(data, size, out);
  size_t at = 0;
  for (uint32_t frameSize : frames) {
    if (KeyFrameHeader(data + at, frameSize, out)) return true;
    at += frameSize;
  }
  return false;
}

const char* Vp9ChromaName(const Vp9VideoInfo& info) {
  if (info.subsamplingX) return info.subsamplingY ? "4:2:0" : "4:2:2";
  return info.subsamplingY ? "4:4:0" : "4:4:4";
}

const char* Vp9ColorSpaceName(uint8_t colorSpace) {
  static const char* const kNames[] = {"Unknown",    "BT.601",  "BT.709",   "SMPTE 170M",
                                       "SMPTE 240M", "BT.2020", "Reserved", "sRGB"};
  return kNames[colorSpace & 7];
}

std::string Vp9VideoText(const Vp9VideoInfo& info) {
  std::string text = LineF("VP9 Profile %u", info.profile);
  if (info.keyFrameSeen) text += LineF(" %ux%u", info.renderWidth, info.renderHeight);
  text += LineF(" %ubit %s", info.bitDepth, Vp9ChromaName(info));
  std::string tag = HdrTag(info.hdr);
  if (!tag.empty()) text += " " + tag;
  return text;
}

void FormatVp9Text(char* out, size_t size, const Vp9VideoInfo& info, uint32_t width, uint32_t height,
                   double frameRate, double bitRate) {
  std::string profile = LineF("Profile %u", info.profile);
  if (info.level) profile += LineF("@L%u.%u", info.level / 10u, info.level % 10u);
  if (info.keyFrameSeen) width = info.renderWidth, height = info.renderHeight;
  FormatHdrVideoLine(out, size, "VP9", profile, width, height, info.bitDepth, Vp9ChromaName(info), frameRate, bitRate,
                     info.hdr);
}

void Vp9DetailLines(const Vp9VideoInfo& info, std::vector<std::string>& lines) {
  lines.push_back("Format: VP9");
  lines.push_back(LineF("Format profile: %u", info.profile));
  if (info.level != 0) lines.push_back(LineF("Format level: %u.%u", info.level / 10u, info.level % 10u));
  if (info.keyFrameSeen) {
    lines.push_back(LineF("Size: %ux%u", info.renderWidth, info.renderHeight));
    if (info.renderWidth != info.width || info.renderHeight != info.height) {
      lines.push_back(LineF("Coded size: %ux%u", info.width, info.height));
    }
    lines.push_back(std::string("Colour space: ") + Vp9ColorSpaceName(info.colorSpace));
  }
  lines.push_back(LineF("Bit depth: %u bits", info.bitDepth));
  lines.push_back(std::string("Chroma subsampling: ") + Vp9ChromaName(info));
  HdrDetailLines(info.hdr, lines);
}

bool ParseVp8KeyFrame(const uint8_t* data, size_t size, Vp8VideoInfo& out) {
  if (data == nullptr || size < 10 || (data[0] & 1) != 0) return false;
  if (data[3] != 0x9D || data[4] != 0x01 || data[5] != 0x2A) return false;
  uint32_t w = uint32_t{data[6]} | uint32_t{data[7]} << 8, h = uint32_t{data[8]} | uint32_t{data[9]} << 8;
  Vp8VideoInfo parsed;
  parsed.version = data[0] >> 1 & 7;
  parsed.width = w & 0x3FFF;
  parsed.height = h & 0x3FFF;
  parsed.horizontalScale = static_cast<uint8_t>(w >> 14);
  parsed.verticalScale = static_cast<uint8_t>(h >> 14);
  if (parsed.width == 0 || parsed.height == 0 || parsed.version > 3) return false;
  out = parsed;
  return true;
}

std::string Vp8VideoText(const Vp8VideoInfo& info) { return LineF("VP8 %ux%u", info.width, info.height); }

}  // namespace probex
