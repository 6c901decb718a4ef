#include "harness.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "dispatch.h"
#include "registry.h"
#include "probex.h"
#include "templates.h"

namespace probex::fuzz {

namespace {

constexpr size_t kGuard = 32;
constexpr unsigned char kGuardByte = 0xA5;

struct Buffer {
  explicit Buffer(size_t size) : bytes(size + 2 * kGuard, kGuardByte) {
    std::memset(bytes.data() + kGuard, 0, size);
  }
  char* Data() { return reinterpret_cast<char*>(bytes.data() + kGuard); }
  bool GuardsIntact() const {
    size_t size = bytes.size() - 2 * kGuard;
    for (size_t i = 0; i < kGuard; ++i)
      if (bytes[i] != kGuardByte || bytes[kGuard + size + i] != kGuardByte) return false;
    return true;
  }
  std::vector<unsigned char> bytes;
};

bool Terminated(const char* field, size_t size) { return std::memchr(field, '\0', size) != nullptr; }

std::string CheckRecord(const MediaInfo& info) {
  if (info.videoCount < 0 || info.videoCount > PROBEX_MAX_VIDEO) return "videoCount out of range";
  if (info.audioCount < 0 || info.audioCount > PROBEX_MAX_AUDIO) return "audioCount out of range";
  if (info.extraCount < 0 || info.extraCount > PROBEX_MAX_EXTRA) return "extraCount out of range";
  if (!Terminated(info.formatName, sizeof info.formatName)) return "formatName unterminated";
  if (!Terminated(info.errorText, sizeof info.errorText)) return "errorText unterminated";
  for (const auto& text : info.videoText)
    if (!Terminated(text, sizeof text)) return "videoText unterminated";
  for (const auto& text : info.audioText)
    if (!Terminated(text, sizeof text)) return "audioText unterminated";
  for (const auto& text : info.extraText)
    if (!Terminated(text, sizeof text)) return "extraText unterminated";
  if (!std::isfinite(info.duration)) return "duration not finite";
  if (info.duration < 0 && info.duration != -1.0) return "negative duration";
  return "";
}

template <typename Len, typename Convert>
std::string CheckReport(const MediaInfo& info, Len len, Convert convert, const char* name) {
  int32_t length = len(&info);
  if (length < 1) return std::string(name) + ": length below 1";
  Buffer buffer(static_cast<size_t>(length));
  convert(&info, buffer.Data());
  if (!buffer.GuardsIntact()) return std::string(name) + ": wrote outside its announced length";
  if (std::strlen(buffer.Data()) + 1 != static_cast<size_t>(length))
    return std::string(name) + ": written length differs from the announced one";
  return "";
}

std::string CheckAnalysed(const MediaInfo& info) {
  std::string fault = CheckRecord(info);
  if (fault.empty()) fault = CheckReport(info, ConvertFullLen, ConvertFull, "ConvertFull");
  if (fault.empty()) fault = CheckReport(info, ConvertOneLen, ConvertOne, "ConvertOne");
  return fault;
}

}  // namespace

std::unique_ptr<MediaInfo> NewRecord(const std::string& path) {
  auto info = std::make_unique<MediaInfo>();
  std::memset(info.get(), 0, sizeof *info);
  for (size_t i = 0; i < path.size() && i + 1 < PROBEX_PATH_UNITS; ++i)
    info->path[i] = static_cast<unsigned char>(path[i]);
  return info;
}

const std::vector<int32_t>& AnalyzerFormats() {
  static const std::vector<int32_t> formats = [] {
    std::vector<int32_t> ids;
    for (const FormatRecord& record : Formats().Records())
      if (!record.playlist) ids.push_back(record.formatId);
    return ids;
  }();
  return formats;
}

int32_t SelectFormat(uint8_t selector) {
  const std::vector<int32_t>& formats = AnalyzerFormats();
  for (int32_t id : formats)
    if (id == selector) return id;
  return formats[selector % formats.size()];
}

ScratchFile::ScratchFile() {
  fd_ = memfd_create("probex-fuzz", MFD_CLOEXEC);
  if (fd_ >= 0) path_ = "/proc/self/fd/" + std::to_string(fd_);
}

ScratchFile::~ScratchFile() {
  if (fd_ >= 0) close(fd_);
}

bool ScratchFile::Write(const uint8_t* data, size_t size) {
  if (fd_ < 0 || ftruncate(fd_, 0) != 0) return false;
  size_t done = 0;
  while (done < size) {
    ssize_t n = pwrite(fd_, data + done, size - done, static_cast<off_t>(done));
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

std::string CheckFile(const std::string& path, int32_t formatId) {
  std::unique_ptr<MediaInfo> info = NewRecord(path);
  info->formatId = formatId;
  GetFileInfo(info.get());
  if (std::string fault = CheckAnalysed(*info); !fault.empty())
    return "under FormatId " + std::to_string(formatId) + ": " + fault;

  info = NewRecord(path);
  GetFileFormat(info.get());
  int32_t detected = info->formatId;
  GetFileInfo(info.get());
  if (std::string fault = CheckAnalysed(*info); !fault.empty())
    return "detected as " + std::to_string(detected) + ": " + fault;
  return "";
}

namespace {

// Splits the input at 0xFF bytes, which neither INI text nor Shift_JIS uses.
std::vector<std::string> SplitFields(const uint8_t* data, size_t size, size_t count) {
  std::vector<std::string> fields(1);
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0xFF && fields.size() < count) {
      fields.emplace_back();
    } else {
      fields.back() += static_cast<char>(data[i]);
    }
  }
  fields.resize(count);
  return fields;
}

std::string CString(const std::string& text) { return std::string(text.c_str()); }

}  // namespace

std::string CheckTemplates(const uint8_t* data, size_t size, const std::string& scratchDir) {
  if (size < 2) return "";
  size_t lookupSize = data[0] % 96 + 1;
  size_t replaceSize = data[1] % 96 + 1;
  std::vector<std::string> fields = SplitFields(data + 2, size - 2, 5);
  const std::string& ini = fields[0];
  std::string section = CString(fields[1]);
  std::string key = CString(fields[2]);
  std::string placeholder = CString(fields[3]);
  std::string value = CString(fields[4]);

  {
    std::ofstream out(scratchDir + "/" + kFormatIni, std::ios::binary | std::ios::trunc);
    out.write(ini.data(), static_cast<std::streamsize>(ini.size()));
  }
  std::u16string dir;
  for (char c : scratchDir + "/") dir += static_cast<char16_t>(static_cast<unsigned char>(c));
  if (SetTemplateDirectory(dir.c_str()) != 0) return "scratch directory refused";

  Buffer found(lookupSize);
  LookupIni(found.Data(), lookupSize, key.c_str(), section.c_str(), kFormatIni);
  if (!found.GuardsIntact()) return "LookupIni wrote past its size";
  if (!Terminated(found.Data(), lookupSize)) return "LookupIni left its result unterminated";

  // Into a separate buffer, then in place over the template.
  std::string tmpl = CString(ini);
  Buffer replaced(replaceSize);
  ReplacePlaceholder(tmpl.c_str(), replaced.Data(), replaceSize, placeholder.c_str(), value.c_str());
  if (!replaced.GuardsIntact()) return "ReplacePlaceholder wrote past its size";
  if (!Terminated(replaced.Data(), replaceSize)) return "ReplacePlaceholder left its result unterminated";

  Buffer inPlace(replaceSize);
  std::strncpy(inPlace.Data(), tmpl.c_str(), replaceSize - 1);
  ReplacePlaceholder(inPlace.Data(), inPlace.Data(), replaceSize, placeholder.c_str(), value.c_str());
  if (!inPlace.GuardsIntact()) return "ReplacePlaceholder in place wrote past its size";
  if (!Terminated(inPlace.Data(), replaceSize)) return "ReplacePlaceholder in place left its result unterminated";
  return "";
}

}  // namespace probex::fuzz
