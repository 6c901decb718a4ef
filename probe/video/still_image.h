// BMP, JPEG (JFIF and Exif) and GIF: one line each, from the first bytes.
#pragma once

#include "probex.h"

namespace probex {

void AnalyzeBmp(MediaInfo& info);
void AnalyzeJpeg(MediaInfo& info);
void AnalyzeGif(MediaInfo& info);

}  // namespace probex
