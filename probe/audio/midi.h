// Standard MIDI files: the "MThd" header and the first name event.
#pragma once

#include <cstddef>
#include <cstdint>

#include "probex.h"

namespace probex {

struct MidiInfo {
  uint16_t format;
  uint16_t tracks;  // the track count less the conductor track
  uint32_t division;
  char title[256];
};

inline constexpr size_t kMidiHeadBytes = 256;

// head: the first bytes of the file (at most 256). False when no "MThd"
// header lies wholly inside them.
bool ParseMidiHead(const uint8_t* head, size_t n, MidiInfo& info);

void AnalyzeMidi(MediaInfo& info);

}  // namespace probex
