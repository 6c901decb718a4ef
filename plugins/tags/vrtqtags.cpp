// The tag reader behind vrtqtags.h, on TagLib. Containers whose video stream
// TagLib does not report (AVI, MP4, ASF) are walked here for it, every read
// bounded by the file and by a fixed budget.
#include "vrtqtags.h"

#include "text.h"

#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <taglib/apefile.h>
#include <taglib/apefooter.h>
#include <taglib/apetag.h>
#include <taglib/asffile.h>
#include <taglib/flacfile.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/mp4file.h>
#include <taglib/mpcfile.h>
#include <taglib/mpegfile.h>
#include <taglib/oggflacfile.h>
#include <taglib/opusfile.h>
#include <taglib/speexfile.h>
#include <taglib/tdebuglistener.h>
#include <taglib/trueaudiofile.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>
#include <taglib/wavpackfile.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr uint64_t kTagCap = 16u << 20;      // larger tags are skipped
constexpr uint64_t kListCap = 1u << 20;      // RIFF header and INFO lists
constexpr int kMaxDepth = 8;                 // nested boxes and lists
constexpr int kMaxChildren = 4096;           // siblings walked per level

// ---- text ----

// Strict CP932, or false when the bytes are no CP932.
bool DecodeCp932(const char* data, size_t size, TagLib::String* out) {
  iconv_t cd = iconv_open("UTF-8", "CP932");
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::vector<char> buffer(size * 4 + 4);
  char* in = const_cast<char*>(data);
  size_t inLeft = size;
  char* o = buffer.data();
  size_t oLeft = buffer.size();
  const size_t r = iconv(cd, &in, &inLeft, &o, &oLeft);
  iconv_close(cd);
  if (r == static_cast<size_t>(-1) || inLeft != 0) return false;
  *out = TagLib::String(std::string(buffer.data(), buffer.size() - oLeft), TagLib::String::UTF8);
  return true;
}

// Old tags carry no encoding: Japanese ones are Shift_JIS, most others Latin-1.
TagLib::String DecodeLegacy(const TagLib::ByteVector& raw) {
  size_t n = 0;
  while (n < raw.size() && raw[n] != 0) ++n;
  TagLib::String text;
  if (!DecodeCp932(raw.data(), n, &text)) text = TagLib::String(std::string(raw.data(), n), TagLib::String::Latin1);
  return text.stripWhiteSpace();
}

class Id3v1Handler : public TagLib::ID3v1::StringHandler {
 public:
  TagLib::String parse(const TagLib::ByteVector& data) const override { return DecodeLegacy(data); }
};

class InfoHandler : public TagLib::RIFF::Info::StringHandler {
 public:
  TagLib::String parse(const TagLib::ByteVector& data) const override { return DecodeLegacy(data); }
};

class Silent : public TagLib::DebugListener {
 public:
  void printMessage(const TagLib::String&) override {}
};

Id3v1Handler id3v1Handler;
InfoHandler infoHandler;
Silent silent;

struct Setup {
  Setup() {
    TagLib::ID3v1::Tag::setStringHandler(&id3v1Handler);
    TagLib::RIFF::Info::Tag::setStringHandler(&infoHandler);
    TagLib::setDebugListener(&silent);
  }
} setup;

// ---- per-thread state ----

struct Value {
  std::u16string wide;
  std::string narrow;
};

struct State {
  uint32_t type = 0;
  uint32_t tagBits = 0;
  std::map<std::string, Value> values;
};

thread_local State state;
thread_local char emptyNarrow[1] = {0};
thread_local char16_t emptyWide[1] = {0};

void Put(const std::string& name, const TagLib::String& text) {
  if (text.isEmpty()) return;
  Value v;
  const std::wstring w = text.toWString();
  for (wchar_t c : w) {
    const uint32_t u = static_cast<uint32_t>(c);
    if (u >= 0x10000) {
      v.wide += static_cast<char16_t>(0xD800 + ((u - 0x10000) >> 10));
      v.wide += static_cast<char16_t>(0xDC00 + ((u - 0x10000) & 0x3FF));
    } else {
      v.wide += static_cast<char16_t>(u);
    }
  }
  v.narrow = text.to8Bit(true);
  state.values[name] = std::move(v);
}

