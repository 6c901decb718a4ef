#include "truehd.h"

#include "../video/hdr_metadata.h"
#include "../video/nal_bits.h"
#include "eac3.h"

namespace probex {

namespace {

constexpr size_t kMajorSyncBytes = 28;

uint32_t MlpRate(unsigned code) {
  if (code <= 2) return 48000u << code;
  if (code >= 8 && code <= 10) return 44100u << (code - 8);
  return 0;
}

// Speaker groups of a TrueHD channel assignment, LSB first: L/R, C, LFE,
// Ls/Rs, Tfl/Tfr, Cs, Lrs/Rrs, Lc/Rc, Lw/Rw, Tsl/Tsr, LFE2, Tc, Tfc.
uint8_t TrueHdChannels(uint32_t assignment, bool& lfe) {
  static const uint8_t kWidth[] = {2, 1, 1, 2, 2, 1, 2, 2, 2, 2, 1, 1, 1};
  uint8_t count = 0;
  for (unsigned bit = 0; bit < 13; ++bit) {
    if (assignment >> bit & 1) count += kWidth[bit];
  }
  lfe = (assignment & 4) != 0 || (assignment >> 10 & 1) != 0;
  return count;
}

}  // namespace

bool ParseMlpMajorSync(const uint8_t* data, size_t size, TrueHdInfo& out) {
  if (data == nullptr || size < kMajorSyncBytes) return false;
  if (data[0] != 0xF8 || data[1] != 0x72 || data[2] != 0x6F || (data[3] != 0xBA && data[3] != 0xBB)) return false;
  if (data[8] != 0xB7 || data[9] != 0x52) return false;
  NalBits bits(data + 4, size - 4);
  TrueHdInfo info;
  info.trueHd = data[3] == 0xBA;
  if (info.trueHd) {
    info.sampleRate = MlpRate(bits.Bits(4));
    bits.Skip(4 + 2 + 2);
    bool lfe6 = false, lfe8 = false;
    info.channels6ch = TrueHdChannels(bits.Bits(5), lfe6);
    bits.Skip(2);
    uint8_t eight = TrueHdChannels(bits.Bits(13), lfe8);
    info.channels = eight > 0 ? eight : info.channels6ch;
    info.lfe = eight > 0 ? lfe8 : lfe6;
    info.channels2ch = 2;
    info.bitDepth = 24;
  } else {
    static const uint8_t kQuant[] = {16, 20, 24};
    static const uint8_t kChannels[] = {1, 2, 3, 4, 3, 4, 5, 3, 4, 5, 4, 5, 6, 4, 5, 4, 5, 6, 5, 5, 6};
    static const bool kLfe[] = {false, false, false, false, true, true, true, false, false, false, true,
                                true,  true,  false, false, true, true, true, true,  false, true};
    unsigned quant = bits.Bits(4);
    bits.Skip(4);
    info.bitDepth = quant < 3 ? kQuant[quant] : 0;
    info.sampleRate = MlpRate(bits.Bits(4));
    bits.Skip(4 + 11);
    unsigned arrangement = bits.Bits(5);
    if (arrangement >= sizeof kChannels) return false;
    info.channels = kChannels[arrangement];
    info.lfe = kLfe[arrangement];
  }
  if (info.sampleRate == 0) return false;
  bits.Skip(48);  // signature, flags, reserved
  info.variableRate = bits.Flag();
  info.peakBitRate = static_cast<uint32_t>((uint64_t{bits.Bits(15)} * info.sampleRate + 8) >> 4);
  info.substreams = static_cast<uint8_t>(bits.Bits(4));
  info.atmos = info.trueHd && info.substreams == 4;
  out = info;
  return true;
}

bool FindMlpMajorSync(const uint8_t* data, size_t size, TrueHdInfo& out) {
  if (data == nullptr) return false;
  for (size_t at = 4; at + kMajorSyncBytes <= size; ++at) {
    if (data[at] == 0xF8 && data[at + 1] == 0x72 && ParseMlpMajorSync(data + at, size - at, out)) {
      out.majorSyncOffset = static_cast<uint32_t>(at);
      return true;
    }
  }
  return false;
}

std::string TrueHdText(const TrueHdInfo& info) {
  std::string text =
      LineF("%s %.2fkHz %ubit ", info.trueHd ? "Dolby TrueHD" : "MLP", info.sampleRate / 1000.0, info.bitDepth) +
      ChannelText(info.channels, info.lfe);
  if (info.atmos) text += " Atmos";
  return text;
}

void TrueHdDetailLines(const TrueHdInfo& info, std::vector<std::string>& lines) {
  lines.push_back(std::string("Format: ") + (info.trueHd ? "Dolby TrueHD" : "MLP"));
  lines.push_back(LineF("Peak bit rate: %u kb/s%s", info.peakBitRate / 1000, info.variableRate ? " (VBR)" : ""));
  lines.push_back(LineF("Substreams: %u", info.substreams));
  if (info.trueHd && info.channels6ch != info.channels) {
    lines.push_back(LineF("6-channel presentation: %u channels", info.channels6ch));
  }
  if (info.atmos) lines.push_back("Atmos: 16-channel presentation present");
}

}  // namespace probex
