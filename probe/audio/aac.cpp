#include "aac.h"

#include <cmath>
#include <cstring>

#include "../core/bits.h"
#include "../core/file_reader.h"
#include "../core/media_info.h"
#include "../core/messages.h"
#include "../core/templates.h"
#include "../core/text.h"

namespace probex {

namespace {

constexpr uint32_t kFrameLimit = 1000000;
constexpr size_t kAdtsHeaderBytes = 10;
constexpr size_t kFirstFrameBytes = 64;
constexpr size_t kAdifBytes = 1024;

constexpr const char* kProfiles[32] = {
    nullptr,         "Main",          "LC",           "SSR",          "LTP",           "HE",
    "Scalable",      "TwinVQ",        "CELP",         "HVXC",         "Reserved-0x0A", "Reserved-0x0B",
    "TTSI",          "Main synthetic", "Wavetable",   "General MIDI", "Audio FX",      "LC:ER",
    "Reserved-0x12", "LTP:ER",        "Scalable:ER",  "TwinVQ:ER",    "BSAC:ER",       "LD:ER",
    "CELP:ER",       "HXVC:ER",       "HILN:ER",      "Parametric:ER", "Reserved-0x1C", "Reserved-0x1D",
    "Reserved-0x1E", "Reserved-0x1F"};

struct ChannelLayout {
  double channels;
  const char* config;
  const char* order;
};

constexpr ChannelLayout kLayouts[8] = {
    {0.0, "0/0", "CUSTOM"},      {1.0, "1/0", "C"},           {2.0, "2/0", "L+R"},
    {3.0, "3/0", "C+L+R"},       {4.0, "3/1", "C+L+R+BC"},    {5.0, "3/2", "C+L+R+BL+BR"},
    {5.1, "3/2", "C+L+R+BL+BR+LFE"}, {7.1, "3/4", "C+L+R+SL+SR+BL+BR+LFE"}};

// A sampling index, with 15 announcing an explicit 24-bit rate.
uint32_t TakeSampleRate(BitText& bits) {
  uint32_t index = static_cast<uint32_t>(bits.Take(4));
  if (index == 15) return static_cast<uint32_t>(bits.Take(24));
  return AacSampleRateFromIndex(index);
}

void SetProfile(AacInfo& info, uint32_t objectType) {
  info.objectType = objectType;
  AacProfileName(info.profile, sizeof info.profile, objectType);
}

struct Pce {
  uint32_t profile;
  uint32_t srIndex;
  uint32_t channels;
};

// A program config element, from its instance tag on (ISO/IEC 14496-3 4.4.1.1).
Pce ReadPce(BitText& bits) {
  Pce pce{};
  bits.Skip(4);  // element instance tag
  pce.profile = static_cast<uint32_t>(bits.Take(2));
  pce.srIndex = static_cast<uint32_t>(bits.Take(4));
  uint32_t groups[3];
  for (uint32_t& g : groups) g = static_cast<uint32_t>(bits.Take(4));
  uint32_t lfe = static_cast<uint32_t>(bits.Take(2));
  bits.Skip(3);  // associated data elements
  bits.Skip(4);  // coupling channel elements
  if (bits.Take(1)) bits.Skip(4);  // mono mix-down
  if (bits.Take(1)) bits.Skip(4);  // stereo mix-down
  if (bits.Take(1)) bits.Skip(3);  // matrix mix-down
  // A channel pair element carries two channels.
  pce.channels = groups[0] + groups[1] + groups[2] + lfe;
  for (uint32_t g : groups) {
    for (uint32_t k = 0; k < g; ++k) {
      if (bits.Take(1)) ++pce.channels;
      bits.Skip(4);
    }
  }
  return pce;
}

// Channel texts for a count of channels from a program config element.
void SetChannelCount(uint32_t channels, AacInfo& info) {
  // Counts up to six are the configurations of the same number; eight is 7.1.
  if (channels == 8) {
    AacChannelConfigText(7, info);
  } else if (channels == 7) {
    // No configuration has seven channels; the 7.1 texts would claim one too many.
    info.channels = 7.0;
    CopyText(info.channelConfig, sizeof info.channelConfig, "0/0");
    FormatText(info.channelOrder, sizeof info.channelOrder, "UnknownChannel(%d)", 7);
  } else {
    AacChannelConfigText(channels, info);
  }
}

// Channel configuration 0 in an ADTS header: the layout is the program
// config element that opens the first frame's raw data.
void ReadAdtsPce(const uint8_t* frame, size_t length, AacInfo& info) {
  if (length < 8) return;
  BitText bits(frame, length);
  bits.Skip(56);
  if ((frame[1] & 0x01) == 0) bits.Skip(16);  // CRC
  constexpr uint64_t kPceElement = 5;
  if (bits.Take(3) != kPceElement) return;
  Pce pce = ReadPce(bits);
  if (!bits.Exhausted() && pce.channels != 0) SetChannelCount(pce.channels, info);
}

// The fields of the first ADTS header (the caller has checked the sync).
bool ReadAdtsFields(const uint8_t* header, size_t length, AacInfo& info) {
  BitText bits(header, length < 7 ? length : 7);
  bits.Skip(12);
  bits.Skip(1);  // ID
  uint32_t layer = static_cast<uint32_t>(bits.Take(2));
  if (layer != 0) {
    FormatText(info.error, sizeof info.error, msg::kAdtsBadLayer, static_cast<int>(layer));
    return false;
  }
  bits.Skip(1);  // protection absent
  uint32_t profile = static_cast<uint32_t>(bits.Take(2));
  AacProfileName(info.profile, sizeof info.profile, profile + 1);
  info.objectType = profile + 1;
  info.sampleRate = AacSampleRateFromIndex(static_cast<uint32_t>(bits.Take(4)));
  bits.Skip(1);  // private
  uint32_t config = static_cast<uint32_t>(bits.Take(3));
  AacChannelConfigText(config, info);
  if (config == 0) ReadAdtsPce(header, length, info);
  return true;
}

bool HasAdtsSync(const uint8_t* b) { return b[0] == 0xFF && (b[1] & 0xF0) == 0xF0; }

// The shortest frame: the 7-byte header, plus its 2-byte CRC when present.
uint32_t MinimumAdtsFrame(const uint8_t* b) { return (b[1] & 0x01) ? 7 : 9; }

uint32_t ReadAdtsFrameLength(const uint8_t* b) {
  return ((b[3] & 0x03u) << 11) | (uint32_t{b[4]} << 3) | (b[5] >> 5);
}

bool ParseAdif(const uint8_t* bytes, size_t length, AacInfo& info) {
  CopyText(info.framing, sizeof info.framing, "ADIF");
  BitText bits(bytes, length);
  bits.Skip(32);  // "ADIF"
  if (bits.Take(1)) bits.Skip(72);  // copyright id
  bits.Skip(2);                     // original/copy, home
  bool variableRate = bits.Take(1) != 0;
  info.bitrate = static_cast<double>(bits.Take(23));
  if (info.bitrate == 0) {
    CopyText(info.error, sizeof info.error, msg::kAdifZeroBitrate);
    return false;
  }
  bits.Skip(4);  // number of program config elements - 1: the first one describes the stream
  if (!variableRate) bits.Skip(20);  // buffer fullness
  Pce pce = ReadPce(bits);
  info.sampleRate = AacSampleRateFromIndex(pce.srIndex);
  SetChannelCount(pce.channels, info);
  uint32_t profile = pce.profile;
  AacProfileName(info.profile, sizeof info.profile, profile + 1);
  info.objectType = profile + 1;
  return true;
}

}  // namespace

uint32_t AacSampleRateFromIndex(uint32_t index) {
  static constexpr uint32_t kRates[13] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                          22050, 16000, 12000, 11025, 8000,  7350};
  return index < 13 ? kRates[index] : 0;
}

