#include "mpeg_audio.h"

#include <cstring>
#include <vector>

#include "../core/bits.h"
#include "../core/file_reader.h"
#include "../core/media_info.h"
#include "../core/messages.h"
#include "../core/templates.h"
#include "../core/text.h"

namespace probex {

namespace {

constexpr size_t kSyncWindow = 2048;
constexpr int kMaxInnerTags = 64;

// kbit/s for bit-rate indices 1..14.
constexpr int kMpeg1Layer1[14] = {32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448};
constexpr int kMpeg1Layer2[14] = {32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384};
constexpr int kMpeg1Layer3[14] = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
constexpr int kMpeg2Layer1[14] = {32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256};
constexpr int kMpeg2Layer23[14] = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};

constexpr const char* kLameMethods[16] = {
    "unknown", "CBR",       "ABR",       "VBR-OLD/RH", "VBR-NEW/MTRH", "VBR-MT", "FULL-VBR 4", "VBR-NEW/MT",
    "CBR-2PASS", "ABR-2PASS", nullptr,  nullptr,      nullptr,        nullptr,  nullptr,      "reserved"};
constexpr const char* kLameStereoModes[8] = {"Mono",         "Stereo", "DualMono",        "JointStereo",
                                             "ForcedStereo", "Auto",   "IntensityStereo", "Other"};

// The copy of a first frame is padded so that every fixed offset of the VBR
// headers lies inside it; padding reads as zeros.
constexpr size_t kVbrPadding = 512;

bool IsNameStart(uint8_t c) { return c >= 'A' && c <= 'z'; }

// Up to n printable characters from text; binary bytes end it, trailing spaces go.
void CopyPrintable(char* out, size_t size, const uint8_t* text, size_t n) {
  size_t k = 0;
  while (k < n && k + 1 < size && text[k] >= 0x20 && text[k] <= 0x7E) {
    out[k] = static_cast<char>(text[k]);
    ++k;
  }
  while (k > 0 && out[k - 1] == ' ') --k;
  out[k] = '\0';
}

// "LAMEa.b...": major and minor as integers, so that 3.100 is newer than 3.90.
// A one-digit minor is tenths (3.9 is 3.90).
bool LameTagVersionKnown(const char* version) {
  const char* p = version + 4;
  int major = 0, minor = 0, minorDigits = 0;
  bool anyMajor = false;
  while (*p >= '0' && *p <= '9' && major < 1000) {
    major = major * 10 + (*p++ - '0');
    anyMajor = true;
  }
  if (!anyMajor) return false;
  if (*p == '.') {
    ++p;
    while (*p >= '0' && *p <= '9' && minorDigits < 4) {
      minor = minor * 10 + (*p++ - '0');
      ++minorDigits;
    }
  }
  if (minorDigits == 1) minor *= 10;
  return major > 3 || (major == 3 && minor >= 90);
}

void LameMethodText(char* out, size_t size, uint32_t method) {
  if (method < 16 && kLameMethods[method]) {
    CopyText(out, size, kLameMethods[method]);
  } else {
    FormatText(out, size, "unknown(%02X)", method);
  }
}

}  // namespace

int64_t FindMpegAudioSync(const uint8_t* buffer, size_t length, size_t start) {
  if (!buffer || length < 5) return -1;
  for (size_t i = start; i < length && length - i >= 5; ++i) {
    if (EqualNoCase(buffer + i, "ID3", 3)) return static_cast<int64_t>(i);
    uint8_t b0 = buffer[i], b1 = buffer[i + 1], b2 = buffer[i + 2];
    if (b0 != 0xFF || (b1 & 0xE0) != 0xE0) continue;
    if ((b1 & 0x18) == 0x08 || (b1 & 0x06) == 0x00) continue;
    if ((b2 & 0xF0) == 0xF0 || (b2 & 0x0C) == 0x0C) continue;
    return static_cast<int64_t>(i);
  }
  return -1;
}

