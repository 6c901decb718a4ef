// Bare audio streams: MPEG audio, AAC, AC-3 and DTS.
#include "../audio/aac.h"
#include "../audio/ac3.h"
#include "../audio/dts.h"
#include "../audio/mpeg_audio.h"
#include "probex_formats.h"
#include "registry.h"

namespace probex {

namespace {

// 14-bit little-endian DTS starts FF 1F: it must be tested before the ADTS
// and MPEG audio rules, which would take it for their own.
int32_t Dts14Le(const SignatureBlock& b, const char16_t*) {
  return BytesAt(b, 0, {0xFF, 0x1F, 0x00, 0xE8}) && (b[4] & 0xF0) == 0xF0 && b[5] == 0x07 ? format::kDts14Le : 0;
}
int32_t Aac(const SignatureBlock& b, const char16_t*) {
  bool adts = b[0] == 0xFF && ((b[1] & 0xFE) == 0xF0 || (b[1] & 0xFE) == 0xF8);
  return SignatureAt(b, 0, "ADIF") || adts ? format::kAac : 0;
}
int32_t MpegAudio(const SignatureBlock& b, const char16_t*) {
  return b[0] == 0xFF && b[1] >= 0x10 ? format::kMpegAudio : 0;
}
int32_t Ac3(const SignatureBlock& b, const char16_t*) { return BytesAt(b, 0, {0x0B, 0x77}) ? format::kAc3 : 0; }
int32_t Dts14Be(const SignatureBlock& b, const char16_t*) {
  return BytesAt(b, 0, {0x1F, 0xFF, 0xE8, 0x00, 0x07}) && (b[5] & 0xF0) == 0xF0 ? format::kDts14Be : 0;
}
int32_t Dts16Le(const SignatureBlock& b, const char16_t*) {
  return BytesAt(b, 0, {0xFE, 0x7F, 0x01, 0x80}) ? format::kDts16Le : 0;
}
int32_t Dts16Be(const SignatureBlock& b, const char16_t*) {
  return BytesAt(b, 0, {0x7F, 0xFE, 0x80, 0x01}) ? format::kDts16Be : 0;
}

constexpr FormatRecord kRecords[] = {
    {format::kDts14Le, "DTS 14-bit LE", "", 175, Dts14Le, AnalyzeDts, false},
    {format::kAac, "AAC", ".aac", 180, Aac, AnalyzeAac, false},
    {format::kMpegAudio, "MPEG audio", ".mpga .mp3 .mp2 .mpa", 200, MpegAudio, AnalyzeMpegAudio, false},
    {format::kAc3, "AC-3", ".ac3", 210, Ac3, AnalyzeAc3, false},
    {format::kDts14Be, "DTS 14-bit BE", "", 290, Dts14Be, AnalyzeDts, false},
    {format::kDts16Le, "DTS LE", "", 300, Dts16Le, AnalyzeDts, false},
    {format::kDts16Be, "DTS", "", 310, Dts16Be, AnalyzeDts, false},
};

}  // namespace

std::span<const FormatRecord> AudioStreamFormats() { return kRecords; }

}  // namespace probex
