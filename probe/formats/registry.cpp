#include "registry.h"

#include <algorithm>
#include <cstring>

#include "../core/bits.h"
#include "../core/file_reader.h"
#include "../core/media_info.h"
#include "../core/messages.h"
#include "../core/text.h"
#include "detect.h"
#include "dispatch.h"
#include "probex_formats.h"

namespace probex {

namespace {

// Below this size no signature is looked for.
constexpr uint64_t kSmallestMedia = 40;

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

bool ExtensionBegins(const char16_t* ext, size_t length, const char* literal, size_t n) {
  if (length < n) return false;
  for (size_t i = 0; i < n; ++i) {
    char16_t c = ext[i];
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
    if (c != static_cast<unsigned char>(literal[i])) return false;
  }
  return true;
}

// The length of the longest literal of list that the extension matches; 0 for none.
size_t LongestMatch(const char16_t* ext, size_t length, const char* list) {
  size_t best = 0;
  for (const char* p = list; p && *p;) {
    while (*p == ' ') ++p;
    const char* end = p;
    while (*end && *end != ' ') ++end;
    size_t n = static_cast<size_t>(end - p);
    bool whole = n > 0 && p[n - 1] == '$';
    if (whole) --n;
    if (n > best && ExtensionBegins(ext, length, p, n) && (!whole || length == n)) best = n;
    p = end;
  }
  return best;
}

}  // namespace

bool SignatureAt(const SignatureBlock& block, size_t offset, const char* text) {
  size_t n = std::strlen(text);
  return offset <= kSignatureBytes && n <= kSignatureBytes - offset && EqualNoCase(block + offset, text, n);
}

bool BytesAt(const SignatureBlock& block, size_t offset, std::initializer_list<uint8_t> bytes) {
  if (offset > kSignatureBytes || bytes.size() > kSignatureBytes - offset) return false;
  return std::equal(bytes.begin(), bytes.end(), block + offset);
}

FormatRegistry::FormatRegistry(std::vector<FormatRecord> records) : records_(std::move(records)) {
  std::stable_sort(records_.begin(), records_.end(),
                   [](const FormatRecord& a, const FormatRecord& b) { return a.order < b.order; });
}

const FormatRecord* FormatRegistry::Find(int32_t formatId) const {
  for (const FormatRecord& record : records_)
    if (record.formatId == formatId) return &record;
  return nullptr;
}

int32_t FormatRegistry::MatchExtension(const char16_t* path, bool playlist) const {
  size_t length = 0;
  const char16_t* ext = Extension(path, length);
  if (length == 0) return 0;
  int32_t found = 0;
  size_t best = 0;
  for (const FormatRecord& record : records_) {
    if (record.playlist != playlist) continue;
    size_t n = LongestMatch(ext, length, record.extensions);
    if (n > best) best = n, found = record.formatId;
  }
  return found;
}

int32_t FormatRegistry::PlaylistFormat(const char16_t* path) const { return MatchExtension(path, true); }

int32_t FormatRegistry::ExtensionFormat(const char16_t* path) const { return MatchExtension(path, false); }

int32_t FormatRegistry::SignatureFormat(const SignatureBlock& block, const char16_t* path) const {
  SignatureProbe last = nullptr;
  uint16_t lastOrder = 0;
  for (const FormatRecord& record : records_) {
    if (!record.probe || (record.probe == last && record.order == lastOrder)) continue;
    last = record.probe, lastOrder = record.order;
    if (int32_t id = record.probe(block, path)) return id;
  }
  return 0;
}

void FormatRegistry::Detect(MediaInfo& info) const {
  if (!PathFits(info)) {
    info.formatId = format::kUnopenable;
    return;
  }
  if (int32_t playlist = PlaylistFormat(info.path)) {
    info.formatId = playlist;
    return;
  }
  uint8_t block[kSignatureBytes] = {};
  {
    FileReader reader;
    if (!reader.Open(info.path)) {
      info.formatId = format::kUnopenable;
      return;
    }
    info.fileSize = reader.Size();
    if (reader.Size() < kSmallestMedia) {
      info.formatId = format::kUnknown;
      return;
    }
    reader.Read(block, sizeof block);
    if (EqualNoCase(block, "ID3", 3)) {
      reader.Rewind();
      SkipId3v2(reader);
      std::memset(block, 0, sizeof block);
      reader.Read(block, sizeof block);
    }
  }
  int32_t id = SignatureFormat(block, info.path);
  if (id == 0) id = ExtensionFormat(info.path);
  info.formatId = id != 0 ? id : format::kUnknown;
}

void FormatRegistry::Dispatch(MediaInfo& info) const {
  FileReader reader;
  if (info.formatId == format::kUnopenable || !PathFits(info) || !reader.Open(info.path)) {
    SetErrorText(info, msg::kOpenFailed);
    return;
  }
  info.fileSize = reader.Size();
  const FormatRecord* record = Find(info.formatId);
  if (!record || !record->analyze) record = Find(format::kUnknown);
  if (record && record->analyze) record->analyze(info, reader);
}

const FormatRegistry& Formats() {
  static const FormatRegistry registry([] {
    std::vector<FormatRecord> all;
    for (auto family : {ImageFormats, MpegSystemFormats, AudioStreamFormats, LosslessAudioFormats, OtherAudioFormats,
                        RiffFormats, OggFormats, AsfFormats, RealMediaFormats, Mp4Formats, MatroskaFormats,
                        FlashVideoFormats, PlaylistFormats, FallbackFormats}) {
      std::span<const FormatRecord> records = family();
      all.insert(all.end(), records.begin(), records.end());
    }
    return all;
  }());
  return registry;
}

void DetectFormat(MediaInfo& info) { Formats().Detect(info); }
int32_t PlaylistFormatFromPath(const char16_t* path) { return Formats().PlaylistFormat(path); }
int32_t SignatureFormat(const SignatureBlock& block, const char16_t* path) {
  return Formats().SignatureFormat(block, path);
}
int32_t ExtensionFormat(const char16_t* path) { return Formats().ExtensionFormat(path); }
void Dispatch(MediaInfo& info) { Formats().Dispatch(info); }

void RunGuarded(MediaInfo& info, void (*step)(MediaInfo&)) {
  try {
    step(info);
  } catch (...) {
    SetErrorFormat(info, msg::kException, info.formatId);
  }
}

}  // namespace probex
