// Stand-ins for libprobex.so that fail the binding's checks: built once per
// FAKE_* choice.
#include <cstdint>
#include <cstring>

struct MediaInfo;

#define EXPORT extern "C" __attribute__((visibility("default")))

#ifndef FAKE_NO_VERSION
EXPORT int32_t GetDllVersion() { return 130101; }
#endif
#ifndef FAKE_NO_UNICODE
EXPORT int32_t Unicode() {
#ifdef FAKE_ANSI
  return 0;
#else
  return 1;
#endif
}
#endif
EXPORT int32_t SetPath(const char16_t*) { return 0; }
EXPORT void GetFileFormat(MediaInfo*) {}
EXPORT void GetFileInfo(MediaInfo*) {}
EXPORT void GetFileInfoAuto(MediaInfo*) {}
EXPORT char* ConvertFull(const MediaInfo*, char* out) { return out; }
EXPORT int32_t ConvertFullLen(const MediaInfo*) { return 1; }
#ifndef FAKE_NO_CONVERT_ONE
EXPORT void ConvertOne(const MediaInfo*, char*) {}
#endif
EXPORT int32_t ConvertOneLen(const MediaInfo*) { return 1; }
