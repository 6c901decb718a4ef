// Builds the seed corpora: fuzz_seeds ANALYZE_DIR TEMPLATES_DIR DATA_DIR PATH...
// Each media file becomes its detected FormatId byte followed by its bytes;
// each data file becomes a few template inputs naming its own sections.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "harness.h"
#include "probex.h"

namespace fs = std::filesystem;

namespace {

constexpr uintmax_t kMaxSeedBytes = 256 * 1024;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteSeed(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

int32_t Detect(const fs::path& path) {
  std::string name = path.string();
  if (name.size() + 1 > PROBEX_PATH_UNITS) return 0;
  std::unique_ptr<MediaInfo> info = probex::fuzz::NewRecord(name);
  GetFileFormat(info.get());
  return info->formatId;
}

void AddMedia(const fs::path& path, const fs::path& outDir, int& count) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec) || fs::file_size(path, ec) > kMaxSeedBytes) return;
  std::string ext = path.extension().string();
  if (ext == ".sh" || ext == ".py" || ext == ".md") return;
  int32_t id = Detect(path);
  if (id <= 0 || id > 255) return;
  std::string seed(1, static_cast<char>(id));
  seed += ReadAll(path);
  WriteSeed(outDir / ("seed-" + std::to_string(count++)), seed);
}

// Template inputs: two size bytes, INI text, section, key, placeholder, value.
void AddTemplates(const fs::path& ini, const fs::path& outDir, int& count) {
  std::string text = ReadAll(ini);
  std::vector<std::string> sections;
  for (size_t at = text.find('['); at != std::string::npos && sections.size() < 8; at = text.find('[', at + 1)) {
    size_t end = text.find(']', at);
    if (end == std::string::npos) break;
    sections.push_back(text.substr(at + 1, end - at - 1));
  }
  const std::string sep(1, '\xFF');
  for (const std::string& section : sections) {
    std::string head = text.substr(0, 4096);
    for (const char* key : {"AUDIO", "VIDEO1", "0055"}) {
      std::string seed = std::string("\x30\x20", 2) + head + sep + section + sep + key + sep + "#samplerate#" +
                         sep + "44100";
      WriteSeed(outDir / ("seed-" + std::to_string(count++)), seed);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: fuzz_seeds ANALYZE_DIR TEMPLATES_DIR DATA_DIR PATH...\n");
    return 2;
  }
  fs::path analyzeDir = argv[1], templatesDir = argv[2], dataDir = argv[3];
  fs::create_directories(analyzeDir);
  fs::create_directories(templatesDir);
  int media = 0, templates = 0;
  for (int i = 4; i < argc; ++i) {
    fs::path root = argv[i];
    std::error_code ec;
    if (fs::is_directory(root, ec)) {
      for (const auto& entry : fs::recursive_directory_iterator(root, ec)) AddMedia(entry.path(), analyzeDir, media);
    } else {
      AddMedia(root, analyzeDir, media);
    }
  }
  for (const char* name : {"FORMAT.INI", "CODECS.INI"}) AddTemplates(dataDir / name, templatesDir, templates);
  std::printf("%d media seeds, %d template seeds\n", media, templates);
  return 0;
}
