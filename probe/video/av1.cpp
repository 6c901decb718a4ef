#include "av1.h"

#include "nal_bits.h"

namespace probex {

namespace {

constexpr unsigned kObuSequenceHeader = 1;
constexpr unsigned kObuFrameHeader = 3;
constexpr unsigned kObuMetadata = 5;
constexpr unsigned kObuFrame = 6;

// uvlc(): up to 32 leading zeros.
uint32_t Uvlc(NalBits& bits) {
  unsigned zeros = 0;
  while (!bits.Flag()) {
    if (bits.Exhausted() || ++zeros >= 32) return 0;
  }
  return bits.Bits(zeros) + ((uint32_t{1} << zeros) - 1);
}

void ColorConfig(NalBits& bits, Av1VideoInfo& out) {
  bool high = bits.Flag();
  out.bitDepth = 8;
  if (out.profile == 2 && high) {
    out.bitDepth = bits.Flag() ? 12 : 10;
  } else if (high) {
    out.bitDepth = 10;
  }
  out.monochrome = out.profile == 1 ? false : bits.Flag();
  ColourDescription colour;
  if (bits.Flag()) {
    colour.primaries = static_cast<uint8_t>(bits.Bits(8));
    colour.transfer = static_cast<uint8_t>(bits.Bits(8));
    colour.matrix = static_cast<uint8_t>(bits.Bits(8));
    colour.present = true;
  }
  if (out.monochrome) {
    colour.fullRange = bits.Flag();
    out.subsamplingX = out.subsamplingY = true;
  } else if (colour.primaries == 1 && colour.transfer == 13 && colour.matrix == 0) {
    colour.fullRange = true;
    out.subsamplingX = out.subsamplingY = false;
  } else {
    colour.fullRange = bits.Flag();
    if (out.profile == 0) {
      out.subsamplingX = out.subsamplingY = true;
    } else if (out.profile == 1) {
      out.subsamplingX = out.subsamplingY = false;
    } else if (out.bitDepth == 12) {
      out.subsamplingX = bits.Flag();
      out.subsamplingY = out.subsamplingX ? bits.Flag() : false;
    } else {
      out.subsamplingX = true;
      out.subsamplingY = false;
    }
  }
  out.hdr.colour = colour;
}

void Metadata(const uint8_t* data, size_t size, HdrSignals& hdr) {
  uint64_t type = 0;
  size_t used = 0;
  if (!ReadLeb128(data, size, type, used)) return;
  data += used;
  size -= used;
  NalBits bits(data, size);
  if (type == 1 && size >= 4) {
    hdr.light.maxCll = bits.Bits(16);
    hdr.light.maxFall = bits.Bits(16);
    hdr.light.present = true;
  } else if (type == 2 && size >= 24) {
    // Primaries in R, G, B order as 0.16 fixed point; luminance 24.8 and 18.14.
    MasteringDisplay& m = hdr.mastering;
    double* xy[] = {&m.redX, &m.redY, &m.greenX, &m.greenY, &m.blueX, &m.blueY, &m.whiteX, &m.whiteY};
    for (double* v : xy) *v = bits.Bits(16) / 65536.0;
    m.maxLuminance = bits.Bits(32) / 256.0;
    m.minLuminance = bits.Bits(32) / 16384.0;
    m.present = true;
  } else if (type == 4) {
    hdr.hdr10Plus = hdr.hdr10Plus || IsHdr10PlusT35(data, size);
  }
}

}  // namespace

bool ParseAv1SequenceHeader(const uint8_t* data, size_t size, Av1VideoInfo& out) {
  if (data == nullptr) return false;
  NalBits bits(data, size);
  Av1VideoInfo parsed = out;
  parsed.profile = static_cast<uint8_t>(bits.Bits(3));
  if (parsed.profile > 2) return false;
  parsed.stillPicture = bits.Flag();
  bool reduced = bits.Flag();
  bool decoderModel = false;
  unsigned bufferDelayLength = 0;
  parsed.frameRate = 0;
  if (reduced) {
    parsed.levelIdx = static_cast<uint8_t>(bits.Bits(5));
    parsed.highTier = false;
  } else {
    if (bits.Flag()) {  // timing_info_present_flag
      uint32_t unitsInTick = bits.Bits(32), timeScale = bits.Bits(32);
      if (bits.Flag()) {  // equal_picture_interval
        uint32_t ticks = Uvlc(bits);
        if (unitsInTick != 0 && timeScale != 0) {
          parsed.frameRate = static_cast<double>(timeScale) / unitsInTick / (uint64_t{ticks} + 1);
        }
      }
      decoderModel = bits.Flag();
      if (decoderModel) {
        bufferDelayLength = bits.Bits(5) + 1;
        bits.Skip(32 + 5 + 5);
      }
    }
    bool initialDelay = bits.Flag();
    unsigned points = bits.Bits(5) + 1;
    for (unsigned i = 0; i < points && !bits.Exhausted(); ++i) {
      bits.Skip(12);
      uint8_t level = static_cast<uint8_t>(bits.Bits(5));
      bool tier = level > 7 ? bits.Flag() : false;
      if (i == 0) {
        parsed.levelIdx = level;
        parsed.highTier = tier;
      }
      if (decoderModel && bits.Flag()) bits.Skip(2 * bufferDelayLength + 1);
      if (initialDelay && bits.Flag()) bits.Skip(4);
    }
  }
  unsigned widthBits = bits.Bits(4) + 1, heightBits = bits.Bits(4) + 1;
  parsed.width = bits.Bits(widthBits) + 1;
  parsed.height = bits.Bits(heightBits) + 1;
  if (bits.Exhausted()) return false;
  if (!reduced && bits.Flag()) bits.Skip(4 + 3);  // frame id numbers
  bits.Skip(3);                                   // 128x128 superblock, filter intra, intra edge filter
  if (!reduced) {
    bits.Skip(4);  // interintra, masked compound, warped motion, dual filter
    bool orderHint = bits.Flag();
    if (orderHint) bits.Skip(2);
    unsigned forceScreenContent = bits.Flag() ? 2 : bits.Bits(1);
    if (forceScreenContent > 0 && !bits.Flag()) bits.Skip(1);
    if (orderHint) bits.Skip(3);
  }
  bits.Skip(3);  // superres, cdef, restoration
  ColorConfig(bits, parsed);
  if (bits.Exhausted()) return false;
  parsed.sequenceHeaderSeen = true;
  out = parsed;
  return true;
}

bool ParseAv1Obus(const uint8_t* data, size_t size, Av1VideoInfo& out) {
  if (data == nullptr) return false;
  Av1VideoInfo parsed = out;
  bool seen = false;
  size_t at = 0;
  while (size - at >= 1) {
    uint8_t header = data[at];
    if (header & 0x80) break;  // forbidden bit
    unsigned type = header >> 3 & 0xF;
    size_t headerBytes = header & 4 ? 2 : 1;
    if (size - at < headerBytes) break;
    size_t payload = size - at - headerBytes;
    size_t used = 0;
    if (header & 2) {
      uint64_t length = 0;
      if (!ReadLeb128(data + at + headerBytes, size - at - headerBytes, length, used)) break;
      if (length > size - at - headerBytes - used) break;
      payload = static_cast<size_t>(length);
    }
    const uint8_t* body = data + at + headerBytes + used;
    if (type == kObuSequenceHeader && !seen) {
      seen = ParseAv1SequenceHeader(body, payload, parsed);
    } else if (type == kObuMetadata) {
      Metadata(body, payload, parsed.hdr);
    } else if ((type == kObuFrame || type == kObuFrameHeader) && seen) {
      break;
    }
    at += headerBytes + used + payload;
  }
  if (!seen) return false;
  out = parsed;
  return true;
}

bool ParseAv1Config(const uint8_t* data, size_t size, Av1VideoInfo& out) {
  if (data == nullptr || size < 4 || data[0] != 0x81) return false;
  Av1VideoInfo parsed = out;
  parsed.profile = data[1] >> 5;
  parsed.levelIdx = data[1] & 0x1F;
  parsed.highTier = (data[2] & 0x80) != 0;
  bool high = (data[2] & 0x40) != 0, twelve = (data[2] & 0x20) != 0;
  parsed.bitDepth = twelve ? 12 : high ? 10 : 8;
  parsed.monochrome = (data[2] & 0x10) != 0;
  parsed.subsamplingX = (data[2] & 0x08) != 0;
  parsed.subsamplingY = (data[2] & 0x04) != 0;
  // The sequence header, when the record carries one, is the authority.
  ParseAv1Obus(data + 4, size - 4, parsed);
  out = parsed;
  return true;
}

const char* Av1ProfileName(uint8_t profile) {
  static const char* const kNames[] = {"Main", "High", "Professional"};
  return profile < 3 ? kNames[profile] : "Unknown";
}

std::string Av1LevelText(uint8_t levelIdx) {
  if (levelIdx >= 31) return "Max";
  return LineF("%u.%u", 2u + (levelIdx >> 2), levelIdx & 3u);
}

const char* Av1ChromaName(const Av1VideoInfo& info) {
  if (info.monochrome) return "4:0:0";
  if (info.subsamplingX) return info.subsamplingY ? "4:2:0" : "4:2:2";
  return "4:4:4";
}

std::string Av1VideoText(const Av1VideoInfo& info) {
  std::string text = std::string("AV1 ") + Av1ProfileName(info.profile) + "@L" + Av1LevelText(info.levelIdx) + "@" +
                     (info.highTier ? "High" : "Main");
  if (info.sequenceHeaderSeen) text += LineF(" %ux%u", info.width, info.height);
  text += LineF(" %ubit %s", info.bitDepth, Av1ChromaName(info));
  std::string tag = HdrTag(info.hdr);
  if (!tag.empty()) text += " " + tag;
  return text;
}

void FormatAv1Text(char* out, size_t size, const Av1VideoInfo& info, double frameRate, double bitRate) {
  std::string profile = std::string(Av1ProfileName(info.profile)) + "@L" + Av1LevelText(info.levelIdx) + "@" +
                        (info.highTier ? "High" : "Main");
  FormatHdrVideoLine(out, size, "AV1", profile, info.width, info.height, info.bitDepth, Av1ChromaName(info),
                     frameRate > 0 ? frameRate : info.frameRate, bitRate, info.hdr);
}

void Av1DetailLines(const Av1VideoInfo& info, std::vector<std::string>& lines) {
  lines.push_back("Format: AV1");
  lines.push_back(std::string("Format profile: ") + Av1ProfileName(info.profile));
  lines.push_back("Format level: " + Av1LevelText(info.levelIdx));
  lines.push_back(std::string("Format tier: ") + (info.highTier ? "High" : "Main"));
  if (info.sequenceHeaderSeen) lines.push_back(LineF("Maximum size: %ux%u", info.width, info.height));
  lines.push_back(LineF("Bit depth: %u bits", info.bitDepth));
  lines.push_back(std::string("Chroma subsampling: ") + Av1ChromaName(info));
  if (info.frameRate > 0) lines.push_back(LineF("Frame rate: %.3f fps", info.frameRate));
  HdrDetailLines(info.hdr, lines);
}

}  // namespace probex