bool ParseMpegAudioHeader(const uint8_t* bytes, size_t length, MpegAudioInfo& info) {
  if (!bytes || length < 4) return false;
  BitText bits(bytes, 4);
  bits.Skip(11);
  uint64_t version = bits.Take(2);
  uint64_t layer = bits.Take(2);
  bits.Skip(1);
  uint64_t rateIndex = bits.Take(4);
  uint64_t srIndex = bits.Take(2);
  uint64_t padding = bits.Take(1);
  bits.Skip(1);
  uint64_t mode = bits.Take(2);
  uint64_t extension = bits.Take(2);

  static constexpr int16_t kVersions[4] = {25, 0, 2, 1};
  static constexpr int16_t kLayers[4] = {0, 3, 2, 1};
  if (kVersions[version] == 0 || kLayers[layer] == 0 || rateIndex == 0 || rateIndex == 15 || srIndex == 3)
    return false;
  info.version = kVersions[version];
  info.layer = kLayers[layer];

  const int* table;
  if (info.version == 1) {
    table = info.layer == 1 ? kMpeg1Layer1 : info.layer == 2 ? kMpeg1Layer2 : kMpeg1Layer3;
  } else if (info.version == 2) {
    table = info.layer == 1 ? kMpeg2Layer1 : kMpeg2Layer23;
  } else {
    table = kMpeg2Layer23;
  }
  info.bitrate = table[rateIndex - 1];

  static constexpr double kRates[3] = {44100, 48000, 32000};
  info.sampleRate = kRates[srIndex] / (info.version == 1 ? 1 : info.version == 2 ? 2 : 4);
  info.padding = static_cast<int32_t>(padding);

  static constexpr const char* kModes[4] = {"Stereo", "JointStereo", "DualChannel", "Mono"};
  CopyText(info.channelMode, sizeof info.channelMode, kModes[mode]);
  info.modeExtension[0] = '\0';
  if (mode == 1) {
    static constexpr const char* kBands[4] = {"4-31", "8-31", "12-31", "16-31"};
    static constexpr const char* kLayer3[4] = {"", "I", "MS", "I+MS"};
    CopyText(info.modeExtension, sizeof info.modeExtension, info.layer == 3 ? kLayer3[extension] : kBands[extension]);
  }
  info.frameLength = MpegAudioFrameLength(info);
  return true;
}

uint32_t MpegAudioSamplesPerFrame(const MpegAudioInfo& info) {
  if (info.layer == 1) return 384;
  if (info.layer == 2) return 1152;
  if (info.layer == 3) return info.version == 1 ? 1152 : 576;
  return 0;
}

uint32_t MpegAudioFrameLength(const MpegAudioInfo& info) {
  if (info.sampleRate <= 0 || info.bitrate <= 0) return 0;
  double perSample = 1000.0 * info.bitrate / info.sampleRate;
  // Layer I frames are whole four-byte slots.
  if (info.layer == 1) return (static_cast<uint32_t>(12 * perSample) + static_cast<uint32_t>(info.padding)) * 4;
  if (info.layer == 2 || (info.layer == 3 && info.version == 1))
    return static_cast<uint32_t>(144 * perSample + info.padding);
  if (info.layer == 3) return static_cast<uint32_t>(72 * perSample + info.padding);
  return 0;
}

double MpegAudioDuration(const MpegAudioInfo& info) {
  if (info.streamSize == 0 || info.bitrate <= 0) return 0;
  return static_cast<double>(info.streamSize) * 8 / (info.bitrate * 1000);
}

