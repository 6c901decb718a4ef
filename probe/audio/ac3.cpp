#include "ac3.h"

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

constexpr size_t kHeadBytes = 2048;
// Eight independent substreams of 4096-byte frames with a dependent one each.
constexpr size_t kReadBytes = 2048 + 16 * 4096;
constexpr size_t kSyncInfoBytes = 7;
// Enough for every E-AC-3 bsi field up to the bit stream mode.
constexpr size_t kEac3BsiBytes = 96;
// Independent substreams (8) times their dependent ones (8 + 1).
constexpr int kMaxSubstreams = 72;

constexpr uint32_t kBitrates[19] = {32,  40,  48,  56,  64,  80,  96,  112, 128, 160,
                                    192, 224, 256, 320, 384, 448, 512, 576, 640};

struct Mode {
  double channels;
  const char* config;
  const char* order;
};
constexpr Mode kModes[8] = {{2, "1+1", "Ch1+Ch2"}, {1, "1/0", "C"},       {2, "2/0", "L+R"},
                            {3, "3/0", "L+C+R"},   {3, "2/1", "L+R+S"},   {4, "3/1", "L+C+R+S"},
                            {4, "2/2", "L+R+SL+SR"}, {5, "3/2", "L+C+R+SL+SR"}};

void SetServiceType(Ac3Info& info, uint32_t bsmod, uint32_t acmod) {
  static constexpr const char* kTypes[8] = {"CM", "ME", "VI", "HI", "D", "C", "E", nullptr};
  const char* text = bsmod < 7 ? kTypes[bsmod] : (acmod == 1 ? "VO" : "Karaoke");
  CopyText(info.serviceType, sizeof info.serviceType, text);
}

void SetChannels(Ac3Info& info, uint32_t acmod, bool lfe, bool dolbySurround) {
  info.channels = kModes[acmod].channels;
  CopyText(info.channelConfig, sizeof info.channelConfig, kModes[acmod].config);
  CopyText(info.channelOrder, sizeof info.channelOrder, kModes[acmod].order);
  if (lfe) {
    info.channels += 0.1;
    AppendText(info.channelOrder, sizeof info.channelOrder, "+LFE");
  }
  if (dolbySurround) AppendText(info.channelOrder, sizeof info.channelOrder, ":Dolby Surround");
}

bool ParseAc3(Ac3Info& info, const uint8_t* bytes) {
  BitText bits(bytes, kSyncInfoBytes);
  bits.Skip(32);  // sync word, CRC
  uint32_t fscod = static_cast<uint32_t>(bits.Take(2));
  static constexpr uint32_t kRates[3] = {48000, 44100, 32000};
  if (fscod == 3) {
    FormatText(info.error, sizeof info.error, "[AC3] Unknown fscod(%d)", static_cast<int>(fscod));
    return false;
  }
  info.sampleRate = kRates[fscod];
  uint32_t frmsizecod = static_cast<uint32_t>(bits.Take(6));
  if (frmsizecod > 37) {
    FormatText(info.error, sizeof info.error, "[AC3] Unknown frmsizecod(%d)", static_cast<int>(frmsizecod));
    return false;
  }
  info.bitrate = kBitrates[frmsizecod / 2] * 1000;
  // 16-bit words per frame: 2 * kbit/s at 48 kHz, 3 * at 32 kHz; 44.1 kHz pads one word.
  uint32_t words = fscod == 0 ? kBitrates[frmsizecod / 2] * 2
                   : fscod == 2 ? kBitrates[frmsizecod / 2] * 3
                                : kBitrates[frmsizecod / 2] * 320 / 147 + (frmsizecod & 1);
  info.frameSize = words * 2;
  info.bsid = static_cast<uint32_t>(bits.Take(5));
  uint32_t bsmod = static_cast<uint32_t>(bits.Take(3));
  uint32_t acmod = static_cast<uint32_t>(bits.Take(3));
  SetServiceType(info, bsmod, acmod);
  if ((acmod & 1) && acmod != 1) bits.Skip(2);  // centre mix level
  if (acmod & 4) bits.Skip(2);                 // surround mix level
  uint32_t dsurmod = acmod == 2 ? static_cast<uint32_t>(bits.Take(2)) : 0;
  bool lfe = bits.Take(1) != 0;
  SetChannels(info, acmod, lfe, acmod == 2 && dsurmod == 2);
  return true;
}

