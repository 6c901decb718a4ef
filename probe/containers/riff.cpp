#include "riff.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "../audio/ac3.h"
#include "../audio/audio_frames.h"
#include "../audio/audio_line.h"
#include "../audio/dts.h"
#include "../audio/midi.h"
#include "../audio/mpeg_audio.h"
#include "../audio/rf64.h"
#include "../audio/tags.h"
#include "../audio/wave_format.h"
#include "../core/bits.h"
#include "../core/file_reader.h"
#include "../core/media_info.h"
#include "../core/messages.h"
#include "../core/templates.h"
#include "../core/text.h"
#include "../video/mpeg_ps.h"
#include "avi.h"
#include "chunk_io.h"

namespace probex {

namespace {

constexpr size_t kProbeWindow = 4096;
// Chunks read whole (fmt, LIST, COMM, FMT) never need more than this.
constexpr size_t kChunkCap = 64 * 1024;
constexpr double kCdSectorsPerSecond = 75.0;

// Sets hasInfoTag for an INFO list and hasId3v1 for a list that ends in an
// ID3v1 block; the reader ends after the list.
void ScanListChunk(FileReader& reader, uint32_t size, TagInfo& tags, bool lookForId3v1) {
  uint64_t start = reader.Tell();
  uint64_t end = ClampedEnd(reader, start, size);
  uint8_t type[4] = {};
  if (end - start >= 4 && reader.Read(type, 4, false) == 4 && IdIs(type, "INFO")) tags.hasInfoTag = true;
  if (lookForId3v1 && size >= 128 && end - start == size) {
    uint8_t tail[3] = {};
    reader.Seek(static_cast<int64_t>(end - 128), 0);
    if (reader.Read(tail, 3, false) == 3 && EqualNoCase(tail, "TAG", 3)) tags.hasId3v1 = true;
  }
  reader.Seek(static_cast<int64_t>(end), 0);
}

// rf64: the file starts "RF64" or "BW64"; its ds64 chunk carries the sizes
// that do not fit the 32-bit fields, which then hold FFFFFFFF.
void WalkWave(MediaInfo& media, FileReader& reader, TagInfo& tags, const char* rf64) {
  const std::string family = rf64 ? std::string(rf64) : std::string("RIFF");
  SetFormatName(media, (family + "(WAVE)").c_str());
  Ds64Info ds64;
  bool ds64Seen = false;
  WaveFormat format{};
  uint32_t payloadTag = 0;
  char codec[256] = {};
  bool probePending = false, probeDescribed = false;
  uint64_t dataSize = 0;
  uint32_t factSamples = 0;
  std::vector<uint8_t> payload;

  while (!reader.AtEnd()) {
    uint8_t id[4] = {};
    reader.Read(id, 4);
    if (reader.AtEnd()) break;
    if (IdIs(id, "2DX9") || EqualNoCase(id, "SD9", 3)) {
      SetFormatName(media, "RIFF(WAVE-IIDX)");
      SkipPayload(reader, ReadSizeLE(reader));
    } else if (IdIsAny(id, {"bext", "iXML", "qlty", "mext", "levl", "link", "axml", "cont"})) {
      SetFormatName(media, (family + "(WAVE-BWF)").c_str());
      SkipPayload(reader, ReadSizeLE(reader));
    } else if (rf64 && IdIs(id, "ds64")) {
      ReadPayload(reader, ReadSizeLE(reader), payload, kChunkCap);
      ds64Seen = ParseDs64(payload.data(), payload.size(), ds64);
    } else if (IdIs(id, "fact")) {
      if (ReadPayload(reader, ReadSizeLE(reader), payload, 4) == 4) factSamples = ReadU32LE(payload.data(), 0);
    } else if (IdIsAny(id, {"aux ", "cue ", "acid", "CDif", "strc", "iwep", "iwem", "smpl"})) {
      SkipPayload(reader, ReadSizeLE(reader));
    } else if (IdIs(id, "fmt ")) {
      ReadPayload(reader, ReadSizeLE(reader), payload, kChunkCap);
      ParseWaveFormat(payload.data(), payload.size(), format);
      LookupWaveCodec(codec, sizeof codec, format.formatTag);
      payloadTag = PayloadFormatTag(payload.data(), payload.size(), format);
      probePending = IsProbedFormatTag(payloadTag);
    } else if (IdIs(id, "LIST")) {
      ScanListChunk(reader, ReadSizeLE(reader), tags, false);
    } else if (IdIs(id, "data")) {
      dataSize = ReadSizeLE(reader);
      const uint64_t rest = reader.Size() > reader.Tell() ? reader.Size() - reader.Tell() : 0;
      if (dataSize == 0xFFFFFFFFu && ds64Seen) {
        dataSize = std::min(Rf64ChunkSize(ds64, "data", 0xFFFFFFFFu), rest);
      } else if (dataSize == 0xFFFFFFFFu) {
        // Streaming writers leave FFFFFFFF for a size they never knew: the
        // data then runs to the end of the file.
        dataSize = std::min<uint64_t>(rest, 0xFFFFFFFFu);
      }
      if (probePending) {
        PeekPayload(reader, dataSize, payload, kProbeWindow);
        char text[PROBEX_TEXT_BYTES] = {};
        if (ProbeAudioPayload(payload.data(), payload.size(), payloadTag, text, sizeof text)) {
          AddAudioText(media, text);
          probeDescribed = true;
        }
        probePending = false;
      }
      SkipPayload(reader, dataSize);
    } else {
      reader.Seek(-3, 1);  // slide one byte over pads and damage
    }
  }

  media.duration = format.avgBytesPerSec ? static_cast<double>(dataSize) / format.avgBytesPerSec : 0.0;
  // Compressed data: the sample count of the fact chunk is exact where the
  // average byte rate is only nominal (ffmpeg writes 16000 for MS ADPCM at
  // 44.1 kHz and 0 for MP3).
  bool pcm = payloadTag == 0x0001 || payloadTag == 0x0003;
  if (!pcm && factSamples > 0 && format.samplesPerSec > 0)
    media.duration = static_cast<double>(factSamples) / format.samplesPerSec;
  if (!probeDescribed) {
    AudioStream audio{};
    CopyText(audio.codec, sizeof audio.codec, codec);
    audio.sampleRate = format.samplesPerSec;
    audio.bitDepth = format.bitsPerSample;
    audio.channels = format.channels;
    audio.bitRate = format.avgBytesPerSec * 8.0;
    char text[PROBEX_TEXT_BYTES] = {};
    FormatRiffAudioText(text, sizeof text, audio);
    AddAudioText(media, text);
  }
}

void WalkRmp3(MediaInfo& media, FileReader& reader, TagInfo& tags) {
  SetFormatName(media, "RIFF(RMP3)");
  uint8_t header[8] = {};
  reader.Read(header, 8);
  uint32_t chunkSize = ReadU32LE(header, 4);
  uint64_t payloadStart = reader.Tell();

  MpegAudioInfo audio{};
  audio.streamSize = chunkSize;
  audio.computeDuration = true;
  AnalyzeMpegAudioStream(audio, reader);
  char text[PROBEX_TEXT_BYTES] = {};
  DescribeMpegAudio(text, sizeof text, audio);
  AddAudioText(media, text);
  media.duration = audio.duration;

  reader.Seek(static_cast<int64_t>(ClampedEnd(reader, payloadStart, chunkSize)), 0);
  while (reader.Tell() < reader.Size()) {
    uint8_t id[4] = {};
    if (reader.Read(id, 4) < 4) break;
    if (IdIs(id, "LIST")) {
      ScanListChunk(reader, ReadSizeLE(reader), tags, true);
    } else if (IdIs(id, "IID3")) {
      tags.hasId3v1 = true;
      SkipPayload(reader, ReadSizeLE(reader));
    } else {
      reader.Seek(-3, 1);
    }
  }
}

// Whole hours only from an hour on, as the reports split times.
void FormatTrackLine(char* out, size_t size, uint32_t track, uint32_t serial, uint64_t seconds) {
  uint64_t hours = seconds >= 3600 ? seconds / 3600 : 0;
  uint64_t rest = seconds - hours * 3600;
  FormatText(out, size, "Track%02u %08X %02u:%02u:%02u", track, serial, static_cast<unsigned>(hours),
             static_cast<unsigned>(rest / 60), static_cast<unsigned>(rest % 60));
}

void WalkCdda(MediaInfo& media, FileReader& reader) {
  SetFormatName(media, "RIFF(CD)");
  uint8_t id[4] = {};
  reader.Read(id, 4);
  if (!IdIs(id, "fmt ")) {
    SetErrorText(media, msg::kRiffCdNoFmt);
    return;
  }
  std::vector<uint8_t> payload;
  ReadPayload(reader, ReadSizeLE(reader), payload, kChunkCap);
  payload.resize(16, 0);
  uint32_t track = ReadU16LE(payload.data(), 2);
  uint32_t serial = ReadU32LE(payload.data(), 4);
  uint32_t start = ReadU32LE(payload.data(), 8);
  uint32_t length = ReadU32LE(payload.data(), 12);
  char text[PROBEX_TEXT_BYTES] = {};
  FormatTrackLine(text, sizeof text, track, serial, static_cast<uint64_t>(start / kCdSectorsPerSecond));
  AddAudioText(media, text);
  media.duration = length / kCdSectorsPerSecond;
}

void WalkRmid(MediaInfo& media, FileReader& reader) {
  SetFormatName(media, "RIFF(MIDI)");
  uint8_t header[8] = {};
  reader.Read(header, 8);
  uint64_t dataStart = reader.Tell();
  uint64_t dataEnd = dataStart + ReadU32LE(header, 4);
  uint8_t head[kMidiHeadBytes] = {};
  size_t n = reader.Read(head, sizeof head, false);
  // Described even without "MThd": the line then shows the zeroed header.
  MidiInfo midi{};
  bool found = ParseMidiHead(head, n, midi);
  Description d("MIDI", midi.title[0] ? "AUDIO1" : "AUDIO2");
  d.Set("#format#", "%u", midi.format);
  d.Set("#track#", "%u", midi.tracks);
  d.Set("#delta#", "%u", midi.division);
  if (midi.title[0]) d.SetText("#title#", midi.title);
  AddAudioText(media, d.Text());
  if (found) media.duration = MidiPlayingTime(reader, dataStart + midi.headerAt, dataEnd, midi);
}

void WalkCdxa(MediaInfo& media, FileReader& reader) {
  SetFormatName(media, "RIFF(VideoCD)");
  while (reader.Tell() < reader.Size()) {
    uint8_t header[8] = {};
    if (reader.Read(header, 8) < 8) break;
    uint32_t size = ReadU32LE(header, 4);
    if (IdIs(header, "fmt ")) {
      SkipPayload(reader, size);
    } else if (IdIs(header, "data")) {
      uint64_t start = reader.Tell();
      AnalyzeMpegSystemStream(reader, media, start, ClampedEnd(reader, start, size), MpegSystemVariant::kMpeg1);
      reader.Seek(static_cast<int64_t>(start), 0);
      SkipPayload(reader, size);
    } else {
      reader.Seek(-3, 1);  // five bytes on from this header
    }
  }
}

// AIFF-C compression types whose frame count counts packets of several
// samples each; every other type counts samples.
uint32_t AifcSamplesPerFrame(const uint8_t* type) {
  static constexpr struct {
    char type[5];
    uint32_t samples;
  } kPackets[] = {{"ima4", 64}, {"MAC3", 6}, {"MAC6", 6}, {"GSM ", 160}, {"Qclp", 160}, {"agsm", 160}};
  for (const auto& p : kPackets)
    if (EqualNoCase(type, p.type, 4)) return p.samples;
  return 1;
}

void WalkAiff(MediaInfo& media, FileReader& reader, bool aifc) {
  SetFormatName(media, "");
  AudioStream audio{};
  uint32_t frames = 0;
  uint32_t samplesPerFrame = 1;
  uint64_t soundSize = 0;
  std::vector<uint8_t> payload;
  while (reader.Tell() < reader.Size()) {
    uint8_t header[8] = {};
    if (reader.Read(header, 8) < 8) break;
    uint32_t size = ReadU32BE(header, 4);
    if (IdIs(header, "COMM")) {
      ReadPayload(reader, size, payload, kChunkCap);
      if (payload.size() < 22) payload.resize(22, 0);
      audio.channels = static_cast<uint16_t>(ReadU16BE(payload.data(), 0));
      frames = ReadU32BE(payload.data(), 2);
      audio.bitDepth = static_cast<uint16_t>(ReadU16BE(payload.data(), 6));
      audio.sampleRate = ReadFloatBE(payload.data() + 8, 10);
      // AIFF-C names its compression after the rate; "NONE" is plain AIFF.
      if (aifc && size >= 22 && !IdIs(payload.data() + 18, "NONE")) {
        size_t n = 4;
        while (n > 0 && (payload[18 + n - 1] == ' ' || payload[18 + n - 1] == 0)) --n;
        for (size_t i = 0; i < n; ++i) {
          uint8_t c = payload[18 + i];
          audio.codec[i] = c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
        }
        audio.codec[n] = '\0';
        samplesPerFrame = AifcSamplesPerFrame(payload.data() + 18);
      }
    } else if (IdIs(header, "SSND")) {
      soundSize = size;
      SkipPayload(reader, size);
    } else {
      SkipPayload(reader, size);
    }
    // IFF pads odd-sized chunks to an even length.
    if (size & 1) SkipPayload(reader, 1);
  }
  double duration = audio.sampleRate > 0 ? static_cast<double>(frames) * samplesPerFrame / audio.sampleRate : 0.0;
  media.duration = duration;
  audio.bitRate = duration > 0 ? soundSize / duration * 8 : 0.0;
  char text[PROBEX_TEXT_BYTES] = {};
  if (audio.codec[0])
    FormatAudioLine(text, sizeof text, "AIFF", "COMPRESSED", audio);
  else
    FormatAiffText(text, sizeof text, audio);
  AddAudioText(media, text);
}

void WalkQlcm(MediaInfo& media, FileReader& reader) {
  SetFormatName(media, "");
  AudioStream audio{};
  uint64_t dataSize = 0;
  std::vector<uint8_t> payload;
  while (reader.Tell() < reader.Size()) {
    uint8_t header[8] = {};
    if (reader.Read(header, 8) < 8) break;
    uint32_t size = ReadU32LE(header, 4);
    if (IdIsAny(header, {"VRAT", "LABL", "OFFS", "CNFG", "TEXT"})) {
      SkipPayload(reader, size);
    } else if (IdIs(header, "DATA")) {
      dataSize = size;
      SkipPayload(reader, size);
    } else if (IdIs(header, "FMT ")) {
      ReadPayload(reader, size, payload, kChunkCap);
      payload.resize(110, 0);
      char name[81] = {};
      std::memcpy(name, payload.data() + 20, 80);
      CopyText(audio.codec, sizeof audio.codec, name);
      audio.bitRate = ReadU16LE(payload.data(), 100);
      audio.sampleRate = ReadU16LE(payload.data(), 106);
      audio.bitDepth = static_cast<uint16_t>(ReadU16LE(payload.data(), 108));
    }
    // Any other identifier: only its header is consumed.
  }
  audio.channels = 1;
  media.duration = audio.bitRate > 0 ? dataSize * 8.0 / audio.bitRate : 0.0;
  char text[PROBEX_TEXT_BYTES] = {};
  FormatPureVoiceText(text, sizeof text, audio);
  AddAudioText(media, text);
}

}  // namespace


void AnalyzeRiff(MediaInfo& media, FileReader& reader) {
  SetFormatName(media, "RIFF");
  TagInfo tags{};

  uint8_t magic[4] = {};
  reader.Read(magic, 4);
  reader.Rewind();
  if (EqualNoCase(magic, "ID3", 3)) SkipId3v2(reader);
  uint64_t riffStart = reader.Tell();
  reader.Read(magic, 4);
  const char* rf64 = std::memcmp(magic, "RF64", 4) == 0 ? "RF64" : std::memcmp(magic, "BW64", 4) == 0 ? "BW64" : nullptr;
  if (std::memcmp(magic, "RIFF", 4) != 0 && std::memcmp(magic, "FORM", 4) != 0 && !rf64) {
    reader.Close();
    SetErrorText(media, msg::kRiffNotRiffAiff);
    return;
  }
  uint8_t header[8] = {};
  reader.Read(header, 8);
  uint64_t riffLength = static_cast<uint64_t>(ReadU32LE(header, 0)) + 8;
  const uint8_t* form = header + 4;

  if (IdIs(form, "AVI ")) {
    WalkAvi(media, reader, riffStart, riffLength, tags);
    if (!reader.IsOpen()) return;  // the walk ended the analysis
  } else if (IdIs(form, "WAVE")) {
    WalkWave(media, reader, tags, rf64);
  } else if (IdIs(form, "RMID")) {
    WalkRmid(media, reader);
  } else if (IdIs(form, "RMP3")) {
    WalkRmp3(media, reader, tags);
  } else if (IdIs(form, "CDDA")) {
    WalkCdda(media, reader);
  } else if (IdIs(form, "CDXA")) {
    WalkCdxa(media, reader);
  } else if (IdIs(form, "AIFF") || IdIs(form, "AIFC")) {
    WalkAiff(media, reader, IdIs(form, "AIFC"));
  } else if (IdIs(form, "QLCM")) {
    WalkQlcm(media, reader);
  } else {
    char name[5] = {};
    std::memcpy(name, form, 4);
    SetErrorFormat(media, msg::kRiffUnsupported, name);
  }

  char text[PROBEX_TEXT_BYTES] = {};
  DescribeTags(text, sizeof text, tags);
  if (text[0]) AddExtraText(media, text);
  reader.Close();
}

}  // namespace probex
