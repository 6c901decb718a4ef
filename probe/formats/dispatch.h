// From FormatId to analyzer, through the registry of formats.
#pragma once

#include "probex.h"

namespace probex {

// Opens the file and runs the analyzer of info.formatId (the default
// analyzer for a FormatId without one). Exceptions pass through.
void Dispatch(MediaInfo& info);

// Runs step; an exception becomes "[Exception] 例外終了(formatId)".
void RunGuarded(MediaInfo& info, void (*step)(MediaInfo&));

}  // namespace probex
