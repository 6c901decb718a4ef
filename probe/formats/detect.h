// Format detection: playlist extensions, signatures of the first 256 bytes
// (after a leading ID3v2 tag), then the extension fall-back, all from the
// registry of formats.
#pragma once

#include <cstdint>

#include "probex.h"
#include "registry.h"

namespace probex {

void DetectFormat(MediaInfo& info);

// The rules on their own, for tests and for callers that hold the bytes.
int32_t PlaylistFormatFromPath(const char16_t* path);
int32_t SignatureFormat(const SignatureBlock& block, const char16_t* path);
int32_t ExtensionFormat(const char16_t* path);

}  // namespace probex
