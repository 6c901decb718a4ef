#include "avi.h"

#include <cstring>
#include <vector>

#include "../audio/audio_line.h"
#include "../audio/tags.h"
#include "../audio/wave_format.h"
#include "../core/bits.h"
#include "../core/file_reader.h"
#include "../core/media_info.h"
#include "../core/messages.h"
#include "../core/templates.h"
#include "../core/text.h"
#include "../video/hevc.h"
#include "../video/mpeg4_visual.h"
#include "../video/video_line.h"
#include "chunk_io.h"

namespace probex {

namespace {

constexpr size_t kMaxAudioStreams = 8;
constexpr size_t kMaxRiffChunks = 256;
constexpr size_t kProbeWindow = 4096;
// The audio probe gives up beyond this many bytes of the file.
constexpr uint64_t kProbeLimit = 1024000;
constexpr int kFramesSearched = 3;
constexpr size_t kHeaderCap = 64 * 1024;
// Encoder user data sits in the first bytes of a frame (its VOL header).
constexpr size_t kFrameCap = 256 * 1024;

struct AviAudio {
  WaveFormat format;
  uint32_t payloadTag;
  char codec[128];
  bool probed;
};

struct RiffChunk {
  uint64_t start;
  uint64_t length;
};

double StreamDuration(uint32_t length, uint32_t rate, uint32_t scale) {
  if (rate == 0 || scale == 0) return 0.0;
  return static_cast<double>(length) * scale / rate;
}

class AviWalk {
 public:
  AviWalk(MediaInfo& media, FileReader& reader, TagInfo& tags) : media_(media), reader_(reader), tags_(tags) {}

  // false when the analysis ended with an error (the reader is then closed).
  bool Run(uint64_t riffStart, uint64_t riffLength);

 private:
  enum class Step { kGoOn, kLeave, kFail };
  Step Handle(const uint8_t* id);
  Step HandleStreamHeader();
  void HandleVideoHeader(const std::vector<uint8_t>& strh);
  void HandleAudioHeader();
  void HandleAudioChunk(const uint8_t* id);
  void HandleVideoFrame();
  bool AfterIdentifier();
  bool ScansPending() const { return divx_ || xvid_ || hevcPending_ || probePending_; }
  void Finish();

