// Test helpers: temporary files, records and template directories.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "probex.h"

namespace probex::test {

using Bytes = std::vector<uint8_t>;

// A file in a private temporary folder, removed with the object.
class TempFile {
 public:
  TempFile(const std::string& name, const Bytes& content);
  TempFile(const std::string& name, const std::string& content);
  ~TempFile();
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

std::u16string ToUtf16(const std::string& utf8);
// A zero-filled record naming path.
MediaInfo MakeRecord(const std::string& path);
// GetFileFormat + GetFileInfo through the exports' logic.
MediaInfo AnalyzeFile(const std::string& path);
Bytes ReadFile(const std::string& path);
// CP932 -> UTF-8, for comparing messages with readable text.
std::string Utf8(const std::string& cp932);
// The shipped templates (data/).
void UseShippedTemplates();
std::string FixturePath(const std::string& name);
std::string PublicMedia(const std::string& name);  // empty when absent

}  // namespace probex::test
