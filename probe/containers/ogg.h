// Ogg: Vorbis, Speex, Theora, FLAC and the OGM video, audio and text streams.
#pragma once

#include <cstddef>
#include <cstdint>

#include "../audio/opus.h"
#include "../audio/speex.h"
#include "../audio/vorbis.h"
#include "../video/theora.h"
#include "probex.h"

namespace probex {

class FileReader;

// FormatIds 15, 109, 110, 111.
void AnalyzeOgg(MediaInfo& info, FileReader& reader);

}  // namespace probex
