// RealMedia and the bare RealAudio file.
#include "../audio/real_audio.h"
#include "../containers/realmedia.h"
#include "probex_formats.h"
#include "registry.h"

namespace probex {

namespace {

int32_t RealMedia(const SignatureBlock& b, const char16_t*) {
  return SignatureAt(b, 0, ".RMF") ? format::kRealMedia : 0;
}
int32_t RealAudio(const SignatureBlock& b, const char16_t*) {
  return BytesAt(b, 0, {0x2E, 0x72, 0x61, 0xFD}) ? format::kRealAudio : 0;
}

constexpr FormatRecord kRecords[] = {
    {format::kRealMedia, "RealMedia", "", 100, RealMedia, AnalyzeRealMedia, false},
    {format::kRealAudio, "RealAudio", "", 110, RealAudio, AnalyzeRealAudio, false},
};

}  // namespace

std::span<const FormatRecord> RealMediaFormats() { return kRecords; }

}  // namespace probex
