// What the fuzzers, the crash replay and the corruption sweep check: every
// export run on one file, the record's invariants, and reports written into
// buffers of exactly their announced length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "probex.h"

namespace probex::fuzz {

// A zero-filled record naming path (ASCII; cut to the record's units).
std::unique_ptr<MediaInfo> NewRecord(const std::string& path);

// The FormatIds of the dispatch table, in table order.
const std::vector<int32_t>& AnalyzerFormats();

// The FormatId a selector byte stands for: the byte itself when the table has
// that FormatId (so a seed can name its own format), else a table entry.
int32_t SelectFormat(uint8_t selector);

// An anonymous in-memory file that the library opens by its /proc path.
class ScratchFile {
 public:
  ScratchFile();
  ~ScratchFile();
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;
  bool Write(const uint8_t* data, size_t size);
  const std::string& Path() const { return path_; }

 private:
  int fd_ = -1;
  std::string path_;
};

// Analyses path under formatId, then again from detection on a fresh record,
// and writes both reports each time. Returns the first broken invariant, or
// an empty text.
std::string CheckFile(const std::string& path, int32_t formatId);

// The template store on a fuzzed INI text: look-ups and placeholder
// substitution into small guarded buffers. scratchDir receives FORMAT.INI.
std::string CheckTemplates(const uint8_t* data, size_t size, const std::string& scratchDir);

}  // namespace probex::fuzz
