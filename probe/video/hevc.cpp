#include "hevc.h"

#include "nal_bits.h"

namespace probex {

namespace {

// No SPS or SEI of a real stream comes near this; longer ones are cut.
constexpr size_t kMaxNalBytes = 64 * 1024;
constexpr uint32_t kMaxDimension = 65536;

void ProfileTierLevel(NalBits& bits, unsigned maxSubLayersMinus1, HevcVideoInfo& out) {
  out.profileSpace = static_cast<uint8_t>(bits.Bits(2));
  out.highTier = bits.Flag();
  out.profileIdc = static_cast<uint8_t>(bits.Bits(5));
  out.compatibilityFlags = bits.Bits(32);
  out.constraintFlags = bits.Bits64(48);
  out.levelIdc = static_cast<uint8_t>(bits.Bits(8));
  bool profilePresent[8] = {}, levelPresent[8] = {};
  for (unsigned i = 0; i < maxSubLayersMinus1; ++i) {
    profilePresent[i] = bits.Flag();
    levelPresent[i] = bits.Flag();
  }
  if (maxSubLayersMinus1 > 0) bits.Skip(2 * (8 - maxSubLayersMinus1));
  for (unsigned i = 0; i < maxSubLayersMinus1; ++i) {
    if (profilePresent[i]) bits.Skip(88);
    if (levelPresent[i]) bits.Skip(8);
  }
}

void SkipScalingListData(NalBits& bits) {
  for (unsigned sizeId = 0; sizeId < 4 && !bits.Exhausted(); ++sizeId) {
    for (unsigned matrixId = 0; matrixId < 6; matrixId += sizeId == 3 ? 3 : 1) {
      if (!bits.Flag()) {
        bits.Ue();
        continue;
      }
      unsigned coefficients = 1u << (4 + (sizeId << 1));
      if (coefficients > 64) coefficients = 64;
      if (sizeId > 1) bits.Se();
      for (unsigned i = 0; i < coefficients && !bits.Exhausted(); ++i) bits.Se();
    }
  }
}

// st_ref_pic_set of the SPS; deltaPocs holds NumDeltaPocs of the sets before.
bool SkipShortTermRefPicSet(NalBits& bits, unsigned index, std::vector<uint32_t>& deltaPocs) {
  if (index != 0 && bits.Flag()) {
    bits.Skip(1);  // delta_rps_sign
    bits.Ue();     // abs_delta_rps_minus1
    uint32_t reference = deltaPocs[index - 1];
    uint32_t count = 0;
    for (uint32_t j = 0; j <= reference; ++j) {
      bool used = bits.Flag();
      if (used || bits.Flag()) ++count;
    }
    deltaPocs.push_back(count);
    return !bits.Exhausted();
  }
  uint32_t negative = bits.Ue(), positive = bits.Ue();
  if (negative > 16 || positive > 16) return false;
  for (uint32_t i = 0; i < negative + positive; ++i) {
    bits.Ue();
    bits.Skip(1);
  }
  deltaPocs.push_back(negative + positive);
  return !bits.Exhausted();
}

void ParseVui(NalBits& bits, unsigned maxSubLayersMinus1, HevcVideoInfo& out) {
  (void)maxSubLayersMinus1;
  if (bits.Flag()) {  // aspect_ratio_info_present_flag
    if (bits.Bits(8) == 255) bits.Skip(32);
  }
  if (bits.Flag()) bits.Skip(1);  // overscan
  if (bits.Flag()) {              // video_signal_type_present_flag
    bits.Skip(3);
    bool fullRange = bits.Flag();
    if (bits.Flag()) {
      ColourDescription& colour = out.hdr.colour;
      colour.primaries = static_cast<uint8_t>(bits.Bits(8));
      colour.transfer = static_cast<uint8_t>(bits.Bits(8));
      colour.matrix = static_cast<uint8_t>(bits.Bits(8));
      colour.fullRange = fullRange;
      colour.present = !bits.Exhausted();
    }
  }
  if (bits.Flag()) {  // chroma_loc_info_present_flag
    bits.Ue();
    bits.Ue();
  }
  bits.Skip(1);  // neutral_chroma_indication_flag
  bool fieldSeq = bits.Flag();
  bits.Skip(1);       // frame_field_info_present_flag
  if (bits.Flag()) {  // default_display_window_flag
    for (int i = 0; i < 4; ++i) bits.Ue();
  }
  if (bits.Flag()) {  // vui_timing_info_present_flag
    uint32_t unitsInTick = bits.Bits(32), timeScale = bits.Bits(32);
    if (!bits.Exhausted() && unitsInTick != 0 && timeScale != 0) {
      out.frameRate = static_cast<double>(timeScale) / unitsInTick / (fieldSeq ? 2 : 1);
    }
  }
}

// Walks the SEI messages of an unescaped RBSP (after the NAL header).
void ParseSeiMessages(const std::vector<uint8_t>& rbsp, HdrSignals& hdr) {
  size_t at = 0;
  while (at < rbsp.size() && rbsp[at] != 0x80) {
    uint32_t type = 0, size = 0;
    while (at < rbsp.size() && rbsp[at] == 0xFF && type < 0x10000) type += rbsp[at++];
    if (at >= rbsp.size()) return;
    type += rbsp[at++];
    while (at < rbsp.size() && rbsp[at] == 0xFF && size < 0x10000) size += rbsp[at++];
    if (at >= rbsp.size()) return;
    size += rbsp[at++];
    if (size > rbsp.size() - at) return;
    const uint8_t* payload = rbsp.data() + at;
    if (type == 137) {
      ParseMasteringDisplay(payload, size, hdr.mastering);
    } else if (type == 144) {
      ParseContentLightLevel(payload, size, hdr.light);
    } else if (type == 4 && IsHdr10PlusT35(payload, size)) {
      hdr.hdr10Plus = true;
    }
    at += size;
  }
}

}  // namespace

bool ParseHevcSps(const uint8_t* nal, size_t size, HevcVideoInfo& out) {
  if (nal == nullptr || size < 3 || (nal[0] >> 1 & 0x3F) != 33) return false;
  std::vector<uint8_t> rbsp = UnescapeNal(nal + 2, size - 2, kMaxNalBytes);
  NalBits bits(rbsp.data(), rbsp.size());
  bits.Skip(4);  // sps_video_parameter_set_id
  unsigned maxSubLayersMinus1 = bits.Bits(3);
  if (maxSubLayersMinus1 > 6) return false;
  bits.Skip(1);
  HevcVideoInfo parsed = out;
  ProfileTierLevel(bits, maxSubLayersMinus1, parsed);
  bits.Ue();  // sps_seq_parameter_set_id
  uint32_t chroma = bits.Ue();
  if (chroma > 3) return false;
  if (chroma == 3) bits.Skip(1);  // separate_colour_plane_flag
  uint32_t width = bits.Ue(), height = bits.Ue();
  if (bits.Exhausted() || width == 0 || height == 0 || width > kMaxDimension || height > kMaxDimension) return false;
  uint32_t left = 0, right = 0, top = 0, bottom = 0;
  if (bits.Flag()) {
    left = bits.Ue();
    right = bits.Ue();
    top = bits.Ue();
    bottom = bits.Ue();
  }
  uint32_t depthLuma = bits.Ue() + 8, depthChroma = bits.Ue() + 8;
  if (bits.Exhausted() || depthLuma > 16 || depthChroma > 16) return false;
  uint32_t subWidth = chroma == 1 || chroma == 2 ? 2 : 1, subHeight = chroma == 1 ? 2 : 1;
  uint64_t cropX = (uint64_t{left} + right) * subWidth, cropY = (uint64_t{top} + bottom) * subHeight;
  parsed.codedWidth = width;
  parsed.codedHeight = height;
  parsed.width = cropX < width ? width - static_cast<uint32_t>(cropX) : width;
  parsed.height = cropY < height ? height - static_cast<uint32_t>(cropY) : height;
  parsed.chromaFormat = static_cast<uint8_t>(chroma);
  parsed.bitDepthLuma = static_cast<uint8_t>(depthLuma);
  parsed.bitDepthChroma = static_cast<uint8_t>(depthChroma);
  parsed.spsSeen = true;
  out = parsed;

  // The rest only leads to the VUI; a stream cut here still has its size.
  uint32_t log2MaxPocLsb = bits.Ue() + 4;
  bool orderingInfo = bits.Flag();
  for (unsigned i = orderingInfo ? 0 : maxSubLayersMinus1; i <= maxSubLayersMinus1; ++i) {
    bits.Ue();
    bits.Ue();
    bits.Ue();
  }
  for (int i = 0; i < 6; ++i) bits.Ue();  // block sizes and transform depths
  if (bits.Flag() && bits.Flag()) SkipScalingListData(bits);
  bits.Skip(2);       // amp, sample_adaptive_offset
  if (bits.Flag()) {  // pcm_enabled_flag
    bits.Skip(8);
    bits.Ue();
    bits.Ue();
    bits.Skip(1);
  }
  uint32_t sets = bits.Ue();
  if (sets > 64 || log2MaxPocLsb > 16) return true;
  std::vector<uint32_t> deltaPocs;
  for (uint32_t i = 0; i < sets; ++i) {
    if (!SkipShortTermRefPicSet(bits, i, deltaPocs)) return true;
  }
  if (bits.Flag()) {  // long_term_ref_pics_present_flag
    uint32_t longTerm = bits.Ue();
    if (longTerm > 32) return true;
    for (uint32_t i = 0; i < longTerm; ++i) bits.Skip(log2MaxPocLsb + 1);
  }
  bits.Skip(2);  // temporal MVP, strong intra smoothing
  if (bits.Flag() && !bits.Exhausted()) {
    HevcVideoInfo withVui = out;
    ParseVui(bits, maxSubLayersMinus1, withVui);
    // A VUI cut short keeps what it had fully read before the cut.
    if (!bits.Exhausted()) {
      out = withVui;
    } else if (withVui.hdr.colour.present) {
      out.hdr.colour = withVui.hdr.colour;
    }
  }
  return true;
}

bool ParseHevcSei(const uint8_t* nal, size_t size, HdrSignals& hdr) {
  if (nal == nullptr || size < 3) return false;
  unsigned type = nal[0] >> 1 & 0x3F;
  if (type != 39 && type != 40) return false;
  ParseSeiMessages(UnescapeNal(nal + 2, size - 2, kMaxNalBytes), hdr);
  return true;
}

bool ParseHevcDecoderConfig(const uint8_t* data, size_t size, HevcVideoInfo& out) {
  if (data == nullptr || size < 23 || data[0] != 1) return false;
  NalBits head(data + 1, 12);
  HevcVideoInfo parsed = out;
  ProfileTierLevel(head, 0, parsed);
  parsed.chromaFormat = data[16] & 3;
  parsed.bitDepthLuma = static_cast<uint8_t>((data[17] & 7) + 8);
  parsed.bitDepthChroma = static_cast<uint8_t>((data[18] & 7) + 8);
  size_t at = 23;
  unsigned arrays = data[22];
  bool sps = false;
  for (unsigned a = 0; a < arrays; ++a) {
    if (size - at < 3) return false;
    unsigned type = data[at] & 0x3F;
    unsigned count = uint32_t{data[at + 1]} << 8 | data[at + 2];
    at += 3;
    for (unsigned n = 0; n < count; ++n) {
      if (size - at < 2) return false;
      size_t length = size_t{data[at]} << 8 | data[at + 1];
      at += 2;
      if (length > size - at) return false;
      if (type == 33 && !sps) {
        sps = ParseHevcSps(data + at, length, parsed);
      } else if (type == 39 || type == 40) {
        ParseHevcSei(data + at, length, parsed.hdr);
      }
      at += length;
    }
  }
  if (!sps) return false;
  out = parsed;
  return true;
}

bool FindHevcHeaders(const uint8_t* data, size_t size, HevcVideoInfo& out) {
  if (data == nullptr) return false;
  HevcVideoInfo parsed = out;
  bool sps = false;
  size_t at = 0;
  // Start code positions: each NAL runs up to the next 00 00 01.
  auto next = [&](size_t from) {
    for (size_t i = from; i + 3 <= size; ++i) {
      if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1) return i;
    }
    return size;
  };
  at = next(0);
  while (at < size) {
    size_t start = at + 3;
    size_t end = next(start);
    size_t length = end - start;
    // A trailing zero belongs to the next four-byte start code.
    while (length > 0 && data[start + length - 1] == 0) --length;
    if (length >= 2) {
      unsigned type = data[start] >> 1 & 0x3F;
      if (type == 33 && !sps) {
        sps = ParseHevcSps(data + start, length, parsed);
      } else if (type == 39 || type == 40) {
        ParseHevcSei(data + start, length, parsed.hdr);
      } else if (type < 32 && sps) {
        break;  // the first picture's slice: its prefix SEI are read
      }
    }
    at = end;
  }
  if (!sps) return false;
  out = parsed;
  return true;
}

