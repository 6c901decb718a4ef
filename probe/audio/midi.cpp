#include "midi.h"

#include <algorithm>
#include <vector>

#include "../core/bits.h"
#include "../core/file_reader.h"
#include "../core/media_info.h"
#include "../core/messages.h"
#include "../core/templates.h"
#include "../core/text.h"
#include "audio_file.h"

namespace probex {

namespace {

// "MThd", length, format, track count, division.
constexpr size_t kHeaderBytes = 14;

// The text of the first FF 03 (sequence or track name) event from start on,
// cut to the bytes at hand, without trailing spaces.
void FindTitle(const uint8_t* head, size_t n, size_t start, char (&title)[256]) {
  title[0] = '\0';
  for (size_t p = start; p + 2 < n; ++p) {
    if (head[p] != 0xFF || head[p + 1] != 0x03) continue;
    size_t length = head[p + 2];
    size_t from = p + 3;
    size_t available = n - from;
    if (length > available) length = available;
    if (length > sizeof title - 1) length = sizeof title - 1;
    for (size_t i = 0; i < length; ++i) title[i] = static_cast<char>(head[from + i]);
    title[length] = '\0';
    size_t end = BoundedLength(title, sizeof title);
    while (end > 0 && title[end - 1] == ' ') title[--end] = '\0';
    return;
  }
}

constexpr size_t kMaxTrackBytes = 16u << 20;   // all tracks together
constexpr size_t kMaxEvents = 4u << 20;
constexpr int kMaxChunks = 4096;

struct TempoChange {
  uint64_t tick;
  uint32_t microsecondsPerQuarter;
};

// A variable-length quantity of at most four bytes; false past the end.
bool ReadVlq(const std::vector<uint8_t>& b, size_t& p, uint32_t& value) {
  value = 0;
  for (int i = 0; i < 4; ++i) {
    if (p >= b.size()) return false;
    uint8_t c = b[p++];
    value = value << 7 | (c & 0x7Fu);
    if (!(c & 0x80)) return true;
  }
  return true;
}

// Walks one track's events; adds its tempo changes and returns its length
// in ticks. A damaged event ends the track where it stands.
uint64_t WalkTrack(const std::vector<uint8_t>& b, std::vector<TempoChange>& tempos, size_t& events) {
  uint64_t tick = 0;
  uint8_t running = 0;
  size_t p = 0;
  while (p < b.size() && events < kMaxEvents) {
    ++events;
    uint32_t delta;
    if (!ReadVlq(b, p, delta) || p >= b.size()) break;
    tick += delta;
    uint8_t status = b[p];
    if (status & 0x80) {
      ++p;
    } else if (running) {
      status = running;  // running status: the byte is the first data byte
    } else {
      break;
    }
    if (status == 0xFF) {
      if (p >= b.size()) break;
      uint8_t type = b[p++];
      uint32_t length;
      if (!ReadVlq(b, p, length) || length > b.size() - p) break;
      if (type == 0x51 && length >= 3 && tempos.size() < kMaxEvents)
        tempos.push_back({tick, uint32_t{b[p]} << 16 | uint32_t{b[p + 1]} << 8 | b[p + 2]});
      p += length;
      if (type == 0x2F) break;
    } else if (status == 0xF0 || status == 0xF7) {
      uint32_t length;
      if (!ReadVlq(b, p, length) || length > b.size() - p) break;
      p += length;
      running = 0;
    } else if (status >= 0xF0) {
      p += status == 0xF2 ? 2 : (status == 0xF1 || status == 0xF3) ? 1 : 0;
    } else {
      running = status;
      uint8_t kind = status & 0xF0;
      p += (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
    }
  }
  return tick;
}

}  // namespace

double MidiPlayingTime(FileReader& reader, uint64_t headerStart, uint64_t end, const MidiInfo& info) {
  if (end > reader.Size()) end = reader.Size();
  std::vector<TempoChange> tempos;
  std::vector<uint64_t> trackTicks;
  std::vector<uint8_t> track;
  size_t events = 0, budget = kMaxTrackBytes;
  uint64_t at = headerStart;
  for (int chunk = 0; chunk < kMaxChunks && at + 8 <= end && budget > 0; ++chunk) {
    uint8_t header[8] = {};
    reader.Seek(static_cast<int64_t>(at), 0);
    if (reader.Read(header, 8) < 8) break;
    uint64_t length = ReadU32BE(header, 4);
    if (EqualNoCase(header, "MTrk", 4)) {
      size_t take = static_cast<size_t>(std::min<uint64_t>({length, end - at - 8, budget}));
      track.assign(take, 0);
      take = reader.Read(track.data(), take);
      track.resize(take);
      budget -= take;
      trackTicks.push_back(WalkTrack(track, tempos, events));
    }
    at += 8 + length;
  }
  if (trackTicks.empty()) return 0.0;
  // Format 2 holds independent sequences played one after another.
  uint64_t ticks = 0;
  for (uint64_t t : trackTicks) ticks = info.format == 2 ? ticks + t : std::max(ticks, t);

  if (info.division & 0x8000) {
    // SMPTE: frames per second (negative, -29 meaning 29.97) and ticks per frame.
    int fps = -static_cast<int8_t>(info.division >> 8);
    uint32_t perFrame = info.division & 0xFF;
    double rate = fps == 29 ? 30000.0 / 1001 : fps;
    return rate > 0 && perFrame > 0 ? static_cast<double>(ticks) / (rate * perFrame) : 0.0;
  }
  if (info.division == 0) return 0.0;
  std::stable_sort(tempos.begin(), tempos.end(),
                   [](const TempoChange& a, const TempoChange& b) { return a.tick < b.tick; });
  double seconds = 0;
  uint64_t from = 0;
  uint32_t tempo = 500000;  // 120 quarter notes a minute until told otherwise
  for (const TempoChange& change : tempos) {
    if (change.tick >= ticks) break;
    seconds += static_cast<double>(change.tick - from) * tempo / (1e6 * info.division);
    from = change.tick;
    tempo = change.microsecondsPerQuarter;
  }
  seconds += static_cast<double>(ticks - from) * tempo / (1e6 * info.division);
  return seconds;
}

bool ParseMidiHead(const uint8_t* head, size_t n, MidiInfo& info) {
  if (n > kMidiHeadBytes) n = kMidiHeadBytes;
  std::ptrdiff_t found = n >= kHeaderBytes ? FindNoCase(head, n - kHeaderBytes + 4, "MThd") : -1;
  if (found < 0) return false;
  size_t at = static_cast<size_t>(found);
  info.headerAt = static_cast<uint32_t>(at);
  info.format = static_cast<uint16_t>(ReadU16BE(head, at + 8));
  uint32_t tracks = ReadU16BE(head, at + 10);
  info.tracks = static_cast<uint16_t>(tracks ? tracks - 1 : 0);
  info.division = ReadU16BE(head, at + 12);
  FindTitle(head, n, at, info.title);
  return true;
}

void AnalyzeMidi(MediaInfo& info, FileReader& reader) {
  uint8_t head[kMidiHeadBytes] = {};
  size_t n = reader.Read(head, sizeof head);
  MidiInfo midi = {};
  if (!ParseMidiHead(head, n, midi)) {
    SetErrorText(info, msg::kMidiNoMThd);
    return;
  }
  Description d("MIDI", midi.title[0] ? "AUDIO1" : "AUDIO2");
  d.Set("#format#", "%u", midi.format);
  d.Set("#track#", "%u", midi.tracks);
  d.Set("#delta#", "%u", midi.division);
  if (midi.title[0]) d.SetText("#title#", midi.title);
  AddAudioText(info, d.Text());
  info.duration = MidiPlayingTime(reader, midi.headerAt, reader.Size(), midi);
}

}  // namespace probex
