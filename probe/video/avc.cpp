#include "avc.h"

#include <cstdint>
#include <string>
#include <vector>

#include "../core/bits.h"
#include "../core/templates.h"
#include "../core/text.h"

namespace probex {

namespace {

// A sequence parameter set with every scaling list and a full VUI stays far
// below this; longer input is not one.
constexpr size_t kMaxSpsBytes = 4096;
constexpr uint32_t kMaxRefFramesInPocCycle = 255;
constexpr uint32_t kMaxCpbCount = 32;

// Profiles whose SPS carries chroma_format_idc, the bit depths and the
// scaling matrix (ISO/IEC 14496-10, 7.3.2.1.1).
bool HasChromaInfo(uint32_t profileIdc) {
  switch (profileIdc) {
    case 100: case 110: case 122: case 244: case 44: case 83: case 86:
    case 118: case 128: case 134: case 135: case 138: case 139:
      return true;
    default:
      return false;
  }
}

// NAL unit payload without emulation-prevention bytes, up to the next start
// code.
std::vector<uint8_t> UnescapeNal(const uint8_t* bytes, size_t length) {
  if (length > kMaxSpsBytes) length = kMaxSpsBytes;
  std::vector<uint8_t> out;
  out.reserve(length);
  size_t zeros = 0;
  for (size_t i = 0; i < length; ++i) {
    uint8_t b = bytes[i];
    if (zeros >= 2 && b <= 3) {
      if (b != 3) break;  // 00 00 00/01/02: the unit has ended
      zeros = 0;          // emulation prevention: dropped
      continue;
    }
    zeros = b == 0 ? zeros + 1 : 0;
    out.push_back(b);
  }
  return out;
}

void SkipScalingList(BitText& bits, int size) {
  int last = 8, next = 8;
  for (int j = 0; j < size && !bits.Exhausted(); ++j) {
    if (next != 0) {
      int32_t delta = ReadSe(bits);
      next = ((last + delta) % 256 + 256) % 256;
    }
    if (next != 0) last = next;
  }
}

struct Hrd {
  bool read = false;
  uint32_t bitRateScale = 0;
  uint32_t firstBitRateValueMinus1 = 0;
};

// false when the bits ran out or the entry count is out of range.
bool ReadHrd(BitText& bits, Hrd& hrd) {
  uint32_t count = ReadUe(bits) + 1;
  if (count == 0 || count > kMaxCpbCount) return false;
  hrd.bitRateScale = static_cast<uint32_t>(bits.Take(4));
  bits.Skip(4);
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t rate = ReadUe(bits);
    ReadUe(bits);
    bits.Skip(1);
    if (i == 0) hrd.firstBitRateValueMinus1 = rate;
  }
  bits.Skip(20);
  hrd.read = !bits.Exhausted();
  return hrd.read;
}

// The VUI fields the record shows; each is stored only when the bits held it.
void ReadVui(BitText& bits, AvcVideoInfo& info) {
  if (bits.Take(1)) {
    uint32_t idc = static_cast<uint32_t>(bits.Take(8));
    if (idc == 255) {
      uint32_t w = static_cast<uint32_t>(bits.Take(16));
      uint32_t h = static_cast<uint32_t>(bits.Take(16));
      if (!bits.Exhausted()) FormatText(info.aspect, sizeof info.aspect, "%u:%u", w, h);
    } else if (!bits.Exhausted()) {
      AvcAspectText(info.aspect, sizeof info.aspect, idc);
    }
  }
  if (bits.Exhausted()) return;
  if (bits.Take(1)) bits.Skip(1);  // overscan
  if (bits.Take(1)) {              // video signal type
    bits.Skip(4);
    if (bits.Take(1)) bits.Skip(24);
  }
  if (bits.Take(1)) {  // chroma location
    ReadUe(bits);
    ReadUe(bits);
  }
  if (bits.Take(1)) {
    uint64_t unitsInTick = bits.Take(32);
    uint64_t timeScale = bits.Take(32);
    bits.Skip(1);
    if (bits.Exhausted()) return;
    info.frameRate = unitsInTick ? static_cast<double>(timeScale) / static_cast<double>(unitsInTick) * 0.5 : 0;
  }
  if (bits.Exhausted()) return;
  bool nal = bits.Take(1);
  Hrd nalHrd;
  if (nal && !ReadHrd(bits, nalHrd)) return;
  if (nalHrd.read)
    info.bitRate = (static_cast<double>(nalHrd.firstBitRateValueMinus1) + 1) *
                   static_cast<double>(uint64_t{1} << (6 + nalHrd.bitRateScale));
  // The rest (VCL HRD, picture structure, restrictions) shows nothing.
}

int32_t ClampSize(int64_t v) {
  if (v < 0) return 0;
  if (v > INT32_MAX) return INT32_MAX;
  return static_cast<int32_t>(v);
}

}  // namespace