std::string HevcProfileName(const HevcVideoInfo& info) {
  unsigned idc = info.profileIdc;
  if (idc == 0 || idc > 11) {
    for (unsigned j = 1; j <= 11; ++j) {
      if (info.compatibilityFlags >> (31 - j) & 1) {
        idc = j;
        break;
      }
    }
  }
  switch (idc) {
    case 1:
      return "Main";
    case 2:
      return "Main 10";
    case 3:
      return "Main Still Picture";
    case 5:
      return "High Throughput";
    case 6:
      return "Multiview Main";
    case 7:
      return "Scalable Main";
    case 8:
      return "3D Main";
    case 9:
      return "Screen Extended";
    case 10:
      return "Scalable RExt";
    case 11:
      return "High Throughput Screen Extended";
    case 4:
      break;
    default:
      return LineF("Unknown(%u)", info.profileIdc);
  }
  // Range extensions are named by their constraint flags, or by the SPS
  // when an encoder left those flags clear.
  uint64_t c = info.constraintFlags;
  auto flag = [c](int bit) { return (c >> bit & 1) != 0; };
  unsigned depth = info.bitDepthLuma;
  uint8_t chroma = info.chromaFormat;
  if (flag(43) || flag(42) || flag(41) || flag(40) || flag(39) || flag(38)) {
    depth = flag(41) ? 8 : flag(42) ? 10 : flag(43) ? 12 : 16;
    chroma = flag(38) ? 0 : flag(39) ? 1 : flag(40) ? 2 : 3;
  }
  std::string name = chroma == 0 ? "Monochrome" : "Main";
  if (chroma >= 2) name += std::string(" ") + ChromaFormatName(chroma);
  if (depth > 8 || (chroma == 0 && depth > 8)) name += LineF(" %u", depth);
  if (flag(36)) {
    name += " Still Picture";
  } else if (flag(37)) {
    name += " Intra";
  }
  return name;
}

