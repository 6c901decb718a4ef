// S98 sound-chip logs: header, device list and a walk of the register dump
// for the playing time.
#pragma once

#include <cstddef>
#include <cstdint>

#include "probex.h"

namespace probex {

class FileReader;

inline constexpr size_t kS98MaxDevices = 64;

struct S98Device {
  uint32_t type;
  uint32_t clock;
  uint32_t pan;
  char name[32];
};

struct S98Info {
  char version;
  uint32_t timerNumerator;
  uint32_t timerDenominator;
  uint32_t tagOffset;
  uint32_t dumpOffset;
  uint32_t loopOffset;
  uint32_t deviceCount;  // devices kept, at most kS98MaxDevices
  S98Device devices[kS98MaxDevices];
  double duration;
  char error[256];
};

// Reader at the start of the file. False with error on failure.
bool ParseS98(S98Info& info, FileReader& reader);

void AnalyzeS98(MediaInfo& info, FileReader& reader);

}  // namespace probex
