#include "musepack.h"

#include "../core/bits.h"
#include "../core/file_reader.h"
#include "../core/media_info.h"
#include "../core/templates.h"
#include "../core/text.h"
#include "audio_file.h"
#include "tags.h"

namespace probex {

namespace {

constexpr uint32_t kSamplesPerFrame = 1152;
constexpr uint32_t kSampleRates[4] = {44100, 48000, 37800, 32000};

const char* StereoText(bool intensity, bool midSide) {
  if (intensity && midSide) return "/I+MS";
  if (midSide) return "/MS";
  if (intensity) return "/I";
  return "";
}

}  // namespace

void ParseMusePackHeader(const uint8_t (&header)[kMusePackHeaderBytes], MusePackInfo& info) {
  info.streamSize = SubtractOrZero(info.streamSize, kMusePackHeaderBytes);
  info.versionMajor = header[3] & 0x0F;
  info.versionMinor = header[3] >> 4;
  info.channels = 2;
  uint32_t frames = ReadU32LE(header, 4);
  uint32_t flags = ReadU32LE(header, 8);
  info.sampleRate = kSampleRates[(flags >> 16) & 3];
  CopyText(info.stereoText, sizeof info.stereoText, StereoText(flags >> 31, (flags >> 30) & 1));
  // Bits 30-20 of the word at 20; the word at 24 is the encoder's.
  uint32_t lastFrameSamples = (ReadU32LE(header, 20) >> 20) & 0x7FF;
  double samples = frames ? (frames - 1.0) * kSamplesPerFrame + lastFrameSamples : 0.0;
  if (info.computeDuration) {
    info.duration = SafeDivide(samples, info.sampleRate);
    info.bitrate = SafeDivide(info.streamSize * 8.0, info.duration);
  }
}

void AnalyzeMusePack(MediaInfo& info, FileReader& reader) {
  MusePackInfo mpc = {};
  mpc.streamSize = reader.Size();
  mpc.computeDuration = true;
  TagInfo leading = {};
  FindTags(reader, leading);
  SkipLeadingId3v2(reader, leading);
  mpc.streamSize = SubtractOrZero(mpc.streamSize, leading.id3v2Size);
  uint8_t header[kMusePackHeaderBytes] = {};
  reader.Read(header, sizeof header);
  ParseMusePackHeader(header, mpc);
  info.duration = mpc.duration;

  Description d("MUSEPACK", "AUDIO");
  d.Set("#version#", "%u.%u", mpc.versionMajor, mpc.versionMinor);
  SetSampleRate(d, mpc.sampleRate);
  SetBitrate(d, mpc.bitrate);
  d.Set("#channel#", "Stereo%s", mpc.stereoText);
  AddAudioText(info, d.Text());
}

}  // namespace probex
