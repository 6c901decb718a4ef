#include "asf.h"

#include <cstring>
#include <vector>

#include "../audio/audio_line.h"
#include "../audio/wave_format.h"
#include "../core/bits.h"
#include "../core/byte_span.h"
#include "../core/file_reader.h"
#include "../core/media_info.h"
#include "../core/messages.h"
#include "../core/templates.h"
#include "../core/text.h"
#include "../video/video_line.h"
#include "probex_formats.h"
#include "chunk_io.h"

namespace probex {

namespace {

constexpr char kHeaderObject[] = "75B22630-668E-11CF-A6D9-00AA0062CE6C";
constexpr char kDataObject[] = "75B22636-668E-11CF-A6D9-00AA0062CE6C";
constexpr char kHeaderExtension[] = "5FBF03B5-A92E-11CF-8EE3-00C00C205365";
constexpr char kFileProperties[] = "8CABDCA1-A947-11CF-8EE4-00C00C205365";
constexpr char kStreamProperties[] = "B7DC0791-A9B7-11CF-8EE6-00C00C205365";
constexpr char kExtendedStreamProperties[] = "14E6A5CB-C672-4332-8399-A96952065B5A";
constexpr char kCodecList[] = "86D15240-311D-11D0-A3A4-00A0C90348F6";
constexpr char kContentEncryption[] = "2211B3FB-BD23-11D2-B4B7-00A0C955FC6E";
constexpr char kAudioMedia[] = "F8699E40-5B4D-11CF-A8FD-00805F5C442B";
constexpr char kVideoMedia[] = "BC19EFC0-5B4D-11CF-A8FD-00805F5C442B";

constexpr size_t kGuidText = 36;
constexpr size_t kObjectHeader = 24;
constexpr size_t kMaxEntries = 10;
constexpr size_t kBodyCap = 256 * 1024;

struct AsfStream {
  char type[37];
  int32_t number;
  BitmapInfo bitmap;
  WaveFormat wave;
};

struct AsfExtendedStream {
  int32_t number;
  double bitRate;
  double frameRate;
};

struct AsfCodec {
  uint16_t type;  // 1 video, 2 audio
  char nameText[128];
  char descriptionText[128];
};

bool GuidIs(const char* text, const char* guid) { return EqualNoCase(text, guid, kGuidText); }

void GuidText(const uint8_t* bytes, char (&out)[40]) { FormatGuid(bytes, out, sizeof out); }

// UTF-16 text of units code units at body offset at, narrowed to its low bytes.
void NarrowText(const ByteSpan& body, size_t at, size_t bytes, char* out, size_t size) {
  std::memset(out, 0, size);
  if (!body.Has(at, bytes)) return;
  size_t limit = (size - 1) * 2;
  TakeEveryNth(body.At(at), out, (bytes < limit ? bytes : limit) & ~size_t{1}, 2);
}

class AsfWalk {
 public:
  AsfWalk(MediaInfo& media, FileReader& reader) : media_(media), reader_(reader) {}
  void Run();

 private:
  void FileProperties(const ByteSpan& body);
  void StreamProperties(const ByteSpan& body, size_t at);
  void ExtendedStreamProperties(const ByteSpan& body);
  void CodecList(const ByteSpan& body);
  void ContentEncryption(const ByteSpan& body);
  void Results();

