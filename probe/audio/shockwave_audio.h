// Shockwave Audio: MPEG audio behind a Macromedia "MACRZ" header.
#pragma once

#include "probex.h"

namespace probex {

// FormatId 127.
void AnalyzeShockwaveAudio(MediaInfo& info);

}  // namespace probex