bool ParseMpegAudioVbrHeader(MpegAudioInfo& info, const uint8_t* frame, size_t length) {
  if (!frame) return false;
  uint64_t skipped = 0;
  while (skipped + 10 <= length && EqualNoCase(frame + skipped, "ID3", 3))
    skipped += uint64_t{Id3v2BodySize(frame + skipped)} + 10;
  if (skipped > length) return false;
  size_t n = length - static_cast<size_t>(skipped);
  std::vector<uint8_t> copy(n + kVbrPadding, 0);
  if (n) std::memcpy(copy.data(), frame + skipped, n);
  const uint8_t* f = copy.data();

  if (!ParseMpegAudioHeader(f, n, info)) return false;

  uint32_t headerFrames = 0;
  if (EqualNoCase(f + 36, "VBRI", 4)) {
    info.hasVbri = true;
    CopyText(info.bitrateMode, sizeof info.bitrateMode, "VBR");
    CopyText(info.vbrHeaderName, sizeof info.vbrHeaderName, "VBRI");
    info.vbriQuality = ReadU16BE(f, 44);
    uint32_t bytes = ReadU32BE(f, 46);
    if (bytes) info.streamSize = bytes;
    info.vbriFrames = ReadU32BE(f, 50);
    headerFrames = info.vbriFrames;
  } else {
    bool mono = std::strcmp(info.channelMode, "Mono") == 0;
    size_t at = info.version == 1 ? (mono ? 21 : 36) : (mono ? 13 : 21);
    bool xing = EqualNoCase(f + at, "Xing", 4);
    if (xing || EqualNoCase(f + at, "Info", 4)) {
      info.hasXing = true;
      CopyText(info.bitrateMode, sizeof info.bitrateMode, "VBR");
      CopyText(info.vbrHeaderName, sizeof info.vbrHeaderName, xing ? "Xing" : "LAME-Info");
      uint32_t flags = ReadU32BE(f, at + 4);
      size_t p = at + 8;
      if (flags & 1) {
        info.xingFrames = ReadU32BE(f, p);
        headerFrames = info.xingFrames;
        p += 4;
      }
      if (flags & 2) {
        uint32_t bytes = ReadU32BE(f, p);
        // A count of 0 says nothing: the caller's stream size stays.
        if (bytes) info.streamSize = bytes;
        p += 4;
      }
      if (flags & 4) p += 100;
      if (flags & 8) p += 4;

      const uint8_t* tag = f + p;
      if (EqualNoCase(tag, "LAME", 4)) {
        std::memcpy(info.lameVersion, tag, 9);
        info.lameVersion[9] = '\0';
        for (char& c : info.lameVersion)
          if (c != '\0' && (static_cast<uint8_t>(c) < 0x20 || static_cast<uint8_t>(c) > 0x7E)) c = ' ';
        if (!LameTagVersionKnown(info.lameVersion)) {
          CopyPrintable(info.encoderName, sizeof info.encoderName, tag, 20);
        } else {
          info.hasLame = true;
          info.lameRevision = tag[9] >> 4;
          uint32_t method = tag[9] & 0x0F;
          LameMethodText(info.lameVbrMethod, sizeof info.lameVbrMethod, method);
          if (method == 1) {
            CopyText(info.bitrateMode, sizeof info.bitrateMode, "CBR");
            info.lameAbrBitrate = 0;
            info.lameMinBitrate = static_cast<uint32_t>(info.bitrate);
          } else if (method == 2) {
            info.lameAbrBitrate = tag[20];
            info.lameMinBitrate = 0;
          } else {
            info.lameAbrBitrate = 0;
            info.lameMinBitrate = tag[20];
          }
          CopyText(info.lameStereoMode, sizeof info.lameStereoMode, kLameStereoModes[(tag[24] >> 2) & 7]);
        }
      } else if (IsNameStart(tag[0])) {
        CopyPrintable(info.encoderName, sizeof info.encoderName, tag, 20);
      } else if (IsNameStart(tag[-4])) {
        CopyPrintable(info.encoderName, sizeof info.encoderName, tag - 4, 20);
      }
    }
  }

  if (!info.hasVbri && !info.hasXing) {
    CopyText(info.bitrateMode, sizeof info.bitrateMode, "CBR");
    uint64_t frames = info.frameLength ? info.streamSize / info.frameLength : 0;
    info.cbrFrameCount = frames > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(frames);
  } else if (std::strcmp(info.bitrateMode, "VBR") == 0 && headerFrames > 1 && info.streamSize != 0) {
    // Without a byte count in the header the caller's stream size stands in.
    uint32_t samples = MpegAudioSamplesPerFrame(info);
    info.bitrate = 0.001 * info.sampleRate * (static_cast<double>(info.streamSize) / (headerFrames - 1)) * 8 / samples;
  }
  return true;
}

bool AnalyzeMpegAudioStream(MpegAudioInfo& info, FileReader& reader) {
  info.tags.searchEnd = info.streamSize != 0;
  if (!info.tags.scanned) FindTags(reader, info.tags);
  auto subtract = [&](uint64_t n) { info.streamSize = info.streamSize > n ? info.streamSize - n : 0; };
  if (info.tags.hasId3v1) subtract(info.tags.id3v1Size);
  if (info.tags.hasApe) subtract(info.tags.apeSize);
  if (info.tags.hasLyrics3) subtract(info.tags.lyrics3Size);
  if (info.tags.hasId3v2) {
    reader.Seek(static_cast<int64_t>(info.tags.id3v2Offset + info.tags.id3v2Size), 0);
    subtract(info.tags.id3v2Size);
  }
  reader.Seek(info.firstFrameOffset, 1);

  uint8_t header[16] = {};
  size_t got = reader.Read(header, sizeof header, false);
  // The sync search also stops at ID3v2 tags behind other data. "ID3" itself
  // reads as a valid MPEG-2.5 header, so the tags are passed over first.
  for (int k = 0; k < kMaxInnerTags && got >= 10 && EqualNoCase(header, "ID3", 3); ++k) {
    reader.Seek(int64_t{Id3v2BodySize(header)} + 10, 1);
    std::memset(header, 0, sizeof header);
    got = reader.Read(header, sizeof header, false);
  }
  if (!ParseMpegAudioHeader(header, got, info)) return false;

  std::vector<uint8_t> frame(info.frameLength, 0);
  size_t n = reader.Read(frame.data(), frame.size(), true);
  ParseMpegAudioVbrHeader(info, frame.data(), n);

  if (info.streamSize != 0 && info.computeDuration) info.duration = MpegAudioDuration(info);
  return true;
}

