// Shockwave Audio: MPEG audio behind a Macromedia "MACRZ" header.
#pragma once

#include "probex.h"

namespace probex {

class FileReader;

// FormatId 127.
void AnalyzeShockwaveAudio(MediaInfo& info, FileReader& reader);

}  // namespace probex
