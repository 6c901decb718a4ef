// The RIFF forms and AIFF, all walked by the RIFF analyzer.
#include <cstring>

#include "../containers/riff.h"
#include "../video/still_image_modern.h"
#include "probex_formats.h"
#include "registry.h"

namespace probex {

namespace {

// "RIFF" decides alone (and only in upper case): an unknown form is no
// file we know. RF64 and BW64 are WAVE files with 64-bit sizes.
int32_t RiffForm(const SignatureBlock& b, const char16_t*) {
  static constexpr struct {
    const char* form;
    int32_t formatId;
  } kForms[] = {
      {"AVI ", format::kAvi},   {"WAVE", format::kWave}, {"CDDA", format::kCdda}, {"RMP3", format::kRmp3},
      {"CDXA", format::kCdxa}, {"RMID", format::kRmid}, {"QLCM", format::kQlcm}, {"WEBP", format::kWebp},
  };
  if (std::memcmp(b, "RF64", 4) == 0 || std::memcmp(b, "BW64", 4) == 0)
    return SignatureAt(b, 8, "WAVE") ? format::kWave : 0;
  if (std::memcmp(b, "RIFF", 4) != 0) return 0;
  for (const auto& form : kForms)
    if (SignatureAt(b, 8, form.form)) return form.formatId;
  return format::kUnknown;
}

int32_t Aiff(const SignatureBlock& b, const char16_t*) {
  return SignatureAt(b, 8, "AIFF") || SignatureAt(b, 8, "AIFC") ? format::kAiff : 0;
}

constexpr FormatRecord kRecords[] = {
    {format::kAvi, "AVI", "", 50, RiffForm, AnalyzeRiff, false},
    {format::kWave, "WAVE", ".rmp", 50, RiffForm, AnalyzeRiff, false},
    {format::kCdda, "CDDA", "", 50, RiffForm, AnalyzeRiff, false},
    {format::kRmp3, "RMP3", "", 50, RiffForm, AnalyzeRiff, false},
    {format::kCdxa, "CDXA", "", 50, RiffForm, AnalyzeRiff, false},
    {format::kRmid, "RMID", "", 50, RiffForm, AnalyzeRiff, false},
    {format::kQlcm, "QLCM", "", 50, RiffForm, AnalyzeRiff, false},
    {format::kWebp, "WebP", "", 50, RiffForm, AnalyzeWebp, false},
    {format::kAiff, "AIFF", "", 170, Aiff, AnalyzeRiff, false},
};

}  // namespace

std::span<const FormatRecord> RiffFormats() { return kRecords; }

}  // namespace probex