void AacProfileName(char* out, size_t size, uint32_t objectType) {
  if (objectType >= 1 && objectType < 32) {
    CopyText(out, size, kProfiles[objectType]);
  } else {
    FormatText(out, size, "UnknownProfile(%d)", static_cast<int>(objectType));
  }
}

void AacChannelConfigText(uint32_t config, AacInfo& info) {
  if (config < 8) {
    info.channels = kLayouts[config].channels;
    CopyText(info.channelConfig, sizeof info.channelConfig, kLayouts[config].config);
    CopyText(info.channelOrder, sizeof info.channelOrder, kLayouts[config].order);
  } else {
    info.channels = 65535.0;
    CopyText(info.channelConfig, sizeof info.channelConfig, "0/0");
    FormatText(info.channelOrder, sizeof info.channelOrder, "UnknownChannel(%d)", static_cast<int>(config));
  }
}

int64_t FindAdtsSync(const uint8_t* buffer, size_t length, size_t start) {
  if (!buffer) return -1;
  for (size_t i = start; i < length && length - i >= 7; ++i)
    if (HasAdtsSync(buffer + i) && (buffer[i + 1] & 0x06) == 0) return static_cast<int64_t>(i);
  return -1;
}

uint32_t AdtsFrameLength(const uint8_t* bytes, size_t length) {
  if (!bytes || length < 7 || !HasAdtsSync(bytes)) return 0;
  return ReadAdtsFrameLength(bytes);
}

