#include "wavpack.h"

#include <iterator>

#include "../core/bits.h"
#include "../core/file_reader.h"
#include "../core/media_info.h"
#include "../core/messages.h"
#include "../core/templates.h"
#include "../core/text.h"
#include "audio_file.h"

namespace probex {

namespace {

constexpr size_t kBlockHeaderBytes = 32;
// A block's size field counts everything after its first 8 bytes.
constexpr uint32_t kMinBlockSize = kBlockHeaderBytes - 8;

constexpr uint32_t kFlagHybrid = 0x08;
constexpr uint32_t kFlagJointStereo = 0x10;
constexpr uint32_t kFlagInitialBlock = 0x800;
constexpr uint32_t kUnknownSamples = 0xFFFFFFFF;

constexpr uint8_t kIdMask = 0x3F;
constexpr uint8_t kIdLarge = 0x80;
constexpr uint8_t kIdFirstCritical = 0x0E;  // below: decoder data the walk skips
constexpr uint8_t kIdOptional = 0x20;
constexpr uint8_t kIdAudioBitstream = 0x0A;
constexpr uint8_t kIdChannelInfo = 0x0D;
constexpr uint8_t kIdRiffHeader = 0x21;
constexpr uint8_t kIdRiffTrailer = 0x22;
constexpr uint8_t kIdSampleRate = 0x27;

constexpr uint32_t kFlagMono = 0x04;
constexpr uint32_t kFlagFloat = 0x80;
constexpr uint32_t kSampleRates[] = {6000,  8000,  9600,  11025, 12000, 16000, 22050, 24000,
                                     32000, 44100, 48000, 64000, 88200, 96000, 192000};

// What the walk needs of a RIFF header: the fmt chunk is looked for, as a
// JUNK or other chunk may come first.
constexpr size_t kRiffHeaderWindow = 1024;

bool ReadFormatChunk(const uint8_t* riff, size_t n, WavPackInfo::WaveFields& format) {
  size_t p = 12;  // "RIFF", size, "WAVE"
  while (p + 8 <= n) {
    uint64_t size = ReadU32LE(riff, p + 4);
    if (EqualNoCase(riff + p, "fmt ", 4)) {
      if (p + 8 + 16 > n) return false;
      const uint8_t* f = riff + p + 8;
      format.formatTag = static_cast<uint16_t>(ReadU16LE(f, 0));
      format.channels = static_cast<uint16_t>(ReadU16LE(f, 2));
      format.sampleRate = ReadU32LE(f, 4);
      format.averageBytesPerSecond = ReadU32LE(f, 8);
      format.blockAlign = static_cast<uint16_t>(ReadU16LE(f, 12));
      format.bitsPerSample = static_cast<uint16_t>(ReadU16LE(f, 14));
      return true;
    }
    p += 8 + size + (size & 1);
  }
  return false;
}

struct BlockWalk {
  bool riffFound = false;
  // Raw WavPack (no RIFF header, as FFmpeg and "wavpack -r" write it) is
  // described from its first block instead; a correction file has no audio
  // bitstream and stays an error.
  bool audioSeen = false;
  uint32_t firstFlags = 0;
  bool haveFirstFlags = false;
  uint32_t channelInfo = 0;
  uint32_t customRate = 0;
  uint64_t totalSamples = kUnknownSamples;
  uint64_t countedSamples = 0;  // of the blocks, for a file that did not know its length
};

// The sub-blocks of one block, from the reader's position to end.
bool WalkSubBlocks(WavPackInfo& info, FileReader& reader, uint64_t end, BlockWalk& walk) {
  uint64_t pos = reader.Tell();
  while (pos + 2 <= end && pos < reader.Size()) {
    reader.Seek(static_cast<int64_t>(pos), 0);
    uint8_t head[4] = {};
    reader.Read(head, 2);
    uint8_t id = head[0] & kIdMask;
    uint64_t words = head[1];
    uint64_t headBytes = 2;
    if (head[0] & kIdLarge) {
      reader.Read(head + 2, 2);
      words = ReadU24LE(head, 1);
      headBytes = 4;
    }
    uint64_t dataBytes = words * 2;
    if (id == kIdRiffHeader) {
      uint8_t riff[kRiffHeaderWindow] = {};
      size_t n = reader.Read(riff, dataBytes < sizeof riff ? static_cast<size_t>(dataBytes) : sizeof riff);
      ReadFormatChunk(riff, n, info.format);
      walk.riffFound = true;
    } else if (id == kIdAudioBitstream) {
      walk.audioSeen = true;
    } else if (id == kIdChannelInfo && dataBytes >= 1 && walk.channelInfo == 0) {
      walk.channelInfo = reader.ReadByte();
    } else if (id == kIdSampleRate && dataBytes >= 3 && walk.customRate == 0) {
      uint8_t rate[3] = {};
      reader.Read(rate, sizeof rate);
      walk.customRate = ReadU24LE(rate, 0);
    } else if (id == kIdRiffTrailer) {
      uint8_t trailer[12] = {};
      size_t n = reader.Read(trailer, dataBytes < sizeof trailer ? static_cast<size_t>(dataBytes) : sizeof trailer);
      if (n == sizeof trailer && EqualNoCase(trailer + 8, "INFO", 4)) info.tags.hasInfoTag = true;
    } else if (id >= kIdFirstCritical && !(id & kIdOptional)) {
      // Data a decoder must understand and this walk does not.
      FormatText(info.error, sizeof info.error, msg::kWavPackBadBlockType, id);
      return false;
    }
    // Other ids: decoder data, or optional data this walk needs not.
    pos += headBytes + dataBytes;
  }
  return true;
}

// The WAVE fields of a raw WavPack stream, from its first block's flags.
void DescribeFromFlags(const BlockWalk& walk, WavPackInfo::WaveFields& format) {
  uint32_t flags = walk.firstFlags;
  uint32_t bytes = (flags & 3) + 1;
  uint32_t rateIndex = (flags >> 23) & 0xF;
  format.formatTag = (flags & kFlagFloat) ? 3 : 1;
  format.channels = static_cast<uint16_t>(walk.channelInfo ? walk.channelInfo : (flags & kFlagMono) ? 1 : 2);
  format.sampleRate = rateIndex < std::size(kSampleRates) ? kSampleRates[rateIndex] : walk.customRate;
  format.bitsPerSample = static_cast<uint16_t>(bytes * 8);
  format.blockAlign = static_cast<uint16_t>(bytes * format.channels);
  format.averageBytesPerSecond = format.sampleRate * format.blockAlign;
}

}  // namespace

bool WalkWavPackBlocks(WavPackInfo& info, FileReader& reader, uint64_t audioEnd) {
  BlockWalk walk;
  for (;;) {
    uint64_t start = reader.Tell();
    uint8_t header[kBlockHeaderBytes] = {};
    size_t got = reader.Read(header, sizeof header);
    if (got < sizeof header || reader.Tell() >= audioEnd || reader.AtEnd()) break;
    uint32_t blockSize = ReadU32LE(header, 4);
    if (!EqualNoCase(header, "wvpk", 4) || blockSize < kMinBlockSize) {
      FormatText(info.error, sizeof info.error, msg::kWavPackNoBlock, static_cast<unsigned long long>(start));
      return false;
    }
    uint32_t flags = ReadU32LE(header, 24);
    if (!walk.haveFirstFlags) {
      walk.firstFlags = flags;
      walk.haveFirstFlags = true;
      uint64_t first = ReadU32LE(header, 12);
      if (first != kUnknownSamples && header[11]) first += (uint64_t{header[11]} << 32) - header[11];
      walk.totalSamples = first;
    }
    if (!walk.riffFound) {  // the block that carries the RIFF header describes the file
      info.isHybrid = (flags & kFlagHybrid) != 0;
      info.isJointStereo = (flags & kFlagJointStereo) != 0;
    }
    // Files of more than 2^32 samples keep the high bits in byte 11.
    uint64_t total = ReadU32LE(header, 12);
    if (total != kUnknownSamples && header[11]) total += (uint64_t{header[11]} << 32) - header[11];
    uint64_t end = start + 8 + blockSize;
    bool hadRiff = walk.riffFound;
    if (!WalkSubBlocks(info, reader, end, walk)) return false;
    if (walk.riffFound && !hadRiff) walk.totalSamples = total;
    if (flags & kFlagInitialBlock) walk.countedSamples += ReadU32LE(header, 20);
    reader.Seek(static_cast<int64_t>(end), 0);
  }
  if (!walk.riffFound) {
    if (!walk.audioSeen) {
      CopyText(info.error, sizeof info.error, msg::kWavPackNoRiff);
      return false;
    }
    DescribeFromFlags(walk, info.format);
  }
  char key[8];
  FormatText(key, sizeof key, "%04X", info.format.formatTag);
  LookupCodec(info.codecName, sizeof info.codecName, "WAV", key);
  uint64_t samples = walk.totalSamples == kUnknownSamples ? walk.countedSamples : walk.totalSamples;
  if (info.computeDuration) {
    info.duration = SafeDivide(static_cast<double>(samples), info.format.sampleRate);
    info.bitrate = SafeDivide(info.streamSize * 8.0, info.duration);
  }
  if (info.isHybrid && FileExists(info.correctionPath))
    CopyText(info.versionText, sizeof info.versionText, "4(Hybrid)");
  return true;
}

void AnalyzeWavPack(MediaInfo& info, FileReader& reader) {
  WavPackInfo wv = {};
  CopyText(wv.versionText, sizeof wv.versionText, "4");
  wv.computeDuration = true;
  wv.tags.searchEnd = true;
  FindTags(reader, wv.tags);
  const TagInfo& tags = wv.tags;
  uint64_t audioEnd = SubtractOrZero(
      reader.Size(), uint64_t{tags.id3v1Size} + (tags.hasLyrics3 ? tags.lyrics3Size : 0) + (tags.hasApe ? tags.apeSize : 0));
  uint64_t audioStart = tags.hasId3v2 ? tags.id3v2Offset + tags.id3v2Size : 0;
  wv.streamSize = SubtractOrZero(audioEnd, audioStart);
  if (!MakeCorrectionPath(info.path, ".wvc", wv.correctionPath)) wv.correctionPath[0] = u'\0';
  SkipLeadingId3v2(reader, tags);
  if (!WalkWavPackBlocks(wv, reader, audioEnd)) {
    SetErrorText(info, wv.error);
    return;
  }
  info.duration = wv.duration;

  Description d("WAVPACK", "AUDIO");
  d.SetText("#version#", wv.versionText);
  d.SetText("#hybrid#", wv.isHybrid ? "Lossy" : "Lossless");
  d.SetText("#codec#", wv.codecName);
  SetSampleRate(d, wv.format.sampleRate);
  d.Set("#bitdepth#", "%u", wv.format.bitsPerSample);
  d.Set("#channel#", "%u", wv.format.channels);
  SetBitrate(d, wv.bitrate);
  AddAudioText(info, d.Text());
  AddTagText(info, tags);
}

}  // namespace probex
