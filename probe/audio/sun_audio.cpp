#include "sun_audio.h"

#include "../core/bits.h"
#include "../core/file_reader.h"
#include "../core/media_info.h"
#include "../core/templates.h"
#include "../core/text.h"
#include "audio_file.h"

namespace probex {

namespace {

constexpr uint32_t kUnknownDataSize = 0xFFFFFFFF;

uint32_t BitsOfEncoding(uint32_t encoding) {
  switch (encoding) {
    case 1: case 2: case 11: case 27: return 8;
    case 3: case 12: case 18: case 19: case 20: return 16;
    case 4: case 13: return 24;
    case 5: case 6: case 14: return 32;
    case 7: return 64;
    case 23: return 4;
    case 25: return 3;
    case 26: return 5;
    default: return 8;
  }
}

}  // namespace

uint32_t ParseAuHeader(const uint8_t (&header)[kAuHeaderBytes], uint64_t fileSize, AuInfo& info) {
  uint32_t dataOffset = ReadU32BE(header, 4);
  uint32_t dataSize = ReadU32BE(header, 8);
  // Writers that cannot seek back (pipes) leave the size unknown.
  info.dataSize = dataSize == kUnknownDataSize ? SubtractOrZero(fileSize, dataOffset) : dataSize;
  uint32_t encoding = header[15];
  info.sampleRate = ReadU32BE(header, 16);  // all 32 bits: 96 kHz files exist
  info.channels = header[23];
  info.bitsPerSample = BitsOfEncoding(encoding);
  uint64_t bytesPerSecond = uint64_t{info.sampleRate} * info.channels * info.bitsPerSample / 8;
  info.duration = SafeDivide(static_cast<double>(info.dataSize), static_cast<double>(bytesPerSecond));
  info.bitrate = SafeDivide(info.dataSize * 8.0, info.duration);
  return encoding;
}

void AnalyzeSunAudio(MediaInfo& info, FileReader& reader) {
  uint8_t header[kAuHeaderBytes] = {};
  reader.Read(header, sizeof header);
  AuInfo au = {};
  uint32_t encoding = ParseAuHeader(header, reader.Size(), au);
  char key[8];
  FormatText(key, sizeof key, "%02X", encoding);
  LookupCodec(au.codecName, sizeof au.codecName, "AU", key);
  info.duration = au.duration;

  Description d("AU", "AUDIO");
  d.SetText("#codec#", au.codecName);
  SetSampleRate(d, au.sampleRate);
  d.Set("#bitdepth#", "%u", au.bitsPerSample);
  d.Set("#channel#", "%u", au.channels);
  SetBitrate(d, au.bitrate);
  AddAudioText(info, d.Text());
}

}  // namespace probex
