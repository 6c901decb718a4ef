#include "tta.h"

#include "../core/bits.h"
#include "../core/file_reader.h"
#include "../core/media_info.h"
#include "../core/messages.h"
#include "../core/templates.h"
#include "../core/text.h"
#include "audio_file.h"

namespace probex {

namespace {

struct TtaLayout {
  uint16_t version;
  uint32_t headerBytes;
  size_t channelsAt;  // then bits per sample, sample rate, total samples
};

bool LayoutOf(uint8_t marker, TtaLayout& layout) {
  switch (marker) {
    case 1:
    case 2:
    case 3: layout = {1, 16, 4}; return true;
    case '1': layout = {3, 26, 6}; return true;
    case '2': layout = {2, 20, 8}; return true;
    default: return false;
  }
}

}  // namespace

bool ParseTtaHeader(const uint8_t (&header)[kTtaHeaderBytes], TtaInfo& info) {
  TtaLayout layout;
  if (!LayoutOf(header[3], layout)) {
    CopyText(info.error, sizeof info.error, msg::kTtaBadVersion);
    return false;
  }
  size_t at = layout.channelsAt;
  info.version = layout.version;
  info.channels = static_cast<uint16_t>(ReadU16LE(header, at));
  info.bitsPerSample = static_cast<uint16_t>(ReadU16LE(header, at + 2));
  info.sampleRate = ReadU32LE(header, at + 4);
  info.totalSamples = ReadU32LE(header, at + 8);
  info.streamSize = SubtractOrZero(info.streamSize, layout.headerBytes);
  info.duration = SafeDivide(info.totalSamples, info.sampleRate);
  info.bitrate = SafeDivide(info.streamSize * 8.0, info.duration);
  return true;
}

void AnalyzeTta(MediaInfo& info, FileReader& reader) {
  TtaInfo tta = {};
  tta.streamSize = reader.Size();
  tta.tags.searchEnd = true;
  FindTags(reader, tta.tags);
  const TagInfo& tags = tta.tags;
  uint64_t tagBytes = uint64_t{tags.id3v1Size} + (tags.hasApe ? tags.apeSize : 0) +
                      (tags.hasLyrics3 ? tags.lyrics3Size : 0) + (tags.hasId3v2 ? tags.id3v2Size : 0);
  tta.streamSize = SubtractOrZero(tta.streamSize, tagBytes);
  SkipLeadingId3v2(reader, tags);
  uint8_t header[kTtaHeaderBytes] = {};
  reader.Read(header, sizeof header);
  if (!ParseTtaHeader(header, tta)) {
    SetErrorText(info, tta.error);
    return;
  }
  info.duration = tta.duration;

  Description d("TTA", "AUDIO");
  d.Set("#version#", "%u", tta.version);
  SetSampleRate(d, tta.sampleRate);
  d.Set("#bitdepth#", "%u", tta.bitsPerSample);
  d.Set("#channel#", "%u", tta.channels);
  SetBitrate(d, tta.bitrate);
  AddAudioText(info, d.Text());
  AddTagText(info, tags);
}

}  // namespace probex
