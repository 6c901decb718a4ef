// Ogg, told apart by its first stream.
#include "../containers/ogg.h"
#include "probex_formats.h"
#include "registry.h"

namespace probex {

namespace {

int32_t OggFirstStream(const SignatureBlock& b, const char16_t*) {
  if (!SignatureAt(b, 0, "OggS")) return 0;
  if (SignatureAt(b, 29, "vorbis")) return format::kOggVorbis;
  if (SignatureAt(b, 28, "Speex")) return format::kOggSpeex;
  // Ogg FLAC: the first mapping ("fLaC") and the current one (7F "FLAC").
  if (SignatureAt(b, 28, "fLaC") || (b[28] == 0x7F && SignatureAt(b, 29, "FLAC"))) return format::kOggFlac;
  return format::kOggOther;
}

constexpr FormatRecord kRecords[] = {
    {format::kOggOther, "Ogg", "", 90, OggFirstStream, AnalyzeOgg, false},
    {format::kOggVorbis, "Ogg Vorbis", "", 90, OggFirstStream, AnalyzeOgg, false},
    {format::kOggSpeex, "Ogg Speex", "", 90, OggFirstStream, AnalyzeOgg, false},
    {format::kOggFlac, "Ogg FLAC", "", 90, OggFirstStream, AnalyzeOgg, false},
};

}  // namespace

std::span<const FormatRecord> OggFormats() { return kRecords; }

}  // namespace probex
