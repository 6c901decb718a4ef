// Standard MIDI files: the "MThd" header and the first name event.
#pragma once

#include <cstddef>
#include <cstdint>

#include "probex.h"

namespace probex {

class FileReader;

struct MidiInfo {
  uint16_t format;
  uint16_t tracks;  // the track count less the conductor track
  uint32_t division;
  char title[256];
  uint32_t headerAt;  // offset of "MThd" in the bytes given
};

inline constexpr size_t kMidiHeadBytes = 256;

// head: the first bytes of the file (at most 256). False when no "MThd"
// header lies wholly inside them.
bool ParseMidiHead(const uint8_t* head, size_t n, MidiInfo& info);

// The playing time of the tracks that follow the header at headerStart
// (merged, through the tempo map), reading no further than end; 0 when they
// hold no events. Bounded in bytes and events.
double MidiPlayingTime(FileReader& reader, uint64_t headerStart, uint64_t end, const MidiInfo& info);

void AnalyzeMidi(MediaInfo& info, FileReader& reader);

}  // namespace probex
