// RealMedia (.rm: PROP, MDPR, DATA, INDX chunks). All numbers are big-endian.
#pragma once

#include <cstddef>
#include <cstdint>

#include "probex.h"

namespace probex {

class FileReader;

// FormatId 19.
void AnalyzeRealMedia(MediaInfo& info, FileReader& reader);

}  // namespace probex