struct Eac3Frame {
  uint32_t strmtyp;
  uint32_t substreamid;
  uint32_t frameSize;  // bytes
  uint32_t bsid;
};

// The fields every E-AC-3 syncinfo/bsi starts with (ETSI TS 102 366 Annex E).
bool PeekEac3(const uint8_t* b, size_t length, Eac3Frame& frame) {
  if (length < 6 || b[0] != 0x0B || b[1] != 0x77) return false;
  frame.strmtyp = b[2] >> 6;
  frame.substreamid = (b[2] >> 3) & 7;
  frame.frameSize = ((((b[2] & 7u) << 8) | b[3]) + 1) * 2;
  frame.bsid = b[5] >> 3;
  return true;
}

bool ParseEac3(Ac3Info& info, const uint8_t* bytes, size_t length) {
  info.isEac3 = true;
  size_t n = length < kEac3BsiBytes ? length : kEac3BsiBytes;
  BitText bits(bytes, n);
  bits.Skip(16);
  uint32_t strmtyp = static_cast<uint32_t>(bits.Take(2));
  bits.Skip(3);  // substream id
  uint32_t frameSize = (static_cast<uint32_t>(bits.Take(11)) + 1) * 2;
  uint32_t fscod = static_cast<uint32_t>(bits.Take(2));
  uint32_t blocks = 6;
  uint32_t numblkscod = 3;
  if (fscod == 3) {
    uint32_t fscod2 = static_cast<uint32_t>(bits.Take(2));
    static constexpr uint32_t kHalfRates[3] = {24000, 22050, 16000};
    if (fscod2 == 3) {
      FormatText(info.error, sizeof info.error, "[AC3] Unknown fscod2(%d)", static_cast<int>(fscod2));
      return false;
    }
    info.sampleRate = kHalfRates[fscod2];
  } else {
    static constexpr uint32_t kRates[3] = {48000, 44100, 32000};
    static constexpr uint32_t kBlocks[4] = {1, 2, 3, 6};
    info.sampleRate = kRates[fscod];
    numblkscod = static_cast<uint32_t>(bits.Take(2));
    blocks = kBlocks[numblkscod];
  }
  uint32_t acmod = static_cast<uint32_t>(bits.Take(3));
  bool lfe = bits.Take(1) != 0;
  info.bsid = static_cast<uint32_t>(bits.Take(5));

  bits.Skip(5);                    // dialnorm
  if (bits.Take(1)) bits.Skip(8);  // compr
  if (acmod == 0) {
    bits.Skip(5);
    if (bits.Take(1)) bits.Skip(8);
  }
  if (strmtyp == 1 && bits.Take(1)) bits.Skip(16);  // chanmap
  if (bits.Take(1)) {                               // mixing metadata
    if (acmod > 2) bits.Skip(2);
    if ((acmod & 1) && acmod > 2) bits.Skip(6);
    if (acmod & 4) bits.Skip(6);
    if (lfe && bits.Take(1)) bits.Skip(5);
    if (strmtyp == 0) {
      if (bits.Take(1)) bits.Skip(6);
      if (acmod == 0 && bits.Take(1)) bits.Skip(6);
      if (bits.Take(1)) bits.Skip(6);
      switch (bits.Take(2)) {
        case 1: bits.Skip(5); break;
        case 2: bits.Skip(12); break;
        case 3: bits.Skip((bits.Take(5) + 2) * 8); break;
        default: break;
      }
      if (acmod < 2) {
        if (bits.Take(1)) bits.Skip(14);
        if (acmod == 0 && bits.Take(1)) bits.Skip(14);
      }
      if (bits.Take(1)) {
        if (numblkscod == 0) {
          bits.Skip(5);
        } else {
          for (uint32_t k = 0; k < blocks; ++k)
            if (bits.Take(1)) bits.Skip(5);
        }
      }
    }
  }
  uint32_t bsmod = 0, dsurmod = 0;
  if (bits.Take(1)) {  // informational metadata
    bsmod = static_cast<uint32_t>(bits.Take(3));
    bits.Skip(2);
    if (acmod == 2) dsurmod = static_cast<uint32_t>(bits.Take(2));
  }
  SetServiceType(info, bsmod, acmod);
  SetChannels(info, acmod, lfe, acmod == 2 && dsurmod == 2);

  // Further substreams of the same time span (dependent ones, other
  // programs) share the stream's bytes: their sizes count towards the rate.
  uint64_t total = frameSize;
  uint64_t at = frameSize;
  for (int k = 0; k < kMaxSubstreams; ++k) {
    Eac3Frame next;
    if (at >= length || !PeekEac3(bytes + at, length - at, next)) break;
    if (next.bsid <= 10 || next.bsid > 16) break;
    if (next.strmtyp != 1 && next.substreamid == 0) break;  // the next time span begins
    total += next.frameSize;
    at += next.frameSize;
  }
  info.frameSize = total > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(total);
  double rate = static_cast<double>(total) * 8 * info.sampleRate / (blocks * 256.0);
  info.bitrate = rate > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(rate + 0.5);
  return true;
}

}  // namespace

