#include "dts.h"

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

constexpr size_t kHeadBytes = 2048;
constexpr size_t kHeaderBytes = 20;
constexpr size_t kSyncSpan = 21;

enum class Packing { kNone, k14Le, k14Be, k16Le, k16Be };

Packing DetectPacking(const uint8_t* b) {
  if (b[0] == 0xFF && b[1] == 0x1F && b[2] == 0x00 && b[3] == 0xE8 && b[4] >= 0xF0 && b[5] == 0x07)
    return Packing::k14Le;
  if (b[0] == 0x1F && b[1] == 0xFF && b[2] == 0xE8 && b[3] == 0x00 && b[4] == 0x07 && b[5] >= 0xF0)
    return Packing::k14Be;
  if (b[0] == 0xFE && b[1] == 0x7F && b[2] == 0x01 && b[3] == 0x80) return Packing::k16Le;
  if (b[0] == 0x7F && b[1] == 0xFE && b[2] == 0x80 && b[3] == 0x01) return Packing::k16Be;
  return Packing::kNone;
}

// kbit/s of transmission rates 0..28 (1411.2 as bit/s below).
constexpr uint32_t kRates[29] = {32000,   56000,   64000,   96000,   112000,  128000,  192000,  224000,
                                 256000,  320000,  384000,  448000,  512000,  576000,  640000,  768000,
                                 960000,  1024000, 1152000, 1280000, 1344000, 1408000, 1411200, 1472000,
                                 1536000, 1920000, 2048000, 3072000, 3840000};

struct Arrangement {
  double channels;
  const char* order;
};
constexpr Arrangement kArrangements[17] = {
    {1, "A"},
    {2, "A+B"},
    {2, "L+R"},
    {2, "(L+R)+(L-R)"},
    {2, "LT+RT"},
    {3, "C+L+R"},
    {3, "L+R+S"},
    {4, "C+L+R+S"},
    {4, "L+R+SL+SR"},
    {5, "C+L+R+SL+SR"},
    {6, "CL+CR+L+R+SL+SR"},
    {6, "C+L+R+LR+RR+OV"},
    {6, "CF+CR+LF+RF+LR+RR"},
    {7, "CL+C+CR+L+R+SL+SR"},
    {8, "CL+CR+L+R+SL1+SL2+SR1+SR2"},
    {8, "CL+C+CR+L+R+SL+S+SR"},
    {0, "User defined"},
};

uint32_t SampleRate(uint32_t code) {
  switch (code) {
    case 1: return 8000;
    case 2: return 16000;
    case 3: return 32000;
    case 6: return 11025;
    case 7: return 22050;
    case 8: return 44100;
    case 11: return 12000;
    case 12: return 24000;
    case 13: return 48000;
    default: return 0;
  }
}

}  // namespace

int64_t FindDtsSync(const uint8_t* buffer, size_t length, size_t start) {
  if (!buffer) return -1;
  for (size_t i = start; i < length && length - i >= kSyncSpan; ++i)
    if (DetectPacking(buffer + i) != Packing::kNone) return static_cast<int64_t>(i);
  return -1;
}

