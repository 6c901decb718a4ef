#include "templates.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "file_reader.h"
#include "messages.h"
#include "probex.h"
#include "text.h"

namespace probex {

namespace {

char16_t g_directory[PROBEX_PATH_UNITS];

constexpr size_t kSectionMax = 32;
constexpr size_t kKeyMax = 31;
constexpr size_t kValueBytes = 477;

// Templates are looked up several times per analysed file: their contents
// stay in memory while the file keeps its stamp, so an edit still shows in
// the very next look-up. Analyses run on several threads at once.
constexpr size_t kIniLimit = 16u << 20;
constexpr size_t kCachedFiles = 8;

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

char AsciiFold(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Offset of the first occurrence of needle (ASCII case ignored) in the first
// length bytes of text, or length when there is none.
size_t FindNoCase(const char* text, size_t length, const char* needle, size_t needleLength) {
  if (needleLength == 0 || needleLength > length) return length;
  const char first = AsciiFold(needle[0]);
  const bool caseless = AsciiUpper(first) == first;  // not a letter
  for (size_t i = 0; i + needleLength <= length; ++i) {
    if (caseless) {
      // Placeholders start with '#': jump to the next one.
      const void* hit = std::memchr(text + i, first, length - needleLength + 1 - i);
      if (!hit) break;
      i = static_cast<size_t>(static_cast<const char*>(hit) - text);
    } else if (AsciiFold(text[i]) != first) {
      continue;
    }
    size_t k = 1;
    while (k < needleLength && AsciiFold(text[i + k]) == AsciiFold(needle[k])) ++k;
    if (k == needleLength) return i;
  }
  return length;
}


// A file's contents cut into the pieces that a line reader of 511 bytes
// hands out, up to where such a reader stops (the end, a piece that begins
// with a NUL, a last piece without line end), with the first piece of each
// "[NAME]" header indexed by the upper-case name.
struct CachedIni {
  FileStamp stamp;
  std::vector<std::string> lines;
  std::unordered_map<std::string, size_t> sections;

  void Index(const std::string& text) {
    for (size_t at = 0; at < text.size();) {
      size_t n = 0;
      bool lineEnd = false;
      while (n < kLineBytes - 1 && at + n < text.size()) {
        if (text[at + n++] == '\n') {
          lineEnd = true;
          break;
        }
      }
      bool ranOut = !lineEnd && n < kLineBytes - 1;
      std::string line = text.substr(at, n);
      at += n;
      line.resize(std::strlen(line.c_str()));
      if (line.empty() || (line.back() != '\n' && ranOut)) break;
      size_t close = line.find(']');
      if (line[0] == '[' && close != std::string::npos) {
        std::string name = line.substr(1, close - 1);
        for (char& c : name) c = AsciiUpper(c);
        sections.emplace(name, lines.size());
      }
      lines.push_back(std::move(line));
    }
  }
};

std::mutex g_cacheMutex;
std::map<std::string, std::shared_ptr<const CachedIni>> g_cache;

std::shared_ptr<const CachedIni> LoadIni(const std::string& path) {
  FileStamp now;
  if (!StampFile(path, now)) {
    std::lock_guard<std::mutex> lock(g_cacheMutex);
    g_cache.erase(path);
    return nullptr;
  }
  {
    std::lock_guard<std::mutex> lock(g_cacheMutex);
    auto it = g_cache.find(path);
    if (it != g_cache.end() && it->second->stamp == now) return it->second;
  }
  auto fresh = std::make_shared<CachedIni>();
  std::string content;
  if (!ReadWholeFile(path, kIniLimit, content, fresh->stamp)) return nullptr;
  fresh->Index(content);
  std::lock_guard<std::mutex> lock(g_cacheMutex);
  // Paths change only with SetPath; old directories need not linger.
  if (g_cache.size() >= kCachedFiles && g_cache.find(path) == g_cache.end()) g_cache.clear();
  g_cache[path] = fresh;
  return fresh;
}

// The piece after the header of section, or lines.size() when the section is
// missing or nothing follows its header.
size_t SectionBody(const CachedIni& ini, const char* section) {
  const size_t none = ini.lines.size();
  if (std::strchr(section, ']')) {  // no name of the index: look line by line
    std::string header = std::string("[") + section + "]";
    for (size_t i = 0; i < ini.lines.size(); ++i)
      if (ini.lines[i].size() >= header.size() && EqualNoCase(ini.lines[i].c_str(), header.c_str(), header.size()))
        return i + 1;
    return none;
  }
  std::string name(section);
  for (char& c : name) c = AsciiUpper(c);
  auto it = ini.sections.find(name);
  return it == ini.sections.end() ? none : it->second + 1;
}

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
  std::shared_ptr<const CachedIni> ini = LoadIni(Utf16ToUtf8(g_directory, PROBEX_PATH_UNITS) + fileName);
  if (!ini) {
    FormatText(out, size, msg::kTemplateFileMissing, key);
    return;
  }
  if (std::strlen(section) > kSectionMax) {
    FormatText(out, size, msg::kTemplateSectionTooLong, key);
    return;
  }
  const std::vector<std::string>& lines = ini->lines;
  size_t at = SectionBody(*ini, section);
  if (at >= lines.size()) {
    FormatText(out, size, msg::kTemplateSectionMissing, key);
    return;
  }
  size_t keyLength = std::strlen(key);
  for (; at < lines.size() && !IsBlank(lines[at].c_str()); ++at)
    if (lines[at][0] != ';') CollectEntry(lines[at].c_str(), key, keyLength, out, size);
  if (out[0] == '\0') FormatText(out, size, msg::kUnknownKey, key);
}

bool ReplacePlaceholder(const char* tmpl, char* out, size_t size, const char* placeholder, const char* value) {
  // Inputs are taken as 511-byte texts, like every text of the library.
  const size_t sourceLength = BoundedLength(tmpl, kLineBytes - 1);
  const size_t phLength = BoundedLength(placeholder, kLineBytes - 1);
  // Most placeholders a description sets are not in its template: find the
  // first occurrence before building anything.
  if (FindNoCase(tmpl, sourceLength, placeholder, phLength) == sourceLength) {
    // In place, a terminated template that fits stays as it is.
    bool unchanged = tmpl == out && sourceLength < kLineBytes - 1 && sourceLength < size;
    if (!unchanged) {
      std::string copy(tmpl, sourceLength);
      CopyText(out, size, copy.c_str());
    }
    return false;
  }
  std::string val(value, BoundedLength(value, kLineBytes - 1));
  std::string result;
  result.reserve(sourceLength + val.size());
  bool replaced = false;
  size_t i = 0;
  while (i < sourceLength) {
    size_t at = i + FindNoCase(tmpl + i, sourceLength - i, placeholder, phLength);
    result.append(tmpl + i, at - i);
    if (at == sourceLength) break;
    result += val;
    i = at + phLength;
    replaced = true;
  }
  CopyText(out, size, result.c_str());
  return replaced;
}

Description::Description(const char* section, const char* key) {
  text_[0] = '\0';
  LookupIni(text_, sizeof text_, key, section, kFormatIni);
}

void Description::Set(const char* placeholder, const char* format, ...) {
  // Analyzers set every placeholder they know; most templates hold a few.
  const size_t length = BoundedLength(text_, sizeof text_);
  if (FindNoCase(text_, length, placeholder, BoundedLength(placeholder, kLineBytes - 1)) == length) return;
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

void Description::SetKnown(const char* placeholder, const char* format, double value) {
  if (value > 0 && std::isfinite(value)) {
    Set(placeholder, format, value);
    return;
  }
  std::string text(text_, BoundedLength(text_, sizeof text_));
  const size_t length = BoundedLength(placeholder, kLineBytes - 1);
  if (length == 0) return;
  auto isUnit = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '/'; };
  for (size_t i = 0; i + length <= text.size();) {
    if (!EqualNoCase(text.data() + i, placeholder, length)) {
      ++i;
      continue;
    }
    size_t start = i, end = i + length;
    while (end < text.size() && isUnit(text[end])) ++end;
    if (start > 0 && text[start - 1] == ' ')
      --start;
    else if (end < text.size() && text[end] == ' ')
      ++end;
    text.erase(start, end - start);
    i = start;
  }
  CopyText(text_, sizeof text_, text.c_str());
}

}  // namespace probex
