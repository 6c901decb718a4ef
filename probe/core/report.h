// The multi-line report and the one-line summary of a filled MediaInfo.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "probex.h"

namespace probex {

struct TimeSplit {
  int64_t hours, minutes, seconds, milliseconds;
};

// false when the duration is unknown: -1.0, not finite, or beyond 2^53 s.
bool SplitDuration(double d, TimeSplit& t);
// "1,234,567"
std::string SizeText(uint64_t size);

// The text that ConvertFull / ConvertOne append to an empty buffer.
std::string FullReport(const MediaInfo& info);
std::string OneLineReport(const MediaInfo& info);

}  // namespace probex