std::string HevcLevelText(uint8_t levelIdc) {
  if (levelIdc % 30 == 0) return LineF("%u", levelIdc / 30u);
  return LineF("%u.%u", levelIdc / 30u, levelIdc % 30u / 3u);
}

const char* ChromaFormatName(uint8_t chromaFormat) {
  static const char* const kNames[] = {"4:0:0", "4:2:0", "4:2:2", "4:4:4"};
  return kNames[chromaFormat & 3];
}

std::string HevcVideoText(const HevcVideoInfo& info) {
  std::string text =
      "HEVC " + HevcProfileName(info) + "@L" + HevcLevelText(info.levelIdc) + "@" + (info.highTier ? "High" : "Main");
  if (info.spsSeen) text += LineF(" %ux%u", info.width, info.height);
  text += LineF(" %ubit %s", info.bitDepthLuma, ChromaFormatName(info.chromaFormat));
  std::string tag = HdrTag(info.hdr);
  if (!tag.empty()) text += " " + tag;
  return text;
}

void FormatHevcText(char* out, size_t size, const HevcVideoInfo& info, double frameRate, double bitRate) {
  std::string profile =
      HevcProfileName(info) + "@L" + HevcLevelText(info.levelIdc) + "@" + (info.highTier ? "High" : "Main");
  FormatHdrVideoLine(out, size, "HEVC", profile, info.width, info.height, info.bitDepthLuma,
                     ChromaFormatName(info.chromaFormat), frameRate > 0 ? frameRate : info.frameRate, bitRate, info.hdr);
}