bool ParseAdtsHeaderBytes(const uint8_t* bytes, size_t length, AacInfo& info) {
  CopyText(info.framing, sizeof info.framing, "ADTS");
  if (!bytes || length < 7 || !HasAdtsSync(bytes)) {
    FormatText(info.error, sizeof info.error, msg::kAdtsSyncLost, 0, 0ULL);
    return false;
  }
  return ReadAdtsFields(bytes, length, info);
}

bool ParseAdtsHeader(AacInfo& info, FileReader& reader) {
  CopyText(info.framing, sizeof info.framing, "ADTS");
  uint64_t start = reader.Tell();
  uint64_t p = start;
  uint32_t n = 0;
  auto fail = [&](uint64_t at) {
    FormatText(info.error, sizeof info.error, msg::kAdtsSyncLost, static_cast<int>(n),
               static_cast<unsigned long long>(at));
    reader.Seek(static_cast<int64_t>(start), 0);
    return false;
  };
  for (;;) {
    uint8_t header[kAdtsHeaderBytes] = {};
    reader.Seek(static_cast<int64_t>(p), 0);
    size_t got = reader.Read(header, sizeof header, true);
    if (got < 7 || !HasAdtsSync(header)) return fail(p);
    if (n == 0) {
      // The first frame is read further: its raw data may hold the layout.
      uint8_t first[kFirstFrameBytes] = {};
      reader.Seek(static_cast<int64_t>(p), 0);
      size_t m = reader.Read(first, sizeof first, false);
      if (!ReadAdtsFields(first, m, info)) {
        reader.Seek(static_cast<int64_t>(start), 0);
        return false;
      }
    }
    uint32_t frameLength = ReadAdtsFrameLength(header);
    if (!info.walkFrames) {
      reader.Seek(static_cast<int64_t>(start), 0);
      return true;
    }
    // A frame shorter than its own header would never move the walk on.
    if (frameLength < MinimumAdtsFrame(header)) return fail(p);
    p += frameLength;
    ++n;
    if (n >= kFrameLimit || p + kAdtsHeaderBytes >= info.streamSize) break;
  }

  info.frameCount = n;
  info.duration = 0;
  info.bitrate = 0;
  if (info.sampleRate != 0 && info.streamSize > start) {
    // The part walked stands for the whole stream when the walk hit its limit.
    double walked = static_cast<double>(n) * 1024 / info.sampleRate;
    info.duration = walked * static_cast<double>(info.streamSize - start) / static_cast<double>(p - start);
    if (info.duration > 0) info.bitrate = static_cast<double>(info.streamSize - start) * 8 / info.duration;
  }
  reader.Seek(static_cast<int64_t>(start), 0);
  return true;
}

