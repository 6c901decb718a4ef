#include "matroska_tracks.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "../audio/aac.h"
#include "../audio/ac3.h"
#include "../audio/alac.h"
#include "../audio/audio_file.h"
#include "../audio/audio_frames.h"
#include "../audio/audio_line.h"
#include "../audio/dts.h"
#include "../audio/dts_hd.h"
#include "../audio/flac.h"
#include "../audio/mpeg_audio.h"
#include "../audio/opus.h"
#include "../audio/real_audio.h"
#include "../audio/truehd.h"
#include "../audio/vorbis.h"
#include "../audio/wave_format.h"
#include "../video/av1.h"
#include "../video/avc.h"
#include "../video/dolby_vision.h"
#include "../video/hdr_metadata.h"
#include "../video/hevc.h"
#include "../video/mpeg4_visual.h"
#include "../video/mpeg_video.h"
#include "../video/real_video.h"
#include "../video/theora.h"
#include "../video/video_line.h"
#include "../video/vp9.h"
#include "bits.h"
#include "file_reader.h"
#include "matroska.h"
#include "media_info.h"
#include "mp4_sample_description.h"
#include "templates.h"
#include "text.h"

namespace probex {
namespace {

// CodecPrivate is kept with this many zero bytes after it, so that parsers
// reading a fixed layout from a short one read zeros, not past the buffer.
constexpr size_t kPrivatePadding = 256;
constexpr uint64_t kMaxPrivate = 16ull << 20;

struct TrackState {
  char codecId[32];
  std::vector<uint8_t> privateData;  // padded
  size_t privateSize = 0;
  VideoStream video{};
  AudioStream audio{};
  // Video Colour with its MasteringMetadata, and a Dolby Vision record from
  // a BlockAdditionMapping ('dvcC'/'dvvC'/'dvwC').
  MatroskaColour colour;
  bool hasColour = false;
  uint32_t addIdType = 0;
  DolbyVisionConfig dolbyVision;
  bool hasDolbyVision = false;
  std::string hdrSummary;  // for the extra list, after the chapters and subtitles
};

constexpr uint32_t FourCc(const char* t) {
  return static_cast<uint32_t>(static_cast<uint8_t>(t[0])) << 24 | static_cast<uint32_t>(static_cast<uint8_t>(t[1])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(t[2])) << 8 | static_cast<uint8_t>(t[3]);
}

enum Subtitle { kUtf8, kSsa, kAss, kUsf, kAscii, kBmp, kVobSub, kSubtitleKinds };

struct Summary {
  bool subtitles = false;
  uint32_t counts[kSubtitleKinds] = {};
  std::vector<std::string> hdr;
};

bool Starts(const char* codecId, const char* literal) {
  return StartsWithNoCase(codecId, BoundedLength(codecId, 32), literal);
}

void ReadTrackElements(FileReader& reader, const MatroskaTrack& track, TrackState& state) {
  using namespace ebml;
  // Matroska's defaults: muxers leave out elements that hold them.
  state.audio.sampleRate = 8000.0;
  state.audio.channels = 1;
  reader.Seek(static_cast<int64_t>(track.start), 0);
  uint64_t end = track.start + track.size;
  while (reader.Tell() < end) {
    uint32_t id;
    uint64_t size;
    if (!ReadElementId(reader, id) || !ReadElementSize(reader, size)) break;
    uint64_t position = reader.Tell();
    uint64_t inside = end > position ? std::min(size, end - position) : 0;
    switch (id) {
      case kVideo:
      case kAudio:
      case kColour:
      case kMasteringMetadata:
      case kBlockAdditionMapping:
        state.hasColour = state.hasColour || id == kColour;
        continue;
      case kMatrixCoefficients:
        state.colour.matrix = static_cast<int64_t>(ReadElementUInt(reader, size));
        continue;
      case kRange:
        state.colour.range = static_cast<int64_t>(ReadElementUInt(reader, size));
        continue;
      case kTransferCharacteristics:
        state.colour.transfer = static_cast<int64_t>(ReadElementUInt(reader, size));
        continue;
      case kPrimaries:
        state.colour.primaries = static_cast<int64_t>(ReadElementUInt(reader, size));
        continue;
      case kMaxCll:
        state.colour.maxCll = static_cast<int64_t>(ReadElementUInt(reader, size));
        continue;
      case kMaxFall:
        state.colour.maxFall = static_cast<int64_t>(ReadElementUInt(reader, size));
        continue;
      case kPrimaryRChromaticityX:
      case kPrimaryRChromaticityX + 1:
      case kPrimaryRChromaticityX + 2:
      case kPrimaryRChromaticityX + 3:
      case kPrimaryRChromaticityX + 4:
      case kPrimaryRChromaticityX + 5:
      case kPrimaryRChromaticityX + 6:
      case kPrimaryRChromaticityX + 7: {
        double* fields[] = {&state.colour.redX,  &state.colour.redY,  &state.colour.greenX, &state.colour.greenY,
                            &state.colour.blueX, &state.colour.blueY, &state.colour.whiteX, &state.colour.whiteY};
        *fields[id - kPrimaryRChromaticityX] = ReadElementFloat(reader, size);
        continue;
      }
      case kLuminanceMax:
        state.colour.luminanceMax = ReadElementFloat(reader, size);
        continue;
      case kLuminanceMin:
        state.colour.luminanceMin = ReadElementFloat(reader, size);
        continue;
      case kBlockAddIdType:
        state.addIdType = static_cast<uint32_t>(ReadElementUInt(reader, size));
        continue;
      case kBlockAddIdExtraData: {
        // The type comes first in muxers' output; a record of another type is no Dolby Vision.
        uint8_t record[64] = {};
        size_t got = reader.Read(record, static_cast<size_t>(std::min<uint64_t>(inside, sizeof record)), false);
        if (state.addIdType == FourCc("dvcC") || state.addIdType == FourCc("dvvC") || state.addIdType == FourCc("dvwC"))
          state.hasDolbyVision = ParseDolbyVisionConfig(record, got, state.dolbyVision) || state.hasDolbyVision;
        break;
      }
      case kCodecId: {
        char text[32] = {};
        reader.Read(text, static_cast<size_t>(std::min<uint64_t>(inside, sizeof text - 1)), false);
        CopyText(state.codecId, sizeof state.codecId, text);
        break;
      }
      case kCodecPrivate: {
        size_t n = static_cast<size_t>(std::min(inside, kMaxPrivate));
        state.privateData.assign(n + kPrivatePadding, 0);
        state.privateSize = reader.Read(state.privateData.data(), n, false);
        break;
      }
      case kPixelWidth:
        state.video.width = static_cast<int32_t>(ReadElementUInt(reader, size));
        continue;
      case kPixelHeight:
        state.video.height = static_cast<int32_t>(ReadElementUInt(reader, size));
        continue;
      case kFrameRate:
        state.video.frameRate = ReadElementFloat(reader, size);
        continue;
      case kDefaultDuration: {
        // Nanoseconds per frame; 0 says nothing about the rate.
        uint64_t ns = ReadElementUInt(reader, size);
        if (ns) state.video.frameRate = 1000000000.0 / static_cast<double>(ns);
        continue;
      }
      case kSamplingFrequency:
        state.audio.sampleRate = ReadElementFloat(reader, size);
        continue;
      case kChannels:
        state.audio.channels = static_cast<uint16_t>(ReadElementUInt(reader, size));
        continue;
      case kBitDepth:
        state.audio.bitDepth = static_cast<uint16_t>(ReadElementUInt(reader, size));
        continue;
      default:
        break;
    }
    if (size > reader.Size() - std::min(reader.Size(), position)) break;
    reader.Seek(static_cast<int64_t>(position + size), 0);
  }
  if (state.privateData.empty()) state.privateData.assign(kPrivatePadding, 0);
}

void AddAudioLine(MediaInfo& media, const AudioStream& audio) {
  char line[kLineBytes];
  FormatMatroskaAudioText(line, sizeof line, audio);
  AddAudioText(media, line);
}

void AddVideoLine(MediaInfo& media, const VideoStream& video) {
  char line[kLineBytes];
  FormatMatroskaVideoText(line, sizeof line, video);
  AddVideoText(media, line);
}

void DescribeVfw(FileReader& reader, const MatroskaTrack& track, TrackState& s, MediaInfo& media) {
  BitmapInfo bitmap = {};
  ParseBitmapInfo(s.privateData.data(), s.privateSize, bitmap);
  VideoStream video = {};
  LookupCodec(video.codec, sizeof video.codec, "AVI", bitmap.compression);
  if (std::strncmp(video.codec, "DivX 5", 6) == 0 || std::strncmp(video.codec, "XviD", 4) == 0) {
    std::vector<uint8_t> block = ReadFirstBlock(reader, track);
    RefineMpeg4VisualName(video.codec, sizeof video.codec, block.data(), block.size());
  }
  video.width = bitmap.width;
  video.height = bitmap.height;
  video.bitDepth = bitmap.bitCount;
  video.frameRate = s.video.frameRate;
  char line[kLineBytes];
  FormatRiffVideoText(line, sizeof line, video);
  AddVideoText(media, line);
}

void DescribeAvc(TrackState& s, MediaInfo& media) {
  AvcVideoInfo avc = {};
  ParseAvcDecoderConfig(s.privateData.data(), s.privateSize, avc);
  avc.frameRate = s.video.frameRate;
  char line[kLineBytes];
  FormatAvcVideoText(line, sizeof line, avc);
  AddVideoText(media, line);
}

// The track's Colour and Dolby Vision mapping, over what the codec's own
// record says.
void NoteContainerHdr(const TrackState& s, HdrSignals& hdr) {
  if (s.hasColour) ApplyMatroskaColour(s.colour, hdr);
  if (s.hasDolbyVision) NoteDolbyVision(s.dolbyVision, hdr);
}

// HEVC (hvcC) or AV1 (av1C) from the CodecPrivate record; without a readable
// record only the codec is named.
template <typename Info>
void DescribeFromRecord(TrackState& s, MediaInfo& media, bool (*parse)(const uint8_t*, size_t, Info&),
                        void (*format)(char*, size_t, const Info&, double, double), const char* name) {
  Info record;
  if (!parse(s.privateData.data(), s.privateSize, record)) {
    CopyText(s.video.codec, sizeof s.video.codec, name);
    AddVideoLine(media, s.video);
    return;
  }
  NoteContainerHdr(s, record.hdr);
  s.hdrSummary = HdrSummary(record.hdr);
  char line[kLineBytes];
  format(line, sizeof line, record, s.video.frameRate, 0);
  AddVideoText(media, line);
}

void DescribeMpegVideo(FileReader& reader, const MatroskaInfo& info, const MatroskaTrack& track,
                       MediaInfo& media, bool mpeg2) {
  MpegVideoInfo video = {};
  CopyText(video.codec, sizeof video.codec, mpeg2 ? "MPEG2" : "MPEG1");
  std::vector<uint8_t> frame = ReadFirstFrame(reader, info, track);
  int64_t header = FindStartCode(frame.data(), frame.size(), kMpegSequenceHeaderCode);
  if (header >= 0) {
    size_t at = static_cast<size_t>(header) + 4;
    ParseMpegSequenceHeader(video, frame.data() + at, frame.size() - at);
  }
  if (mpeg2) {
    size_t start = 0;
    int64_t hit;
    while ((hit = FindStartCode(frame.data(), frame.size(), kMpegExtensionStartCode, start)) >= 0) {
      size_t at = static_cast<size_t>(hit);
      if (ParseMpegSequenceExtension(video, frame.data() + at, frame.size() - at)) break;
      start = at + 4;
    }
  }
  char line[kLineBytes];
  FormatMpegVideoText(line, sizeof line, video);
  AddVideoText(media, line);
}

void DescribeRealVideo(TrackState& s, MediaInfo& media) {
  RealVideoInfo rv = {};
  ParseRealVideoHeader(s.privateData.data(), s.privateSize, rv);
  char key[5] = {};
  for (int i = 0; i < 4; ++i) key[i] = static_cast<char>(s.privateData[8 + i]);
  LookupCodec(rv.codec, sizeof rv.codec, "REAL-VIDEO", key);
  char line[kLineBytes];
  FormatRealVideoText(line, sizeof line, rv);
  AddVideoText(media, line);
}

void DescribeQuickTime(TrackState& s, MediaInfo& media, bool video) {
  // The private data is a sample description entry from its format code on:
  // put an stsd header, entry count and entry size in front of it.
  std::vector<uint8_t> stsd(20 + s.privateSize + kPrivatePadding, 0);
  std::copy(s.privateData.begin(), s.privateData.begin() + static_cast<std::ptrdiff_t>(s.privateSize),
            stsd.begin() + 20);
  Mp4Track track{};
  ParseMp4SampleDescription(stsd.data(), s.privateSize + 20, video ? kMp4Video : kMp4Audio, track, nullptr);
  char line[kLineBytes];
  if (video) {
    FormatMp4VideoText(line, sizeof line, track);
    AddVideoText(media, line);
  } else {
    if (track.audioText[0])
      CopyText(line, sizeof line, track.audioText);
    else
      FormatMp4AudioText(line, sizeof line, track);
    AddAudioText(media, line);
  }
}

void DescribeXiph(TrackState& s, MediaInfo& media, bool theora) {
  size_t offset = 0, length = 0;
  const uint8_t* data = s.privateData.data();
  if (!XiphPacket(data, s.privateSize, 0, offset, length)) {
    // Lacing that does not add up: the packet after a two-size header.
    offset = std::min<size_t>(3, s.privateSize);
    length = s.privateSize - offset;
  }
  char line[kLineBytes];
  if (theora) {
    TheoraInfo theoraInfo = {};
    ParseTheoraIdHeader(data + offset, length, theoraInfo);
    FormatTheoraText(line, sizeof line, theoraInfo);
    AddVideoText(media, line);
  } else {
    VorbisInfo vorbis = {};
    ParseVorbisIdHeader(data + offset, length, vorbis);
    FormatVorbisText(line, sizeof line, vorbis);
    AddAudioText(media, line);
  }
}

void DescribeWaveFormat(TrackState& s, MediaInfo& media) {
  WaveFormat format = {};
  ParseWaveFormat(s.privateData.data(), s.privateSize, format);
  AudioStream audio = {};
  LookupWaveCodec(audio.codec, sizeof audio.codec, format.formatTag);
  audio.sampleRate = format.samplesPerSec;
  audio.bitDepth = format.bitsPerSample;
  audio.channels = format.channels;
  audio.bitRate = format.avgBytesPerSec * 8.0;
  char line[kLineBytes];
  FormatRiffAudioText(line, sizeof line, audio);
  AddAudioText(media, line);
}

void DescribeRealAudio(TrackState& s, MediaInfo& media) {
  RealAudioInfo ra = {};
  ParseRealAudioHeader(s.privateData.data(), s.privateSize, ra);
  if (ra.dataSize && ra.bytesPerMinute) ra.bitRate = RealAudioBitRate(ra);
  LookupCodec(ra.codec, sizeof ra.codec, "REAL-AUDIO", ra.codecKey);
  char line[kLineBytes];
  FormatRealAudioText(line, sizeof line, ra);
  AddAudioText(media, line);
}

void DescribeAacTrack(TrackState& s, MediaInfo& media) {
  AacInfo aac = {};
  ParseAudioSpecificConfig(s.privateData.data(), s.privateSize, aac);
  InferAacFromTrack(aac, s.audio.sampleRate, s.audio.channels);
  if (aac.channels != 0) {
    double rate = aac.hasSbr ? aac.sampleRate / 2.0 : aac.sampleRate;
    aac.bitrate = rate * 6144 / (1024 * aac.channels);
  }
  char line[kLineBytes];
  DescribeAac(line, sizeof line, aac);
  AddAudioText(media, line);
}

void DescribeWavPack(FileReader& reader, const MatroskaInfo& info, const MatroskaTrack& track, TrackState& s,
                     MediaInfo& media) {
  std::vector<uint8_t> frame = ReadFirstFrame(reader, info, track);
  bool hybrid = frame.size() >= 8 && (ReadU32LE(frame.data(), 4) & 8);
  std::ptrdiff_t riff = frame.size() > 8 ? FindNoCase(frame.data() + 8, frame.size() - 8, "RIFF") : -1;
  if (riff < 0) {
    CopyText(s.audio.codec, sizeof s.audio.codec, "Wavpack4");
    AddAudioLine(media, s.audio);
    return;
  }
  size_t r = static_cast<size_t>(riff) + 8;
  WaveFormat format = {};
  if (r + 20 < frame.size()) ParseWaveFormat(frame.data() + r + 20, frame.size() - r - 20, format);
  char codec[256];
  LookupWaveCodec(codec, sizeof codec, format.formatTag);
  bool correction = hybrid && FileExists(info.correctionPath);
  Description d("WAVPACK", "AUDIO");
  d.SetText("#version#", correction ? "4(Hybrid)" : "4");
  d.SetText("#hybrid#", hybrid ? "Lossy" : "Lossless");
  d.SetText("#codec#", codec);
  SetSampleRate(d, format.samplesPerSec);
  d.Set("#bitdepth#", "%u", format.bitsPerSample);
  d.Set("#channel#", "%u", format.channels);
  SetBitrate(d, format.avgBytesPerSec * 8.0);
  AddAudioText(media, d.Text());
}

// First sync in the frame whose header parses, described by its own family;
// otherwise the generic line with the fallback label.
void DescribeFromFrame(FileReader& reader, const MatroskaInfo& info, const MatroskaTrack& track, TrackState& s,
                       MediaInfo& media, AudioFrames family, const char* fallback) {
  std::vector<uint8_t> frame = ReadFirstFrame(reader, info, track);
  char line[kLineBytes];
  if (DescribeAudioFrames(family, frame.data(), frame.size(), line, sizeof line)) {
    AddAudioText(media, line);
    return;
  }
  CopyText(s.audio.codec, sizeof s.audio.codec, fallback);
  AddAudioLine(media, s.audio);
}

bool CountSubtitle(const char* id, Summary& summary) {
  static const struct {
    const char* a;
    const char* b;
    Subtitle kind;
  } kKinds[] = {
      {"S_UTF8", "S_TEXT/UTF8", kUtf8}, {"S_SSA", "S_TEXT/SSA", kSsa},       {"S_ASS", "S_TEXT/ASS", kAss},
      {"S_USF", "S_TEXT/USF", kUsf},    {"S_ASCII", "S_TEXT/ASCII", kAscii}, {"S_BMP", "S_IMAGE/BMP", kBmp},
      {"S_VOBSUB", "S_VOBSUB", kVobSub},
  };
  for (const auto& k : kKinds) {
    if (Starts(id, k.a) || Starts(id, k.b)) {
      ++summary.counts[k.kind];
      return true;
    }
  }
  return false;
}

// What a track's codec needs: the file for its first frame, the track's
// elements and the record its line goes to.
struct TrackContext {
  FileReader& reader;
  const MatroskaInfo& info;
  const MatroskaTrack& track;
  TrackState& s;
  MediaInfo& media;
};

void DescribePcm(TrackContext& c) {
  const char* id = c.s.codecId;
  const char* suffix = "";
  size_t n = BoundedLength(id, sizeof c.s.codecId);
  if (n >= 9 && StartsWithNoCase(id + 9, n - 9, "/BIG"))
    suffix = "(BE)";
  else if (n >= 9 && StartsWithNoCase(id + 9, n - 9, "/LIT"))
    suffix = "(LE)";
  else if (StartsWithNoCase(id + 5, n - 5, "/FLOAT"))
    suffix = "(Float)";
  FormatText(c.s.audio.codec, sizeof c.s.audio.codec, "PCM%s", suffix);
  AddAudioLine(c.media, c.s.audio);
}

// "A_AAC/MPEG4/LC" and the like: version and profile from the identifier.
void DescribeAacById(TrackContext& c) {
  const char* id = c.s.codecId;
  size_t n = BoundedLength(id, sizeof c.s.codecId);
  char version[6] = {};
  CopyText(version, sizeof version, id + 6);
  char profile[16] = {};
  if (n > 12) CopyText(profile, sizeof profile, id + 12);
  FormatText(c.s.audio.codec, sizeof c.s.audio.codec, "%s-AAC(%s)", version, profile);
  AddAudioLine(c.media, c.s.audio);
}

// VP9: the key frame that starts the track gives profile, depth, chroma and
// size; a CodecPrivate (vpcC-like features) is rarely there. VP8: the size.
void DescribeVp9(TrackContext& c) {
  std::vector<uint8_t> frame = ReadFirstFrame(c.reader, c.info, c.track);
  Vp9VideoInfo vp9;
  if (!ParseVp9KeyFrame(frame.data(), frame.size(), vp9)) {
    CopyText(c.s.video.codec, sizeof c.s.video.codec, "VP9");
    AddVideoLine(c.media, c.s.video);
    return;
  }
  NoteContainerHdr(c.s, vp9.hdr);
  c.s.hdrSummary = HdrSummary(vp9.hdr);
  char line[kLineBytes];
  FormatVp9Text(line, sizeof line, vp9, static_cast<uint32_t>(std::max(0, c.s.video.width)),
                static_cast<uint32_t>(std::max(0, c.s.video.height)), c.s.video.frameRate, 0);
  AddVideoText(c.media, line);
}

void DescribeVp8(TrackContext& c) {
  std::vector<uint8_t> frame = ReadFirstFrame(c.reader, c.info, c.track);
  Vp8VideoInfo vp8;
  CopyText(c.s.video.codec, sizeof c.s.video.codec, "On2 VP8");
  if (ParseVp8KeyFrame(frame.data(), frame.size(), vp8)) {
    c.s.video.width = static_cast<int32_t>(vp8.width);
    c.s.video.height = static_cast<int32_t>(vp8.height);
  }
  AddVideoLine(c.media, c.s.video);
}

// MPEG-4 Visual in its native mode: the CodecPrivate holds the stream's
// headers (profile, aspect); an encoder's user data in the first frame names
// DivX or XviD.
void DescribeMpeg4Visual(TrackContext& c) {
  char profile[kMpeg4ProfileTextBytes] = {};
  char aspect[kMpeg4AspectTextBytes] = {};
  ParseMpeg4VisualConfig(c.s.privateData.data(), c.s.privateSize, profile, sizeof profile, aspect, sizeof aspect);
  // Encoders with global headers put their user data in the CodecPrivate.
  std::vector<uint8_t> frame(c.s.privateData.begin(), c.s.privateData.begin() + static_cast<std::ptrdiff_t>(c.s.privateSize));
  std::vector<uint8_t> first = ReadFirstFrame(c.reader, c.info, c.track);
  frame.insert(frame.end(), first.begin(), first.end());
  char codec[128] = {};
  if (FindNoCase(frame.data(), frame.size(), "XviD") >= 0) CopyText(codec, sizeof codec, "XviD");
  if (FindNoCase(frame.data(), frame.size(), "DivX") >= 0) CopyText(codec, sizeof codec, "DivX 5");
  if (!codec[0] || !RefineMpeg4VisualName(codec, sizeof codec, frame.data(), frame.size()))
    FormatText(codec, sizeof codec, profile[0] ? "MPEG-4 Visual %s" : "MPEG-4 Visual", profile);
  CopyText(c.s.video.codec, sizeof c.s.video.codec, codec);
  AddVideoLine(c.media, c.s.video);
}

void DescribeOpus(TrackContext& c) {
  OpusInfo opus{};
  if (!ParseOpusHead(c.s.privateData.data(), c.s.privateSize, opus)) {
    CopyText(c.s.audio.codec, sizeof c.s.audio.codec, "Opus");
    AddAudioLine(c.media, c.s.audio);
    return;
  }
  char line[kLineBytes];
  FormatOpusText(line, sizeof line, opus);
  AddAudioText(c.media, line);
}

// "fLaC" and the metadata blocks, STREAMINFO first: its rate, depth and
// channels over the track's elements, which muxers may leave out.
void DescribeFlacTrack(TrackContext& c) {
  FlacInfo flac{};
  const uint8_t* p = c.s.privateData.data();
  CopyText(c.s.audio.codec, sizeof c.s.audio.codec, "FLAC");
  if (c.s.privateSize >= 8 + 34 && std::memcmp(p, "fLaC", 4) == 0 && (p[4] & 0x7F) == 0 &&
      ParseFlacStreamInfo(p + 8, c.s.privateSize - 8, flac) && flac.sampleRate != 0) {
    c.s.audio.sampleRate = flac.sampleRate;
    c.s.audio.bitDepth = static_cast<uint16_t>(flac.bitsPerSample);
    c.s.audio.channels = static_cast<uint16_t>(flac.channels);
  }
  AddAudioLine(c.media, c.s.audio);
}

void DescribeAlac(TrackContext& c) {
  AlacConfig alac;
  CopyText(c.s.audio.codec, sizeof c.s.audio.codec, "Apple Lossless");
  if (ParseAlacConfig(c.s.privateData.data(), c.s.privateSize, alac)) {
    c.s.audio.sampleRate = alac.sampleRate;
    c.s.audio.bitDepth = alac.bitDepth;
    c.s.audio.channels = alac.channels;
  }
  AddAudioLine(c.media, c.s.audio);
}

void DescribeTrueHd(TrackContext& c) {
  std::vector<uint8_t> frame = ReadFirstFrame(c.reader, c.info, c.track);
  TrueHdInfo hd;
  if (!FindMlpMajorSync(frame.data(), frame.size(), hd)) {
    CopyText(c.s.audio.codec, sizeof c.s.audio.codec, "Dolby TrueHD");
    AddAudioLine(c.media, c.s.audio);
    return;
  }
  AddAudioText(c.media, TrueHdText(hd).c_str());
}

// The core frame's line, named after the extension substream that follows
// it (DTS-HD MA, HRA, Express) when there is one.
void DescribeDts(TrackContext& c) {
  std::vector<uint8_t> frame = ReadFirstFrame(c.reader, c.info, c.track);
  char line[kLineBytes];
  if (!DescribeAudioFrames(AudioFrames::kDts, frame.data(), frame.size(), line, sizeof line)) {
    DtsHdInfo hd;
    if (FindDtsHdSubstream(frame.data(), frame.size(), hd)) {
      AddAudioText(c.media, DtsHdText(hd).c_str());
      return;
    }
    CopyText(c.s.audio.codec, sizeof c.s.audio.codec, "DTS");
    AddAudioLine(c.media, c.s.audio);
    return;
  }
  DtsHdInfo hd;
  if (FindDtsHdSubstream(frame.data(), frame.size(), hd) && std::strncmp(line, "DTS", 3) == 0) {
    std::string named = std::string(DtsHdName(hd)) + (line + 3);
    CopyText(line, sizeof line, named.c_str());
  }
  AddAudioText(c.media, line);
}

// One row per CodecID prefix, tried in order (a longer prefix before a
// shorter one it begins with). A row without a describer names the codec
// and shows the track's own elements.
struct MatroskaCodecRow {
  const char* codecId;
  void (*describe)(TrackContext&);
  const char* name;
  bool video;
};

constexpr MatroskaCodecRow kMatroskaCodecs[] = {
    {"V_MS/VFW/FOURCC", [](TrackContext& c) { DescribeVfw(c.reader, c.track, c.s, c.media); }, nullptr, true},
    {"V_MPEGH/ISO/HEVC",
     [](TrackContext& c) { DescribeFromRecord(c.s, c.media, ParseHevcDecoderConfig, FormatHevcText, "HEVC/H.265"); },
     nullptr, true},
    {"V_AV1", [](TrackContext& c) { DescribeFromRecord(c.s, c.media, ParseAv1Config, FormatAv1Text, "AV1"); }, nullptr,
     true},
    {"V_MPEG1", [](TrackContext& c) { DescribeMpegVideo(c.reader, c.info, c.track, c.media, false); }, nullptr, true},
    {"V_MPEG2", [](TrackContext& c) { DescribeMpegVideo(c.reader, c.info, c.track, c.media, true); }, nullptr, true},
    {"V_REAL/", [](TrackContext& c) { DescribeRealVideo(c.s, c.media); }, nullptr, true},
    {"V_QUICKTIME", [](TrackContext& c) { DescribeQuickTime(c.s, c.media, true); }, nullptr, true},
    {"V_THEORA", [](TrackContext& c) { DescribeXiph(c.s, c.media, true); }, nullptr, true},
    {"V_MPEG4/ISO/AVC", [](TrackContext& c) { DescribeAvc(c.s, c.media); }, nullptr, true},
    {"V_MPEG4/ISO", DescribeMpeg4Visual, nullptr, true},
    {"V_VP8", DescribeVp8, nullptr, true},
    {"V_VP9", DescribeVp9, nullptr, true},
    {"A_MS/ACM", [](TrackContext& c) { DescribeWaveFormat(c.s, c.media); }, nullptr, false},
    {"A_PCM/", DescribePcm, nullptr, false},
    {"A_MPC", nullptr, "MusePack", false},
    {"A_VORBIS", [](TrackContext& c) { DescribeXiph(c.s, c.media, false); }, nullptr, false},
    {"A_FLAC", DescribeFlacTrack, nullptr, false},
    {"A_OPUS", DescribeOpus, nullptr, false},
    {"A_ALAC", DescribeAlac, nullptr, false},
    {"A_REAL/", [](TrackContext& c) { DescribeRealAudio(c.s, c.media); }, nullptr, false},
    {"A_AAC/", DescribeAacById, nullptr, false},
    {"A_AAC", [](TrackContext& c) { DescribeAacTrack(c.s, c.media); }, nullptr, false},
    {"A_QUICKTIME", [](TrackContext& c) { DescribeQuickTime(c.s, c.media, false); }, nullptr, false},
    {"A_TTA1", nullptr, "TTA", false},
    {"A_WAVPACK4", [](TrackContext& c) { DescribeWavPack(c.reader, c.info, c.track, c.s, c.media); }, nullptr, false},
    {"A_MPEG/",
     [](TrackContext& c) {
       DescribeFromFrame(c.reader, c.info, c.track, c.s, c.media, AudioFrames::kMpegAudio, "MPEG-Audio");
     },
     nullptr, false},
    {"A_AC3",
     [](TrackContext& c) { DescribeFromFrame(c.reader, c.info, c.track, c.s, c.media, AudioFrames::kAc3, "Dolby AC-3"); },
     nullptr, false},
    {"A_EAC3",
     [](TrackContext& c) { DescribeFromFrame(c.reader, c.info, c.track, c.s, c.media, AudioFrames::kAc3, "Dolby AC-3"); },
     nullptr, false},
    {"A_DTS", DescribeDts, nullptr, false},
    {"A_TRUEHD", DescribeTrueHd, nullptr, false},
};

void DescribeTrack(FileReader& reader, const MatroskaInfo& info, const MatroskaTrack& track, MediaInfo& media,
                   Summary& summary) {
  TrackState s{};
  ReadTrackElements(reader, track, s);
  char* id = s.codecId;
  if (Starts(id, "A_MS/ACM")) {
    WaveFormat format = {};
    ParseWaveFormat(s.privateData.data(), s.privateSize, format);
    switch (format.formatTag) {
      case 0x0050: case 0x0055: std::copy_n("A_MPEG/", 7, id); break;
      case 0x0008: case 0x2001: std::copy_n("A_DTS", 5, id); break;
      case 0x2000: std::copy_n("A_AC3", 5, id); break;
      default: break;
    }
  }
  if (Starts(id, "S_")) summary.subtitles = true;
  if (CountSubtitle(id, summary)) return;

  for (const MatroskaCodecRow& row : kMatroskaCodecs) {
    if (!Starts(id, row.codecId)) continue;
    TrackContext c{reader, info, track, s, media};
    if (row.describe) {
      row.describe(c);
      if (!s.hdrSummary.empty()) summary.hdr.push_back(s.hdrSummary);
    } else if (row.video) {
      CopyText(s.video.codec, sizeof s.video.codec, row.name);
      AddVideoLine(media, s.video);
    } else {
      CopyText(s.audio.codec, sizeof s.audio.codec, row.name);
      AddAudioLine(media, s.audio);
    }
    return;
  }
  char line[kLineBytes];
  FormatText(line, sizeof line, "Unknown CodecID %s", id);
  AddExtraText(media, line);
}

}  // namespace

bool XiphPacket(const uint8_t* bytes, size_t length, size_t index, size_t& offset, size_t& packetLength) {
  if (length == 0) return false;
  size_t count = size_t{bytes[0]} + 1;  // the last packet's size is implied
  if (index >= count) return false;
  size_t at = 1;
  uint64_t sizes[256];
  uint64_t total = 0;
  for (size_t i = 0; i + 1 < count; ++i) {
    uint64_t s = 0;
    while (at < length && bytes[at] == 255) s += 255, ++at;
    if (at >= length) return false;
    s += bytes[at++];
    sizes[i] = s;
    total += s;
  }
  if (total > length - at) return false;
  sizes[count - 1] = length - at - total;
  uint64_t start = at;
  for (size_t i = 0; i < index; ++i) start += sizes[i];
  offset = static_cast<size_t>(start);
  packetLength = static_cast<size_t>(sizes[index]);
  return true;
}

void FormatMatroskaVideoText(char* out, size_t size, const VideoStream& info) {
  Description d("MATROSKA", "VIDEO");
  d.Set("#width#", "%d", info.width);
  d.Set("#height#", "%d", info.height);
  d.Set("#bitdepth#", "%d", info.bitDepth);
  d.SetText("#codec#", info.codec);
  d.SetKnown("#framerate#", "%.2f", info.frameRate);
  CopyText(out, size, d.Text());
}

void FormatMatroskaAudioText(char* out, size_t size, const AudioStream& info) {
  Description d("MATROSKA", "AUDIO");
  d.SetText("#codec#", info.codec);
  d.Set("#sampleratek#", "%.2f", info.sampleRate * 0.001);
  d.Set("#samplerate#", "%lld", WholeNumber(info.sampleRate));
  d.Set("#bitdepth#", "%d", info.bitDepth);
  d.Set("#channel#", "%d", info.channels);
  CopyText(out, size, d.Text());
}

namespace {

void DescribeChaptersAndSubtitles(const MatroskaInfo& info, const Summary& summary, MediaInfo& media) {
  if (!summary.subtitles && info.chapterCount == 0) return;
  char line[kLineBytes] = {};
  if (info.chapterCount) FormatText(line, sizeof line, "Chapter(%u)", info.chapterCount);
  static const char* const kNames[kSubtitleKinds] = {"UTF8", "SSA", "ASS", "USF", "ASCII", "BMP", "VobSub"};
  for (int k = 0; k < kSubtitleKinds; ++k) {
    if (!summary.counts[k]) continue;
    if (line[0]) AppendText(line, sizeof line, " / ");
    AppendFormat(line, sizeof line, "SubTitle/%s(%u)", kNames[k], summary.counts[k]);
  }
  AddExtraText(media, line);
}

}  // namespace

void DescribeMatroskaTracks(FileReader& reader, const MatroskaInfo& info, MediaInfo& media) {
  Summary summary;
  for (const MatroskaTrack& track : info.tracks) DescribeTrack(reader, info, track, media, summary);
  DescribeChaptersAndSubtitles(info, summary, media);
  // HDR details after the container's own entries, which lead the summary.
  for (const std::string& hdr : summary.hdr) AddExtraText(media, hdr.c_str());
}

}  // namespace probex
