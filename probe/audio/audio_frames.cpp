#include "audio_frames.h"

#include "../core/text.h"
#include "ac3.h"
#include "dts.h"
#include "mpeg_audio.h"

namespace probex {

namespace {

struct FrameFamilyRow {
  AudioFrames family;
  int64_t (*find)(const uint8_t* bytes, size_t length, size_t from);
  bool (*describe)(const uint8_t* at, size_t n, char* out, size_t size);
};

constexpr FrameFamilyRow kFamilies[] = {
    {AudioFrames::kMpegAudio, FindMpegAudioSync,
     [](const uint8_t* at, size_t n, char* out, size_t size) {
       MpegAudioInfo mpeg{};
       if (!ParseMpegAudioVbrHeader(mpeg, at, n)) return false;
       DescribeMpegAudio(out, size, mpeg);
       return true;
     }},
    {AudioFrames::kAc3, FindAc3Sync,
     [](const uint8_t* at, size_t n, char* out, size_t size) {
       Ac3Info ac3{};
       if (!ParseAc3SyncInfo(ac3, at, n)) return false;
       CopyText(ac3.codec, sizeof ac3.codec, ac3.isEac3 ? kEac3Codec : kAc3Codec);
       DescribeAc3(out, size, ac3);
       return true;
     }},
    {AudioFrames::kDts, FindDtsSync,
     [](const uint8_t* at, size_t n, char* out, size_t size) {
       DtsInfo dts{};
       if (!ParseDtsHeader(dts, at, n)) return false;
       DescribeDts(out, size, dts);
       return true;
     }},
};

constexpr struct {
  uint16_t formatTag;
  AudioFrames family;
} kWaveTags[] = {
    {0x0001, AudioFrames::kDts},       {0x0008, AudioFrames::kDts}, {0x2001, AudioFrames::kDts},
    {0x0050, AudioFrames::kMpegAudio}, {0x0055, AudioFrames::kMpegAudio}, {0x2000, AudioFrames::kAc3},
};

const FrameFamilyRow& Row(AudioFrames family) {
  for (const FrameFamilyRow& row : kFamilies)
    if (row.family == family) return row;
  return kFamilies[0];
}

}  // namespace

int64_t FindAudioFrameSync(AudioFrames family, const uint8_t* bytes, size_t length, size_t from) {
  return bytes ? Row(family).find(bytes, length, from) : -1;
}

bool DescribeAudioFrame(AudioFrames family, const uint8_t* bytes, size_t length, char* out, size_t size) {
  return bytes && length && size && Row(family).describe(bytes, length, out, size);
}

bool DescribeAudioFrames(AudioFrames family, const uint8_t* bytes, size_t length, char* out, size_t size) {
  if (!bytes || length == 0 || size == 0) return false;
  const FrameFamilyRow& row = Row(family);
  for (int64_t hit = row.find(bytes, length, 0); hit >= 0; hit = row.find(bytes, length, static_cast<size_t>(hit) + 1))
    if (row.describe(bytes + hit, length - static_cast<size_t>(hit), out, size)) return true;
  return false;
}

bool WaveTagFrames(uint32_t formatTag, AudioFrames& family) {
  for (const auto& row : kWaveTags) {
    if (row.formatTag == formatTag) {
      family = row.family;
      return true;
    }
  }
  return false;
}

}  // namespace probex
