// Still images.
#include <cstring>

#include "../video/still_image.h"
#include "../video/still_image_modern.h"
#include "probex_formats.h"
#include "registry.h"

namespace probex {

namespace {

int32_t Jpeg(const SignatureBlock& b, const char16_t*) {
  return SignatureAt(b, 6, "JFIF") || SignatureAt(b, 6, "Exif") ? format::kJpeg : 0;
}
int32_t Bmp(const SignatureBlock& b, const char16_t*) { return SignatureAt(b, 0, "BM") ? format::kBmp : 0; }
int32_t Gif(const SignatureBlock& b, const char16_t*) { return SignatureAt(b, 0, "GIF") ? format::kGif : 0; }
int32_t Png(const SignatureBlock& b, const char16_t*) {
  static constexpr uint8_t kMagic[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  return std::memcmp(b, kMagic, sizeof kMagic) == 0 ? format::kPng : 0;
}

constexpr FormatRecord kRecords[] = {
    {format::kJpeg, "JPEG", "", 10, Jpeg, AnalyzeJpeg, false},
    {format::kBmp, "BMP", "", 30, Bmp, AnalyzeBmp, false},
    {format::kGif, "GIF", "", 40, Gif, AnalyzeGif, false},
    {format::kPng, "PNG", "", 45, Png, AnalyzePng, false},
};

}  // namespace

std::span<const FormatRecord> ImageFormats() { return kRecords; }

}  // namespace probex
