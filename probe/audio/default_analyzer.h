// Files without an analyzer of their own: a hex dump of the first bytes.
#pragma once

#include "probex.h"

namespace probex {

void AnalyzeDefault(MediaInfo& info);

}  // namespace probex