bool ParseAdifHeaderBytes(const uint8_t* bytes, size_t length, AacInfo& info) {
  if (!bytes || length < 4 || !EqualNoCase(bytes, "ADIF", 4)) {
    CopyText(info.framing, sizeof info.framing, "ADIF");
    CopyText(info.error, sizeof info.error, msg::kAacRawOrUnsupported);
    return false;
  }
  return ParseAdif(bytes, length, info);
}

bool ParseAdifHeader(AacInfo& info, FileReader& reader) {
  uint64_t start = reader.Tell();
  uint8_t block[kAdifBytes] = {};
  size_t got = reader.Read(block, sizeof block, false);
  bool ok = ParseAdif(block, got, info);
  if (ok && info.walkFrames && info.streamSize > start)
    info.duration = static_cast<double>(info.streamSize - start) * 8 / info.bitrate;
  reader.Seek(static_cast<int64_t>(start), 0);
  return ok;
}

bool ParseAudioSpecificConfig(const uint8_t* bytes, size_t length, AacInfo& info) {
  if (!bytes || length == 0) return false;
  BitText bits(bytes, length);
  uint32_t t = static_cast<uint32_t>(bits.Take(5));
  SetProfile(info, t);
  info.sampleRate = TakeSampleRate(bits);
  AacChannelConfigText(static_cast<uint32_t>(bits.Take(4)), info);

  uint32_t e = 0;
  if (t == 5 || t == 29) {
    info.hasSbr = true;
    if (t == 29) {
      info.hasPs = true;
      AacChannelConfigText(2, info);
    }
    info.sampleRate = TakeSampleRate(bits);
    uint32_t core = static_cast<uint32_t>(bits.Take(5));
    SetProfile(info, core);
    if (core == 22) bits.Skip(4);  // extension channel configuration
    e = t;
    t = core;
  }

  auto in = [](uint32_t v, std::initializer_list<uint32_t> set) {
    for (uint32_t s : set)
      if (v == s) return true;
    return false;
  };
  if (in(t, {1, 2, 3, 4, 6, 7, 17, 19, 20, 21, 22, 23})) {
    bits.Skip(1);                     // frame length flag
    if (bits.Take(1)) bits.Skip(14);  // core coder delay
    if (bits.Take(1)) {               // extension flag
      if (in(t, {17, 19, 20, 23})) bits.Skip(3);
      if (t == 22) bits.Skip(16);
      bits.Skip(1);
    }
  }
  if (t == 17 || (t >= 19 && t <= 27)) {
    if (bits.Take(2) == 3) bits.Skip(1);  // error protection configuration
  }

  // Backward-compatible signalling of SBR/PS after the core configuration.
  if (length > 2 && e == 0 && bits.Take(11) == 0x2B7) {
    e = static_cast<uint32_t>(bits.Take(5));
    SetProfile(info, e);
    if (e == 5) {
      if (bits.Take(1)) {
        info.hasSbr = true;
        info.sampleRate = TakeSampleRate(bits);
        if (length > 5 && bits.Take(11) == 0x548 && bits.Take(1)) {
          info.hasPs = true;
          AacChannelConfigText(2, info);
        }
      } else {
        info.sbrAbsent = true;
      }
    } else if (e == 22) {
      if (bits.Take(1)) {
        info.hasSbr = true;
        info.sampleRate = TakeSampleRate(bits);
      }
      bits.Skip(4);  // extension channel configuration
    }
  }

  if (info.hasSbr || info.hasPs) {
    AppendText(info.profile, sizeof info.profile, "(");
    if (info.hasSbr) AppendText(info.profile, sizeof info.profile, "SBR");
    if (info.hasSbr && info.hasPs) AppendText(info.profile, sizeof info.profile, "+");
    if (info.hasPs) AppendText(info.profile, sizeof info.profile, "PS");
    AppendText(info.profile, sizeof info.profile, ")");
  } else if (t == 5 || e == 5) {
    AppendText(info.profile, sizeof info.profile, "(LC)");
  }
  return true;
}