bool ParseDtsHeader(DtsInfo& info, const uint8_t* bytes, size_t length) {
  uint8_t b[kHeaderBytes] = {};
  if (bytes) std::memcpy(b, bytes, length < sizeof b ? length : sizeof b);
  Packing packing = DetectPacking(b);
  static constexpr const char* kPackingNames[5] = {"", "14BitLE", "14BitBE", "16BitLE", "16BitBE"};
  if (packing == Packing::kNone) {
    CopyText(info.error, sizeof info.error, msg::kDtsBadEndian);
    return false;
  }
  CopyText(info.packing, sizeof info.packing, kPackingNames[static_cast<int>(packing)]);

  // The core header as plain big-endian bits.
  char text[9 * 16 + 1] = {};
  size_t at = 0;
  auto put = [&](uint32_t value, int width) {
    for (int bit = width - 1; bit >= 0; --bit) text[at++] = ((value >> bit) & 1) ? '1' : '0';
  };
  for (size_t pair = 0; pair < (packing == Packing::k16Be || packing == Packing::k16Le ? 8u : 9u); ++pair) {
    uint8_t first = b[2 * pair], second = b[2 * pair + 1];
    switch (packing) {
      case Packing::k16Be: put(uint32_t{first} << 8 | second, 16); break;
      case Packing::k16Le: put(uint32_t{second} << 8 | first, 16); break;
      case Packing::k14Be: put((first & 0x3Fu) << 8 | second, 14); break;
      case Packing::k14Le: put((second & 0x3Fu) << 8 | first, 14); break;
      case Packing::kNone: break;
    }
  }
  text[at] = '\0';
  size_t pos = 32;
  auto take = [&](size_t n) {
    uint32_t v = static_cast<uint32_t>(BitValue(text + pos, n));
    pos += n;
    return v;
  };
  take(1);  // frame type
  take(5);  // deficit samples
  bool crcPresent = take(1) != 0;
  uint32_t blocks = take(7);
  uint32_t frameBytes = take(14) + 1;
  uint32_t arrangement = take(6);
  uint32_t frequency = take(4);
  uint32_t rate = take(5);
  take(5);  // mix, dynamic range, time stamp, auxiliary, HDCD
  uint32_t extensionId = take(3);
  bool extension = take(1) != 0;
  take(1);  // ASPF
  uint32_t lfe = take(2);
  take(1);  // header CRC flag
  if (crcPresent) take(16);
  take(1);  // filter
  take(4);  // version
  take(2);  // copy history
  uint32_t resolution = take(3);

  if (arrangement > 16) {
    FormatText(info.error, sizeof info.error, msg::kDtsBadArrangement, static_cast<int>(arrangement));
    return false;
  }
  info.channels = kArrangements[arrangement].channels;
  CopyText(info.channelOrder, sizeof info.channelOrder, kArrangements[arrangement].order);

  info.sampleRate = SampleRate(frequency);
  if (info.sampleRate == 0) {
    FormatText(info.error, sizeof info.error, msg::kDtsBadFrequency, static_cast<int>(frequency));
    return false;
  }

  info.rateText[0] = '\0';
  if (rate < 29) {
    info.bitrate = kRates[rate];
  } else {
    info.bitrate = 0;
    CopyText(info.rateText, sizeof info.rateText, rate == 29 ? "Open" : rate == 30 ? "VBR" : "LossLess");
  }

  info.hasXch = extensionId == 0 || extensionId == 3;
  info.hasX96 = extensionId == 2 || extensionId == 3;

  if (lfe == 1 || lfe == 2) {
    AppendText(info.channelOrder, sizeof info.channelOrder, "+LFE");
    info.channels += 0.1;
  }

  switch (resolution) {
    case 0: info.bitDepth = 16; break;
    case 1: info.bitDepth = 16; info.isExtendedSurround = true; break;
    case 2: info.bitDepth = 20; break;
    case 3: info.bitDepth = 20; info.isExtendedSurround = true; break;
    case 5: info.bitDepth = 24; info.isExtendedSurround = true; break;
    case 6: info.bitDepth = 24; break;
    default:
      FormatText(info.error, sizeof info.error, msg::kDtsBadResolution, static_cast<int>(resolution));
      return false;
  }

  // The extension id means something only when extension audio is present.
  if (extension && info.hasXch) AppendText(info.channelOrder, sizeof info.channelOrder, ":XCh");
  uint32_t coreRate = info.sampleRate;
  if (extension && info.hasX96) info.sampleRate *= 2;

  if (info.computeDuration) {
    // 14-bit words carry 14 bits in every 16 the file holds; each frame
    // fills whole words.
    bool packed14 = packing == Packing::k14Be || packing == Packing::k14Le;
    double unpacked = static_cast<double>(info.streamSize) * (packed14 ? 14.0 / 16.0 : 1.0);
    if (frameBytes >= 96) {
      // Frames of a constant size, each of (blocks + 1) x 32 samples.
      uint64_t stored = packed14 ? (uint64_t{frameBytes} * 8 + 13) / 14 * 2 : frameBytes;
      double frames = std::floor(static_cast<double>(info.streamSize) / static_cast<double>(stored) + 0.5);
      info.duration = frames * (blocks + 1) * 32 / coreRate;
    } else {
      // 768 and 1536 kbit/s are nominal: the frames carry 754.5 and 1509.75.
      double r = info.bitrate == 768000 ? 754500 : info.bitrate == 1536000 ? 1509750 : info.bitrate;
      info.duration = r > 0 ? unpacked * 8 / r : 0;
    }
  }
  return true;
}

void DescribeDts(char* out, size_t size, const DtsInfo& info) {
  if (size == 0) return;
  Description d("DTS", info.rateText[0] ? "AUDIO2" : "AUDIO1");
  d.SetText("#version#", info.isExtendedSurround ? "DTS-ES" : "DTS");
  d.SetText("#endian#", info.packing);
  d.Set("#sampleratek#", "%.2f", info.sampleRate * 0.001);
  d.Set("#samplerate#", "%d", static_cast<int>(info.sampleRate));
  d.Set("#bitdepth#", "%d", static_cast<int>(info.bitDepth));
  d.Set("#channel#", "%.1f", info.channels);
  d.SetText("#channelorder#", info.channelOrder);
  if (info.rateText[0]) {
    d.SetText("#bitrate#", info.rateText);
    d.SetText("#bitratek#", info.rateText);
  } else {
    d.Set("#bitrate#", "%.2f", static_cast<double>(info.bitrate));
    d.Set("#bitratek#", "%.2f", info.bitrate * 0.001);
  }
  CopyText(out, size, d.Text());
}

void AnalyzeDts(MediaInfo& media, FileReader& reader) {
  uint8_t head[kHeadBytes] = {};
  size_t got = reader.Read(head, sizeof head);
  int64_t offset = FindDtsSync(head, got, 0);
  if (offset < 0) {
    SetErrorText(media, msg::kDtsNoSync);
    return;
  }
  DtsInfo info{};
  info.computeDuration = true;
  // The stream runs from its first sync word to the end of the file.
  info.streamSize = media.fileSize - static_cast<uint64_t>(offset);
  uint8_t header[kHeaderBytes] = {};
  reader.Seek(offset, 0);
  size_t n = reader.Read(header, sizeof header, false);
  reader.Close();
  if (!ParseDtsHeader(info, header, n)) {
    SetErrorText(media, info.error);
    return;
  }
  char line[PROBEX_TEXT_BYTES];
  DescribeDts(line, sizeof line, info);
  AddAudioText(media, line);
  media.duration = info.duration;
}

}  // namespace probex
