// Files without an analyzer of their own: a hex dump of the first bytes.
#pragma once

#include "probex.h"

namespace probex {

class FileReader;

void AnalyzeDefault(MediaInfo& info, FileReader& reader);

}  // namespace probex
