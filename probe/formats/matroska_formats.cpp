// Matroska.
#include "../containers/matroska.h"
#include "probex_formats.h"
#include "registry.h"

namespace probex {

namespace {

int32_t Matroska(const SignatureBlock& b, const char16_t*) {
  return BytesAt(b, 0, {0x1A, 0x45, 0xDF, 0xA3}) ? format::kMatroska : 0;
}

constexpr FormatRecord kRecords[] = {
    {format::kMatroska, "Matroska", "", 130, Matroska, AnalyzeMatroska, false},
};

}  // namespace

std::span<const FormatRecord> MatroskaFormats() { return kRecords; }

}  // namespace probex
