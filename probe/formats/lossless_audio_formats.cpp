// Lossless audio files.
#include <cstring>

#include "../audio/flac.h"
#include "../audio/monkeys_audio.h"
#include "../audio/musepack.h"
#include "../audio/optimfrog.h"
#include "../audio/tta.h"
#include "../audio/wavpack.h"
#include "probex_formats.h"
#include "registry.h"

namespace probex {

namespace {

int32_t MonkeysAudio(const SignatureBlock& b, const char16_t*) {
  return SignatureAt(b, 0, "MAC") ? format::kMonkeysAudio : 0;
}
int32_t MusePack(const SignatureBlock& b, const char16_t*) {
  return SignatureAt(b, 0, "MP+") || std::memcmp(b, "MPCK", 4) == 0 ? format::kMusePack : 0;
}
int32_t Flac(const SignatureBlock& b, const char16_t*) { return SignatureAt(b, 0, "fLaC") ? format::kFlac : 0; }
int32_t Tta(const SignatureBlock& b, const char16_t*) { return SignatureAt(b, 0, "TTA") ? format::kTta : 0; }
int32_t WavPack(const SignatureBlock& b, const char16_t*) { return SignatureAt(b, 0, "wvpk") ? format::kWavPack : 0; }
int32_t OptimFrog(const SignatureBlock& b, const char16_t*) {
  return SignatureAt(b, 0, "OFR") || SignatureAt(b, 0, "*RIFF") ? format::kOptimFrog : 0;
}

constexpr FormatRecord kRecords[] = {
    {format::kMonkeysAudio, "Monkey's Audio", "", 220, MonkeysAudio, AnalyzeMonkeysAudio, false},
    {format::kMusePack, "MusePack", "", 230, MusePack, AnalyzeMusePack, false},
    {format::kFlac, "FLAC", "", 240, Flac, AnalyzeFlac, false},
    {format::kTta, "TTA", "", 250, Tta, AnalyzeTta, false},
    {format::kWavPack, "WavPack", "", 260, WavPack, AnalyzeWavPack, false},
    {format::kOptimFrog, "OptimFROG", "", 270, OptimFrog, AnalyzeOptimFrog, false},
};

}  // namespace

std::span<const FormatRecord> LosslessAudioFormats() { return kRecords; }

}  // namespace probex