void DescribeMpegAudio(char* out, size_t size, const MpegAudioInfo& info) {
  if (size == 0) return;
  const char* key = info.hasVbri ? "VBRI"
                    : info.hasLame ? "LAME"
                    : info.hasXing ? "XING"
                    : info.cbrFrameCount ? "CBR1"
                                         : "CBR2";
  Description d("MP3", key);
  d.SetText("#version#", info.version == 1 ? "1" : info.version == 2 ? "2" : "2.5");
  d.SetText("#layer#", info.layer == 1 ? "I" : info.layer == 2 ? "II" : "III");
  d.Set("#sampleratek#", "%.2f", info.sampleRate * 0.001);
  d.Set("#samplerate#", "%lld", WholeNumber(info.sampleRate));
  d.Set("#bitratek#", "%.2f", info.bitrate);
  d.Set("#bitrate#", "%.2f", info.bitrate * 1000);
  d.SetText("#bitratemode#", info.bitrateMode[0] ? info.bitrateMode : "CBR");
  if (info.modeExtension[0]) {
    d.Set("#channel#", "%s/%s", info.channelMode, info.modeExtension);
  } else {
    d.SetText("#channel#", info.channelMode);
  }
  if (info.hasVbri) {
    d.SetText("#vbrformat#", info.vbrHeaderName);
    d.Set("#frame#", "%d", static_cast<int>(info.vbriFrames));
    d.Set("#vbri-qr#", "%d", static_cast<int>(info.vbriQuality));
  } else if (info.hasXing) {
    d.SetText("#vbrformat#", info.vbrHeaderName);
    d.Set("#frame#", "%d", static_cast<int>(info.xingFrames));
    // No encoder text: the placeholder goes rather than show itself.
    d.SetText("#encname#", info.encoderName);
  } else if (info.cbrFrameCount) {
    d.Set("#frame#", "%d", static_cast<int>(info.cbrFrameCount));
  }
  if (info.hasLame) {
    d.SetText("#lame-version#", info.lameVersion);
    d.SetText("#lame-vbrmode#", info.lameVbrMethod);
    d.SetText("#lame-channel#", info.lameStereoMode);
    uint32_t rate = std::strcmp(info.lameVbrMethod, "ABR") == 0 ? info.lameAbrBitrate : info.lameMinBitrate;
    d.Set("#lame-bitratek#", "%d", static_cast<int>(rate));
    d.Set("#lame-bitrate#", "%d", static_cast<int>(rate * 1000));
  }
  CopyText(out, size, d.Text());
}

void AddMpegAudioDescription(MediaInfo& media, const MpegAudioInfo& info) {
  char line[PROBEX_TEXT_BYTES];
  DescribeMpegAudio(line, sizeof line, info);
  AddAudioText(media, line);
  DescribeTags(line, sizeof line, info.tags);
  if (line[0]) AddExtraText(media, line);
  media.duration = info.duration;
}

void AnalyzeMpegAudio(MediaInfo& media, FileReader& reader) {

  MpegAudioInfo info{};
  info.tags.searchEnd = true;
  FindTags(reader, info.tags);
  uint64_t audioStart = 0;
  if (info.tags.hasId3v2) {
    audioStart = info.tags.id3v2Offset + info.tags.id3v2Size;
    reader.Seek(static_cast<int64_t>(audioStart), 0);
    if (info.tags.id3v2Count > 1) {
      char text[PROBEX_TEXT_BYTES];
      FormatText(text, sizeof text, msg::kManyId3v2, info.tags.id3v2Count);
      AddExtraText(media, text);
    }
  }

  std::vector<uint8_t> window(kSyncWindow, 0);
  size_t got = reader.Read(window.data(), window.size(), false);
  int64_t offset = FindMpegAudioSync(window.data(), got, 0);
  if (offset < 0) {
    SetErrorText(media, msg::kMp3NoHeader);
    return;
  }
  info.firstFrameOffset = static_cast<uint32_t>(offset);
  info.computeDuration = true;
  info.streamSize = media.fileSize;
  if (offset != 0) {
    char text[PROBEX_TEXT_BYTES];
    FormatText(text, sizeof text, msg::kInvalidData, static_cast<int>(offset));
    AddExtraText(media, text);
  }

  reader.Seek(static_cast<int64_t>(audioStart), 0);
  if (!AnalyzeMpegAudioStream(info, reader)) {
    SetErrorText(media, msg::kMp3BadHeader);
    return;
  }
  AddMpegAudioDescription(media, info);
}

}  // namespace probex
