#include "hdr_metadata.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "bits.h"
#include "media_info.h"
#include "templates.h"
#include "text.h"

namespace probex {

namespace {

const char* Named(const char* const* names, size_t count, uint32_t code) {
  return code < count ? names[code] : nullptr;
}

// The named gamut whose primaries and white point the display's match.
const char* GamutName(const MasteringDisplay& m) {
  static const struct {
    const char* name;
    double v[8];  // R, G, B, white: x, y
  } kGamuts[] = {{"Display P3", {0.680, 0.320, 0.265, 0.690, 0.150, 0.060, 0.3127, 0.3290}},
                 {"DCI P3", {0.680, 0.320, 0.265, 0.690, 0.150, 0.060, 0.314, 0.351}},
                 {"BT.2020", {0.708, 0.292, 0.170, 0.797, 0.131, 0.046, 0.3127, 0.3290}},
                 {"BT.709", {0.640, 0.330, 0.300, 0.600, 0.150, 0.060, 0.3127, 0.3290}}};
  const double have[8] = {m.redX, m.redY, m.greenX, m.greenY, m.blueX, m.blueY, m.whiteX, m.whiteY};
  for (const auto& gamut : kGamuts) {
    bool same = true;
    for (int i = 0; i < 8 && same; ++i) same = std::fabs(have[i] - gamut.v[i]) < 0.0005;
    if (same) return gamut.name;
  }
  return nullptr;
}

std::string NameOr(const char* name, uint32_t code) {
  return name != nullptr && name[0] != '\0' ? std::string(name) : LineF("Unknown(%u)", code);
}

}  // namespace

std::string LineF(const char* format, ...) {
  char buffer[256];
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return n < 0 ? std::string() : std::string(buffer);
}

bool ParseMasteringDisplay(const uint8_t* data, size_t size, MasteringDisplay& out) {
  if (data == nullptr || size < 24) return false;
  constexpr double kChroma = 0.00002, kLuma = 0.0001;
  out.greenX = ReadU16BE(data) * kChroma;
  out.greenY = ReadU16BE(data + 2) * kChroma;
  out.blueX = ReadU16BE(data + 4) * kChroma;
  out.blueY = ReadU16BE(data + 6) * kChroma;
  out.redX = ReadU16BE(data + 8) * kChroma;
  out.redY = ReadU16BE(data + 10) * kChroma;
  out.whiteX = ReadU16BE(data + 12) * kChroma;
  out.whiteY = ReadU16BE(data + 14) * kChroma;
  out.maxLuminance = ReadU32BE(data + 16) * kLuma;
  out.minLuminance = ReadU32BE(data + 20) * kLuma;
  out.present = true;
  return true;
}

bool ParseContentLightLevel(const uint8_t* data, size_t size, ContentLightLevel& out) {
  if (data == nullptr || size < 4) return false;
  out.maxCll = ReadU16BE(data);
  out.maxFall = ReadU16BE(data + 2);
  out.present = true;
  return true;
}

bool IsHdr10PlusT35(const uint8_t* data, size_t size) {
  return data != nullptr && size >= 6 && data[0] == 0xB5 && ReadU16BE(data + 1) == 0x003C &&
         ReadU16BE(data + 3) == 0x0001 && data[5] == 4;
}

void ApplyMatroskaColour(const MatroskaColour& c, HdrSignals& hdr) {
  auto code = [](int64_t v) { return static_cast<uint8_t>(v >= 0 && v <= 255 ? v : 2); };
  if (c.matrix >= 0 || c.transfer >= 0 || c.primaries >= 0) {
    hdr.colour.present = true;
    hdr.colour.matrix = code(c.matrix);
    hdr.colour.transfer = code(c.transfer);
    hdr.colour.primaries = code(c.primaries);
    hdr.colour.fullRange = c.range == 2;
  }
  const double xy[] = {c.redX, c.redY, c.greenX, c.greenY, c.blueX, c.blueY, c.whiteX, c.whiteY};
  bool primaries = true;
  for (double v : xy) primaries = primaries && v >= 0 && v <= 1;
  bool luminance = c.luminanceMax > 0 && std::isfinite(c.luminanceMax);
  if (primaries || luminance) {
    MasteringDisplay& m = hdr.mastering;
    if (primaries) {
      m.redX = c.redX, m.redY = c.redY, m.greenX = c.greenX, m.greenY = c.greenY;
      m.blueX = c.blueX, m.blueY = c.blueY, m.whiteX = c.whiteX, m.whiteY = c.whiteY;
    }
    if (luminance) {
      m.maxLuminance = c.luminanceMax;
      m.minLuminance = c.luminanceMin >= 0 && std::isfinite(c.luminanceMin) ? c.luminanceMin : 0;
    }
    m.present = true;
  }
  if (c.maxCll >= 0 || c.maxFall >= 0) {
    auto level = [](int64_t v) { return static_cast<uint32_t>(v < 0 ? 0 : v > 65535 ? 65535 : v); };
    hdr.light.maxCll = level(c.maxCll);
    hdr.light.maxFall = level(c.maxFall);
    hdr.light.present = true;
  }
}

std::string HdrTag(const HdrSignals& hdr) {
  std::string tag = hdr.dolbyVision;
  const char* form = nullptr;
  uint8_t transfer = hdr.colour.present ? hdr.colour.transfer : 2;
  if (hdr.hdr10Plus) {
    form = "HDR10+";
  } else if (!tag.empty()) {
    form = nullptr;  // the record's text already names the base layer
  } else if (transfer == 16) {
    form = hdr.mastering.present || hdr.light.present ? "HDR10" : "PQ";
  } else if (transfer == 18) {
    form = "HLG";
  } else if (hdr.colour.present && hdr.colour.primaries == 9) {
    form = "BT.2020";
  } else if (hdr.mastering.present) {
    // Mastering data with the transfer unsignalled (e.g. no VUI colour):
    // what ships like that is HDR10 in practice.
    form = "HDR10";
  }
  if (form != nullptr) {
    if (!tag.empty()) tag += ' ';
    tag += form;
  }
  return tag;
}

std::string ColourPrimariesName(uint32_t code) {
  static const char* const kNames[] = {
      "",           "BT.709",       "Unspecified", "",    "BT.470 System M", "BT.601 PAL", "BT.601 NTSC",
      "SMPTE 240M", "Generic film", "BT.2020",     "XYZ", "DCI P3",          "Display P3"};
  if (code == 22) return "EBU Tech 3213";
  return NameOr(Named(kNames, sizeof kNames / sizeof *kNames, code), code);
}

std::string TransferName(uint32_t code) {
  static const char* const kNames[] = {"",
                                       "BT.709",
                                       "Unspecified",
                                       "",
                                       "BT.470 System M",
                                       "BT.470 System B/G",
                                       "BT.601",
                                       "SMPTE 240M",
                                       "Linear",
                                       "Logarithmic (100:1)",
                                       "Logarithmic (316.22777:1)",
                                       "xvYCC",
                                       "BT.1361",
                                       "sRGB/sYCC",
                                       "BT.2020 (10-bit)",
                                       "BT.2020 (12-bit)",
                                       "PQ",
                                       "SMPTE 428M",
                                       "HLG"};
  return NameOr(Named(kNames, sizeof kNames / sizeof *kNames, code), code);
}

std::string MatrixName(uint32_t code) {
  static const char* const kNames[] = {"Identity",
                                       "BT.709",
                                       "Unspecified",
                                       "",
                                       "FCC 73.682",
                                       "BT.470 System B/G",
                                       "BT.601",
                                       "SMPTE 240M",
                                       "YCgCo",
                                       "BT.2020 non-constant",
                                       "BT.2020 constant",
                                       "Y'D'zD'x",
                                       "Chromaticity-derived non-constant",
                                       "Chromaticity-derived constant",
                                       "ICtCp"};
  return NameOr(Named(kNames, sizeof kNames / sizeof *kNames, code), code);
}

void HdrDetailLines(const HdrSignals& hdr, std::vector<std::string>& lines) {
  std::string tag = HdrTag(hdr);
  if (!tag.empty()) lines.push_back("HDR format: " + tag);
  if (hdr.colour.present) {
    lines.push_back("Colour primaries: " + ColourPrimariesName(hdr.colour.primaries));
    lines.push_back("Transfer characteristics: " + TransferName(hdr.colour.transfer));
    lines.push_back("Matrix coefficients: " + MatrixName(hdr.colour.matrix));
    lines.push_back(std::string("Colour range: ") + (hdr.colour.fullRange ? "Full" : "Limited"));
  }
  if (hdr.mastering.present) {
    const MasteringDisplay& m = hdr.mastering;
    if (const char* gamut = GamutName(m)) lines.push_back(std::string("Mastering display colour primaries: ") + gamut);
    lines.push_back(
        LineF("Mastering display primaries: R x=%.4f y=%.4f, G x=%.4f y=%.4f, B x=%.4f y=%.4f, "
              "white point x=%.4f y=%.4f",
              m.redX, m.redY, m.greenX, m.greenY, m.blueX, m.blueY, m.whiteX, m.whiteY));
    lines.push_back(
        LineF("Mastering display luminance: min: %.4f cd/m2, max: %.0f cd/m2", m.minLuminance, m.maxLuminance));
  }
  if (hdr.light.present) {
    lines.push_back(LineF("Maximum Content Light Level: %u cd/m2", hdr.light.maxCll));
    lines.push_back(LineF("Maximum Frame-Average Light Level: %u cd/m2", hdr.light.maxFall));
  }
}

void FormatHdrVideoLine(char* out, size_t size, const char* section, const std::string& profile, uint32_t width,
                        uint32_t height, unsigned bitDepth, const char* chroma, double frameRate, double bitRate,
                        const HdrSignals& hdr) {
  Description d(section, "VIDEO");
  d.SetText("#profile#", profile.c_str());
  d.Set("#width#", "%u", width);
  d.Set("#height#", "%u", height);
  d.Set("#bitdepth#", "%u", bitDepth);
  d.SetText("#chroma#", chroma);
  d.SetKnown("#framerate#", "%.2f", frameRate);
  d.SetKnown("#bitratek#", "%.2f", bitRate * 0.001);
  d.SetText("#hdr#", HdrTag(hdr).c_str());
  CopyText(out, size, d.Text());
  // Without an HDR tag the line would end in the blank before it.
  for (size_t n = std::strlen(out); n > 0 && out[n - 1] == ' '; --n) out[n - 1] = '\0';
}

std::string HdrSummary(const HdrSignals& hdr) {
  // The tag is on the video line already; the entry is for the numbers.
  if (HdrTag(hdr).empty() || (!hdr.mastering.present && !hdr.light.present)) return "";
  std::vector<std::string> parts;
  if (hdr.colour.present)
    parts.push_back(ColourPrimariesName(hdr.colour.primaries) + " " + TransferName(hdr.colour.transfer));
  if (hdr.mastering.present) {
    const MasteringDisplay& m = hdr.mastering;
    const char* gamut = GamutName(m);
    parts.push_back(LineF("%s%s%.4f-%.0f cd/m2", gamut ? gamut : "mastering", " ", m.minLuminance, m.maxLuminance));
  }
  if (hdr.light.present) parts.push_back(LineF("MaxCLL %u, MaxFALL %u", hdr.light.maxCll, hdr.light.maxFall));
  std::string line;
  for (size_t i = 0; i < parts.size(); ++i) line += (i ? ", " : "") + parts[i];
  return line;
}

void AddHdrExtra(MediaInfo& media, const HdrSignals& hdr) {
  std::string line = HdrSummary(hdr);
  if (!line.empty()) AddExtraText(media, line.c_str());
}

}  // namespace probex
