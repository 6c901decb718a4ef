#include "twinvq.h"

#include <cstdint>

#include "../core/bits.h"
#include "../core/file_reader.h"
#include "../core/media_info.h"
#include "../core/messages.h"
#include "../core/templates.h"
#include "../core/text.h"
#include "audio_file.h"

namespace probex {

namespace {

constexpr size_t kHeadBytes = 16;  // "TWIN", codec id, header size

bool SampleRateOfCode(uint32_t code, uint32_t& rate) {
  switch (code) {
    case 11: rate = 11025; return true;
    case 16: rate = 16000; return true;
    case 22: rate = 22050; return true;
    case 44: rate = 44100; return true;
    default: return false;
  }
}

bool ReadCommChunk(VqInfo& info, FileReader& reader, uint64_t size) {
  uint8_t comm[16] = {};
  reader.Read(comm, size < sizeof comm ? static_cast<size_t>(size) : sizeof comm, false);
  info.channels = ReadU32BE(comm, 0) + 1;
  uint64_t bitrate = uint64_t{ReadU32BE(comm, 4)} * 1000;
  info.bitrate = bitrate > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(bitrate);
  uint32_t code = ReadU32BE(comm, 8);
  info.securityLevel = ReadU32BE(comm, 12);
  if (!SampleRateOfCode(code, info.sampleRate)) {
    FormatText(info.error, sizeof info.error, msg::kVqBadRate, static_cast<int>(code));
    return false;
  }
  info.duration = SafeDivide(info.streamSize * 8.0, info.bitrate);
  return true;
}

}  // namespace

bool ParseVqHeader(VqInfo& info, FileReader& reader) {
  uint8_t head[kHeadBytes] = {};
  reader.Read(head, sizeof head);
  if (!EqualNoCase(head, "TWIN", 4)) {
    CopyText(info.error, sizeof info.error, msg::kVqNotTwinVq);
    return false;
  }
  for (size_t i = 0; i < 8; ++i) info.codecId[i] = static_cast<char>(head[4 + i]);
  info.codecId[8] = '\0';
  uint64_t pos = reader.Tell();
  while (pos + 8 <= info.streamSize) {
    reader.Seek(static_cast<int64_t>(pos), 0);
    uint8_t chunk[8];
    if (reader.Read(chunk, sizeof chunk) < sizeof chunk) break;
    uint64_t size = ReadU32BE(chunk, 4);
    if (EqualNoCase(chunk, "DATA", 4)) break;
    if (EqualNoCase(chunk, "COMM", 4) && !ReadCommChunk(info, reader, size)) return false;
    pos += 8 + size;
  }
  return true;
}

void AnalyzeTwinVq(MediaInfo& info, FileReader& reader) {
  VqInfo vq = {};
  vq.streamSize = reader.Size();
  if (!ParseVqHeader(vq, reader)) {
    SetErrorText(info, vq.error);
    return;
  }
  LookupCodec(vq.codecName, sizeof vq.codecName, "VQ", vq.codecId);
  info.duration = vq.duration;

  Description d("VQ", "AUDIO");
  d.SetText("#codec#", vq.codecName);
  SetSampleRate(d, vq.sampleRate);
  d.Set("#channel#", "%u", vq.channels);
  SetBitrate(d, vq.bitrate);
  AddAudioText(info, d.Text());
}

}  // namespace probex
