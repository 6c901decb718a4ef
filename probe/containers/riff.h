// RIFF family: WAVE, RMID, RMP3, CDDA, CDXA, QLCM and the big-endian AIFF and
// AIFF-C.
#pragma once

#include <cstddef>
#include <cstdint>

#include "probex.h"

namespace probex {

class FileReader;

// FormatIds 12, 14, 101, 103, 105, 107, 108, 128: the walk is chosen by the
// file's own form type, not by the FormatId.
void AnalyzeRiff(MediaInfo& info, FileReader& reader);

}  // namespace probex
