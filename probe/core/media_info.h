// Appending to the caller's MediaInfo record: the only way analyzers write it.
#pragma once

#include "probex.h"

namespace probex {

// A full list drops the text silently; a text longer than 511 bytes is cut.
void AddVideoText(MediaInfo& info, const char* text);
void AddAudioText(MediaInfo& info, const char* text);
void AddExtraText(MediaInfo& info, const char* text);

void SetErrorText(MediaInfo& info, const char* text);
void SetErrorFormat(MediaInfo& info, const char* format, ...) __attribute__((format(printf, 2, 3)));
void SetFormatName(MediaInfo& info, const char* name);

// A path that fills all 256 units has no terminator: it is never opened.
bool PathFits(const MediaInfo& info);

}  // namespace probex
