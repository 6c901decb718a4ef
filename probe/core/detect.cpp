#include "detect.h"

#include <cstring>

#include "bits.h"
#include "file_reader.h"
#include "probex_formats.h"
#include "media_info.h"
#include "text.h"

namespace probex {

namespace {

using namespace format;

struct ExtensionRule {
  const char* extension;
  int32_t formatId;
};

// Extensions match by prefix, so a longer literal must come before any
// shorter one it begins with (".m3u8" before ".m3u", ".mpga" before ".mpg").
constexpr ExtensionRule kPlaylistRules[] = {
    {".vrtql", kPlaylistVrtql}, {".pls", kPlaylistPls},   {".lst", kPlaylistLst}, {".zpl", kPlaylistZpl},
    {".bsl", kPlaylistBsl},     {".m3u8", kPlaylistM3u8}, {".m3u", kPlaylistM3u},
};

constexpr ExtensionRule kFallbackRules[] = {
    {".mpeg", kMpeg1},    {".m1v", kMpeg1},     {".mpga", kMpegAudio}, {".mpg", kMpeg1},  {".m2v", kMpeg2Ps},
    {".vob", kMpeg2Ps},   {".m2t", kMpeg2Ts},   {".rmp", kWave},       {".mp3", kMpegAudio}, {".mp2", kMpegAudio},
    {".mpa", kMpegAudio}, {".ac3", kAc3},       {".aac", kAac},        {".mov", kQuickTime}, {".qt", kQuickTime},
    {".3gpp", kMp4},      {".3gp", kMp4},       {".3g2", kMp4},        {".amc", kMp4},       {".mp4", kMp4},
    {".m4a", kMp4},       {".m4v", kMp4},
};

// The extension: from the last '.' on; the whole path when it has none.
const char16_t* Extension(const char16_t* path, size_t& length) {
  size_t n = Utf16Length(path, PROBEX_PATH_UNITS);
  size_t start = 0;
  for (size_t i = n; i > 0; --i) {
    if (path[i - 1] == u'.') {
      start = i - 1;
      break;
    }
  }
  length = n - start;
  return path + start;
}

bool ExtensionBegins(const char16_t* ext, size_t length, const char* literal) {
  size_t n = std::strlen(literal);
  if (length < n) return false;
  for (size_t i = 0; i < n; ++i) {
    char16_t c = ext[i];
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
    if (c != static_cast<unsigned char>(literal[i])) return false;
  }
  return true;
}

template <size_t N>
int32_t MatchExtension(const char16_t* path, const ExtensionRule (&rules)[N]) {
  size_t length = 0;
  const char16_t* ext = Extension(path, length);
  if (length == 0) return 0;
  for (const ExtensionRule& rule : rules)
    if (ExtensionBegins(ext, length, rule.extension)) return rule.formatId;
  return 0;
}

bool At(const uint8_t* b, size_t offset, const char* text) {
  return EqualNoCase(b + offset, text, std::strlen(text));
}

bool Bytes(const uint8_t* b, size_t offset, std::initializer_list<uint8_t> bytes) {
  size_t i = offset;
  for (uint8_t v : bytes)
    if (b[i++] != v) return false;
  return true;
}

int32_t RiffForm(const uint8_t* b) {
  static constexpr ExtensionRule kForms[] = {
      {"AVI ", kAvi}, {"WAVE", kWave}, {"CDDA", kCdda}, {"RMP3", kRmp3},
      {"CDXA", kCdxa}, {"RMID", kRmid}, {"QLCM", kQlcm},
  };
  for (const ExtensionRule& form : kForms)
    if (At(b, 8, form.extension)) return form.formatId;
  return kUnknown;
}

int32_t OggFirstStream(const uint8_t* b) {
  if (At(b, 29, "vorbis")) return kOggVorbis;
  if (At(b, 28, "Speex")) return kOggSpeex;
  // Ogg FLAC: the first mapping ("fLaC") and the current one (7F "FLAC").
  if (At(b, 28, "fLaC") || (b[28] == 0x7F && At(b, 29, "FLAC"))) return kOggFlac;
  return kOggOther;
}

}  // namespace

int32_t PlaylistFormatFromPath(const char16_t* path) { return MatchExtension(path, kPlaylistRules); }

int32_t ExtensionFormat(const char16_t* path) {
  size_t length = 0;
  const char16_t* ext = Extension(path, length);
  // ".ts" is the one extension compared whole: ".tsx" is no stream.
  if (length == 3 && ExtensionBegins(ext, length, ".ts")) return kMpeg2Ts;
  return MatchExtension(path, kFallbackRules);
}

int32_t ScanAsf(const char16_t* path) {
  static constexpr char kData[] = "75B22636-668E-11CF-A6D9-00AA0062CE6C";
  static constexpr char kHeader[] = "75B22630-668E-11CF-A6D9-00AA0062CE6C";
  static constexpr char kHeaderExtension[] = "5FBF03B5-A92E-11CF-8EE3-00C00C205365";
  static constexpr char kFileProperties[] = "8CABDCA1-A947-11CF-8EE4-00C00C205365";
  static constexpr char kStreamProperties[] = "B7DC0791-A9B7-11CF-8EE6-00C00C205365";
  static constexpr char kAudioMedia[] = "F8699E40-5B4D-11CF-A8FD-00805F5C442B";
  static constexpr char kVideoMedia[] = "BC19EFC0-5B4D-11CF-A8FD-00805F5C442B";

  FileReader reader;
  if (!reader.Open(path)) return kUnopenable;
  bool fileProperties = false, audio = false, video = false;
  char guid[40];
  while (reader.Tell() < reader.Size() && !(fileProperties && audio && video)) {
    uint64_t start = reader.Tell();
    uint8_t head[24] = {};
    if (reader.Read(head, sizeof head) < sizeof head) break;
    FormatGuid(head, guid, sizeof guid);
    uint64_t size = ReadU64LE(head, 16);
    // A size below the header or past the file would move the scan backwards
    // or off the file: the object list ends there.
    if (size < 24 || size > reader.Size() - start) break;
    if (EqualNoCase(guid, kData, sizeof kData - 1)) break;
    if (EqualNoCase(guid, kHeader, sizeof kHeader - 1)) {
      reader.Seek(6, 1);
      continue;
    }
    if (EqualNoCase(guid, kHeaderExtension, sizeof kHeaderExtension - 1)) {
      reader.Seek(22, 1);
      continue;
    }
    if (EqualNoCase(guid, kFileProperties, sizeof kFileProperties - 1)) {
      fileProperties = true;
    } else if (EqualNoCase(guid, kStreamProperties, sizeof kStreamProperties - 1) && size >= 40) {
      uint8_t type[16] = {};
      reader.Read(type, sizeof type);
      FormatGuid(type, guid, sizeof guid);
      if (EqualNoCase(guid, kAudioMedia, sizeof kAudioMedia - 1)) audio = true;
      if (EqualNoCase(guid, kVideoMedia, sizeof kVideoMedia - 1)) video = true;
    }
    reader.Seek(static_cast<int64_t>(start + size), 0);
  }
  if (!fileProperties) return kUnknown;
  if (video) return kAsfVideo;
  if (audio) return kAsfAudio;
  return kUnknown;
}

int32_t SignatureFormat(const uint8_t (&block)[kSignatureBytes], const char16_t* path) {
  const uint8_t* b = block;
  if (At(b, 6, "JFIF") || At(b, 6, "Exif")) return kJpeg;
  if (At(b, 0, "BM")) return kBmp;
  if (At(b, 0, "GIF")) return kGif;
  if (std::memcmp(b, "RIFF", 4) == 0) return RiffForm(b);
  if (Bytes(b, 0, {0x00, 0x00, 0x01, 0xBA})) {
    switch (b[4] >> 6) {
      case 0: return kMpeg1;
      case 1: return kMpeg2Ps;
      default: return kUnknown;
    }
  }
  if (At(b, 4, "moov")) return kQuickTime;
  if (At(b, 4, "ftyp")) return kMp4;
  if (At(b, 0, "OggS")) return OggFirstStream(b);
  if (At(b, 0, ".RMF")) return kRealMedia;
  if (Bytes(b, 0, {0x2E, 0x72, 0x61, 0xFD})) return kRealAudio;
  if (Bytes(b, 0, {0x30, 0x26, 0xB2, 0x75})) return ScanAsf(path);
  if (Bytes(b, 0, {0x1A, 0x45, 0xDF, 0xA3})) return kMatroska;
  if (At(b, 0, "FLV")) return kFlashVideo;
  if (At(b, 0, "MThd")) return kMidi;
  if (At(b, 0, ".snd")) return kSunAudio;
  if (At(b, 8, "AIFF") || At(b, 8, "AIFC")) return kAiff;
  if (At(b, 0, "ADIF")) return kAac;
  // 14-bit little-endian DTS starts FF 1F: it must be tested before the
  // ADTS and MPEG audio rules, which would take it for their own.
  if (Bytes(b, 0, {0xFF, 0x1F, 0x00, 0xE8}) && (b[4] & 0xF0) == 0xF0 && b[5] == 0x07) return kDts14Le;
  if (b[0] == 0xFF && ((b[1] & 0xFE) == 0xF0 || (b[1] & 0xFE) == 0xF8)) return kAac;
  if (b[0] == 0xFF && b[1] >= 0x10) return kMpegAudio;
  if (Bytes(b, 0, {0x0B, 0x77})) return kAc3;
  if (At(b, 0, "MAC")) return kMonkeysAudio;
  if (At(b, 0, "MP+")) return kMusePack;
  if (At(b, 0, "fLaC")) return kFlac;
  if (At(b, 0, "TTA")) return kTta;
  if (At(b, 0, "wvpk")) return kWavPack;
  if (At(b, 0, "OFR") || At(b, 0, "*RIFF")) return kOptimFrog;
  if (Bytes(b, 0, {0x1F, 0xFF, 0xE8, 0x00, 0x07}) && (b[5] & 0xF0) == 0xF0) return kDts14Be;
  if (Bytes(b, 0, {0xFE, 0x7F, 0x01, 0x80})) return kDts16Le;
  if (Bytes(b, 0, {0x7F, 0xFE, 0x80, 0x01})) return kDts16Be;
  if (At(b, 0, "TWIN")) return kTwinVq;
  if (At(b, 0, "S98")) return kS98;
  if ((b[0] == 0x47 && b[188] == 0x47) || (b[4] == 0x47 && b[196] == 0x47)) return kMpeg2Ts;
  if (At(b, 36, "MACRZ")) return kShockwaveAudio;
  return 0;
}

void DetectFormat(MediaInfo& info) {
  if (!PathFits(info)) {
    info.formatId = kUnopenable;
    return;
  }
  if (int32_t playlist = PlaylistFormatFromPath(info.path)) {
    info.formatId = playlist;
    return;
  }
  uint8_t block[kSignatureBytes] = {};
  {
    FileReader reader;
    if (!reader.Open(info.path)) {
      info.formatId = kUnopenable;
      return;
    }
    info.fileSize = reader.Size();
    if (reader.Size() < 40) {
      info.formatId = kUnknown;
      return;
    }
    reader.Read(block, sizeof block);
    if (At(block, 0, "ID3")) {
      reader.Rewind();
      SkipId3v2(reader);
      std::memset(block, 0, sizeof block);
      reader.Read(block, sizeof block);
    }
  }
  int32_t id = SignatureFormat(block, info.path);
  if (id == 0) id = ExtensionFormat(info.path);
  info.formatId = id != 0 ? id : kUnknown;
}

}  // namespace probex
