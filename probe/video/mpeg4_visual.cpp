#include "mpeg4_visual.h"

#include <cstring>

#include "../core/bits.h"
#include "../core/messages.h"
#include "../core/templates.h"
#include "../core/text.h"

namespace probex {

namespace {

struct ProfileRange {
  uint8_t first;
  uint8_t last;
  const char* name;
  int firstLevel;  // level of the first code; the rest count up
};

constexpr ProfileRange kProfiles[] = {
    {0x01, 0x03, "Simple", 1},
    {0x11, 0x12, "Simple Scalable", 1},
    {0x21, 0x22, "Core", 1},
    {0x32, 0x34, "Main", 2},
    {0x42, 0x42, "N-bit", 2},
    {0x51, 0x51, "Scalable Texture", 1},
    {0x61, 0x62, "Simple Face Anim", 1},
    {0x63, 0x64, "Simple FBA", 1},
    {0x71, 0x72, "Basic Anim Text", 1},
    {0x81, 0x82, "Hybrid", 1},
    {0x91, 0x94, "Adv RT Simple", 1},
    {0xA1, 0xA3, "Core Scalable", 1},
    {0xB1, 0xB4, "Adv Coding Efficieny", 1},
    {0xC1, 0xC2, "Adv Core Profile", 1},
    {0xD1, 0xD3, "Adv Scalable Texture", 1},
    {0xE1, 0xE4, "Simple Studio", 1},
    {0xE5, 0xE8, "Core Studio", 1},
    {0xF0, 0xF5, "Adv Simple", 0},
    {0xF8, 0xFD, "FGS", 0},
};

constexpr uint32_t kVisualObjectSequenceCode = 0x000001B0;
constexpr uint32_t kFirstVideoObjectLayerCode = 0x00000120;
constexpr uint32_t kLastVideoObjectLayerCode = 0x0000012F;

// aspect_ratio_info of a video object layer header starting after its start
// code; false when the bytes end first.
bool ReadVolAspect(const uint8_t* bytes, size_t length, char* aspectText, size_t aspectSize) {
  size_t n = length < 5 ? length : 5;
  BitText bits(bytes, n);
  bits.Skip(1 + 8);  // random_accessible_vol, video_object_type_indication
  if (bits.Take(1)) bits.Skip(4 + 3);  // is_object_layer_identifier: verid, priority
  uint32_t info = static_cast<uint32_t>(bits.Take(4));
  if (info == 15) {
    uint32_t parWidth = static_cast<uint32_t>(bits.Take(8));
    uint32_t parHeight = static_cast<uint32_t>(bits.Take(8));
    if (bits.Exhausted()) return false;
    FormatText(aspectText, aspectSize, "%u:%u", parWidth, parHeight);
    return true;
  }
  if (bits.Exhausted()) return false;
  Mpeg4AspectText(aspectText, aspectSize, info);
  return true;
}

}  // namespace

void Mpeg4ProfileLevelText(char* out, size_t size, uint32_t code) {
  if (code == 0x08) {
    CopyText(out, size, "Simple@L0");
    return;
  }
  if (code == 0xF7) {
    CopyText(out, size, "Adv Simple@L3b");
    return;
  }
  for (const ProfileRange& r : kProfiles) {
    if (code >= r.first && code <= r.last) {
      FormatText(out, size, "%s@L%d", r.name, r.firstLevel + static_cast<int>(code - r.first));
      return;
    }
  }
  FormatText(out, size, "UnknownProfile(%u)", code);
}

void Mpeg4AspectText(char* out, size_t size, uint32_t code) {
  // ISO/IEC 14496-2 pixel aspect ratios; 6 to 14 are reserved and 15 means
  // an explicit par_width:par_height.
  static constexpr const char* kTexts[16] = {"Unspecified", "1:1",      "12:11",    "10:11",
                                             "16:11",       "40:33",    "reserved", "reserved",
                                             "reserved",    "reserved", "reserved", "reserved",
                                             "reserved",    "reserved", "reserved", "reserved"};
  if (code < 16) {
    CopyText(out, size, kTexts[code]);
  } else {
    FormatText(out, size, "Unknown(%u)", code);
  }
}

void ParseMpeg4VisualConfig(const uint8_t* bytes, size_t length, char* profileText, size_t profileSize,
                            char* aspectText, size_t aspectSize) {
  if (!bytes) return;
  for (size_t p = 0; p + 4 <= length; ++p) {
    if (bytes[p + 2] > 1) {  // no start code begins at p, p + 1 or p + 2
      p += 2;
      continue;
    }
    uint32_t code = ReadU32BE(bytes, p);
    if (code == kVisualObjectSequenceCode && p + 4 < length) {
      Mpeg4ProfileLevelText(profileText, profileSize, bytes[p + 4]);
      p += 4;
    } else if (code >= kFirstVideoObjectLayerCode && code <= kLastVideoObjectLayerCode) {
      ReadVolAspect(bytes + p + 4, length - p - 4, aspectText, aspectSize);
      return;
    }
  }
}

namespace {

bool BeginsWithUnknown(const char* text) {
  return std::strncmp(text, msg::kUnknown, sizeof msg::kUnknown - 1) == 0;
}

// The text after the "不明" marker of a failed look-up: the key itself.
const char* PastUnknown(const char* text) { return text + sizeof msg::kUnknown - 1; }

}  // namespace

bool FindDivxCodecName(char* codec, size_t size, const uint8_t* frame, size_t length) {
  if (!frame || length < 16) return false;
  std::ptrdiff_t at = FindNoCase(frame, length - 16 + 4, "DivX");
  if (at < 0) return false;
  const size_t widths[3] = {15, 12, 11};
  char keys[3][16] = {};
  char results[3][256] = {};
  for (int i = 0; i < 3; ++i) {
    std::memcpy(keys[i], frame + at, widths[i]);
    LookupCodec(results[i], sizeof results[i], "AVI-DIVX", keys[i]);
  }
  for (const char* result : results) {
    if (!BeginsWithUnknown(result)) {
      CopyText(codec, size, result);
      return true;
    }
  }
  FormatText(codec, size, "Divx 5.x(%s/%s/%s)", PastUnknown(results[2]), PastUnknown(results[1]),
             PastUnknown(results[0]));
  return true;
}

bool RefineMpeg4VisualName(char* codec, size_t size, const uint8_t* frame, size_t length) {
  bool found = false;
  if (std::strncmp(codec, "DivX 5", 6) == 0) found = FindDivxCodecName(codec, size, frame, length);
  if (std::strncmp(codec, "XviD", 4) == 0) found = FindXvidCodecName(codec, size, frame, length) || found;
  return found;
}

bool FindXvidCodecName(char* codec, size_t size, const uint8_t* frame, size_t length) {
  if (!frame || length < 9) return false;
  std::ptrdiff_t at = FindNoCase(frame, length - 9 + 4, "XviD");
  if (at < 0) return false;
  char key[9] = {};
  std::memcpy(key, frame + at, 8);
  char result[32] = {};
  LookupCodec(result, sizeof result, "AVI-XVID", key);
  if (!BeginsWithUnknown(result)) {
    CopyText(codec, size, result);
  } else {
    FormatText(codec, size, "XviD MPEG4(%s)", PastUnknown(result));
  }
  return true;
}

}  // namespace probex
