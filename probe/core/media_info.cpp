#include "media_info.h"

#include <cstdarg>
#include <cstdio>

#include "text.h"

namespace probex {

namespace {

void Append(char (*entries)[PROBEX_TEXT_BYTES], int32_t& count, int32_t limit, const char* text) {
  // A count outside its range (a record the caller did not zero) adds nothing.
  if (count < 0 || count >= limit) return;
  CopyText(entries[count], PROBEX_TEXT_BYTES, text);
  ++count;
}

}  // namespace

void AddVideoText(MediaInfo& info, const char* text) {
  Append(info.videoText, info.videoCount, PROBEX_MAX_VIDEO, text);
}

void AddAudioText(MediaInfo& info, const char* text) {
  Append(info.audioText, info.audioCount, PROBEX_MAX_AUDIO, text);
}

void AddExtraText(MediaInfo& info, const char* text) {
  Append(info.extraText, info.extraCount, PROBEX_MAX_EXTRA, text);
}

void SetErrorText(MediaInfo& info, const char* text) {
  CopyText(info.errorText, sizeof info.errorText, text);
}

void SetErrorFormat(MediaInfo& info, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(info.errorText, sizeof info.errorText, format, args);
  if (n < 0) info.errorText[0] = '\0';
  va_end(args);
}

void SetFormatName(MediaInfo& info, const char* name) {
  CopyText(info.formatName, sizeof info.formatName, name);
}

bool PathFits(const MediaInfo& info) {
  return Utf16Length(info.path, PROBEX_PATH_UNITS) < PROBEX_PATH_UNITS;
}

}  // namespace probex