uint32_t ReadUe(BitText& bits) {
  size_t zeros = 0;
  while (!bits.Exhausted() && bits.Take(1) == 0) {
    if (++zeros > 31) {
      bits.Skip(bits.Length());  // no ue(v) of this system has that many
      return 0;
    }
  }
  if (bits.Exhausted()) return 0;
  uint64_t rest = bits.Take(zeros);
  if (bits.Exhausted()) return 0;
  return static_cast<uint32_t>((uint64_t{1} << zeros) - 1 + rest);
}

int32_t ReadSe(BitText& bits) {
  uint32_t k = ReadUe(bits);
  if (k & 1) return static_cast<int32_t>((static_cast<uint64_t>(k) + 1) / 2);
  return -static_cast<int32_t>(k / 2);
}

void ParseAvcSps(const uint8_t* bytes, size_t length, AvcVideoInfo& info) {
  if (!bytes || length == 0) return;
  std::vector<uint8_t> rbsp = UnescapeNal(bytes, length);
  BitText bits(rbsp.data(), rbsp.size());
  bits.Skip(8);
  uint32_t profileIdc = static_cast<uint32_t>(bits.Take(8));
  bits.Skip(8);
  uint32_t levelIdc = static_cast<uint32_t>(bits.Take(8));
  if (bits.Exhausted()) return;
  CopyText(info.codec, sizeof info.codec, "AVC/H.264");
  AvcProfileLevelText(info.profile, sizeof info.profile, profileIdc, levelIdc);
  info.bitDepth = 8;
  AvcAspectText(info.aspect, sizeof info.aspect, 0);
  ReadUe(bits);  // seq_parameter_set_id

  uint32_t chromaFormat = 1;
  bool separateColourPlanes = false;
  if (HasChromaInfo(profileIdc)) {
    chromaFormat = ReadUe(bits);
    if (chromaFormat == 3) separateColourPlanes = bits.Take(1);
    uint32_t lumaDepth = ReadUe(bits);
    ReadUe(bits);  // chroma bit depth
    bits.Skip(1);  // qpprime_y_zero_transform_bypass_flag
    if (bits.Take(1)) {
      int lists = chromaFormat != 3 ? 8 : 12;
      for (int i = 0; i < lists && !bits.Exhausted(); ++i)
        if (bits.Take(1)) SkipScalingList(bits, i < 6 ? 16 : 64);
    }
    if (bits.Exhausted()) return;
    if (lumaDepth <= 6) info.bitDepth = static_cast<uint8_t>(lumaDepth + 8);
  }

  ReadUe(bits);  // log2_max_frame_num_minus4
  uint32_t pocType = ReadUe(bits);
  if (pocType == 0) {
    ReadUe(bits);
  } else if (pocType == 1) {
    bits.Skip(1);
    ReadSe(bits);
    ReadSe(bits);
    uint32_t cycle = ReadUe(bits);
    if (cycle > kMaxRefFramesInPocCycle) return;
    for (uint32_t i = 0; i < cycle && !bits.Exhausted(); ++i) ReadSe(bits);
  }
  ReadUe(bits);  // max_num_ref_frames
  bits.Skip(1);
  uint64_t widthMbs = uint64_t{ReadUe(bits)} + 1;
  uint64_t heightMapUnits = uint64_t{ReadUe(bits)} + 1;
  bool frameMbsOnly = bits.Take(1);
  if (!frameMbsOnly) bits.Skip(1);
  bits.Skip(1);  // direct_8x8_inference_flag
  uint64_t crop[4] = {};
  if (bits.Take(1))
    for (uint64_t& c : crop) c = ReadUe(bits);
  bool vui = bits.Take(1);
  if (bits.Exhausted()) return;

  // Crop offsets count chroma samples (times two for field pairs).
  uint32_t arrayType = separateColourPlanes ? 0 : chromaFormat;
  uint64_t subWidth = arrayType == 1 || arrayType == 2 ? 2 : 1;
  uint64_t subHeight = arrayType == 1 ? 2 : 1;
  uint64_t fields = frameMbsOnly ? 1 : 2;
  int64_t width = static_cast<int64_t>(widthMbs * 16) - static_cast<int64_t>((crop[0] + crop[1]) * subWidth);
  int64_t height = static_cast<int64_t>(fields * heightMapUnits * 16) -
                   static_cast<int64_t>((crop[2] + crop[3]) * subHeight * fields);
  info.width = ClampSize(width);
  info.height = ClampSize(height);
  info.interlaced = !frameMbsOnly;
  if (vui) ReadVui(bits, info);
}

