// Pieces shared by the analyzers of bare audio files: guarded arithmetic,
// the rate placeholders, leading ID3v2 tags and correction files.
#pragma once

#include <cstdint>

#include "probex.h"

namespace probex {

class Description;
class FileReader;
struct TagInfo;

// a / b, or 0 when b is not positive: an unknown rate or length leaves a
// duration or bit rate at 0 instead of inf or NaN.
double SafeDivide(double a, double b);
// a - b, or 0 when b is larger.
uint64_t SubtractOrZero(uint64_t a, uint64_t b);

// #sampleratek# ("%.2f" kHz) and #samplerate# ("%d").
void SetSampleRate(Description& d, uint32_t rate);
// #bitratek# ("%.2f" kbit/s) and #bitrate# ("%.2f").
void SetBitrate(Description& d, double bitrate);
// Sample rate (kHz and whole Hz), bit rate (kbit/s and bit/s) and channels.
void SetCommonAudio(Description& d, double sampleRate, double bitRate, int channels);

// DescribeTags as an extra entry, when any tag was found.
void AddTagText(MediaInfo& info, const TagInfo& tags);

// Detection looks behind leading ID3v2 tags; the analyzers read their header
// from there too. tags comes from FindTags at the reader's position.
void SkipLeadingId3v2(FileReader& reader, const TagInfo& tags);

// The path with everything from the last "." of its file name replaced by
// extension (".wvc", ".ofc"); false when that does not fit.
bool MakeCorrectionPath(const char16_t* path, const char* extension, char16_t (&out)[PROBEX_PATH_UNITS]);
// Whether a file can be opened; false for an empty path.
bool FileExists(const char16_t* path);

}  // namespace probex
