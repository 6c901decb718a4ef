// MIDI, Sun/NeXT audio, TwinVQ, S98, Shockwave Audio and Apple Core Audio.
#include <cstring>

#include "../audio/caf.h"
#include "../audio/midi.h"
#include "../audio/s98.h"
#include "../audio/shockwave_audio.h"
#include "../audio/sun_audio.h"
#include "../audio/twinvq.h"
#include "probex_formats.h"
#include "registry.h"

namespace probex {

namespace {

int32_t Midi(const SignatureBlock& b, const char16_t*) { return SignatureAt(b, 0, "MThd") ? format::kMidi : 0; }
int32_t SunAudio(const SignatureBlock& b, const char16_t*) { return SignatureAt(b, 0, ".snd") ? format::kSunAudio : 0; }
int32_t TwinVq(const SignatureBlock& b, const char16_t*) { return SignatureAt(b, 0, "TWIN") ? format::kTwinVq : 0; }
int32_t S98(const SignatureBlock& b, const char16_t*) { return SignatureAt(b, 0, "S98") ? format::kS98 : 0; }
int32_t Caf(const SignatureBlock& b, const char16_t*) { return std::memcmp(b, "caff", 4) == 0 ? format::kCaf : 0; }
int32_t Shockwave(const SignatureBlock& b, const char16_t*) {
  return SignatureAt(b, 36, "MACRZ") ? format::kShockwaveAudio : 0;
}

constexpr FormatRecord kRecords[] = {
    {format::kMidi, "MIDI", "", 150, Midi, AnalyzeMidi, false},
    {format::kSunAudio, "Sun/NeXT audio", "", 160, SunAudio, AnalyzeSunAudio, false},
    {format::kTwinVq, "TwinVQ", "", 320, TwinVq, AnalyzeTwinVq, false},
    {format::kS98, "S98", "", 330, S98, AnalyzeS98, false},
    {format::kShockwaveAudio, "Shockwave Audio", "", 350, Shockwave, AnalyzeShockwaveAudio, false},
    {format::kCaf, "CAF", "", 360, Caf, AnalyzeCaf, false},
};

}  // namespace

std::span<const FormatRecord> OtherAudioFormats() { return kRecords; }

}  // namespace probex
