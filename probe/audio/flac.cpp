#include "flac.h"

#include <memory>
#include <new>

#include "../core/bits.h"
#include "../core/file_reader.h"
#include "../core/media_info.h"
#include "../core/messages.h"
#include "../core/templates.h"
#include "../core/text.h"
#include "audio_file.h"

namespace probex {

namespace {

constexpr uint32_t kStreamInfoBytes = 34;

enum BlockType { kStreamInfo = 0, kPadding, kApplication, kSeekTable, kVorbisComment, kCueSheet, kPicture };

// Reads up to length bytes of the block at the reader's position into a
// fresh buffer; false when it cannot be had.
bool ReadBlock(FileReader& reader, uint64_t length, std::unique_ptr<uint8_t[]>& block, size_t& got) {
  block.reset(new (std::nothrow) uint8_t[length ? length : 1]);
  if (!block) return false;
  got = reader.Read(block.get(), static_cast<size_t>(length), false);
  return true;
}

}  // namespace

bool ParseFlacStreamInfo(const uint8_t* bytes, size_t length, FlacInfo& info) {
  if (!bytes || length < 18) return false;
  BitText bits(bytes + 10, 8);
  info.sampleRate = static_cast<uint32_t>(bits.Take(20));
  info.channels = static_cast<uint32_t>(bits.Take(3)) + 1;
  info.bitsPerSample = static_cast<uint32_t>(bits.Take(5)) + 1;
  info.totalSamples = bits.Take(36);
  return true;
}

bool ParseFlacMetadata(FlacInfo& info, FileReader& reader) {
  uint8_t marker[4];
  reader.Read(marker, sizeof marker);
  for (bool last = false; !last;) {
    uint8_t header[4] = {};
    if (reader.Read(header, sizeof header) < sizeof header) break;  // no last-block flag before the end
    last = (header[0] & 0x80) != 0;
    int type = header[0] & 0x7F;
    uint64_t length = ReadU24BE(header, 1);
    uint64_t start = reader.Tell();
    uint64_t available = SubtractOrZero(reader.Size(), start);
    uint64_t present = length < available ? length : available;

    std::unique_ptr<uint8_t[]> block;
    size_t got = 0;
    switch (type) {
      case kStreamInfo:
        if (present < kStreamInfoBytes) {
          FormatText(info.error, sizeof info.error, msg::kFlacShortStreamInfo, static_cast<int>(present));
          return false;
        }
        {
          uint8_t streamInfo[kStreamInfoBytes] = {};
          reader.Read(streamInfo, sizeof streamInfo, false);
          ParseFlacStreamInfo(streamInfo, sizeof streamInfo, info);
        }
        break;
      case kVorbisComment:
        if (!ReadBlock(reader, present, block, got)) {
          CopyText(info.error, sizeof info.error, msg::kFlacNoBuffer);
          return false;
        }
        ScanVorbisComment(block.get(), got, info.tags);
        break;
      case kCueSheet: ++info.cueSheetCount; break;
      case kPicture: ++info.pictureCount; break;
      case kPadding:
      case kApplication:
      case kSeekTable: break;
      default:
        FormatText(info.error, sizeof info.error, msg::kFlacBadBlockType, type);
        return false;
    }
    reader.Seek(static_cast<int64_t>(start + present), 0);
    if (present < length) break;  // the file ends inside this block
  }
  info.streamSize = SubtractOrZero(info.streamSize, reader.Tell());
  if (info.computeDuration) {
    info.duration = SafeDivide(static_cast<double>(info.totalSamples), info.sampleRate);
    info.bitrate = SafeDivide(info.streamSize * 8.0, info.duration);
  }
  return true;
}

void DescribeFlac(char* out, size_t size, const FlacInfo& info) {
  Description d("FLAC", "AUDIO");
  SetSampleRate(d, info.sampleRate);
  d.Set("#bitdepth#", "%u", info.bitsPerSample);
  d.Set("#channel#", "%u", info.channels);
  SetBitrate(d, info.bitrate);
  CopyText(out, size, d.Text());
}

void AnalyzeFlac(MediaInfo& info, FileReader& reader) {
  FlacInfo flac = {};
  flac.streamSize = reader.Size();
  flac.computeDuration = true;
  FindTags(reader, flac.tags);
  SkipLeadingId3v2(reader, flac.tags);
  if (!ParseFlacMetadata(flac, reader)) {
    SetErrorText(info, flac.error);
    return;
  }
  info.duration = flac.duration;
  char line[PROBEX_TEXT_BYTES];
  DescribeFlac(line, sizeof line, flac);
  AddAudioText(info, line);

  line[0] = '\0';
  if (flac.cueSheetCount) AppendText(line, sizeof line, "CueSheet");
  if (flac.pictureCount)
    AppendFormat(line, sizeof line, "%sPicture(%u)", line[0] ? " / " : "", flac.pictureCount);
  if (line[0]) AddExtraText(info, line);
  AddTagText(info, flac.tags);
}

}  // namespace probex
