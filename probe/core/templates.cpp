#include "templates.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "messages.h"
#include "probex.h"
#include "text.h"

namespace probex {

namespace {

char16_t g_directory[PROBEX_PATH_UNITS];

constexpr size_t kSectionMax = 32;
constexpr size_t kKeyMax = 31;
constexpr size_t kValueBytes = 477;

struct IniFile {
  explicit IniFile(const char* fileName) {
    std::string path = Utf16ToUtf8(g_directory, PROBEX_PATH_UNITS) + fileName;
    file = std::fopen(path.c_str(), "rb");
  }
  ~IniFile() {
    if (file) std::fclose(file);
  }
  // Next piece of at most 511 bytes. false once the file has ended, which
  // includes a final piece without a line end.
  bool Next(char* line) {
    if (!std::fgets(line, kLineBytes, file)) return false;
    size_t n = std::strlen(line);
    if (n == 0) return false;
    if (line[n - 1] != '\n' && std::feof(file)) return false;
    return true;
  }
  FILE* file = nullptr;
};

// A line of just its end closes a section; LF-only files are accepted too.
bool IsBlank(const char* line) { return std::strcmp(line, "\r\n") == 0 || std::strcmp(line, "\n") == 0; }

void CollectEntry(const char* line, const char* key, size_t keyLength, char* out, size_t size) {
  const char* tab = std::strchr(line, '\t');
  if (!tab) return;
  char lineKey[kKeyMax + 1];
  size_t lineKeyLength = static_cast<size_t>(tab - line);
  if (lineKeyLength > kKeyMax) lineKeyLength = kKeyMax;
  std::memcpy(lineKey, line, lineKeyLength);
  lineKey[lineKeyLength] = '\0';
  if (keyLength > lineKeyLength || !EqualNoCase(lineKey, key, keyLength)) return;

  const char* value = tab;
  while (*value == '\t') ++value;
  size_t valueLength = std::strlen(value);
  // Drop the line end; a piece cut inside a long line has none.
  if (valueLength && value[valueLength - 1] == '\n') --valueLength;
  if (valueLength && value[valueLength - 1] == '\r') --valueLength;
  if (valueLength > kValueBytes - 1) valueLength = kValueBytes - 1;
  char buffer[kValueBytes];
  std::memcpy(buffer, value, valueLength);
  buffer[valueLength] = '\0';

  if (out[0] != '\0') AppendText(out, size, " / ");
  AppendText(out, size, buffer);
}

}  // namespace

int SetTemplateDirectory(const char16_t* directory) {
  std::memset(g_directory, 0, sizeof g_directory);
  if (!directory) return 0;
  size_t n = Utf16Length(directory, PROBEX_PATH_UNITS);
  if (n >= PROBEX_PATH_UNITS) {
    // Report the whole length, not just the part we looked at.
    while (directory[n] != 0) ++n;
    return static_cast<int>(n);
  }
  std::memcpy(g_directory, directory, n * sizeof(char16_t));
  return 0;
}

void LookupIni(char* out, size_t size, const char* key, const char* section, const char* fileName) {
  if (size == 0) return;
  IniFile ini(fileName);
  if (!ini.file) {
    FormatText(out, size, msg::kTemplateFileMissing, key);
    return;
  }
  if (std::strlen(section) > kSectionMax) {
    FormatText(out, size, msg::kTemplateSectionTooLong, key);
    return;
  }
  char header[kSectionMax + 3];
  FormatText(header, sizeof header, "[%s]", section);
  size_t headerLength = std::strlen(header);

  char line[kLineBytes];
  bool found = false;
  while (ini.Next(line)) {
    if (std::strlen(line) >= headerLength && EqualNoCase(line, header, headerLength)) {
      found = true;
      break;
    }
  }
  bool more = found && ini.Next(line);
  if (!more) {
    FormatText(out, size, msg::kTemplateSectionMissing, key);
    return;
  }
  size_t keyLength = std::strlen(key);
  while (more && !IsBlank(line)) {
    if (line[0] != ';') CollectEntry(line, key, keyLength, out, size);
    more = ini.Next(line);
  }
  if (out[0] == '\0') FormatText(out, size, msg::kUnknownKey, key);
}

bool ReplacePlaceholder(const char* tmpl, char* out, size_t size, const char* placeholder, const char* value) {
  // Inputs are taken as 511-byte texts, like every text of the library.
  std::string source(tmpl, BoundedLength(tmpl, kLineBytes - 1));
  std::string ph(placeholder, BoundedLength(placeholder, kLineBytes - 1));
  std::string val(value, BoundedLength(value, kLineBytes - 1));
  std::string result;
  bool replaced = false;
  size_t i = 0;
  while (i < source.size()) {
    if (!ph.empty() && source.size() - i >= ph.size() && EqualNoCase(source.data() + i, ph.c_str(), ph.size())) {
      result += val;
      i += ph.size();
      replaced = true;
    } else {
      result += source[i++];
    }
  }
  CopyText(out, size, result.c_str());
  return replaced;
}

Description::Description(const char* section, const char* key) {
  text_[0] = '\0';
  LookupIni(text_, sizeof text_, key, section, kFormatIni);
}

void Description::Set(const char* placeholder, const char* format, ...) {
  char value[kLineBytes];
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(value, sizeof value, format, args);
  va_end(args);
  if (n < 0) value[0] = '\0';
  ReplacePlaceholder(text_, text_, sizeof text_, placeholder, value);
}

void Description::SetText(const char* placeholder, const char* value) {
  ReplacePlaceholder(text_, text_, sizeof text_, placeholder, value);
}

}  // namespace probex
