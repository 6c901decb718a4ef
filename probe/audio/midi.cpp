#include "midi.h"

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

}  // namespace

bool ParseMidiHead(const uint8_t* head, size_t n, MidiInfo& info) {
  if (n > kMidiHeadBytes) n = kMidiHeadBytes;
  std::ptrdiff_t found = n >= kHeaderBytes ? FindNoCase(head, n - kHeaderBytes + 4, "MThd") : -1;
  if (found < 0) return false;
  size_t at = static_cast<size_t>(found);
  info.format = static_cast<uint16_t>(ReadU16BE(head, at + 8));
  uint32_t tracks = ReadU16BE(head, at + 10);
  info.tracks = static_cast<uint16_t>(tracks ? tracks - 1 : 0);
  info.division = ReadU16BE(head, at + 12);
  FindTitle(head, n, at, info.title);
  return true;
}

void AnalyzeMidi(MediaInfo& info) {
  FileReader reader;
  if (!OpenAudioFile(reader, info)) return;
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
}

}  // namespace probex