void PutPair(const char* suffix, const TagLib::Tag* tag) {
  if (!tag) return;
  Put(std::string("INAM") + suffix, tag->title());
  Put(std::string("IART") + suffix, tag->artist());
}

// ---- bounded file reads ----

class Reader {
 public:
  explicit Reader(int fd, uint64_t size) : fd_(fd), size_(size) {}
  uint64_t size() const { return size_; }
  bool Read(uint64_t at, void* out, size_t n) const {
    if (at > size_ || n > size_ - at) return false;
    char* p = static_cast<char*>(out);
    while (n > 0) {
      const ssize_t r = pread(fd_, p, n, static_cast<off_t>(at));
      if (r < 0 && errno == EINTR) continue;
      if (r <= 0) return false;
      p += r;
      at += static_cast<uint64_t>(r);
      n -= static_cast<size_t>(r);
    }
    return true;
  }

 private:
  int fd_;
  uint64_t size_;
};

uint32_t Le32(const unsigned char* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
uint32_t Be32(const unsigned char* p) { return static_cast<uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]; }
uint64_t Be64(const unsigned char* p) { return static_cast<uint64_t>(Be32(p)) << 32 | Be32(p + 4); }
uint64_t Le64(const unsigned char* p) { return static_cast<uint64_t>(Le32(p + 4)) << 32 | Le32(p); }

std::string FourCc(const unsigned char* p) {
  std::string s;
  for (int i = 0; i < 4; ++i) s += (p[i] >= 0x20 && p[i] < 0x7F) ? static_cast<char>(p[i]) : '?';
  return s;
}

std::string VideoText(const std::string& codec, long width, long height) {
  std::string s = codec;
  if (width > 0 && height != 0) s += " " + std::to_string(width) + "x" + std::to_string(height < 0 ? -height : height);
  return s;
}

// ---- RIFF (AVI, RIFF-MP3) ----

struct RiffFindings {
  TagLib::ByteVector info;
  std::string video;
};

void WalkRiff(const Reader& r, uint64_t begin, uint64_t end, int depth, bool inStrl, RiffFindings* out) {
  if (depth > kMaxDepth) return;
  bool isVideo = false;
  int children = 0;
  uint64_t at = begin;
  while (at + 8 <= end && children++ < kMaxChildren) {
    unsigned char h[12];
    if (!r.Read(at, h, 8)) return;
    const uint64_t size = Le32(h + 4);
    const uint64_t body = at + 8;
    const uint64_t bodyEnd = std::min(end, body + size);
    if (std::memcmp(h, "LIST", 4) == 0 && size >= 4 && r.Read(body, h + 8, 4)) {
      if (std::memcmp(h + 8, "INFO", 4) == 0 && out->info.isEmpty() && size - 4 <= kListCap) {
        std::vector<char> data(size);  // TagLib wants the list with its "INFO"
        if (r.Read(body, data.data(), data.size()))
          out->info = TagLib::ByteVector(data.data(), static_cast<unsigned int>(data.size()));
      } else if (std::memcmp(h + 8, "hdrl", 4) == 0 || std::memcmp(h + 8, "strl", 4) == 0) {
        WalkRiff(r, body + 4, bodyEnd, depth + 1, std::memcmp(h + 8, "strl", 4) == 0, out);
      }
    } else if (inStrl && std::memcmp(h, "strh", 4) == 0 && size >= 8) {
      unsigned char s[8];
      if (r.Read(body, s, 8) && std::memcmp(s, "vids", 4) == 0 && out->video.empty()) {
        isVideo = true;
        out->video = Le32(s + 4) ? FourCc(s + 4) : "RGB";
      }
    } else if (inStrl && isVideo && std::memcmp(h, "strf", 4) == 0 && size >= 20) {
      unsigned char b[20];
      if (r.Read(body, b, 20)) {
        const uint32_t compression = Le32(b + 16);
        const std::string codec = compression > 3 ? FourCc(b + 16) : out->video;
        out->video = VideoText(codec, static_cast<int32_t>(Le32(b + 4)), static_cast<int32_t>(Le32(b + 8)));
      }
    }
    // Chunks are padded to even sizes; the header alone moves us on.
    at = body + size + (size & 1);
  }
}