  MediaInfo& media_;
  FileReader& reader_;
  AsfStream streams_[kMaxEntries] = {};
  size_t streamCount_ = 0;
  AsfExtendedStream extended_[kMaxEntries] = {};
  size_t extendedCount_ = 0;
  AsfCodec codecs_[kMaxEntries] = {};
  size_t codecCount_ = 0;
  uint32_t maxBitrate_ = 0;
};

// Calls visit(guid, size) with the reader just past the object's own header,
// for every object up to the data object, inside the header object and its
// extension too; the walk goes on past the object unless visit says false.
template <class Visit>
void ForEachObject(FileReader& reader, Visit visit) {
  while (reader.Tell() < reader.Size()) {
    uint64_t start = reader.Tell();
    uint8_t head[kObjectHeader] = {};
    if (reader.Read(head, sizeof head) < sizeof head) break;
    char guid[40];
    GuidText(head, guid);
    uint64_t size = ReadU64LE(head, 16);
    if (GuidIs(guid, kDataObject)) break;
    // Below its own header an object would move the walk backwards (0 would
    // keep it in place for ever).
    if (size < kObjectHeader) break;
    if (GuidIs(guid, kHeaderObject)) {
      reader.Seek(6, 1);
      continue;
    }
    if (GuidIs(guid, kHeaderExtension)) {
      reader.Seek(22, 1);
      continue;
    }
    if (size > reader.Size() - start) break;  // runs past the file
    if (!visit(guid, size)) break;
    reader.Seek(static_cast<int64_t>(start + size), 0);
  }
}

void AsfWalk::Run() {
  std::vector<uint8_t> bytes;
  ForEachObject(reader_, [&](const char* guid, uint64_t size) {
    ReadPayload(reader_, size - kObjectHeader, bytes, kBodyCap);
    ByteSpan body(bytes);
    if (GuidIs(guid, kFileProperties)) FileProperties(body);
    else if (GuidIs(guid, kStreamProperties)) StreamProperties(body, 0);
    else if (GuidIs(guid, kExtendedStreamProperties)) ExtendedStreamProperties(body);
    else if (GuidIs(guid, kCodecList)) CodecList(body);
    else if (GuidIs(guid, kContentEncryption)) ContentEncryption(body);
    return true;
  });
  Results();
}

void AsfWalk::FileProperties(const ByteSpan& body) {
  uint64_t seconds = body.U64LE(40) / 10000000;
  uint64_t prerollSeconds = body.U64LE(56) / 1000;
  // Broadcast files carry a play duration of 0, below the preroll.
  media_.duration = seconds > prerollSeconds ? static_cast<double>(seconds - prerollSeconds) : 0.0;
  maxBitrate_ = body.U32LE(76);
}

void AsfWalk::StreamProperties(const ByteSpan& body, size_t at) {
  if (!body.Has(at, 54) || streamCount_ >= kMaxEntries) return;
  char type[40];
  GuidText(body.At(at), type);
  bool video = GuidIs(type, kVideoMedia), audio = GuidIs(type, kAudioMedia);
  if (!video && !audio) return;
  AsfStream& s = streams_[streamCount_++];
  CopyText(s.type, sizeof s.type, type);
  s.number = static_cast<int32_t>(body.U16LE(at + 48) & 0x7F);
  size_t data = at + 54;
  size_t left = body.Size() - data;
  if (video) {
    ParseBitmapInfo(left > 11 ? body.At(data + 11) : nullptr, left > 11 ? left - 11 : 0, s.bitmap);
  } else {
    ParseWaveFormat(body.At(data), left, s.wave);
  }
}

void AsfWalk::ExtendedStreamProperties(const ByteSpan& body) {
  if (!body.Has(0, 64)) return;
  if (extendedCount_ < kMaxEntries) {
    AsfExtendedStream& e = extended_[extendedCount_++];
    e.bitRate = body.U32LE(16);
    e.number = static_cast<int32_t>(body.U16LE(48));
    uint64_t timePerFrame = body.U64LE(52);
    e.frameRate = timePerFrame ? 10000000.0 / static_cast<double>(timePerFrame) : 0.0;
  }
  uint32_t names = body.U16LE(60);
  uint32_t systems = body.U16LE(62);
  size_t at = 64;
  // Stream name lengths count bytes.
  for (uint32_t i = 0; i < names; ++i) {
    if (!body.Has(at, 4)) return;
    size_t length = body.U16LE(at + 2);
    if (!body.Has(at + 4, length)) return;
    at += 4 + length;
  }
  for (uint32_t i = 0; i < systems; ++i) {
    if (!body.Has(at, 22)) return;
    size_t length = body.U32LE(at + 18);
    if (!body.Has(at + 22, length)) return;
    at += 22 + length;
  }
  // An embedded stream properties object, taken only where its GUID stands.
  if (!body.Has(at, kObjectHeader)) return;
  char guid[40];
  GuidText(body.At(at), guid);
  if (GuidIs(guid, kStreamProperties)) StreamProperties(body, at + kObjectHeader);
}

void AsfWalk::CodecList(const ByteSpan& body) {
  uint32_t count = body.U32LE(16);
  size_t at = 20;
  for (uint32_t i = 0; i < count && codecCount_ < kMaxEntries; ++i) {
    if (!body.Has(at, 4)) return;
    AsfCodec& c = codecs_[codecCount_];
    c.type = static_cast<uint16_t>(body.U16LE(at));
    size_t nameBytes = static_cast<size_t>(body.U16LE(at + 2)) * 2;
    if (!body.Has(at + 4, nameBytes + 2)) return;
    NarrowText(body, at + 4, nameBytes, c.nameText, sizeof c.nameText);
    at += 4 + nameBytes;
    size_t descriptionBytes = static_cast<size_t>(body.U16LE(at)) * 2;
    if (!body.Has(at + 2, descriptionBytes + 2)) return;
    NarrowText(body, at + 2, descriptionBytes, c.descriptionText, sizeof c.descriptionText);
    at += 2 + descriptionBytes;
    size_t informationBytes = body.U16LE(at);
    if (!body.Has(at + 2, informationBytes)) return;
    at += 2 + informationBytes;
    ++codecCount_;
  }
}

void AsfWalk::ContentEncryption(const ByteSpan& body) {
  size_t secret = body.U32LE(0);
  if (!body.Has(4, secret)) return;
  size_t at = 4 + secret;
  if (!body.Has(at, 4)) return;
  size_t length = body.U32LE(at);
  if (!body.Has(at + 4, length)) return;
  char type[PROBEX_NAME_BYTES] = {};
  std::memcpy(type, body.At(at + 4), length < sizeof type - 1 ? length : sizeof type - 1);
  char name[PROBEX_NAME_BYTES];
  FormatText(name, sizeof name, "WindowsMedia(%s)", type);
  SetFormatName(media_, name);
}

void AsfWalk::Results() {
  double audioSum = 0;
  for (size_t i = 0; i < streamCount_; ++i)
    if (GuidIs(streams_[i].type, kAudioMedia)) audioSum += streams_[i].wave.avgBytesPerSec * 8.0;
  auto firstCodec = [&](uint16_t type) -> const AsfCodec* {
    for (size_t i = 0; i < codecCount_; ++i)
      if (codecs_[i].type == type) return &codecs_[i];
    return nullptr;
  };
  // What the file's maximum leaves for video once the audio is counted.
  double rest = maxBitrate_ > audioSum ? maxBitrate_ - audioSum : 0.0;

  for (size_t i = 0; i < streamCount_; ++i) {
    const AsfStream& s = streams_[i];
    char text[PROBEX_TEXT_BYTES] = {};
    if (GuidIs(s.type, kVideoMedia)) {
      AsfVideoInfo v{};
      if (const AsfCodec* c = firstCodec(1)) CopyText(v.codec, sizeof v.codec, c->nameText);
      else LookupCodec(v.codec, sizeof v.codec, "AVI", s.bitmap.compression);
      v.bitRate = rest;
      for (size_t k = 0; k < extendedCount_; ++k) {
        if (extended_[k].number != s.number) continue;
        v.frameRate = extended_[k].frameRate;
        v.bitRate = extended_[k].bitRate != 0 ? extended_[k].bitRate : rest;
        break;
      }
      v.width = s.bitmap.width;
      v.height = s.bitmap.height;
      v.bits = s.bitmap.bitCount;
      FormatAsfVideoText(text, sizeof text, v);
      AddVideoText(media_, text);
    } else {
      AsfAudioInfo a{};
      if (const AsfCodec* c = firstCodec(2)) CopyText(a.codec, sizeof a.codec, c->nameText);
      else LookupWaveCodec(a.codec, sizeof a.codec, s.wave.formatTag);
      a.sampleRate = s.wave.samplesPerSec;
      a.bits = s.wave.bitsPerSample;
      a.channels = s.wave.channels;
      a.bitRate = s.wave.avgBytesPerSec * 8.0;
      FormatAsfAudioText(text, sizeof text, a);
      AddAudioText(media_, text);
    }
  }
}

}  // namespace

void FormatAsfVideoText(char* out, size_t size, const AsfVideoInfo& info) {
  Description d("WINDOWSMEDIA", info.frameRate != 0 ? "VIDEO1" : "VIDEO2");
  d.Set("#width#", "%d", info.width);
  d.Set("#height#", "%d", info.height);
  d.Set("#bitdepth#", "%d", info.bits);
  d.SetText("#codec#", info.codec);
  d.SetKnown("#framerate#", "%.2f", info.frameRate);
  d.SetKnown("#bitratek#", "%.2f", info.bitRate * 0.001);
  d.SetKnown("#bitrate#", "%.2f", info.bitRate);
  CopyText(out, size, d.Text());
}

void FormatAsfAudioText(char* out, size_t size, const AsfAudioInfo& info) {
  AudioStream audio{};
  CopyText(audio.codec, sizeof audio.codec, info.codec);
  audio.sampleRate = info.sampleRate;
  audio.bitDepth = info.bits;
  audio.channels = info.channels;
  audio.bitRate = info.bitRate;
  FormatAudioLine(out, size, "WINDOWSMEDIA", "AUDIO", audio);
}

int32_t ScanAsfStreams(FileReader& reader) {
  bool fileProperties = false, audio = false, video = false;
  ForEachObject(reader, [&](const char* guid, uint64_t size) {
    if (GuidIs(guid, kFileProperties)) {
      fileProperties = true;
    } else if (GuidIs(guid, kStreamProperties) && size >= kObjectHeader + 16) {
      uint8_t type[16] = {};
      reader.Read(type, sizeof type);
      char text[40];
      GuidText(type, text);
      audio = audio || GuidIs(text, kAudioMedia);
      video = video || GuidIs(text, kVideoMedia);
    }
    return !(fileProperties && audio && video);
  });
  if (!fileProperties) return format::kUnknown;
  if (video) return format::kAsfVideo;
  return audio ? format::kAsfAudio : format::kUnknown;
}

void AnalyzeAsf(MediaInfo& media, FileReader& reader) {
  SetFormatName(media, "WindowsMedia");
  uint8_t first[16] = {};
  reader.Read(first, sizeof first, false);
  char guid[40];
  GuidText(first, guid);
  if (!GuidIs(guid, kHeaderObject)) {
    SetErrorText(media, msg::kAsfNotAsf);
    return;
  }
  AsfWalk walk(media, reader);
  walk.Run();
  reader.Close();
}

}  // namespace probex
