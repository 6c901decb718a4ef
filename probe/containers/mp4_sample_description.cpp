#include "mp4_sample_description.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "../audio/aac.h"
#include "../audio/dts_hd.h"
#include "../audio/eac3.h"
#include "../audio/vorbis.h"
#include "../audio/wave_format.h"
#include "../video/av1.h"
#include "../video/avc.h"
#include "../video/dolby_vision.h"
#include "../video/hevc.h"
#include "../video/mpeg4_visual.h"
#include "../video/mpeg_video.h"
#include "bits.h"
#include "byte_span.h"
#include "file_reader.h"
#include "templates.h"
#include "text.h"

namespace probex {
namespace {

// A first sample larger than this is probed over its first bytes only.
constexpr uint32_t kMaxProbedSample = 1u << 20;


// The track's first sample (its first bytes when large); empty without one.
std::vector<uint8_t> ReadFirstSample(FileReader* reader, const Mp4Track& track) {
  if (!reader || track.firstSampleSize == 0 || track.firstChunkOffset >= reader->Size()) return {};
  uint64_t available = reader->Size() - track.firstChunkOffset;
  size_t n = static_cast<size_t>(std::min<uint64_t>({track.firstSampleSize, available, kMaxProbedSample}));
  std::vector<uint8_t> sample(n, 0);
  auto saved = reader->Save();
  reader->Seek(static_cast<int64_t>(track.firstChunkOffset), 0);
  sample.resize(reader->Read(sample.data(), n));
  reader->Restore(saved);
  return sample;
}

// A DTS line named after the extension substream of the first sample
// (DTS-HD MA, HRA, Express), as the other containers name it.
void NameDtsExtension(FileReader* reader, Mp4Track& track) {
  std::vector<uint8_t> sample = ReadFirstSample(reader, track);
  DtsHdInfo hd;
  if (!FindDtsHdSubstream(sample.data(), sample.size(), hd) || std::strncmp(track.audioText, "DTS", 3) != 0) return;
  std::string named = std::string(DtsHdName(hd)) + (track.audioText + 3);
  CopyText(track.audioText, sizeof track.audioText, named.c_str());
}

// The track's first sample through ProbeAudioPayload with formatTag.
void ProbeFirstSample(FileReader* reader, Mp4Track& track, uint32_t formatTag) {
  std::vector<uint8_t> sample = ReadFirstSample(reader, track);
  if (sample.empty()) return;
  ProbeAudioPayload(sample.data(), sample.size(), formatTag, track.audioText, sizeof track.audioText);
}

bool IsMpegVideoObject(uint32_t objectType) { return (objectType >= 0x60 && objectType <= 0x65) || objectType == 0x6A; }

// MPEG-1/2 video: the sequence header (and extension) found in bytes, from
// the decoder configuration or the first sample (ffmpeg writes none).
bool ParseMpegVideoConfig(const uint8_t* bytes, size_t n, uint32_t objectType, Mp4Track& track) {
  MpegVideoInfo info = {};
  CopyText(info.codec, sizeof info.codec, objectType == 0x6A ? "MPEG1" : "MPEG2");
  int64_t at = FindStartCode(bytes, n, kMpegSequenceHeaderCode);
  if (at < 0 || !ParseMpegSequenceHeader(info, bytes + at + 4, n - static_cast<size_t>(at) - 4)) return false;
  for (int64_t x = FindStartCode(bytes, n, kMpegExtensionStartCode, static_cast<size_t>(at) + 4); x >= 0;
       x = FindStartCode(bytes, n, kMpegExtensionStartCode, static_cast<size_t>(x) + 4))
    if (ParseMpegSequenceExtension(info, bytes + x, n - static_cast<size_t>(x))) break;
  track.hasMpegVideo = true;
  track.mpegVideo = info;
  track.width = info.width;
  track.height = info.height;
  return true;
}

// ISO/IEC 14496-1 descriptor length: up to four 7-bit groups.
uint32_t ReadDescriptorLength(const uint8_t* p, size_t size, size_t& q) {
  uint32_t length = 0;
  for (int i = 0; i < 4 && q < size; ++i) {
    uint8_t b = p[q++];
    length = (length << 7) | (b & 0x7F);
    if (!(b & 0x80)) break;
  }
  return length;
}

// AAC from an AudioSpecificConfig; SBR and PS that the configuration does
// not signal explicitly are inferred from the track's own rate and channels.
void DescribeAacConfig(const uint8_t* config, size_t length, double bitrate, Mp4Track& track) {
  AacInfo aac = {};
  if (!ParseAudioSpecificConfig(config, length, aac)) return;
  aac.bitrate = bitrate;
  InferAacFromTrack(aac, track.sampleRate, track.channels);
  DescribeAac(track.audioText, sizeof track.audioText, aac);
}

// What the descriptors of one esds have said so far.
struct EsdsObject {
  int kind;
  Mp4Track& track;
  FileReader* reader;
  uint32_t objectType, maxBitrate, avgBitrate;
};

// One row per object type (or run of them): what its decoder configuration
// starts, and the parser of its decoder-specific information. A type without
// a row, or a row without a parser, is named as unknown in the line.
struct Mp4ObjectRow {
  uint8_t first, last;
  void (*onConfig)(EsdsObject&);
  void (*onSpecific)(EsdsObject&, const uint8_t* info, size_t n);
};

void NameMpegVideo(EsdsObject& o) {
  // The object type names the codec even where no header is found.
  CopyText(o.track.videoCodec, sizeof o.track.videoCodec, o.objectType == 0x6A ? "MPEG-1 Video" : "MPEG-2 Video");
}

void ParseMpegVideoObject(EsdsObject& o, const uint8_t* info, size_t n) {
  ParseMpegVideoConfig(info, n, o.objectType, o.track);
}

void ParseMpeg4VisualObject(EsdsObject& o, const uint8_t* info, size_t n) {
  ParseMpeg4VisualConfig(info, n, o.track.profile, sizeof o.track.profile, o.track.aspect, sizeof o.track.aspect);
}

void ParseAacObject(EsdsObject& o, const uint8_t* info, size_t n) {
  if (!n || o.kind != kMp4Audio) return;
  double bitrate = o.avgBitrate ? o.avgBitrate : o.maxBitrate ? o.maxBitrate : o.track.bitRate;
  DescribeAacConfig(info, n, bitrate, o.track);
}

void ParseVorbisObject(EsdsObject& o, const uint8_t* info, size_t n) {
  VorbisInfo vorbis = {};
  if (n > 2 && ParseVorbisIdHeader(info + 2, n - 2, vorbis))
    FormatVorbisText(o.track.audioText, sizeof o.track.audioText, vorbis);
}

constexpr Mp4ObjectRow kMp4Objects[] = {
    {0x20, 0x20, nullptr, ParseMpeg4VisualObject},
    {0x40, 0x40, nullptr, ParseAacObject},
    {0x60, 0x65, NameMpegVideo, ParseMpegVideoObject},
    {0x66, 0x68, nullptr, ParseAacObject},
    {0x69, 0x69, [](EsdsObject& o) { ProbeFirstSample(o.reader, o.track, 0x0055); }, nullptr},
    {0x6A, 0x6A, NameMpegVideo, ParseMpegVideoObject},
    {0x6B, 0x6B, [](EsdsObject& o) { ProbeFirstSample(o.reader, o.track, 0x0055); }, nullptr},
    // AC-3 and E-AC-3 (A5, A6) and DTS (A9 core, AA-AC with an extension),
    // as ffmpeg writes them: described by their first frame.
    {0xA5, 0xA6, [](EsdsObject& o) { ProbeFirstSample(o.reader, o.track, 0x2000); }, nullptr},
    {0xA9, 0xAC,
     [](EsdsObject& o) {
       ProbeFirstSample(o.reader, o.track, 0x2001);
       if (o.track.audioText[0]) NameDtsExtension(o.reader, o.track);
     },
     nullptr},
    {0xDD, 0xDD, nullptr, ParseVorbisObject},
    {0xE1, 0xE1, nullptr,
     [](EsdsObject& o, const uint8_t*, size_t) {
       CopyText(o.track.audioCodec, sizeof o.track.audioCodec, "QUALCOMM PureVoice");
     }},
};

const Mp4ObjectRow* FindObjectRow(uint32_t objectType) {
  for (const Mp4ObjectRow& row : kMp4Objects)
    if (objectType >= row.first && objectType <= row.last) return &row;
  return nullptr;
}

void NoteDolbyVisionBox(const uint8_t* payload, size_t size, int, Mp4Track& track, FileReader*) {
  DolbyVisionConfig config;
  if (ParseDolbyVisionConfig(payload, size, config)) NoteDolbyVision(config, track.hevc.hdr);
}

// The configuration boxes of a sample entry that name its codec's details,
// one row each.
struct Mp4ConfigBoxRow {
  const char* type;
  void (*parse)(const uint8_t* payload, size_t size, int kind, Mp4Track& track, FileReader* reader);
};

constexpr Mp4ConfigBoxRow kMp4ConfigBoxes[] = {
    {"esds", ParseEsds},
    {"avcC", [](const uint8_t* payload, size_t size, int, Mp4Track& track, FileReader*) { ParseAvcC(payload, size, track); }},
    {"hvcC", [](const uint8_t* payload, size_t size, int, Mp4Track& track, FileReader*) { ParseHvcC(payload, size, track); }},
    {"av1C",
     [](const uint8_t* payload, size_t size, int, Mp4Track& track, FileReader*) {
       Av1VideoInfo av1;
       if (!ParseAv1Config(payload, size, av1)) return;
       track.hasAv1 = true;
       track.av1 = av1;
       track.width = static_cast<int32_t>(av1.width);
       track.height = static_cast<int32_t>(av1.height);
       track.depth = av1.bitDepth;
     }},
    {"vpcC",
     [](const uint8_t* payload, size_t size, int, Mp4Track& track, FileReader*) {
       Vp9VideoInfo vp9;
       if (!ParseVpCodecConfig(payload, size, vp9)) return;
       track.hasVp9 = true;
       track.vp9 = vp9;
       track.depth = vp9.bitDepth;
     }},
    // The boxes below may come before hvcC; they fill the same signals.
    {"mdcv", [](const uint8_t* payload, size_t size, int, Mp4Track& track,
                FileReader*) { ParseMasteringDisplay(payload, size, track.hevc.hdr.mastering); }},
    {"clli", [](const uint8_t* payload, size_t size, int, Mp4Track& track,
                FileReader*) { ParseContentLightLevel(payload, size, track.hevc.hdr.light); }},
    // Opus (dOps): the sample entry's 16 bits mean nothing for it.
    {"dOps",
     [](const uint8_t* payload, size_t size, int, Mp4Track& track, FileReader*) {
       if (size < 11) return;
       track.channels = payload[1];
       track.bitsPerSample = 0;
     }},
    // E-AC-3 (dec3): Atmos is said here, not in the frames' core.
    {"dec3",
     [](const uint8_t* payload, size_t size, int, Mp4Track& track, FileReader*) {
       Eac3Config config;
       if (!ParseDec3(payload, size, config) || !config.atmos || !track.audioText[0]) return;
       std::string text = std::string(track.audioText) + " Atmos";
       CopyText(track.audioText, sizeof track.audioText, text.c_str());
     }},
    {"dvcC", NoteDolbyVisionBox},
    {"dvvC", NoteDolbyVisionBox},
};

}  // namespace

void Mp4CodecKey(const uint8_t* stsd, size_t size, char (&key)[5]) {
  for (size_t i = 0; i < 4; ++i) key[i] = 20 + i < size ? static_cast<char>(stsd[20 + i]) : '\0';
  key[4] = '\0';
  bool wave = (key[0] == 'm' || key[0] == 'M') && (key[1] == 's' || key[1] == 'S');
  for (int i = 0; i < 4; ++i) {
    if (wave && i >= 2) break;
    key[i] = key[i] == '\0' ? ' ' : static_cast<char>(key[i] >= 'a' && key[i] <= 'z' ? key[i] - 32 : key[i]);
  }
}

void ParseMp4SampleDescription(const uint8_t* stsd, size_t size, int kind, Mp4Track& track, FileReader* reader) {
  if (kind != kMp4Video && kind != kMp4Audio) return;
  char key[5];
  Mp4CodecKey(stsd, size, key);
  bool wave = key[0] == 'M' && key[1] == 'S';
  const ByteSpan fields(stsd, size);
  size_t p = 32;
  if (kind == kMp4Video) {
    track.width = static_cast<int32_t>(fields.U16BE(48));
    track.height = static_cast<int32_t>(fields.U16BE(50));
    track.depth = static_cast<uint16_t>(fields.U16BE(98));
    p = 102;
    // Colour table id -1 means none; only 0 means a table follows here:
    // seed (4), flags (2), last index (2), then 8 bytes per entry.
    auto tableId = static_cast<int16_t>(fields.U16BE(100));
    if (tableId == 0) p = 110 + (size_t{fields.U16BE(108)} + 1) * 8;
    LookupCodec(track.videoCodec, sizeof track.videoCodec, "QT-VIDEO", key);
  } else {
    track.channels = static_cast<uint16_t>(fields.U16BE(40));
    track.bitsPerSample = static_cast<uint16_t>(fields.U16BE(42));
    track.sampleRate = fields.U16BE(48) + fields.U16BE(50) / 65536.0;
    // A version 2 sound description keeps the real rate and channel count
    // further on and leaves 1 Hz and 3 channels in the old fields.
    if (fields.U16BE(32) == 2 && size >= 76) {
      track.sampleRate = ReadFloatBE(stsd + 56, 8);
      track.channels = static_cast<uint16_t>(fields.U32BE(64));
      track.bitsPerSample = static_cast<uint16_t>(fields.U32BE(72));
    }
    p = 48;
    uint32_t formatTag = 0;
    if (wave) {
      formatTag = fields.U16BE(22);
      char tagKey[8];
      FormatText(tagKey, sizeof tagKey, "%04X", formatTag);
      LookupCodec(track.audioCodec, sizeof track.audioCodec, "WAV", tagKey);
    } else {
      LookupCodec(track.audioCodec, sizeof track.audioCodec, "QT-AUDIO", key);
      // AC-3 and E-AC-3 share the frame family; the DTS entries hold a core
      // frame first, with any extension substream after it.
      if (EqualNoCase(key, "AC-3", 4) || EqualNoCase(key, "EC-3", 4)) formatTag = 0x2000;
      if (EqualNoCase(key, "DTS", 3)) formatTag = 0x2001;
      // QuickTime's PCM codes say their sample size; the old field keeps 16.
      static constexpr struct {
        const char* key;
        uint16_t bits;
      } kPcmBits[] = {{"IN24", 24}, {"IN32", 32}, {"FL32", 32}, {"FL64", 64}};
      for (const auto& pcm : kPcmBits)
        if (EqualNoCase(key, pcm.key, 4)) track.bitsPerSample = pcm.bits;
    }
    if (formatTag && (wave || formatTag == 0x2000 || formatTag == 0x2001)) ProbeFirstSample(reader, track, formatTag);
    if (formatTag == 0x2001 && track.audioText[0]) NameDtsExtension(reader, track);
  }
  // Configuration boxes; a child shorter than its own header ends the scan.
  while (size >= 8 && p < size - 8) {
    uint32_t boxSize = ReadU32BE(stsd, p);
    const Mp4ConfigBoxRow* row = nullptr;
    for (const Mp4ConfigBoxRow& r : kMp4ConfigBoxes)
      if (EqualNoCase(stsd + p + 4, r.type, 4)) row = &r;
    if (!row) {
      ++p;
      continue;
    }
    if (boxSize < 8) break;
    size_t payloadSize = std::min<size_t>(boxSize - 8, size - p - 8);
    std::vector<uint8_t> payload(stsd + p + 8, stsd + p + 8 + payloadSize);
    p += boxSize;
    row->parse(payload.data(), payload.size(), kind, track, reader);
  }
}

void ParseAvcC(const uint8_t* payload, size_t size, Mp4Track& track) {
  AvcVideoInfo avc = {};
  if (!ParseAvcDecoderConfig(payload, size, avc)) return;
  track.width = avc.width;
  track.height = avc.height;
  track.depth = avc.bitDepth;
  track.interlaced = avc.interlaced;
  CopyText(track.videoCodec, sizeof track.videoCodec, avc.codec);
  CopyText(track.profile, sizeof track.profile, avc.profile);
  CopyText(track.aspect, sizeof track.aspect, avc.aspect);
}

void ParseHvcC(const uint8_t* payload, size_t size, Mp4Track& track) {
  HevcVideoInfo hevc;
  if (!ParseHevcDecoderConfig(payload, size, hevc)) return;
  // Signals from boxes already seen stay unless the parameter sets carry their own.
  HdrSignals boxes = track.hevc.hdr;
  if (!hevc.hdr.mastering.present) hevc.hdr.mastering = boxes.mastering;
  if (!hevc.hdr.light.present) hevc.hdr.light = boxes.light;
  if (!hevc.hdr.dolbyVision[0]) CopyText(hevc.hdr.dolbyVision, sizeof hevc.hdr.dolbyVision, boxes.dolbyVision);
  track.hasHevc = true;
  track.hevc = hevc;
  track.width = static_cast<int32_t>(hevc.width);
  track.height = static_cast<int32_t>(hevc.height);
  track.depth = hevc.bitDepthLuma;
}

void ParseEsds(const uint8_t* payload, size_t size, int kind, Mp4Track& track, FileReader* reader) {
  size_t q = 4;  // version and flags
  uint32_t objectType = 0;
  EsdsObject object{kind, track, reader, 0, 0, 0};
  while (q < size) {
    uint8_t tag = payload[q++];
    if (tag == 3) {  // ES_Descriptor
      ReadDescriptorLength(payload, size, q);
      if (q + 3 > size) break;
      uint8_t flags = payload[q + 2];
      q += 3;
      if (flags & 0x80) q += 2;                              // dependsOn_ES_ID
      if ((flags & 0x40) && q < size) q += 1 + payload[q];  // URL
      if (flags & 0x20) q += 2;                              // OCR_ES_Id
    } else if (tag == 4) {  // DecoderConfigDescriptor
      ReadDescriptorLength(payload, size, q);
      if (q + 13 > size) break;
      objectType = object.objectType = payload[q];
      object.maxBitrate = ReadU32BE(payload, q + 5);
      object.avgBitrate = ReadU32BE(payload, q + 9);
      q += 13;
      const Mp4ObjectRow* row = FindObjectRow(objectType);
      if (!row)
        FormatText(track.audioCodec, sizeof track.audioCodec, "UnknownESConfigDescriptor(%02X)", objectType);
      else if (row->onConfig)
        row->onConfig(object);
    } else if (tag == 5) {  // DecoderSpecificInfo
      uint32_t length = ReadDescriptorLength(payload, size, q);
      size_t n = std::min<size_t>(length, size - std::min(q, size));
      const uint8_t* info = payload + q;
      const Mp4ObjectRow* row = FindObjectRow(objectType);
      if (row && row->onSpecific)
        row->onSpecific(object, info, n);
      else
        FormatText(track.audioCodec, sizeof track.audioCodec, "UnknownESSpecificDescriptor(%02X)", objectType);
      q += n;
    } else if (tag == 6) {  // SLConfigDescriptor
      ReadDescriptorLength(payload, size, q);
      q += 2;
    }
  }
  if (kind == kMp4Video && IsMpegVideoObject(objectType) && !track.hasMpegVideo) {
    std::vector<uint8_t> sample = ReadFirstSample(reader, track);
    ParseMpegVideoConfig(sample.data(), sample.size(), objectType, track);
  }
}

void FormatMp4VideoText(char* out, size_t size, const Mp4Track& track) {
  if (track.hasMpegVideo) {
    MpegVideoInfo mpeg = track.mpegVideo;
    mpeg.averageBitRate = track.videoBitRate;
    if (mpeg.frameRate <= 0) mpeg.frameRate = track.videoFrameRate;
    FormatMpegVideoText(out, size, mpeg);
    return;
  }
  if (track.hasHevc) {
    FormatHevcText(out, size, track.hevc, track.videoFrameRate, track.videoBitRate);
    return;
  }
  if (track.hasAv1) {
    FormatAv1Text(out, size, track.av1, track.videoFrameRate, track.videoBitRate);
    return;
  }
  if (track.hasVp9) {
    FormatVp9Text(out, size, track.vp9, static_cast<uint32_t>(track.width), static_cast<uint32_t>(track.height),
                  track.videoFrameRate, track.videoBitRate);
    return;
  }
  bool avc = track.profile[0] != '\0';
  Description d(avc ? "AVC" : "QUICKTIME", "VIDEO");
  d.Set("#width#", "%d", track.width);
  d.Set("#height#", "%d", track.height);
  d.Set("#bitdepth#", "%d", track.depth);
  d.SetText("#codec#", track.videoCodec);
  d.SetText("#profile#", track.profile);
  d.SetText("#aspect#", track.aspect);
  d.SetText("#interlace#", track.interlaced ? "Interlace" : "Progressive");
  d.SetKnown("#framerate#", "%.2f", track.videoFrameRate);
  d.Set("#frame#", "%lld", static_cast<long long>(track.frameCount));
  d.SetKnown("#bitratek#", "%.2f", track.videoBitRate * 0.001);
  d.SetKnown("#bitrate#", "%.2f", track.videoBitRate);
  CopyText(out, size, d.Text());
}

void FormatMp4AudioText(char* out, size_t size, const Mp4Track& track) {
  Description d("QUICKTIME", "AUDIO");
  d.SetText("#codec#", track.audioCodec);
  d.Set("#sampleratek#", "%.2f", track.sampleRate * 0.001);
  d.Set("#samplerate#", "%lld", WholeNumber(track.sampleRate));
  // Lossy codecs have no sample size.
  d.SetKnown("#bitdepth#", "%.0f", track.bitsPerSample);
  d.Set("#channel#", "%d", track.channels);
  d.SetKnown("#bitratek#", "%.2f", track.audioBitRate * 0.001);
  d.SetKnown("#bitrate#", "%.2f", track.audioBitRate);
  CopyText(out, size, d.Text());
}

}  // namespace probex
