#include "eac3.h"

#include "../video/hdr_metadata.h"
#include "../video/nal_bits.h"

namespace probex {

namespace {

constexpr uint32_t kRates[] = {48000, 44100, 32000};
constexpr uint32_t kReducedRates[] = {24000, 22050, 16000};
constexpr uint32_t kAc3BitRates[] = {32,  40,  48,  56,  64,  80,  96,  112, 128, 160,
                                     192, 224, 256, 320, 384, 448, 512, 576, 640};

// Dependent-substream channel locations: pairs count two.
uint8_t LocationChannels(uint16_t locations) {
  static const uint8_t kWidth[] = {2, 2, 1, 1, 2, 2, 2, 1, 1};
  uint8_t count = 0;
  for (unsigned bit = 0; bit < 9; ++bit) {
    if (locations >> bit & 1) count += kWidth[bit];
  }
  return count;
}

}  // namespace

std::string ChannelText(uint8_t channels, bool lfe) {
  return lfe && channels > 0 ? LineF("%u.1ch", channels - 1u) : LineF("%u.0ch", channels);
}

uint8_t Ac3Channels(uint8_t acmod, bool lfe) {
  static const uint8_t kFull[] = {2, 1, 2, 3, 3, 4, 4, 5};
  return static_cast<uint8_t>(kFull[acmod & 7] + (lfe ? 1 : 0));
}

bool ParseDac3(const uint8_t* data, size_t size, Ac3Config& out) {
  if (data == nullptr || size < 3) return false;
  NalBits bits(data, 3);
  Ac3Config config;
  unsigned fscod = bits.Bits(2);
  config.bsid = static_cast<uint8_t>(bits.Bits(5));
  config.bsmod = static_cast<uint8_t>(bits.Bits(3));
  config.acmod = static_cast<uint8_t>(bits.Bits(3));
  config.lfe = bits.Flag();
  unsigned rateCode = bits.Bits(5);
  if (fscod == 3 || rateCode >= sizeof kAc3BitRates / sizeof *kAc3BitRates) return false;
  config.sampleRate = kRates[fscod];
  config.bitRate = kAc3BitRates[rateCode] * 1000;
  config.channels = Ac3Channels(config.acmod, config.lfe);
  out = config;
  return true;
}

bool ParseDec3(const uint8_t* data, size_t size, Eac3Config& out) {
  if (data == nullptr || size < 2) return false;
  NalBits bits(data, size);
  Eac3Config config;
  config.dataRate = bits.Bits(13);
  unsigned count = bits.Bits(3) + 1;
  for (unsigned i = 0; i < count; ++i) {
    Eac3Substream s;
    unsigned fscod = bits.Bits(2);
    s.sampleRate = fscod < 3 ? kRates[fscod] : 0;
    s.bsid = static_cast<uint8_t>(bits.Bits(5));
    bits.Skip(2);  // reserved, asvc
    s.bsmod = static_cast<uint8_t>(bits.Bits(3));
    s.acmod = static_cast<uint8_t>(bits.Bits(3));
    s.lfe = bits.Flag();
    bits.Skip(3);
    s.dependentCount = static_cast<uint8_t>(bits.Bits(4));
    if (s.dependentCount > 0) {
      s.channelLocations = static_cast<uint16_t>(bits.Bits(9));
    } else {
      bits.Skip(1);
    }
    if (bits.Exhausted()) return false;
    config.substreams.push_back(s);
  }
  // The Atmos extension follows the substreams when the box has room for it.
  if (bits.Remaining() >= 16) {
    bits.Skip(7);
    config.atmos = bits.Flag();
    config.complexityIndex = static_cast<uint8_t>(bits.Bits(8));
  }
  const Eac3Substream& first = config.substreams.front();
  config.lfe = first.lfe || (first.channelLocations >> 8 & 1);
  config.channels =
      static_cast<uint8_t>(Ac3Channels(first.acmod, first.lfe) + LocationChannels(first.channelLocations));
  out = config;
  return true;
}

bool ParseEac3FrameHeader(const uint8_t* data, size_t size, Eac3FrameHeader& out) {
  if (data == nullptr || size < 6 || data[0] != 0x0B || data[1] != 0x77) return false;
  NalBits bits(data + 2, size - 2);
  Eac3FrameHeader h;
  h.streamType = static_cast<uint8_t>(bits.Bits(2));
  h.substreamId = static_cast<uint8_t>(bits.Bits(3));
  h.frameBytes = (bits.Bits(11) + 1) * 2;
  unsigned fscod = bits.Bits(2);
  if (fscod == 3) {
    unsigned fscod2 = bits.Bits(2);
    if (fscod2 == 3) return false;
    h.sampleRate = kReducedRates[fscod2];
    h.blocks = 6;
  } else {
    h.sampleRate = kRates[fscod];
    static const uint8_t kBlocks[] = {1, 2, 3, 6};
    h.blocks = kBlocks[bits.Bits(2)];
  }
  h.acmod = static_cast<uint8_t>(bits.Bits(3));
  h.lfe = bits.Flag();
  h.bsid = static_cast<uint8_t>(bits.Bits(5));
  if (bits.Exhausted() || h.bsid <= 10 || h.bsid > 16 || h.streamType == 3) return false;
  h.samplesPerFrame = h.blocks * 256u;
  h.channels = Ac3Channels(h.acmod, h.lfe);
  h.bitRate = static_cast<uint32_t>(uint64_t{h.frameBytes} * 8 * h.sampleRate / h.samplesPerFrame);
  out = h;
  return true;
}

bool ParseAc3Descriptor(const uint8_t* data, size_t size, Ac3Descriptor& out) {
  if (data == nullptr || size < 3 || (data[0] != 0x6A && data[0] != 0x7A)) return false;
  size_t length = data[1];
  if (length == 0 || length > size - 2) return false;
  const uint8_t* body = data + 2;
  Ac3Descriptor d;
  d.enhanced = data[0] == 0x7A;
  uint8_t flags = body[0];
  size_t at = 1;
  auto take = [&](bool present, bool& has, uint8_t& value) {
    if (!present) return true;
    if (at >= length) return false;
    has = true;
    value = body[at++];
    return true;
  };
  if (!take(flags & 0x80, d.hasComponentType, d.componentType) || !take(flags & 0x40, d.hasBsid, d.bsid) ||
      !take(flags & 0x20, d.hasMainId, d.mainId) || !take(flags & 0x10, d.hasAsvc, d.asvc)) {
    return false;
  }
  if (d.enhanced) d.mixInfo = (flags & 0x08) != 0;
  out = d;
  return true;
}

const char* Ac3ComponentChannels(uint8_t componentType) {
  static const char* const kNames[] = {
      "Mono",    "1+1", "Stereo", "Dolby Surround", "Multichannel", "Multichannel > 5.1", "Multiple substreams",
      "Reserved"};
  return kNames[componentType & 7];
}

std::string Ac3ConfigText(const Ac3Config& config) {
  return LineF("Dolby AC-3 %.2fkHz ", config.sampleRate / 1000.0) + ChannelText(config.channels, config.lfe) +
         LineF(" %.2fkbps", config.bitRate / 1000.0);
}

std::string Eac3ConfigText(const Eac3Config& config) {
  uint32_t rate = config.substreams.empty() ? 0 : config.substreams.front().sampleRate;
  std::string text = LineF("Dolby Digital Plus %.2fkHz ", rate / 1000.0) + ChannelText(config.channels, config.lfe);
  if (config.dataRate > 0) text += LineF(" %.2fkbps", static_cast<double>(config.dataRate));
  if (config.atmos) text += " Atmos";
  return text;
}

void Eac3DetailLines(const Eac3Config& config, std::vector<std::string>& lines) {
  lines.push_back("Format: E-AC-3");
  if (config.dataRate > 0) lines.push_back(LineF("Bit rate: %u kb/s", config.dataRate));
  for (size_t i = 0; i < config.substreams.size(); ++i) {
    const Eac3Substream& s = config.substreams[i];
    lines.push_back(LineF("Substream %zu: %u Hz, acmod %u%s, bsid %u, %u dependent", i, s.sampleRate, s.acmod,
                          s.lfe ? " + LFE" : "", s.bsid, s.dependentCount));
  }
  if (config.atmos) lines.push_back(LineF("Atmos (JOC): complexity index %u", config.complexityIndex));
}

}  // namespace probex
