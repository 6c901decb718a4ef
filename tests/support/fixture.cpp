#include "fixture.h"

#include <iconv.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "detect.h"
#include "dispatch.h"
#include "templates.h"

namespace probex::test {

namespace {

std::string TempDirectory() {
  static std::string dir = [] {
    char pattern[] = "/tmp/probex-test-XXXXXX";
    const char* made = mkdtemp(pattern);
    return std::string(made ? made : "/tmp");
  }();
  return dir;
}

}  // namespace

TempFile::TempFile(const std::string& name, const Bytes& content) : path_(TempDirectory() + "/" + name) {
  std::ofstream out(path_, std::ios::binary);
  out.write(reinterpret_cast<const char*>(content.data()), static_cast<std::streamsize>(content.size()));
}

TempFile::TempFile(const std::string& name, const std::string& content)
    : TempFile(name, Bytes(content.begin(), content.end())) {}

TempFile::~TempFile() { std::remove(path_.c_str()); }

std::u16string ToUtf16(const std::string& utf8) {
  std::u16string out;
  iconv_t cd = iconv_open("UTF-16LE", "UTF-8");
  std::string buffer(utf8.size() * 4 + 4, '\0');
  char* in = const_cast<char*>(utf8.data());
  size_t inLeft = utf8.size();
  char* o = buffer.data();
  size_t oLeft = buffer.size();
  iconv(cd, &in, &inLeft, &o, &oLeft);
  iconv_close(cd);
  size_t bytes = buffer.size() - oLeft;
  for (size_t i = 0; i + 1 < bytes; i += 2)
    out += static_cast<char16_t>(static_cast<uint8_t>(buffer[i]) | (static_cast<uint8_t>(buffer[i + 1]) << 8));
  return out;
}

MediaInfo MakeRecord(const std::string& path) {
  MediaInfo info;
  std::memset(&info, 0, sizeof info);
  std::u16string wide = ToUtf16(path);
  for (size_t i = 0; i < wide.size() && i < PROBEX_PATH_UNITS - 1; ++i) info.path[i] = wide[i];
  return info;
}

MediaInfo AnalyzeFile(const std::string& path) {
  MediaInfo info = MakeRecord(path);
  DetectFormat(info);
  Dispatch(info);
  return info;
}

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Utf8(const std::string& cp932) {
  iconv_t cd = iconv_open("UTF-8", "CP932");
  std::string buffer(cp932.size() * 3 + 4, '\0');
  char* in = const_cast<char*>(cp932.data());
  size_t inLeft = cp932.size();
  char* o = buffer.data();
  size_t oLeft = buffer.size();
  size_t r = iconv(cd, &in, &inLeft, &o, &oLeft);
  iconv_close(cd);
  if (r == static_cast<size_t>(-1)) return "<invalid CP932>";
  return buffer.substr(0, buffer.size() - oLeft);
}

void UseShippedTemplates() { SetTemplateDirectory(ToUtf16(VORTAQ_DATA_DIR).c_str()); }

std::string FixturePath(const std::string& name) { return std::string(VORTAQ_FIXTURES) + name; }

std::string PublicMedia(const std::string& name) {
  std::string path = std::string(VORTAQ_PUBLIC_MEDIA) + name;
  std::error_code ec;
  return std::filesystem::exists(path, ec) ? path : std::string();
}

}  // namespace probex::test
