// BMP, JPEG (JFIF and Exif) and GIF: one line each, from the first bytes.
#pragma once

#include "probex.h"

namespace probex {

class FileReader;

void AnalyzeBmp(MediaInfo& info, FileReader& reader);
void AnalyzeJpeg(MediaInfo& info, FileReader& reader);
void AnalyzeGif(MediaInfo& info, FileReader& reader);

}  // namespace probex
