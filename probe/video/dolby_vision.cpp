#include "dolby_vision.h"

#include <cstdio>

#include "hdr_metadata.h"

namespace probex {

namespace {

const char* CompatibilityName(uint8_t id) {
  switch (id) {
    case 1:
      return "HDR10";
    case 2:
      return "SDR";
    case 4:
      return "HLG";
    case 6:
      return "Blu-ray";
    default:
      return nullptr;
  }
}

// The profile/level/layer word and the compatibility nibble after it.
bool Fields(const uint8_t* b, size_t size, DolbyVisionConfig& config) {
  if (size < 5 || b[0] == 0 || b[0] > 3) return false;
  uint32_t word = uint32_t{b[2]} << 8 | b[3];
  config.versionMajor = b[0];
  config.versionMinor = b[1];
  config.profile = static_cast<uint8_t>(word >> 9);
  config.level = static_cast<uint8_t>(word >> 3 & 0x3F);
  config.rpuPresent = (word & 4) != 0;
  config.elPresent = (word & 2) != 0;
  config.blPresent = (word & 1) != 0;
  return config.profile <= 10;
}

}  // namespace

bool ParseDolbyVisionConfig(const uint8_t* data, size_t size, DolbyVisionConfig& out) {
  DolbyVisionConfig config;
  if (data == nullptr || !Fields(data, size, config)) return false;
  config.blCompatibilityId = data[4] >> 4;
  out = config;
  return true;
}

bool ParseDolbyVisionDescriptor(const uint8_t* data, size_t size, DolbyVisionConfig& out) {
  if (data == nullptr || size < 2 || data[0] != 0xB0) return false;
  size_t length = data[1];
  if (length > size - 2) return false;
  const uint8_t* body = data + 2;
  DolbyVisionConfig config;
  if (length < 4 || !Fields(body, length + 1, config)) return false;
  size_t at = 4;
  if (!config.blPresent) {
    if (length < at + 2) return false;
    config.dependencyPid = static_cast<uint16_t>((uint32_t{body[at]} << 8 | body[at + 1]) >> 3);
    at += 2;
  }
  // Version 1.0 descriptors may end before the compatibility byte.
  if (length > at) config.blCompatibilityId = body[at] >> 4;
  out = config;
  return true;
}

std::string DolbyVisionText(const DolbyVisionConfig& config) {
  const char* compatible = CompatibilityName(config.blCompatibilityId);
  if (config.blCompatibilityId == 0 || compatible == nullptr) return LineF("DV %u", config.profile);
  return LineF("DV %u.%u (%s)", config.profile, config.blCompatibilityId, compatible);
}

void NoteDolbyVision(const DolbyVisionConfig& config, HdrSignals& hdr) {
  std::snprintf(hdr.dolbyVision, sizeof hdr.dolbyVision, "%s", DolbyVisionText(config).c_str());
}

void DolbyVisionDetailLines(const DolbyVisionConfig& config, std::vector<std::string>& lines) {
  std::string layers;
  for (auto [present, name] :
       {std::pair{config.blPresent, "BL"}, {config.elPresent, "EL"}, {config.rpuPresent, "RPU"}}) {
    if (!present) continue;
    if (!layers.empty()) layers += "+";
    layers += name;
  }
  const char* compatible = CompatibilityName(config.blCompatibilityId);
  lines.push_back(LineF("Dolby Vision: version %u.%u, profile %u, level %u, %s, compatibility %u%s%s%s",
                        config.versionMajor, config.versionMinor, config.profile, config.level,
                        layers.empty() ? "no layers" : layers.c_str(), config.blCompatibilityId, compatible ? " (" : "",
                        compatible ? compatible : "", compatible ? ")" : ""));
}

}  // namespace probex