  MediaInfo& media_;
  FileReader& reader_;
  TagInfo& tags_;
  VideoStream video_{};
  double duration_ = 0.0;
  bool haveDuration_ = false;
  AviAudio audio_[kMaxAudioStreams] = {};
  size_t audioCount_ = 0;
  RiffChunk riff_[kMaxRiffChunks] = {};
  size_t riffIndex_ = 0;
  bool divx_ = false, xvid_ = false;
  // HEVC: the parameter sets of the first frame describe the stream.
  bool hevcPending_ = false, hasHevc_ = false;
  HevcVideoInfo hevc_;
  int countdown_ = kFramesSearched;
  bool probePending_ = false, moviSeen_ = false, audioSeen_ = false;
  uint64_t moviTotal_ = 0;
  std::vector<uint8_t> payload_;
};

bool AviWalk::Run(uint64_t riffStart, uint64_t riffLength) {
  SetFormatName(media_, "RIFF(AVI1.0)");
  riff_[0] = {riffStart, riffLength};
  uint64_t fileSize = reader_.Size();
  while (fileSize > 4 && reader_.Tell() < fileSize - 4) {
    uint8_t id[4] = {};
    reader_.Read(id, 4);
    Step step = Handle(id);
    if (step == Step::kFail) return false;
    if (step == Step::kLeave || !AfterIdentifier()) break;
  }
  Finish();
  return true;
}

AviWalk::Step AviWalk::Handle(const uint8_t* id) {
  if (IdIsAny(id, {"JUNK", "strc", "strd", "strn", "idx1", "indx", "ix00", "ix01", "dmlh", "MTDA", "MENU",
                   "GDAT", "IDIT", "vprp", "JUNQ", "vedt", "IAS1", "00IV", "PARf", "ILNG", "vind", "AVIU"})) {
    SkipPayload(reader_, ReadSizeLE(reader_));
  } else if (IdIsAny(id, {"hdrl", "strl", "odml", "rec ", "AVIX", "DXDT", "goog", "INFO", "PrmA"})) {
    if (IdIs(id, "DXDT")) SetFormatName(media_, "RIFF(DivXMedia)");
    if (IdIs(id, "goog")) SetFormatName(media_, "RIFF(GoogleVideo)");
    if (IdIs(id, "odml")) SetFormatName(media_, "RIFF(AVI2.0)");
  } else if (IdIsAny(id, {"INAM", "ISBJ", "IART", "IPRD", "ICMT", "ICRD", "IGNR", "ICOP", "IENG", "ISRC", "ISFT"})) {
    tags_.hasInfoTag = true;
    SkipPayload(reader_, ReadSizeLE(reader_));
  } else if (IdIs(id, "RIFF")) {
    uint32_t size = ReadSizeLE(reader_);
    riff_[riffIndex_] = {reader_.Tell() - 8, static_cast<uint64_t>(size) + 8};
  } else if (IdIs(id, "LIST")) {
    ReadSizeLE(reader_);  // the walk goes on inside the list
  } else if (IdIs(id, "avih")) {
    ReadPayload(reader_, ReadSizeLE(reader_), payload_, kHeaderCap);
    payload_.resize(4, 0);
    uint32_t microseconds = ReadU32LE(payload_.data());
    video_.frameRate = microseconds ? 1000000.0 / microseconds : 0.0;
  } else if (IdIs(id, "strh")) {
    return HandleStreamHeader();
  } else if (IdIs(id, "movi")) {
    reader_.Seek(-8, 1);
    uint8_t header[8] = {};
    reader_.Read(header, 8);
    moviTotal_ += ReadU32LE(header);
    moviSeen_ = true;
  } else if (EqualNoCase(id + 2, "wb", 2)) {
    HandleAudioChunk(id);
  } else if (IdIs(id, "00db") || IdIs(id, "00dc")) {
    HandleVideoFrame();
  } else {
    reader_.Seek(-3, 1);  // slide one byte over pads and damage
  }
  return Step::kGoOn;
}

AviWalk::Step AviWalk::HandleStreamHeader() {
  uint32_t size = ReadSizeLE(reader_);
  std::vector<uint8_t> strh;
  ReadPayload(reader_, size, strh, kHeaderCap);
  strh.resize(36, 0);
  const uint8_t* type = strh.data();
  if (IdIs(type, "vids")) {
    HandleVideoHeader(strh);
  } else if (IdIs(type, "auds")) {
    HandleAudioHeader();
  } else if (IdIs(type, "iavs")) {
    SetFormatName(media_, "RIFF(DV Type1)");
    char handler[5] = {};
    std::memcpy(handler, strh.data() + 4, 4);
    LookupCodec(video_.codec, sizeof video_.codec, "AVI", handler);
    video_.width = 720;
    video_.height = 480;
    video_.bitDepth = 0;
    uint32_t length = ReadU32LE(strh.data(), 32);
    video_.frameCount = static_cast<int32_t>(length);
    duration_ = StreamDuration(length, ReadU32LE(strh.data(), 24), ReadU32LE(strh.data(), 20));
    haveDuration_ = true;
  } else if (IdIs(type, "subs")) {
    uint8_t header[8] = {};
    reader_.Read(header, 8);
    SkipPayload(reader_, ReadU32LE(header, 4));
  } else {
    char name[5] = {};
    std::memcpy(name, type, 4);
    reader_.Close();
    SetErrorFormat(media_, msg::kAviUnknownFccType, name, static_cast<int>(size));
    return Step::kFail;
  }
  return Step::kGoOn;
}

void AviWalk::HandleVideoHeader(const std::vector<uint8_t>& strh) {
  uint32_t scale = ReadU32LE(strh.data(), 20);
  uint32_t rate = ReadU32LE(strh.data(), 24);
  uint32_t length = ReadU32LE(strh.data(), 32);
  uint8_t header[8] = {};
  reader_.Read(header, 8);
  ReadPayload(reader_, ReadU32LE(header, 4), payload_, kHeaderCap);
  BitmapInfo bitmap{};
  ParseBitmapInfo(payload_.data(), payload_.size(), bitmap);
  for (int i = 0; i < 4; ++i) {
    unsigned char c = static_cast<unsigned char>(bitmap.compression[i]);
    if (c < 0x20 || c > 0x7A) bitmap.compression[i] = ' ';
  }
  LookupCodec(video_.codec, sizeof video_.codec, "AVI", bitmap.compression);
  if (std::strncmp(video_.codec, "DivX 5", 6) == 0) divx_ = true;
  if (std::strncmp(video_.codec, "XviD", 4) == 0) xvid_ = true;
  for (const char* fourCc : {"HEVC", "H265", "X265", "HVC1"})
    if (EqualNoCase(bitmap.compression, fourCc, 4)) hevcPending_ = true;
  video_.width = bitmap.width;
  video_.height = bitmap.height;
  video_.bitDepth = bitmap.bitCount;
  video_.frameCount = static_cast<int32_t>(length);
  duration_ = StreamDuration(length, rate, scale);
  haveDuration_ = true;
}

void AviWalk::HandleAudioHeader() {
  uint8_t header[8] = {};
  reader_.Read(header, 8);
  ReadPayload(reader_, ReadU32LE(header, 4), payload_, kHeaderCap);
  AviAudio stream{};
  ParseWaveFormat(payload_.data(), payload_.size(), stream.format);
  LookupWaveCodec(stream.codec, sizeof stream.codec, stream.format.formatTag);
  stream.payloadTag = PayloadFormatTag(payload_.data(), payload_.size(), stream.format);
  if (IsProbedFormatTag(stream.payloadTag)) probePending_ = true;

  AudioStream audio{};
  CopyText(audio.codec, sizeof audio.codec, stream.codec);
  audio.sampleRate = stream.format.samplesPerSec;
  audio.bitDepth = stream.format.bitsPerSample;
  audio.channels = stream.format.channels;
  audio.bitRate = stream.format.avgBytesPerSec * 8.0;
  char text[PROBEX_TEXT_BYTES] = {};
  FormatRiffAudioText(text, sizeof text, audio);
  AddAudioText(media_, text);
  // Streams past the table still get their line; they are never probed.
  if (audioCount_ < kMaxAudioStreams) audio_[audioCount_++] = stream;
  audioSeen_ = true;
}

void AviWalk::HandleAudioChunk(const uint8_t* id) {
  uint32_t size = ReadSizeLE(reader_);
  int number = 0;
  for (int i = 0; i < 2 && id[i] >= '0' && id[i] <= '9'; ++i) number = number * 10 + (id[i] - '0');
  // Stream 0 is taken to be the video: audio stream n is table entry n - 1.
  int index = number - 1;
  if (index >= 0 && static_cast<size_t>(index) < audioCount_ && index < media_.audioCount && probePending_ &&
      !audio_[index].probed && size >= 1) {
    PeekPayload(reader_, size, payload_, kProbeWindow);
    char text[PROBEX_TEXT_BYTES] = {};
    if (ProbeAudioPayload(payload_.data(), payload_.size(), audio_[index].payloadTag, text, sizeof text)) {
      CopyText(media_.audioText[index], sizeof media_.audioText[index], text);
      audio_[index].probed = true;
    }
    bool all = true;
    for (size_t i = 0; i < audioCount_; ++i) all = all && audio_[i].probed;
    if (all) probePending_ = false;
  }
  SkipPayload(reader_, size);
}

void AviWalk::HandleVideoFrame() {
  uint32_t size = ReadSizeLE(reader_);
  if (!(divx_ || xvid_ || hevcPending_) || size < 1) {
    SkipPayload(reader_, size);
    return;
  }
  ReadPayload(reader_, size, payload_, kFrameCap);
  if (hevcPending_) {
    hasHevc_ = FindHevcHeaders(payload_.data(), payload_.size(), hevc_);
    if (hasHevc_ || --countdown_ <= 0) hevcPending_ = false;
    return;
  }
  bool found = RefineMpeg4VisualName(video_.codec, sizeof video_.codec, payload_.data(), payload_.size());
  if (found || --countdown_ <= 0) divx_ = xvid_ = false;
}

// false when the walk is over.
bool AviWalk::AfterIdentifier() {
  if (probePending_ && reader_.Tell() >= kProbeLimit) probePending_ = false;
  if (!moviSeen_ || ScansPending()) return true;
  if (std::strcmp(media_.formatName, "RIFF(AVI1.0)") == 0) return false;
  // OpenDML: the movie data goes on in the next RIFF chunk, strictly forward.
  uint64_t next = riff_[riffIndex_].start + riff_[riffIndex_].length;
  if (next <= reader_.Tell() || next >= reader_.Size() || riffIndex_ + 1 >= kMaxRiffChunks) return false;
  reader_.Seek(static_cast<int64_t>(next), 0);
  ++riffIndex_;
  uint8_t id[4] = {};
  if (reader_.Read(id, 4, false) < 4 || std::memcmp(id, "RIFF", 4) != 0) return false;
  moviSeen_ = false;
  return true;
}

void AviWalk::Finish() {
  if (haveDuration_) media_.duration = duration_;
  double duration = media_.duration;
  if (duration > 0) {
    video_.bitRate = static_cast<double>(moviTotal_) * 8 / duration;
    if (audioSeen_)
      for (size_t i = 0; i < audioCount_; ++i) video_.bitRate -= audio_[i].format.avgBytesPerSec * 8.0;
  }
  char text[PROBEX_TEXT_BYTES] = {};
  if (hasHevc_)
    FormatHevcText(text, sizeof text, hevc_, video_.frameRate, video_.bitRate);
  else
    FormatRiffVideoText(text, sizeof text, video_);
  AddVideoText(media_, text);
  if (hasHevc_) AddHdrExtra(media_, hevc_.hdr);
}

}  // namespace

void WalkAvi(MediaInfo& media, FileReader& reader, uint64_t riffStart, uint64_t riffLength, TagInfo& tags) {
  AviWalk walk(media, reader, tags);
  walk.Run(riffStart, riffLength);
}

}  // namespace probex