void InferAacFromTrack(AacInfo& info, double trackRate, uint32_t trackChannels) {
  if (info.objectType != 5) return;
  // The track's rate as a whole number of Hz; a rate from a damaged file
  // that no 32-bit rate can equal always differs.
  double wholeRate = trackRate >= 0 && trackRate < 4294967296.0 ? std::trunc(trackRate) : -1;
  if (!info.hasSbr && info.sampleRate != wholeRate) {
    info.sampleRate *= 2;
    AppendText(info.profile, sizeof info.profile, "+(!SBR)");
  }
  // Parametric stereo needs SBR: a configuration that rules SBR out is mono
  // as it says, whatever the track's channel count (ISO files always say 2).
  if (!info.hasPs && !info.sbrAbsent && static_cast<int>(info.channels) == 1 && trackChannels == 2) {
    AacChannelConfigText(2, info);
    AppendText(info.profile, sizeof info.profile, "+(!PS)");
  }
}

void DescribeAac(char* out, size_t size, const AacInfo& info) {
  if (size == 0) return;
  bool walked = std::strcmp(info.framing, "ADTS") == 0 && info.walkFrames;
  Description d("AAC", walked ? "AUDIO2" : "AUDIO1");
  d.Set("#sampleratek#", "%.2f", info.sampleRate * 0.001);
  d.Set("#samplerate#", "%d", static_cast<int>(info.sampleRate));
  d.Set("#channel#", "%.1f", info.channels);
  d.SetText("#channelconfig#", info.channelConfig);
  d.SetText("#channelorder#", info.channelOrder);
  d.SetText("#profile#", info.profile);
  d.Set("#bitratek#", "%.2f", info.bitrate * 0.001);
  d.Set("#bitrate#", "%.2f", info.bitrate);
  if (walked) d.Set("#frame#", "%d", static_cast<int>(info.frameCount));
  CopyText(out, size, d.Text());
}

void AnalyzeAac(MediaInfo& media, FileReader& reader) {
  AacInfo info{};
  uint64_t size = reader.Size();
  uint8_t tail[3] = {};
  if (size >= 128) {
    reader.Seek(-128, 2);
    reader.Read(tail, sizeof tail, false);
  }
  media.fileSize = size >= 128 && EqualNoCase(tail, "TAG", 3) ? size - 128 : size;
  info.streamSize = media.fileSize;
  info.walkFrames = true;

  reader.Rewind();
  uint8_t head[4] = {};
  reader.Read(head, sizeof head, false);
  if (EqualNoCase(head, "ID3", 3)) {
    SkipId3v2(reader);
    std::memset(head, 0, sizeof head);
    reader.Read(head, sizeof head, false);
  }

  bool ok;
  if (head[0] == 0xFF && ((head[1] & 0xFE) == 0xF0 || (head[1] & 0xFE) == 0xF8)) {
    ok = ParseAdtsHeader(info, reader);
  } else if (EqualNoCase(head, "ADIF", 4)) {
    ok = ParseAdifHeader(info, reader);
  } else {
    CopyText(info.error, sizeof info.error, msg::kAacRawOrUnsupported);
    ok = false;
  }
  reader.Close();
  if (!ok) {
    SetErrorText(media, info.error);
    return;
  }
  char line[PROBEX_TEXT_BYTES];
  DescribeAac(line, sizeof line, info);
  AddAudioText(media, line);
  media.duration = info.duration;
}

}  // namespace probex