void HevcDetailLines(const HevcVideoInfo& info, std::vector<std::string>& lines) {
  lines.push_back("Format: HEVC");
  lines.push_back("Format profile: " + HevcProfileName(info));
  lines.push_back("Format level: " + HevcLevelText(info.levelIdc));
  lines.push_back(std::string("Format tier: ") + (info.highTier ? "High" : "Main"));
  if (info.spsSeen) {
    lines.push_back(LineF("Size: %ux%u", info.width, info.height));
    if (info.codedWidth != info.width || info.codedHeight != info.height) {
      lines.push_back(LineF("Coded size: %ux%u", info.codedWidth, info.codedHeight));
    }
  }
  if (info.bitDepthChroma != info.bitDepthLuma) {
    lines.push_back(LineF("Bit depth: %u bits (chroma %u bits)", info.bitDepthLuma, info.bitDepthChroma));
  } else {
    lines.push_back(LineF("Bit depth: %u bits", info.bitDepthLuma));
  }
  lines.push_back(std::string("Chroma subsampling: ") + ChromaFormatName(info.chromaFormat));
  if (info.frameRate > 0) lines.push_back(LineF("Frame rate: %.3f fps", info.frameRate));
  HdrDetailLines(info.hdr, lines);
}

}  // namespace probex
