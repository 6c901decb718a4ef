// Flash Video.
#include "../containers/flash_video.h"
#include "probex_formats.h"
#include "registry.h"

namespace probex {

namespace {

int32_t FlashVideo(const SignatureBlock& b, const char16_t*) {
  return SignatureAt(b, 0, "FLV") ? format::kFlashVideo : 0;
}

constexpr FormatRecord kRecords[] = {
    {format::kFlashVideo, "Flash Video", "", 140, FlashVideo, AnalyzeFlashVideo, false},
};

}  // namespace

std::span<const FormatRecord> FlashVideoFormats() { return kRecords; }

}  // namespace probex
