/* probex: media file analysis library, C ABI.
 *
 * The caller owns every record and buffer. Zero-fill a MediaInfo, write the
 * UTF-16 path, call GetFileInfoAuto (or GetFileFormat then GetFileInfo), then
 * ask for a report: call the *Len export and hand a zero-filled buffer of at
 * least that many bytes to the matching Convert export. All text in the record
 * and in the reports is Shift_JIS (CP932); paths are UTF-16 on every platform.
 */
#ifndef PROBEX_H
#define PROBEX_H

#include <stdint.h>

#ifdef __cplusplus
#include <cstddef>
typedef char16_t probex_char16;
#else
#include <stddef.h>
#include <uchar.h>
typedef char16_t probex_char16;
#endif

#if defined(_WIN32)
#if defined(PROBEX_BUILDING)
#define PROBEX_API __declspec(dllexport)
#else
#define PROBEX_API __declspec(dllimport)
#endif
#define PROBEX_CALL __stdcall
#else
#define PROBEX_API __attribute__((visibility("default")))
#define PROBEX_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

#define PROBEX_PATH_UNITS 256
#define PROBEX_NAME_BYTES 32
#define PROBEX_TEXT_BYTES 512
#define PROBEX_MAX_VIDEO 10
#define PROBEX_MAX_AUDIO 10
#define PROBEX_MAX_EXTRA 5
#define PROBEX_VERSION 130101

/* 13,888 bytes, no padding anywhere: the field order makes every field
 * naturally aligned, so C and C++ callers on any compiler agree on it. */
typedef struct MediaInfo {
    probex_char16 path[PROBEX_PATH_UNITS];      /* caller-written, never changed */
    int32_t formatId;                           /* set by GetFileFormat */
    char formatName[PROBEX_NAME_BYTES];         /* container label */
    char errorText[PROBEX_TEXT_BYTES];          /* non-empty: analysis failed */
    char videoText[PROBEX_MAX_VIDEO][PROBEX_TEXT_BYTES];
    int32_t videoCount;
    char audioText[PROBEX_MAX_AUDIO][PROBEX_TEXT_BYTES];
    int32_t audioCount;
    char extraText[PROBEX_MAX_EXTRA][PROBEX_TEXT_BYTES];
    int32_t extraCount;
    double duration;                            /* seconds; -1.0 unknown */
    uint64_t fileSize;
} MediaInfo;

#ifdef __cplusplus
static_assert(sizeof(MediaInfo) == 13888, "MediaInfo size");
static_assert(offsetof(MediaInfo, path) == 0, "path");
static_assert(offsetof(MediaInfo, formatId) == 512, "formatId");
static_assert(offsetof(MediaInfo, formatName) == 516, "formatName");
static_assert(offsetof(MediaInfo, errorText) == 548, "errorText");
static_assert(offsetof(MediaInfo, videoText) == 1060, "videoText");
static_assert(offsetof(MediaInfo, videoCount) == 6180, "videoCount");
static_assert(offsetof(MediaInfo, audioText) == 6184, "audioText");
static_assert(offsetof(MediaInfo, audioCount) == 11304, "audioCount");
static_assert(offsetof(MediaInfo, extraText) == 11308, "extraText");
static_assert(offsetof(MediaInfo, extraCount) == 13868, "extraCount");
static_assert(offsetof(MediaInfo, duration) == 13872, "duration");
static_assert(offsetof(MediaInfo, fileSize) == 13880, "fileSize");
#else
_Static_assert(sizeof(MediaInfo) == 13888, "MediaInfo size");
_Static_assert(offsetof(MediaInfo, path) == 0, "path");
_Static_assert(offsetof(MediaInfo, formatId) == 512, "formatId");
_Static_assert(offsetof(MediaInfo, formatName) == 516, "formatName");
_Static_assert(offsetof(MediaInfo, errorText) == 548, "errorText");
_Static_assert(offsetof(MediaInfo, videoText) == 1060, "videoText");
_Static_assert(offsetof(MediaInfo, videoCount) == 6180, "videoCount");
_Static_assert(offsetof(MediaInfo, audioText) == 6184, "audioText");
_Static_assert(offsetof(MediaInfo, audioCount) == 11304, "audioCount");
_Static_assert(offsetof(MediaInfo, extraText) == 11308, "extraText");
_Static_assert(offsetof(MediaInfo, extraCount) == 13868, "extraCount");
_Static_assert(offsetof(MediaInfo, duration) == 13872, "duration");
_Static_assert(offsetof(MediaInfo, fileSize) == 13880, "fileSize");
#endif

/* 130101 */
PROBEX_API int32_t PROBEX_CALL GetDllVersion(void);
/* 1: paths are UTF-16 */
PROBEX_API int32_t PROBEX_CALL Unicode(void);
/* Directory of FORMAT.INI and CODECS.INI, ending with a separator.
 * 0 when stored; the text's length (and an empty directory) when it has
 * 256 units or more. */
PROBEX_API int32_t PROBEX_CALL SetPath(const probex_char16 *directory);
PROBEX_API void PROBEX_CALL GetFileFormat(MediaInfo *info);
PROBEX_API void PROBEX_CALL GetFileInfo(MediaInfo *info);
PROBEX_API void PROBEX_CALL GetFileInfoAuto(MediaInfo *info);
/* Append the multi-line report (an error replaces the buffer's text). */
PROBEX_API char *PROBEX_CALL ConvertFull(const MediaInfo *info, char *out);
PROBEX_API int32_t PROBEX_CALL ConvertFullLen(const MediaInfo *info);
/* Append the one-line summary (an error replaces the buffer's text). */
PROBEX_API void PROBEX_CALL ConvertOne(const MediaInfo *info, char *out);
PROBEX_API int32_t PROBEX_CALL ConvertOneLen(const MediaInfo *info);

#ifdef __cplusplus
}
#endif

#endif
