// The formats the library knows: one record per FormatId, declared by each
// family in its own file. Detection and dispatch only walk these records, so
// a new format is a new record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <vector>

#include "probex.h"

namespace probex {

class FileReader;

inline constexpr size_t kSignatureBytes = 256;
using SignatureBlock = uint8_t[kSignatureBytes];

// Looks at the first 256 bytes after any ID3v2 tag (zeros past the file's
// end). 0: the rule does not hold; any other value ends detection with that
// FormatId, which may be another record's, 1 or 2.
using SignatureProbe = int32_t (*)(const SignatureBlock& block, const char16_t* path);

// Walks the file the dispatcher opened; fileSize is already stored.
using Analyzer = void (*)(MediaInfo& info, FileReader& reader);

struct FormatRecord {
  int32_t formatId;
  const char* name;
  // Space-separated literals compared, without regard to case, with the
  // beginning of the extension; the longest literal that matches wins. A
  // literal ending in '$' must match the whole extension.
  const char* extensions;
  // Signature rules run from the lowest order up. Records that share one
  // rule (a RIFF form, an Ogg first stream) carry the same order and probe;
  // the rule runs once.
  uint16_t order;
  SignatureProbe probe;
  Analyzer analyze;  // none: the default analyzer
  // Playlists are told by their extension alone, before the file is opened.
  bool playlist;
};

class FormatRegistry {
 public:
  explicit FormatRegistry(std::vector<FormatRecord> records);

  const std::vector<FormatRecord>& Records() const { return records_; }
  const FormatRecord* Find(int32_t formatId) const;

  int32_t PlaylistFormat(const char16_t* path) const;
  int32_t SignatureFormat(const SignatureBlock& block, const char16_t* path) const;
  int32_t ExtensionFormat(const char16_t* path) const;

  // Sets formatId (and fileSize whenever the file opened).
  void Detect(MediaInfo& info) const;
  // Opens the file, stores fileSize and runs the record's analyzer; a file
  // that cannot be opened gets the one "can't open" text. Exceptions pass.
  void Dispatch(MediaInfo& info) const;

 private:
  int32_t MatchExtension(const char16_t* path, bool playlist) const;

  std::vector<FormatRecord> records_;  // by order, stable
};

// The library's own registry, built on first use from every family's list.
const FormatRegistry& Formats();

// Each family's records, from its own file.
std::span<const FormatRecord> ImageFormats();
std::span<const FormatRecord> MpegSystemFormats();
std::span<const FormatRecord> AudioStreamFormats();
std::span<const FormatRecord> LosslessAudioFormats();
std::span<const FormatRecord> OtherAudioFormats();
std::span<const FormatRecord> RiffFormats();
std::span<const FormatRecord> OggFormats();
std::span<const FormatRecord> AsfFormats();
std::span<const FormatRecord> RealMediaFormats();
std::span<const FormatRecord> Mp4Formats();
std::span<const FormatRecord> MatroskaFormats();
std::span<const FormatRecord> FlashVideoFormats();
std::span<const FormatRecord> PlaylistFormats();
std::span<const FormatRecord> FallbackFormats();

// Probe helpers for the families' rules.
bool SignatureAt(const SignatureBlock& block, size_t offset, const char* text);  // ASCII case ignored
bool BytesAt(const SignatureBlock& block, size_t offset, std::initializer_list<uint8_t> bytes);

}  // namespace probex
