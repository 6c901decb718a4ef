#include "musepack.h"

#include <cstring>
#include <vector>

#include "../core/bits.h"
#include "../core/file_reader.h"
#include "../core/media_info.h"
#include "../core/templates.h"
#include "../core/text.h"
#include "audio_file.h"
#include "messages.h"
#include "musepack_sv8.h"
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

// Stream version 8 ("MPCK"): packets with a key and a variable size; the
// stream header precedes the first audio packet.
constexpr size_t kSv8Head = 16 * 1024;

void DescribeSv8(MediaInfo& info, FileReader& reader, uint64_t streamSize) {
  std::vector<uint8_t> head(streamSize < kSv8Head ? static_cast<size_t>(streamSize) : kSv8Head);
  head.resize(reader.Read(head.data(), head.size(), false));
  MusepackSv8Info sv8;
  if (!ParseMusepackSv8(head.data(), head.size(), sv8)) {
    SetErrorText(info, msg::kMusePackNoStreamHeader);
    return;
  }
  info.duration = sv8.duration;
  Description d("MUSEPACK", "AUDIO");
  d.Set("#version#", "%u", 8u);
  SetSampleRate(d, sv8.sampleRate);
  SetBitrate(d, MusepackSv8BitRate(sv8, SubtractOrZero(streamSize, sv8.headBytes)));
  if (sv8.channels == 1)
    d.SetText("#channel#", "Mono");
  else if (sv8.channels == 2)
    d.Set("#channel#", "Stereo%s", sv8.midSide ? "/MS" : "");
  else
    d.Set("#channel#", "%uch", static_cast<unsigned>(sv8.channels));
  AddAudioText(info, d.Text());
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
  reader.Read(header, sizeof header, false);
  if (std::memcmp(header, "MPCK", 4) == 0) {
    DescribeSv8(info, reader, mpc.streamSize);
    return;
  }
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
