// Format detection: playlist extensions, signatures of the first 256 bytes
// (after a leading ID3v2 tag), then the extension fall-back.
#pragma once

#include <cstddef>
#include <cstdint>

#include "probex.h"

namespace probex {

inline constexpr size_t kSignatureBytes = 256;

void DetectFormat(MediaInfo& info);

// The rules on their own, for tests and for callers that hold the bytes.
int32_t PlaylistFormatFromPath(const char16_t* path);
int32_t SignatureFormat(const uint8_t (&block)[kSignatureBytes], const char16_t* path);
int32_t ExtensionFormat(const char16_t* path);
// Scans the ASF objects of an open file: 18 (video), 112 (audio only), 1 or 2.
int32_t ScanAsf(const char16_t* path);

}  // namespace probex
