#include "mpeg_video.h"

#include "../core/bits.h"
#include "../core/templates.h"
#include "../core/text.h"

namespace probex {

namespace {

constexpr const char* kAspectTexts[16] = {
    "forbidden",           "1:1",    "4:3",    "16:9 625line", "0.7615", "0.8055",
    "16:9 525line",        "0.8935", "4:3 625line CCIR601",    "0.9815", "1.0255",
    "1.0695",              "4:3 525line CCIR601",              "1.1575", "1.2015",
    "reserved"};

constexpr double kFrameRates[16] = {0, 23.976, 24, 25, 29.97, 30, 50, 59.94, 60, 0, 0, 0, 0, 0, 0, 0};

}  // namespace

uint64_t ReadMpegTimeStamp(const uint8_t* field) {
  return (static_cast<uint64_t>((field[0] >> 1) & 7) << 30) | (static_cast<uint64_t>(field[1]) << 22) |
         (static_cast<uint64_t>(field[2] >> 1) << 15) | (static_cast<uint64_t>(field[3]) << 7) | (field[4] >> 1);
}

bool MpegTimeStampMarked(const uint8_t* field) { return (field[0] & 1) && (field[2] & 1) && (field[4] & 1); }

int64_t FindStartCode(const uint8_t* buffer, size_t length, uint32_t value, size_t start) {
  if (!buffer || length < 4) return -1;
  bool prefixed = (value >> 8) == 1;
  for (size_t i = start; i + 4 <= length; ++i) {
    // A start code begins 00 00 01: a third byte above 1 rules out three offsets.
    if (prefixed && buffer[i + 2] > 1) {
      i += 2;
      continue;
    }
    if (ReadU32BE(buffer, i) == value) return static_cast<int64_t>(i);
  }
  return -1;
}

int64_t FindLastStartCode(const uint8_t* buffer, size_t length, uint32_t value, size_t from) {
  if (!buffer || length < 4 || from > length - 4) return -1;
  bool prefixed = (value >> 8) == 1;
  size_t i = length - 4;
  while (true) {
    // A byte above 1 can be none of 00 00 01: no code starts at it or at the
    // two offsets before it.
    if (prefixed && buffer[i] > 1) {
      if (i < from + 3) return -1;
      i -= 3;
      continue;
    }
    if (ReadU32BE(buffer, i) == value) return static_cast<int64_t>(i);
    if (i == from) return -1;
    --i;
  }
}

const char* MpegAspectText(uint32_t code) { return kAspectTexts[code & 15]; }

double MpegFrameRate(uint32_t code) { return kFrameRates[code & 15]; }

void MpegProfileLevelText(char* out, size_t size, uint32_t profile, uint32_t level) {
  char p[32], l[32];
  switch (profile) {
    case 1: CopyText(p, sizeof p, "HP"); break;
    case 2: CopyText(p, sizeof p, "SSP"); break;
    case 3: CopyText(p, sizeof p, "SNR"); break;
    case 4: CopyText(p, sizeof p, "MP"); break;
    case 5: CopyText(p, sizeof p, "SP"); break;
    default: FormatText(p, sizeof p, "UnknownProfile(%u)", profile);
  }
  switch (level) {
    case 4: CopyText(l, sizeof l, "HL"); break;
    case 6: CopyText(l, sizeof l, "HL1440"); break;
    case 8: CopyText(l, sizeof l, "ML"); break;
    case 10: CopyText(l, sizeof l, "LL"); break;
    default: FormatText(l, sizeof l, "UnknownLevel(%u)", level);
  }
  FormatText(out, size, "%s@%s", p, l);
}

bool ParseMpegSequenceHeader(MpegVideoInfo& info, const uint8_t* bytes, size_t length) {
  if (!bytes || length < 7) return false;
  BitText bits(bytes, 7);
  info.width = static_cast<int32_t>(bits.Take(12));
  info.height = static_cast<int32_t>(bits.Take(12));
  CopyText(info.aspect, sizeof info.aspect, MpegAspectText(static_cast<uint32_t>(bits.Take(4))));
  info.frameRate = MpegFrameRate(static_cast<uint32_t>(bits.Take(4)));
  uint64_t rate = bits.Take(18);
  info.variableBitRate = rate == 0x3FFFF;
  info.bitRate = info.variableBitRate ? 0 : static_cast<double>(rate) * 400;
  return true;
}

bool ParseMpegSequenceExtension(MpegVideoInfo& info, const uint8_t* bytes, size_t length) {
  // progressive_sequence is the first bit of the seventh byte.
  if (!bytes || length < 7) return false;
  BitText bits(bytes, 7);
  bits.Skip(32);
  if (bits.Take(4) != 1) return false;
  bits.Skip(1);
  uint32_t profile = static_cast<uint32_t>(bits.Take(3));
  uint32_t level = static_cast<uint32_t>(bits.Take(4));
  MpegProfileLevelText(info.profile, sizeof info.profile, profile, level);
  info.progressive = bits.Take(1) == 1;
  return true;
}

void FormatMpegVideoText(char* out, size_t size, const MpegVideoInfo& info) {
  if (size == 0) return;
  bool mpeg2 = info.profile[0] != '\0';
  Description d("MPEG1/2", mpeg2 ? "MPEG2" : "MPEG1");
  double rate = info.variableBitRate ? info.averageBitRate : info.bitRate;
  d.Set("#width#", "%d", info.width);
  d.Set("#height#", "%d", info.height);
  d.SetText("#codec#", info.codec);
  d.SetText("#profile#", info.profile);
  d.SetText("#aspect#", info.aspect);
  d.SetText("#interlace#", info.progressive ? "Progressive" : "Interlace");
  d.SetKnown("#framerate#", "%.2f", info.frameRate);
  d.SetKnown("#bitratek#", "%.2f", rate * 0.001);
  d.SetKnown("#bitrate#", "%.2f", rate);
  d.SetText("#bitratemode#", info.variableBitRate ? "VBR" : "CBR");
  CopyText(out, size, d.Text());
}

}  // namespace probex