bool FindAvcSps(const uint8_t* bytes, size_t length, AvcVideoInfo& info) {
  if (!bytes) return false;
  for (size_t i = 0; i + 3 < length; ++i) {
    if (bytes[i] == 0 && bytes[i + 1] == 0 && bytes[i + 2] == 1 && (bytes[i + 3] & 0x1F) == 7) {
      ParseAvcSps(bytes + i + 3, length - i - 3, info);
      return true;
    }
  }
  return false;
}

bool ParseAvcDecoderConfig(const uint8_t* bytes, size_t length, AvcVideoInfo& info) {
  if (!bytes || length < 8 || bytes[0] != 1 || (bytes[5] & 0x1F) == 0) return false;
  size_t size = ReadU16BE(bytes, 6);
  if (size == 0 || 8 + size > length || (bytes[8] & 0x1F) != 7) return false;
  ParseAvcSps(bytes + 8, size, info);
  return true;
}

void AvcProfileLevelText(char* out, size_t size, uint32_t profileIdc, uint32_t levelIdc) {
  char profile[32], level[32];
  const char* name = nullptr;
  switch (profileIdc) {
    case 66: name = "Baseline"; break;
    case 77: name = "Main"; break;
    case 88: name = "Extended"; break;
    case 100: name = "High"; break;
    case 110: name = "High 10"; break;
    case 122: name = "High 4:2:2"; break;
    case 244: name = "High 4:4:4"; break;
  }
  if (name) {
    CopyText(profile, sizeof profile, name);
  } else {
    FormatText(profile, sizeof profile, "UnknownProfile(%u)", profileIdc);
  }
  switch (levelIdc) {
    case 10: case 20: case 30: case 40: case 50:
      FormatText(level, sizeof level, "%u", levelIdc / 10);
      break;
    case 11: case 12: case 13: case 21: case 22: case 31: case 32: case 41: case 42: case 51:
      FormatText(level, sizeof level, "%u.%u", levelIdc / 10, levelIdc % 10);
      break;
    default:
      FormatText(level, sizeof level, "UnknownLevel(%u)", levelIdc);
  }
  FormatText(out, size, "%s@%s", profile, level);
}

void AvcAspectText(char* out, size_t size, uint32_t aspectRatioIdc) {
  static constexpr const char* kTexts[14] = {"Unspecified", "1:1",   "12:11", "10:11", "16:11",
                                             "40:33",       "24:11", "20:11", "32:11", "80:33",
                                             "18:11",       "15:11", "64:33", "160:99"};
  if (aspectRatioIdc < 14) {
    CopyText(out, size, kTexts[aspectRatioIdc]);
  } else {
    FormatText(out, size, "Unknown(%u)", aspectRatioIdc);
  }
}

void FormatAvcVideoText(char* out, size_t size, const AvcVideoInfo& info) {
  if (size == 0) return;
  Description d("AVC", "VIDEO");
  d.Set("#width#", "%d", info.width);
  d.Set("#height#", "%d", info.height);
  d.Set("#bitdepth#", "%d", info.bitDepth);
  d.SetText("#codec#", info.codec);
  d.SetText("#profile#", info.profile);
  d.SetText("#aspect#", info.aspect);
  d.SetText("#interlace#", info.interlaced ? "Interlace" : "Progressive");
  d.SetKnown("#framerate#", "%.2f", info.frameRate);
  d.Set("#frame#", "%d", info.frameCount);
  d.SetKnown("#bitratek#", "%.2f", info.bitRate * 0.001);
  d.SetKnown("#bitrate#", "%.2f", info.bitRate);
  CopyText(out, size, d.Text());
}

}  // namespace probex
