#include "flash_video.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "../audio/aac.h"
#include "../audio/audio_line.h"
#include "../audio/mpeg_audio.h"
#include "../core/bits.h"
#include "../core/file_reader.h"
#include "../core/media_info.h"
#include "../core/messages.h"
#include "../core/templates.h"
#include "../core/text.h"
#include "../video/avc.h"
#include "chunk_io.h"

namespace probex {

namespace {

constexpr size_t kTagHeaderBytes = 15;  // previous tag size + tag header
constexpr size_t kMediaCap = 64 * 1024;
// onMetaData with a keyframe index grows with the file; the properties read
// here come first.
constexpr size_t kScriptCap = 1024 * 1024;
constexpr int kTagsBeforeStop = 10;

const char* const kMetadataNames[] = {"duration", "width", "height", "videodatarate", "framerate",
                                      "audiodatarate"};

FlvProperty* CurrentEntry(FlvMetadata& table) {
  return table.count < kFlvMaxProperties ? &table.entries[table.count] : nullptr;
}

void StoreNumber(FlvMetadata& table, double number, bool keepNumber = false) {
  if (FlvProperty* entry = CurrentEntry(table)) {
    entry->type = 1;
    if (!keepNumber) entry->number = number;
    ++table.count;
  }
}

void StoreText(FlvMetadata& table, const uint8_t* bytes, size_t length) {
  if (FlvProperty* entry = CurrentEntry(table)) {
    entry->type = 2;
    size_t n = length < sizeof entry->text - 1 ? length : sizeof entry->text - 1;
    std::memcpy(entry->text, bytes, n);
    entry->text[n] = '\0';
    ++table.count;
  }
}

void AudioCodecText(char* out, size_t size, uint32_t format) {
  switch (format) {
    case 0: CopyText(out, size, "PCM"); break;
    case 1: CopyText(out, size, "ADPCM"); break;
    case 2: CopyText(out, size, "MPEG1-LayerIII"); break;
    case 5: CopyText(out, size, "Nellymoser(8kHz)"); break;
    case 6: CopyText(out, size, "Nellymoser"); break;
    case 10: CopyText(out, size, "AAC"); break;
    default: FormatText(out, size, "Unknown(%d)", static_cast<int>(format)); break;
  }
}

void VideoCodecText(char* out, size_t size, uint32_t codec) {
  switch (codec) {
    case 2: CopyText(out, size, "Sorenson H.263"); break;
    case 3: CopyText(out, size, "Screen video"); break;
    case 4: CopyText(out, size, "On2 VP6"); break;
    case 5: CopyText(out, size, "On2 VP6(Alpha Channel)"); break;
    case 6: CopyText(out, size, "Screen video 2"); break;
    case 7: CopyText(out, size, "AVC/H.264"); break;
    default: FormatText(out, size, "Unknown(%d)", static_cast<int>(codec)); break;
  }
}

// The first audio tag: from its flags byte, or from the MPEG audio frame it holds.
void DescribeAudioTag(MediaInfo& media, const std::vector<uint8_t>& data, AudioStream& audio) {
  BitText bits(data.data(), 1);
  uint32_t format = static_cast<uint32_t>(bits.Take(4));
  static const double kRates[4] = {5500, 11025, 22050, 44100};
  audio.sampleRate = kRates[bits.Take(2)];
  audio.bitDepth = bits.Take(1) ? 16 : 8;
  audio.channels = bits.Take(1) ? 2 : 1;
  AudioCodecText(audio.codec, sizeof audio.codec, format);
  // AAC tags always say 44 kHz stereo; the sequence header (packet type 0)
  // holds the stream's own rate and channels.
  if (format == 10 && data.size() > 3 && data[1] == 0) {
    AacInfo aac{};
    if (ParseAudioSpecificConfig(data.data() + 2, data.size() - 2, aac) && aac.channels > 0 && aac.channels < 9) {
      audio.sampleRate = aac.sampleRate;
      audio.channels = static_cast<uint16_t>(std::lround(aac.channels == 5.1 ? 6 : aac.channels == 7.1 ? 8 : aac.channels));
    }
  }
  char text[PROBEX_TEXT_BYTES] = {};
  bool described = false;
  if (format == 2) {
    for (int64_t hit = FindMpegAudioSync(data.data(), data.size(), 0); hit >= 0 && !described;
         hit = FindMpegAudioSync(data.data(), data.size(), static_cast<size_t>(hit) + 1)) {
      MpegAudioInfo mpeg{};
      if (ParseMpegAudioVbrHeader(mpeg, data.data() + hit, data.size() - static_cast<size_t>(hit))) {
        DescribeMpegAudio(text, sizeof text, mpeg);
        described = true;
      }
    }
  }
  if (!described) FormatFlvAudioText(text, sizeof text, audio);
  AddAudioText(media, text);
}

void SorensonPictureSize(const uint8_t* bytes, size_t length, FlvVideoInfo& video) {
  BitText bits(bytes, length < 9 ? length : 9);
  bits.Skip(30);  // picture start code, version, temporal reference
  uint32_t pictureSize = static_cast<uint32_t>(bits.Take(3));
  int32_t width = 0, height = 0;
  switch (pictureSize) {
    case 0: width = static_cast<int32_t>(bits.Take(8)), height = static_cast<int32_t>(bits.Take(8)); break;
    case 1: width = static_cast<int32_t>(bits.Take(16)), height = static_cast<int32_t>(bits.Take(16)); break;
    case 2: width = 352, height = 288; break;
    case 3: width = 176, height = 144; break;
    case 4: width = 128, height = 96; break;
    case 5: width = 320, height = 240; break;
    case 6: width = 160, height = 120; break;
    default: break;
  }
  // A frame cut short of its size fields leaves the metadata's size.
  if (bits.Exhausted()) return;
  video.width = width;
  video.height = height;
}

void DescribeVideoTag(MediaInfo& media, const std::vector<uint8_t>& data, FlvVideoInfo& video) {
  uint32_t codec = data[0] & 0x0F;
  VideoCodecText(video.codec, sizeof video.codec, codec);
  if (codec == 2 && data.size() > 1) {
    SorensonPictureSize(data.data() + 1, data.size() - 1, video);
  } else if (codec == 7 && data.size() > 8) {
    AvcProfileLevelText(video.profile, sizeof video.profile, data[6], data[8]);
  }
  char text[PROBEX_TEXT_BYTES] = {};
  FormatFlvVideoText(text, sizeof text, video);
  AddVideoText(media, text);
}

// Script data is the encoder's word: non-finite or absurd numbers count as 0.
double Finite(double value) { return std::isfinite(value) ? value : 0.0; }
int32_t ToInt(double value) {
  return std::isfinite(value) && value > -2147483648.0 && value < 2147483648.0 ? static_cast<int32_t>(value) : 0;
}

void ApplyMetadata(const FlvMetadata& table, double& duration, FlvVideoInfo& video, AudioStream& audio) {
  for (size_t i = 0; i < table.count; ++i) {
    const FlvProperty& p = table.entries[i];
    if (p.type != 1) continue;
    auto is = [&](const char* name) {
      size_t n = std::strlen(name);
      return BoundedLength(p.name, sizeof p.name) == n && EqualNoCase(p.name, name, n);
    };
    if (is("duration")) duration = p.number > 0 ? Finite(p.number) : 0.0;
    else if (is("width")) video.width = ToInt(p.number);
    else if (is("height")) video.height = ToInt(p.number);
    else if (is("videodatarate")) video.bitRate = Finite(p.number * 1000);
    else if (is("framerate")) video.frameRate = Finite(p.number);
    else if (is("audiodatarate")) audio.bitRate = Finite(p.number * 1000);
  }
}

}  // namespace

size_t ParseAmfValue(const uint8_t* bytes, size_t length, FlvMetadata& table, int depth) {
  if (!bytes || length < 1) return 0;
  switch (bytes[0]) {
    case 0:
      if (length < 9) return 0;
      StoreNumber(table, ReadFloatBE(bytes + 1, 8));
      return 9;
    case 1:
      if (length < 2) return 0;
      StoreNumber(table, bytes[1]);
      return 2;
    case 2:
    case 3:
    case 4: {
      if (length < 3) return 0;
      size_t n = ReadU16BE(bytes, 1);
      if (n == 0 || n > length - 3) return 0;
      StoreText(table, bytes + 3, n);
      return 3 + n;
    }
    case 7:
      if (length < 3) return 0;
      StoreNumber(table, ReadU16BE(bytes, 1));
      return 3;
    case 8: {
      if (length < 5 || depth >= kAmfMaxDepth) return 0;
      uint32_t count = ReadU32BE(bytes, 1);
      size_t used = 5;
      for (uint32_t i = 0; i < count; ++i) {
        size_t n = ParseAmfProperty(bytes + used, length - used, table, depth + 1);
        if (n == 0) return 0;
        used += n;
      }
      return used;
    }
    case 10: {
      if (depth >= kAmfMaxDepth) return 0;
      size_t n = ParseAmfProperty(bytes + 1, length - 1, table, depth + 1);
      return n ? 1 + n : 0;
    }
    case 11:
      if (length < 11) return 0;
      StoreNumber(table, 0, true);
      return 11;
    case 12: {
      if (length < 5) return 0;
      uint64_t n = ReadU32BE(bytes, 1);
      if (n == 0 || n > length - 5) return 0;
      StoreText(table, bytes + 5, static_cast<size_t>(n));
      return 5 + static_cast<size_t>(n);
    }
    default:
      return 1;
  }
}

size_t ParseAmfProperty(const uint8_t* bytes, size_t length, FlvMetadata& table, int depth) {
  if (!bytes || length < 2) return 0;
  size_t n = ReadU16BE(bytes, 0);
  if (n == 0 || n > length - 2) return 0;
  if (FlvProperty* entry = CurrentEntry(table)) {
    size_t copy = n < sizeof entry->name - 1 ? n : sizeof entry->name - 1;
    std::memcpy(entry->name, bytes + 2, copy);
    entry->name[copy] = '\0';
  }
  size_t value = ParseAmfValue(bytes + 2 + n, length - 2 - n, table, depth);
  return value ? 2 + n + value : 0;
}

void FindAmfProperty(const uint8_t* data, size_t length, const char* name, FlvMetadata& table) {
  size_t n = std::strlen(name);
  if (!data || n == 0 || length < n) return;
  for (size_t i = 0; i + n <= length; ++i) {
    if (!EqualNoCase(data + i, name, n)) continue;
    if (FlvProperty* entry = CurrentEntry(table)) CopyText(entry->name, sizeof entry->name, name);
    ParseAmfValue(data + i + n, length - i - n, table);
  }
}

void FormatFlvVideoText(char* out, size_t size, const FlvVideoInfo& info) {
  Description d("FLASHVIDEO", info.profile[0] ? "FLL" : "FLV");
  d.Set("#width#", "%d", info.width);
  d.Set("#height#", "%d", info.height);
  d.SetText("#codec#", info.codec);
  d.SetText("#profile#", info.profile);
  d.SetKnown("#framerate#", "%.2f", info.frameRate);
  d.SetKnown("#bitratek#", "%.2f", info.bitRate * 0.001);
  d.SetKnown("#bitrate#", "%.2f", info.bitRate);
  CopyText(out, size, d.Text());
}

void FormatFlvAudioText(char* out, size_t size, const AudioStream& info) {
  FormatAudioLine(out, size, "FLASHVIDEO", "AUDIO", info);
}

void AnalyzeFlashVideo(MediaInfo& media, FileReader& reader) {
  SetFormatName(media, "FlashVideo");
  uint8_t header[9] = {};
  reader.Read(header, sizeof header);
  if (!EqualNoCase(header, "FLV", 3)) {
    SetErrorText(media, msg::kFlvNotFlv);
    return;
  }
  if (header[3] != 1) {
    SetErrorText(media, msg::kFlvNotV1);
    return;
  }

  auto table = std::make_unique<FlvMetadata>();
  FlvVideoInfo video{};
  AudioStream audio{};
  bool audioDescribed = false, videoDescribed = false;
  int tags = 0;
  uint32_t lastTimestamp = 0;
  double metaDuration = 0;
  std::vector<uint8_t> data;

  reader.Seek(9, 0);
  while (reader.Tell() < reader.Size()) {
    uint8_t tag[kTagHeaderBytes] = {};
    if (reader.Read(tag, sizeof tag) < sizeof tag) break;
    uint32_t type = tag[4];
    uint32_t dataSize = ReadU24BE(tag, 5);
    uint32_t timestamp = ReadU24BE(tag, 8);
    if (type == 8 && dataSize != 0 && !audioDescribed) {
      ReadPayload(reader, dataSize, data, kMediaCap);
      if (!data.empty()) {
        DescribeAudioTag(media, data, audio);
        audioDescribed = true;
      }
    } else if (type == 9 && dataSize != 0 && !videoDescribed) {
      ReadPayload(reader, dataSize, data, kMediaCap);
      if (!data.empty()) {
        DescribeVideoTag(media, data, video);
        videoDescribed = true;
      }
    } else if (type == 18) {
      ReadPayload(reader, dataSize, data, kScriptCap);
      for (const char* name : kMetadataNames) FindAmfProperty(data.data(), data.size(), name, *table);
      ApplyMetadata(*table, metaDuration, video, audio);
    } else {
      SkipPayload(reader, dataSize);
    }
    ++tags;
    lastTimestamp = timestamp;
    if (tags > kTagsBeforeStop && metaDuration != 0) break;
  }

  media.duration = metaDuration != 0 ? metaDuration : lastTimestamp * 0.001;
  reader.Close();
  if (!audioDescribed && !videoDescribed) SetErrorText(media, msg::kFlvNoStream);
}

}  // namespace probex
