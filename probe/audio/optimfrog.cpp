#include "optimfrog.h"

#include "../core/bits.h"
#include "../core/file_reader.h"
#include "../core/media_info.h"
#include "../core/messages.h"
#include "../core/templates.h"
#include "../core/text.h"
#include "audio_file.h"
#include "tags.h"

namespace probex {

namespace {

// The header chunk of version 4.21 on; its last 3 bytes (encoder and mode)
// came in later, hence the size tests.
constexpr uint32_t kHeaderBaseBytes = 12;
constexpr uint32_t kHeaderModeBytes = 15;

constexpr const char* kCompressionModes[] = {"Fast",   "Normal",  "High",     "Extra",  "Best",
                                             "Ultra",  "Insane",  "Highnew", "Extranew", "Bestnew"};
constexpr const char* kSpeedModes[] = {"1x", "2x", "4x"};

uint16_t BitsOfSampleType(uint8_t type) {
  if (type <= 1) return 8;
  if (type <= 3) return 16;
  if (type <= 5) return 24;
  if (type <= 10) return 32;
  return 0;
}

struct ChunkWalk {
  bool headerSeen = false;
  uint64_t totalSamples = 0;
  bool compSeen = false;
  uint64_t compPosition = 0;
  bool tailSeen = false;
  uint64_t tailPosition = 0;
};

bool ReadHeaderChunk(OfrInfo& info, FileReader& reader, uint64_t size, ChunkWalk& walk) {
  uint8_t h[kHeaderModeBytes] = {};
  reader.Read(h, size < sizeof h ? static_cast<size_t>(size) : sizeof h, false);
  walk.headerSeen = true;
  walk.totalSamples = ReadUIntLE(h, 6);
  info.bitsPerSample = BitsOfSampleType(h[6]);
  info.channels = static_cast<uint16_t>(h[7] + (size > kHeaderBaseBytes ? 1 : 0));
  info.sampleRate = ReadU32LE(h, 8);
  CopyText(info.streamText, sizeof info.streamText, "SingleStream");
  if (size < kHeaderModeBytes) return true;
  uint32_t compression = h[14] >> 3;
  uint32_t speed = h[14] & 7;
  if (compression >= sizeof kCompressionModes / sizeof kCompressionModes[0]) {
    FormatText(info.error, sizeof info.error, msg::kOfrBadCompression, static_cast<int>(compression));
    return false;
  }
  if (speed >= sizeof kSpeedModes / sizeof kSpeedModes[0]) {
    FormatText(info.error, sizeof info.error, msg::kOfrBadSpeed, static_cast<int>(speed));
    return false;
  }
  CopyText(info.compressionText, sizeof info.compressionText, kCompressionModes[compression]);
  CopyText(info.speedText, sizeof info.speedText, kSpeedModes[speed]);
  return true;
}

}  // namespace

bool WalkOfrChunks(OfrInfo& info, FileReader& reader) {
  uint8_t head[5] = {};
  reader.Read(head, sizeof head, false);
  if (!EqualNoCase(head, "OFR", 3)) {  // "*RIFF": the layout before 4.21
    CopyText(info.error, sizeof info.error, msg::kOfrOldHeader);
    return false;
  }
  ChunkWalk walk;
  uint64_t pos = reader.Tell();
  while (pos + 8 <= reader.Size()) {
    reader.Seek(static_cast<int64_t>(pos), 0);
    uint8_t chunk[8];
    reader.Read(chunk, sizeof chunk);
    uint64_t size = ReadU32LE(chunk, 4);
    if (EqualNoCase(chunk, "OFR ", 4)) {
      // Shorter than its fixed fields, it holds no header to read.
      if (size >= kHeaderBaseBytes && !walk.headerSeen && !ReadHeaderChunk(info, reader, size, walk)) return false;
    } else if (EqualNoCase(chunk, "COMP", 4) && !walk.compSeen) {
      walk.compSeen = true;
      walk.compPosition = pos + 4;
    } else if (EqualNoCase(chunk, "TAIL", 4) && !walk.tailSeen) {
      walk.tailSeen = true;
      walk.tailPosition = pos + 4;
    }
    pos += 8 + size;
  }
  // Without it every figure would be 0 / 0.
  if (!walk.headerSeen) {
    CopyText(info.error, sizeof info.error, msg::kOfrNoHeader);
    return false;
  }
  uint64_t tail = walk.tailSeen ? walk.tailPosition : reader.Size();
  info.duration = SafeDivide(static_cast<double>(walk.totalSamples), static_cast<double>(info.channels) * info.sampleRate);
  info.bitrate = SafeDivide(SubtractOrZero(tail, walk.compPosition) * 8.0, info.duration);
  if (FileExists(info.correctionPath)) CopyText(info.streamText, sizeof info.streamText, "DualStream");
  return true;
}

void AnalyzeOptimFrog(MediaInfo& info, FileReader& reader) {
  OfrInfo ofr = {};
  ofr.streamSize = reader.Size();
  if (!MakeCorrectionPath(info.path, ".ofc", ofr.correctionPath)) ofr.correctionPath[0] = u'\0';
  TagInfo leading = {};
  FindTags(reader, leading);
  SkipLeadingId3v2(reader, leading);
  if (!WalkOfrChunks(ofr, reader)) {
    SetErrorText(info, ofr.error);
    return;
  }
  info.duration = ofr.duration;

  Description d("OPTIMFROG", "AUDIO");
  d.SetText("#hybrid#", ofr.streamText);
  SetSampleRate(d, ofr.sampleRate);
  d.Set("#bitdepth#", "%u", ofr.bitsPerSample);
  d.Set("#channel#", "%u", ofr.channels);
  SetBitrate(d, ofr.bitrate);
  d.SetText("#comptype#", ofr.compressionText);
  d.SetText("#compspeed#", ofr.speedText);
  AddAudioText(info, d.Text());
}

}  // namespace probex