// ---- MP4 ----

struct Mp4Track {
  bool video = false;
  std::string codec;
  long width = 0, height = 0;
};

void WalkMp4(const Reader& r, uint64_t begin, uint64_t end, int depth, Mp4Track* track, std::string* found) {
  if (depth > kMaxDepth || !found->empty()) return;
  int children = 0;
  uint64_t at = begin;
  while (at + 8 <= end && children++ < kMaxChildren && found->empty()) {
    unsigned char h[16];
    if (!r.Read(at, h, 8)) return;
    uint64_t size = Be32(h);
    uint64_t header = 8;
    if (size == 1) {
      if (!r.Read(at + 8, h + 8, 8)) return;
      size = Be64(h + 8);
      header = 16;
    } else if (size == 0) {
      size = end - at;
    }
    if (size < header || size > end - at) return;
    const uint64_t body = at + header;
    const uint64_t bodyEnd = at + size;
    const std::string type(reinterpret_cast<char*>(h + 4), 4);
    if (type == "moov" || type == "mdia" || type == "minf" || type == "stbl") {
      WalkMp4(r, body, bodyEnd, depth + 1, track, found);
    } else if (type == "trak") {
      Mp4Track t;
      WalkMp4(r, body, bodyEnd, depth + 1, &t, found);
      if (t.video && found->empty()) *found = VideoText(t.codec.empty() ? "video" : t.codec, t.width, t.height);
    } else if (type == "tkhd" && track && size >= header + 84) {
      unsigned char v[8];
      const uint64_t last = bodyEnd - 8;  // width and height, 16.16 fixed point
      if (r.Read(last, v, 8)) {
        track->width = Be32(v) >> 16;
        track->height = Be32(v + 4) >> 16;
      }
    } else if (type == "hdlr" && track && size >= header + 12) {
      unsigned char v[12];
      if (r.Read(body, v, 12)) track->video = std::memcmp(v + 8, "vide", 4) == 0;
    } else if (type == "stsd" && track && size >= header + 16) {
      unsigned char v[16];
      if (r.Read(body, v, 16)) track->codec = FourCc(v + 12);
    }
    at = bodyEnd;
  }
}

// ---- ASF ----

