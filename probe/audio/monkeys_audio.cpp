#include "monkeys_audio.h"

#include "../core/bits.h"
#include "../core/file_reader.h"
#include "../core/media_info.h"
#include "../core/templates.h"
#include "../core/text.h"
#include "audio_file.h"

namespace probex {

namespace {

// Headers before this version have no descriptor.
constexpr uint32_t kDescriptorVersion = 3980;
constexpr uint32_t kDescriptorBytes = 52;

constexpr uint32_t kFlag8Bit = 1;
constexpr uint32_t kFlag24Bit = 8;

const char* CompressionText(uint32_t level) {
  switch (level) {
    case 0: return "Unknown";
    case 1000: return "Fast";
    case 2000: return "Normal";
    case 3000: return "High";
    case 4000: return "Extra-High";
    case 5000: return "Insane";
    default: return "Invalid";
  }
}

uint32_t OldBlocksPerFrame(uint32_t version, uint32_t level) {
  if (version >= 3950) return 294912;
  if (version >= 3900) return 73728;
  if (version >= 3800 && level == 4000) return 73728;
  return 9216;
}

}  // namespace

void ParseApeHeader(const uint8_t (&header)[kApeHeaderBytes], ApeInfo& info) {
  uint32_t version = ReadU16LE(header, 4);
  uint32_t level = 0, blocksPerFrame = 0, finalFrameBlocks = 0;
  uint64_t wavHeaderBytes = 0;
  if (version < kDescriptorVersion) {
    level = ReadU16LE(header, 6);
    uint32_t flags = ReadU16LE(header, 8);
    info.channels = static_cast<uint16_t>(ReadU16LE(header, 10));
    info.sampleRate = ReadU32LE(header, 12);
    wavHeaderBytes = ReadU32LE(header, 16);
    info.totalFrames = ReadU32LE(header, 24);
    finalFrameBlocks = ReadU32LE(header, 28);
    info.bitsPerSample = (flags & kFlag24Bit) ? 24 : (flags & kFlag8Bit) ? 8 : 16;
    blocksPerFrame = OldBlocksPerFrame(version, level);
  } else {
    const uint8_t* h = header + kDescriptorBytes;
    level = ReadU16LE(h, 0);
    blocksPerFrame = ReadU32LE(h, 4);
    finalFrameBlocks = ReadU32LE(h, 8);
    info.totalFrames = ReadU32LE(h, 12);
    info.bitsPerSample = static_cast<uint16_t>(ReadU16LE(h, 16));
    info.channels = static_cast<uint16_t>(ReadU16LE(h, 18));
    info.sampleRate = ReadU32LE(h, 20);
  }
  CopyText(info.compressionText, sizeof info.compressionText, CompressionText(level));

  // A file without frames holds no blocks (not (0 - 1) frames' worth).
  double totalBlocks =
      info.totalFrames ? (info.totalFrames - 1.0) * blocksPerFrame + finalFrameBlocks : 0.0;
  info.duration = SafeDivide(totalBlocks, info.sampleRate);
  if (info.computeDuration) {
    double pcmBits = static_cast<double>(info.bitsPerSample) * info.channels * totalBlocks;
    double pcmBytes = pcmBits / 8 + static_cast<double>(wavHeaderBytes);
    info.bitrate = SafeDivide(pcmBits, info.duration) * SafeDivide(static_cast<double>(info.streamSize), pcmBytes);
  }
}

void AnalyzeMonkeysAudio(MediaInfo& info, FileReader& reader) {
  ApeInfo ape = {};
  ape.streamSize = reader.Size();
  ape.computeDuration = true;
  ape.tags.searchEnd = true;
  FindTags(reader, ape.tags);
  if (ape.tags.hasApe) ape.streamSize = SubtractOrZero(ape.streamSize, ape.tags.apeSize);
  if (ape.tags.hasId3v2) ape.streamSize = SubtractOrZero(ape.streamSize, ape.tags.id3v2Size);
  SkipLeadingId3v2(reader, ape.tags);
  uint8_t header[kApeHeaderBytes] = {};
  reader.Read(header, sizeof header);
  ParseApeHeader(header, ape);
  info.duration = ape.duration;

  Description d("APE", "AUDIO");
  SetSampleRate(d, ape.sampleRate);
  d.Set("#bitdepth#", "%u", ape.bitsPerSample);
  d.Set("#channel#", "%u", ape.channels);
  d.SetText("#comptype#", ape.compressionText);
  SetBitrate(d, ape.bitrate);
  d.Set("#frame#", "%u", ape.totalFrames);
  AddAudioText(info, d.Text());
  AddTagText(info, ape.tags);
}

}  // namespace probex
