// AVI 1.0 and OpenDML (AVI 2.0), with the DivX Media, Google Video and DV
// type-1 variants.
#pragma once

#include <cstddef>
#include <cstdint>

#include "probex.h"

namespace probex {

class FileReader;
struct TagInfo;

// The "AVI " form walk, run by AnalyzeRiff with the reader just after the
// form type. riffStart and riffLength describe the file's first RIFF chunk.
void WalkAvi(MediaInfo& media, FileReader& reader, uint64_t riffStart, uint64_t riffLength, TagInfo& tags);

}  // namespace probex
