// The ten exports. Nothing may escape them: GetFileInfo turns any exception
// into the record's error text.
#include <cstring>
#include <new>
#include <string>

#include "detect.h"
#include "dispatch.h"
#include "probex_formats.h"
#include "media_info.h"
#include "messages.h"
#include "probex.h"
#include "report.h"
#include "templates.h"

using namespace probex;

namespace {

// The writers append at the buffer's terminator; an error replaces the text.
void WriteReport(const MediaInfo& info, char* out, const std::string& text) {
  char* at = info.errorText[0] != '\0' ? out : out + std::strlen(out);
  std::memcpy(at, text.c_str(), text.size() + 1);
}

}  // namespace

extern "C" {

PROBEX_API int32_t PROBEX_CALL GetDllVersion(void) { return PROBEX_VERSION; }

PROBEX_API int32_t PROBEX_CALL Unicode(void) { return 1; }

PROBEX_API int32_t PROBEX_CALL SetPath(const probex_char16* directory) { return SetTemplateDirectory(directory); }

PROBEX_API void PROBEX_CALL GetFileFormat(MediaInfo* info) {
  if (!info) return;
  try {
    DetectFormat(*info);
  } catch (...) {
    info->formatId = format::kUnopenable;
  }
}

PROBEX_API void PROBEX_CALL GetFileInfo(MediaInfo* info) {
  if (!info) return;
  RunGuarded(*info, Dispatch);
}

PROBEX_API void PROBEX_CALL GetFileInfoAuto(MediaInfo* info) {
  GetFileFormat(info);
  GetFileInfo(info);
}

// Building the text can only fail for lack of memory, and then writes nothing.
PROBEX_API char* PROBEX_CALL ConvertFull(const MediaInfo* info, char* out) {
  if (!info || !out) return out;
  try {
    WriteReport(*info, out, FullReport(*info));
  } catch (...) {
  }
  return out;
}

PROBEX_API int32_t PROBEX_CALL ConvertFullLen(const MediaInfo* info) {
  if (!info) return 1;
  try {
    return static_cast<int32_t>(FullReport(*info).size() + 1);
  } catch (...) {
    return 1;
  }
}

PROBEX_API void PROBEX_CALL ConvertOne(const MediaInfo* info, char* out) {
  if (!info || !out) return;
  try {
    WriteReport(*info, out, OneLineReport(*info));
  } catch (...) {
  }
}

PROBEX_API int32_t PROBEX_CALL ConvertOneLen(const MediaInfo* info) {
  if (!info) return 1;
  try {
    return static_cast<int32_t>(OneLineReport(*info).size() + 1);
  } catch (...) {
    return 1;
  }
}

}  // extern "C"