const unsigned char kAsfHeader[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                      0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
const unsigned char kAsfStream[16] = {0x91, 0x07, 0xDC, 0xB7, 0xB7, 0xA9, 0xCF, 0x11,
                                      0x8E, 0xE6, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
const unsigned char kAsfVideo[16] = {0xC0, 0xEF, 0x19, 0xBC, 0x4D, 0x5B, 0xCF, 0x11,
                                     0xA8, 0xFD, 0x00, 0x80, 0x5F, 0x5C, 0x44, 0x2B};

std::string AsfVideo(const Reader& r) {
  unsigned char h[30];
  if (!r.Read(0, h, 30) || std::memcmp(h, kAsfHeader, 16) != 0) return {};
  const uint64_t end = std::min<uint64_t>(r.size(), Le64(h + 16));
  const uint32_t count = Le32(h + 24);
  uint64_t at = 30;
  for (uint32_t i = 0; i < count && i < static_cast<uint32_t>(kMaxChildren) && at + 24 <= end; ++i) {
    unsigned char o[24];
    if (!r.Read(at, o, 24)) return {};
    const uint64_t size = Le64(o + 16);
    if (size < 24 || size > end - at) return {};
    if (std::memcmp(o, kAsfStream, 16) == 0 && size >= 24 + 54 + 11 + 20) {
      unsigned char s[54 + 11 + 20];
      if (r.Read(at + 24, s, sizeof s) && std::memcmp(s, kAsfVideo, 16) == 0) {
        const unsigned char* bih = s + 54 + 11;
        return VideoText(FourCc(bih + 16), static_cast<int32_t>(Le32(s + 54)), static_cast<int32_t>(Le32(s + 58)));
      }
    }
    at += size;
  }
  return {};
}

// ---- kinds ----

enum class Kind { Unknown, Mpeg, Rmp3, Wav, Avi, Asf, OggVorbis, OggOpus, OggSpeex, OggFlac, Flac, Ape, Mpc, WavPack, Tta, Mp4 };

std::string LowerExtension(const std::string& path) {
  const size_t slash = path.rfind('/');
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  std::string e = path.substr(dot + 1);
  for (char& c : e) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return e;
}

uint64_t Id3v2Size(const unsigned char* h) {
  if (std::memcmp(h, "ID3", 3) != 0 || (h[6] | h[7] | h[8] | h[9]) & 0x80) return 0;
  const uint64_t size = (h[6] << 21 | h[7] << 14 | h[8] << 7 | h[9]) + 10u + ((h[5] & 0x10) ? 10u : 0u);
  return size;
}

Kind Sniff(const Reader& r, const std::string& ext, uint64_t* leadingId3) {
  unsigned char h[64] = {};
  const size_t n = static_cast<size_t>(std::min<uint64_t>(sizeof h, r.size()));
  if (!r.Read(0, h, n)) return Kind::Unknown;
  *leadingId3 = n >= 10 ? Id3v2Size(h) : 0;
  if (*leadingId3) {
    // FLAC, TTA and Monkey's Audio files may start with an ID3v2 tag too.
    unsigned char after[4] = {};
    if (r.Read(*leadingId3, after, 4)) {
      if (std::memcmp(after, "fLaC", 4) == 0) return Kind::Flac;
      if (std::memcmp(after, "TTA1", 4) == 0) return Kind::Tta;
      if (std::memcmp(after, "MAC ", 4) == 0) return Kind::Ape;
    }
    return Kind::Mpeg;
  }
  if (n >= 12 && std::memcmp(h, "RIFF", 4) == 0) {
    if (std::memcmp(h + 8, "WAVE", 4) == 0) return Kind::Wav;
    if (std::memcmp(h + 8, "AVI ", 4) == 0) return Kind::Avi;
    if (std::memcmp(h + 8, "RMP3", 4) == 0) return Kind::Rmp3;
    return Kind::Unknown;
  }
  if (n >= 36 && std::memcmp(h, "OggS", 4) == 0) {
    const unsigned char* p = h + 28;
    if (std::memcmp(p, "\x01vorbis", 7) == 0) return Kind::OggVorbis;
    if (std::memcmp(p, "OpusHead", 8) == 0) return Kind::OggOpus;
    if (std::memcmp(p, "Speex   ", 8) == 0) return Kind::OggSpeex;
    if (std::memcmp(p, "\x7f" "FLAC", 5) == 0) return Kind::OggFlac;
    return Kind::Unknown;
  }
  if (n >= 4 && std::memcmp(h, "fLaC", 4) == 0) return Kind::Flac;
  if (n >= 4 && std::memcmp(h, "MAC ", 4) == 0) return Kind::Ape;
  if (n >= 4 && (std::memcmp(h, "MPCK", 4) == 0 || std::memcmp(h, "MP+", 3) == 0)) return Kind::Mpc;
  if (n >= 4 && std::memcmp(h, "wvpk", 4) == 0) return Kind::WavPack;
  if (n >= 4 && std::memcmp(h, "TTA1", 4) == 0) return Kind::Tta;
  if (n >= 16 && std::memcmp(h, kAsfHeader, 16) == 0) return Kind::Asf;
  if (n >= 8 && (std::memcmp(h + 4, "ftyp", 4) == 0 || std::memcmp(h + 4, "moov", 4) == 0 ||
                 std::memcmp(h + 4, "mdat", 4) == 0 || std::memcmp(h + 4, "wide", 4) == 0 ||
                 std::memcmp(h + 4, "free", 4) == 0))
    return Kind::Mp4;
  if (n >= 2 && h[0] == 0xFF && (h[1] & 0xE0) == 0xE0) return Kind::Mpeg;
  if (ext == "mp3" || ext == "mp2" || ext == "mp1") return Kind::Mpeg;
  return Kind::Unknown;
}

// ID3v1 by hand, for files whose ID3v2 tag is too large to give to TagLib.
void ReadId3v1(const Reader& r) {
  if (r.size() < 128) return;
  char t[128];
  if (!r.Read(r.size() - 128, t, 128) || std::memcmp(t, "TAG", 3) != 0) return;
  state.tagBits |= 0x01;
  Put("INAM_v1", DecodeLegacy(TagLib::ByteVector(t + 3, 30)));
  Put("IART_v1", DecodeLegacy(TagLib::ByteVector(t + 33, 30)));
}

void ReadMpeg(const char* path, const Reader& r, uint64_t leadingId3) {
  state.type = 1;
  if (leadingId3 > kTagCap) {
    ReadId3v1(r);
    return;
  }
  TagLib::MPEG::File f(path, false);
  if (!f.isValid()) return;
  if (f.hasID3v2Tag()) {
    state.tagBits |= 0x02;
    PutPair("_v2", f.ID3v2Tag());
  }
  if (f.hasID3v1Tag()) {
    state.tagBits |= 0x01;
    PutPair("_v1", f.ID3v1Tag());
  }
  if (f.hasAPETag()) {
    const TagLib::APE::Tag* ape = f.APETag();
    state.tagBits |= (ape->footer() && ape->footer()->version() == 1000) ? 0x100 : 0x200;
    PutPair("_APE", ape);
  }
}

template <typename File>
bool ReadGeneric(const char* path, uint32_t type) {
  File f(path, false);
  if (!f.isValid()) return false;
  state.type = type;
  PutPair("", f.tag());
  return true;
}

uint32_t LoadPath(const std::string& path) {
  state = State();
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return 1;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return 1;
  }
  const Reader r(fd, static_cast<uint64_t>(st.st_size));
  uint64_t leadingId3 = 0;
  const Kind kind = Sniff(r, LowerExtension(path), &leadingId3);
  const char* p = path.c_str();
  bool ok = true;
  try {
    switch (kind) {
      case Kind::Mpeg:
        ReadMpeg(p, r, leadingId3);
        break;
      case Kind::Rmp3:
      case Kind::Avi: {
        RiffFindings found;
        WalkRiff(r, 12, r.size(), 0, false, &found);
        const TagLib::RIFF::Info::Tag info(found.info);
        if (kind == Kind::Rmp3) {
          state.type = 1;
          if (!found.info.isEmpty()) {
            state.tagBits |= 0x04;
            PutPair("_rmp", &info);
          }
        } else {
          state.type = 3;
          PutPair("", &info);
          Put("VFMT", TagLib::String(found.video, TagLib::String::UTF8));
        }
        break;
      }
      case Kind::Wav: {
        TagLib::RIFF::WAV::File f(p, false);
        if (!f.isValid()) {
          ok = false;
          break;
        }
        state.type = 2;
        if (f.hasInfoTag()) PutPair("", f.InfoTag());
        // An ID3v2 chunk stands in when the INFO list has no title.
        if (f.hasID3v2Tag() && state.values.count("INAM") == 0 && state.values.count("IART") == 0)
          PutPair("", f.ID3v2Tag());
        break;
      }
      case Kind::Asf:
        ok = ReadGeneric<TagLib::ASF::File>(p, 5);
        if (ok) Put("VFMT", TagLib::String(AsfVideo(r), TagLib::String::UTF8));
        break;
      case Kind::OggVorbis: ok = ReadGeneric<TagLib::Ogg::Vorbis::File>(p, 7); break;
      case Kind::OggOpus: ok = ReadGeneric<TagLib::Ogg::Opus::File>(p, 7); break;
      case Kind::OggSpeex: ok = ReadGeneric<TagLib::Ogg::Speex::File>(p, 7); break;
      case Kind::OggFlac: ok = ReadGeneric<TagLib::Ogg::FLAC::File>(p, 7); break;
      case Kind::Flac: ok = ReadGeneric<TagLib::FLAC::File>(p, 7); break;
      case Kind::Ape: ok = ReadGeneric<TagLib::APE::File>(p, 8); break;
      case Kind::Mpc: ok = ReadGeneric<TagLib::MPC::File>(p, 8); break;
      case Kind::WavPack: ok = ReadGeneric<TagLib::WavPack::File>(p, 8); break;
      case Kind::Tta: ok = ReadGeneric<TagLib::TrueAudio::File>(p, 8); break;
      case Kind::Mp4: {
        std::string video;
        WalkMp4(r, 0, r.size(), 0, nullptr, &video);
        TagLib::MP4::File f(p, false);
        state.type = 9;
        if (f.isValid()) PutPair("", f.tag());
        Put("VFMT", TagLib::String(video, TagLib::String::UTF8));
        break;
      }
      case Kind::Unknown:
        ok = false;
        break;
    }
  } catch (...) {
    ok = false;
  }
  close(fd);
  if (!ok) {
    state = State();
    return 1;
  }
  if (state.type == 1) {
    // The file-wide names follow the first tag in the order of precedence.
    for (const char* suffix : {"_rmp", "_v2", "_v1", "_APE"}) {
      const auto t = state.values.find(std::string("INAM") + suffix);
      const auto a = state.values.find(std::string("IART") + suffix);
      if (t == state.values.end() && a == state.values.end()) continue;
      if (t != state.values.end()) state.values["INAM"] = t->second;
      if (a != state.values.end()) state.values["IART"] = a->second;
      break;
    }
  }
  return 0;
}

const Value* Find(const std::string& name) {
  const auto it = state.values.find(name);
  return it == state.values.end() ? nullptr : &it->second;
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) uint32_t mp3infp_GetVer(void) { return VRTQTAGS_VERSION; }

__attribute__((visibility("default"))) uint32_t mp3infp_Load(void*, const char* path) {
  if (!path) {
    state = State();
    return 1;
  }
  return LoadPath(path);
}

__attribute__((visibility("default"))) uint32_t mp3infp_LoadW(void*, const char16_t* path) {
  if (!path) {
    state = State();
    return 1;
  }
  // The library's conversion turns the carried bytes of names that are no
  // UTF-8 back into those bytes.
  return LoadPath(probex::Utf16ToUtf8(path, 65536));
}

__attribute__((visibility("default"))) uint32_t mp3infp_GetType(void) { return state.type; }

__attribute__((visibility("default"))) uint32_t mp3infp_mp3_GetTagType(void) {
  return state.type == 1 ? state.tagBits : 0;
}

__attribute__((visibility("default"))) int mp3infp_GetValue(const char* name, char** value) {
  if (!value) return 0;
  const Value* v = name ? Find(name) : nullptr;
  if (!v) {
    emptyNarrow[0] = 0;
    *value = emptyNarrow;
    return 0;
  }
  *value = const_cast<char*>(v->narrow.c_str());
  return 1;
}

__attribute__((visibility("default"))) int mp3infp_GetValueW(const char16_t* name, char16_t** value) {
  if (!value) return 0;
  std::string key;
  for (size_t i = 0; name && name[i] != 0 && i < 64; ++i) key += name[i] < 0x80 ? static_cast<char>(name[i]) : '?';
  const Value* v = name ? Find(key) : nullptr;
  if (!v) {
    emptyWide[0] = 0;
    *value = emptyWide;
    return 0;
  }
  *value = const_cast<char16_t*>(v->wide.c_str());
  return 1;
}

}  // extern "C"
