// QuickTime and the MPEG-4 file family.
#include "../containers/mp4.h"
#include "probex_formats.h"
#include "registry.h"

namespace probex {

namespace {

int32_t QuickTime(const SignatureBlock& b, const char16_t*) {
  return SignatureAt(b, 4, "moov") ? format::kQuickTime : 0;
}
int32_t Mp4(const SignatureBlock& b, const char16_t*) { return SignatureAt(b, 4, "ftyp") ? format::kMp4 : 0; }

constexpr FormatRecord kRecords[] = {
    {format::kQuickTime, "QuickTime", ".mov .qt", 70, QuickTime, AnalyzeMp4, false},
    {format::kMp4, "MP4", ".3gpp .3gp .3g2 .amc .mp4 .m4a .m4v", 80, Mp4, AnalyzeMp4, false},
};

}  // namespace

std::span<const FormatRecord> Mp4Formats() { return kRecords; }

}  // namespace probex
