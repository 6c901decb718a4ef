#include "realmedia.h"

#include <cstring>
#include <vector>

#include "../audio/real_audio.h"
#include "../core/bits.h"
#include "../core/file_reader.h"
#include "../core/media_info.h"
#include "../core/messages.h"
#include "../core/templates.h"
#include "../core/text.h"
#include "../video/real_video.h"
#include "chunk_io.h"

namespace probex {

namespace {

constexpr size_t kChunkHeader = 8;
constexpr size_t kBodyCap = 64 * 1024;
constexpr int kMaxMdpr = 32;

bool MimeIs(const uint8_t* mime, size_t length, const char* literal) {
  return length == std::strlen(literal) && EqualNoCase(mime, literal, length);
}

class RealMediaWalk {
 public:
  RealMediaWalk(MediaInfo& media, FileReader& reader) : media_(media), reader_(reader) {}
  void Run();

 private:
  void StreamProperties(const std::vector<uint8_t>& body);

  MediaInfo& media_;
  FileReader& reader_;
  uint32_t propDuration_ = 0;
  bool haveMdprDuration_ = false;
  uint32_t mdprDuration_ = 0;
  int mdprCount_ = 0;
  bool described_ = false;
  uint64_t streamBitRates_ = 0;  // the streams' average rates, summed
  uint64_t mediaBytes_ = 0;      // what the first DATA chunk's packets carry
};

void RealMediaWalk::Run() {
  std::vector<uint8_t> body;
  bool dataReached = false;
  while (reader_.Tell() < reader_.Size()) {
    uint64_t start = reader_.Tell();
    uint8_t header[kChunkHeader] = {};
    if (reader_.Read(header, sizeof header) < sizeof header) break;
    uint32_t size = ReadU32BE(header, 4);
    // A chunk smaller than its own header would keep the walk in place.
    if (size < kChunkHeader) break;
    uint32_t bodySize = size - kChunkHeader;
    if (EqualNoCase(header, "PROP", 4)) {
      ReadPayload(reader_, bodySize, body, kBodyCap);
      if (body.size() >= 26 && ReadU16BE(body.data(), 0) == 0) propDuration_ = ReadU32BE(body.data(), 22);
    } else if (EqualNoCase(header, "MDPR", 4)) {
      ReadPayload(reader_, bodySize, body, kBodyCap);
      if (mdprCount_++ < kMaxMdpr) StreamProperties(body);
    } else if (EqualNoCase(header, "INDX", 4)) {
      uint8_t index[12] = {};
      size_t got = reader_.Read(index, sizeof index);
      if (got == sizeof index && ReadU16BE(index, 0) == 0) {
        uint32_t next = ReadU32BE(index, 8);
        // The chain of index chunks is followed forward only.
        if (next == 0 || next < reader_.Tell()) break;
        reader_.Seek(next, 0);
      } else {
        reader_.Seek(static_cast<int64_t>(ClampedEnd(reader_, start, size)), 0);
      }
    } else {
      if (EqualNoCase(header, "DATA", 4) && !dataReached) {
        dataReached = true;
        // Version, packet count and next header, then packets of a 12-byte
        // header each.
        uint8_t counts[10] = {};
        if (bodySize >= sizeof counts && reader_.Read(counts, sizeof counts, false) == sizeof counts) {
          uint64_t headers = uint64_t{ReadU32BE(counts, 2)} * 12;
          uint64_t packets = bodySize - sizeof counts;
          mediaBytes_ = packets > headers ? packets - headers : 0;
        }
      }
      SkipPayload(reader_, bodySize);
    }
    if (dataReached && described_) break;
  }
  if (propDuration_ != 0) media_.duration = propDuration_ * 0.001;
  else if (haveMdprDuration_ && mdprDuration_ != 0) media_.duration = mdprDuration_ * 0.001;
  // ffmpeg writes no duration for audio alone: the media's size at its rate.
  else if (streamBitRates_ > 0 && mediaBytes_ > 0)
    media_.duration = static_cast<double>(mediaBytes_) * 8 / static_cast<double>(streamBitRates_);
  else if (haveMdprDuration_) media_.duration = 0;
}

void RealMediaWalk::StreamProperties(const std::vector<uint8_t>& body) {
  if (body.size() < 33 || ReadU16BE(body.data(), 0) != 0) return;
  const uint8_t* b = body.data();
  uint32_t averageBitRate = ReadU32BE(b, 8);
  streamBitRates_ += averageBitRate;
  if (!haveMdprDuration_) {
    haveMdprDuration_ = true;
    mdprDuration_ = ReadU32BE(b, 28);
  }
  size_t at = 32;
  at += 1 + b[at];  // stream name
  if (at >= body.size()) return;
  size_t mimeLength = b[at];
  const uint8_t* mime = b + at + 1;
  at += 1 + mimeLength;
  if (at + 4 > body.size()) return;
  size_t specificLength = ReadU32BE(b, at);
  at += 4;
  const uint8_t* specific = b + at;
  size_t available = body.size() - at;
  if (specificLength > available) specificLength = available;

  char text[PROBEX_TEXT_BYTES] = {};
  if (MimeIs(mime, mimeLength, "video/x-pn-realvideo") || MimeIs(mime, mimeLength, "video/x-pn-multirate-realvideo")) {
    RealVideoInfo video{};
    ParseRealVideoHeader(specific, specificLength, video);
    video.bitRate = averageBitRate;
    LookupRealCodec(video.codec, sizeof video.codec, "REAL-VIDEO", video.fourCC);
    FormatRealVideoText(text, sizeof text, video);
    AddVideoText(media_, text);
    described_ = true;
  } else if (MimeIs(mime, mimeLength, "audio/x-pn-realaudio") ||
             MimeIs(mime, mimeLength, "audio/x-pn-multirate-realaudio") ||
             MimeIs(mime, mimeLength, "audio/x-ralf-mpeg4-generic")) {
    RealAudioInfo audio{};
    if (!ParseRealAudioHeader(specific, specificLength, audio)) return;
    audio.bitRate = averageBitRate;
    if (MimeIs(mime, mimeLength, "audio/x-ralf-mpeg4-generic")) {
      CopyText(audio.codec, sizeof audio.codec, "RealAudio LossLess");
    } else {
      LookupRealCodec(audio.codec, sizeof audio.codec, "REAL-AUDIO", audio.codecKey);
    }
    FormatRealAudioText(text, sizeof text, audio);
    AddAudioText(media_, text);
    described_ = true;
  }
}

}  // namespace

void AnalyzeRealMedia(MediaInfo& media, FileReader& reader) {
  SetFormatName(media, "RealMedia");
  RealMediaWalk walk(media, reader);
  walk.Run();
  reader.Close();
}

}  // namespace probex