int64_t FindAc3Sync(const uint8_t* buffer, size_t length, size_t start) {
  if (!buffer) return -1;
  for (size_t i = start; i < length && length - i >= kSyncInfoBytes; ++i)
    if (buffer[i] == 0x0B && buffer[i + 1] == 0x77) return static_cast<int64_t>(i);
  return -1;
}

bool ParseAc3SyncInfo(Ac3Info& info, const uint8_t* bytes, size_t length) {
  info.error[0] = '\0';
  if (!bytes || length < kSyncInfoBytes || bytes[0] != 0x0B || bytes[1] != 0x77) return false;
  uint32_t bsid = bytes[5] >> 3;
  bool ok;
  if (bsid <= 10) {
    info.isEac3 = false;
    ok = ParseAc3(info, bytes);
  } else if (bsid <= 16) {
    ok = ParseEac3(info, bytes, length);
  } else {
    info.bsid = bsid;
    FormatText(info.error, sizeof info.error, "[AC3] Unknown bsid(%d)", static_cast<int>(bsid));
    ok = false;
  }
  if (ok && info.computeDuration && info.bitrate != 0)
    info.duration = static_cast<double>(info.streamSize) * 8 / info.bitrate;
  return ok;
}

void DescribeAc3(char* out, size_t size, const Ac3Info& info) {
  if (size == 0) return;
  Description d("AC3", "AUDIO");
  d.SetText("#codec#", info.codec);
  d.Set("#sampleratek#", "%.2f", info.sampleRate * 0.001);
  d.Set("#samplerate#", "%d", static_cast<int>(info.sampleRate));
  d.Set("#channel#", "%.1f", info.channels);
  d.SetText("#channelconfig#", info.channelConfig);
  d.SetText("#channelorder#", info.channelOrder);
  d.SetText("#servicetype#", info.serviceType);
  d.Set("#bitratek#", "%.2f", info.bitrate * 0.001);
  d.Set("#bitrate#", "%.2f", static_cast<double>(info.bitrate));
  CopyText(out, size, d.Text());
}

void AnalyzeAc3(MediaInfo& media, FileReader& reader) {
  // The sync word is looked for in the first 2048 bytes; more are read so
  // that the substreams of a large E-AC-3 frame are seen whole.
  std::vector<uint8_t> head(kReadBytes, 0);
  size_t got = reader.Read(head.data(), head.size());
  reader.Close();

  int64_t offset = FindAc3Sync(head.data(), got < kHeadBytes ? got : kHeadBytes, 0);
  if (offset < 0) {
    SetErrorText(media, msg::kAc3NoSync);
    return;
  }
  Ac3Info info{};
  info.computeDuration = true;
  info.streamSize = media.fileSize - static_cast<uint64_t>(offset);
  if (!ParseAc3SyncInfo(info, head.data() + offset, got - static_cast<size_t>(offset))) {
    SetErrorText(media, info.error);
    return;
  }
  CopyText(info.codec, sizeof info.codec, info.isEac3 ? kEac3Codec : kAc3Codec);
  char line[PROBEX_TEXT_BYTES];
  DescribeAc3(line, sizeof line, info);
  AddAudioText(media, line);
  media.duration = info.duration;
}

}  // namespace probex
