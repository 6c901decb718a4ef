// probex: analyses media files through the library's exports and prints the
// full report, the one-line summary or JSON.
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "probex.h"
#include "sjis.h"

namespace fs = std::filesystem;
using probex_cli::Cp932ToUtf8;

namespace {

constexpr char kUsage[] =
    "Usage: probex [options] PATH...\n"
    "Analyses media files, and the files of folders, in the order given.\n"
    "\n"
    "  --one             one line per file: summary, a tab, the path\n"
    "  --json            one JSON array, one object per file\n"
    "  -r, --recursive   descend into subfolders\n"
    "  -j N, --jobs N    analyse N files at once (output stays in order)\n"
    "  --templates DIR   folder of FORMAT.INI and CODECS.INI\n"
    "  --version         print the library version\n"
    "  --help            print this help\n"
    "\n"
    "Exit status: 0 when every path was analysed, 1 when a path could not be\n"
    "opened, 2 for a usage error.\n";

enum class Mode { kFull, kOne, kJson };

struct Options {
  Mode mode = Mode::kFull;
  bool recursive = false;
  unsigned jobs = 1;
  std::string templates;
  std::vector<std::string> paths;
};

struct Result {
  std::string path;
  bool opened = false;
  std::string text;  // what the mode prints for this file
};

int UsageError(const std::string& message) {
  std::fprintf(stderr, "probex: %s\nTry 'probex --help'.\n", message.c_str());
  return 2;
}

std::u16string Utf8ToUtf16(const std::string& s) {
  std::u16string out;
  for (size_t i = 0; i < s.size();) {
    unsigned char c = s[i];
    uint32_t cp;
    size_t n;
    if (c < 0x80) cp = c, n = 1;
    else if ((c >> 5) == 6) cp = c & 0x1F, n = 2;
    else if ((c >> 4) == 14) cp = c & 0x0F, n = 3;
    else if ((c >> 3) == 30) cp = c & 0x07, n = 4;
    else cp = 0xFFFD, n = 1;
    if (n > 1) {
      if (i + n > s.size()) {
        cp = 0xFFFD, n = 1;
      } else {
        for (size_t k = 1; k < n; ++k) cp = (cp << 6) | (s[i + k] & 0x3F);
      }
    }
    i += n;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

std::string ExecutableDirectory() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : exe.parent_path().string() + "/";
}

// FORMAT.INI beside the program (build tree, portable copy), else the
// installed data directory.
std::string DefaultTemplateDirectory() {
  std::string own = ExecutableDirectory();
  std::error_code ec;
  if (!own.empty() && fs::exists(own + "FORMAT.INI", ec)) return own;
  return VORTAQ_DATADIR;
}

std::string JsonString(const std::string& utf8) {
  std::string out = "\"";
  for (unsigned char c : utf8) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char esc[8];
          std::snprintf(esc, sizeof esc, "\\u%04x", c);
          out += esc;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string JsonList(const char (*entries)[PROBEX_TEXT_BYTES], int32_t count, int32_t limit) {
  std::string out = "[";
  for (int32_t i = 0; i < std::clamp(count, 0, limit); ++i) {
    if (i) out += ", ";
    out += JsonString(Cp932ToUtf8(std::string(entries[i], strnlen(entries[i], PROBEX_TEXT_BYTES))));
  }
  return out + "]";
}

std::string Field(const char* text, size_t size) { return Cp932ToUtf8(std::string(text, strnlen(text, size))); }

std::string JsonObject(const std::string& path, const MediaInfo& info) {
  char number[64];
  std::string out = "  {\"path\": " + JsonString(path);
  out += ", \"formatId\": " + std::to_string(info.formatId);
  out += ", \"formatName\": " + JsonString(Field(info.formatName, sizeof info.formatName));
  out += ", \"errorText\": " + JsonString(Field(info.errorText, sizeof info.errorText));
  out += ", \"video\": " + JsonList(info.videoText, info.videoCount, PROBEX_MAX_VIDEO);
  out += ", \"audio\": " + JsonList(info.audioText, info.audioCount, PROBEX_MAX_AUDIO);
  out += ", \"extra\": " + JsonList(info.extraText, info.extraCount, PROBEX_MAX_EXTRA);
  if (info.duration == -1.0 || !std::isfinite(info.duration)) {
    out += ", \"duration\": null";
  } else {
    std::snprintf(number, sizeof number, "%.17g", info.duration);
    out += ", \"duration\": ";
    out += number;
  }
  out += ", \"fileSize\": " + std::to_string(info.fileSize) + "}";
  return out;
}

std::string Report(const MediaInfo& info, bool full) {
  int32_t length = full ? ConvertFullLen(&info) : ConvertOneLen(&info);
  std::vector<char> buffer(static_cast<size_t>(std::max(length, 1)), '\0');
  if (full)
    ConvertFull(&info, buffer.data());
  else
    ConvertOne(&info, buffer.data());
  // The library's lines end in CR LF; a terminal and a pipe want LF.
  std::string text = Cp932ToUtf8(buffer.data());
  std::string out;
  for (size_t i = 0; i < text.size(); ++i)
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i];
  return out;
}

Result Analyse(const std::string& path, Mode mode) {
  Result result;
  result.path = path;
  auto info = std::make_unique<MediaInfo>();
  std::memset(info.get(), 0, sizeof(MediaInfo));
  std::u16string wide = Utf8ToUtf16(path);
  // A path that does not fit the record is left empty: the library then
  // reports it as unopenable instead of analysing a cut path.
  if (wide.size() < PROBEX_PATH_UNITS) std::copy(wide.begin(), wide.end(), info->path);
  GetFileInfoAuto(info.get());
  result.opened = info->formatId != 2;
  switch (mode) {
    case Mode::kFull:
      result.text = path + "\n" + Report(*info, true) + "\n\n";
      break;
    case Mode::kOne:
      result.text = Report(*info, false) + "\t" + path + "\n";
      break;
    case Mode::kJson:
      result.text = JsonObject(path, *info);
      break;
  }
  return result;
}

// Files of a folder in name order, so runs are repeatable.
void CollectFolder(const fs::path& folder, bool recursive, std::vector<std::string>& out) {
  std::vector<fs::path> files, folders;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code sec;
    if (it->is_directory(sec))
      folders.push_back(it->path());
    else
      files.push_back(it->path());
  }
  std::sort(files.begin(), files.end());
  std::sort(folders.begin(), folders.end());
  for (const fs::path& f : files) out.push_back(f.string());
  if (recursive)
    for (const fs::path& d : folders) CollectFolder(d, true, out);
}

int ParseArguments(int argc, char** argv, Options& options, bool& done) {
  done = false;
  bool endOfOptions = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (endOfOptions || arg.empty() || arg[0] != '-' || arg == "-") {
      options.paths.push_back(arg);
    } else if (arg == "--") {
      endOfOptions = true;
    } else if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      done = true;
      return 0;
    } else if (arg == "--version") {
      std::printf("probex %d\n", GetDllVersion());
      done = true;
      return 0;
    } else if (arg == "--one") {
      options.mode = Mode::kOne;
    } else if (arg == "--json") {
      options.mode = Mode::kJson;
    } else if (arg == "-r" || arg == "--recursive") {
      options.recursive = true;
    } else if (arg == "-j" || arg == "--jobs" || arg.rfind("-j", 0) == 0 || arg.rfind("--jobs=", 0) == 0) {
      std::string value;
      if (arg == "-j" || arg == "--jobs") {
        if (++i >= argc) return UsageError(arg + " needs a number");
        value = argv[i];
      } else {
        value = arg.rfind("--jobs=", 0) == 0 ? arg.substr(7) : arg.substr(2);
      }
      char* end = nullptr;
      long n = std::strtol(value.c_str(), &end, 10);
      if (value.empty() || *end != '\0' || n < 1 || n > 256) return UsageError("-j needs a number from 1 to 256");
      options.jobs = static_cast<unsigned>(n);
    } else if (arg == "--templates" || arg.rfind("--templates=", 0) == 0) {
      if (arg == "--templates") {
        if (++i >= argc) return UsageError("--templates needs a folder");
        options.templates = argv[i];
      } else {
        options.templates = arg.substr(12);
      }
    } else {
      return UsageError("unknown option " + arg);
    }
  }
  if (options.paths.empty()) return UsageError("no path given");
  return 0;
}

}  // namespace

// Progress of a long batch on the terminal that stderr is: files done of the
// total, files per second and the current folder, redrawn a few times a
// second on one line and erased at the end. Never on stdout.
class Progress {
 public:
  static constexpr size_t kLongBatch = 100;

  Progress(size_t total, bool json)
      : total_(total), start_(std::chrono::steady_clock::now()),
        // A JSON array piped elsewhere is for programs: leave the terminal quiet.
        enabled_(total >= kLongBatch && isatty(STDERR_FILENO) && !(json && !isatty(STDOUT_FILENO))),
        sharesTerminal_(isatty(STDOUT_FILENO)) {}

  // Before a result goes to stdout: a progress line on the same terminal
  // would run into it.
  void BeforeOutput() {
    if (sharesTerminal_) Clear();
  }
  void Clear() {
    if (shown_) Erase();
  }

  void Update(size_t done, const std::string& path) {
    if (!enabled_) return;
    auto now = std::chrono::steady_clock::now();
    if (shown_ && now - drawn_ < std::chrono::milliseconds(200) && done < total_) return;
    drawn_ = now;
    double seconds = std::chrono::duration<double>(now - start_).count();
    char head[96];
    std::snprintf(head, sizeof head, "%zu/%zu files, %.0f files/s, ", done, total_, seconds > 0 ? done / seconds : 0.0);
    std::string folder = fs::path(path).parent_path().string();
    size_t room = Columns() > std::strlen(head) + 2 ? Columns() - std::strlen(head) - 2 : 0;
    if (folder.size() > room) {
      size_t cut = folder.size() - room;
      while (cut < folder.size() && (static_cast<unsigned char>(folder[cut]) & 0xC0) == 0x80) ++cut;  // whole characters
      folder = folder.substr(cut);
    }
    std::fprintf(stderr, "\r%s%s\x1b[K", head, folder.c_str());
    std::fflush(stderr);
    shown_ = true;
  }

 private:
  void Erase() {
    std::fputs("\r\x1b[K", stderr);
    std::fflush(stderr);
    shown_ = false;
  }
  static size_t Columns() {
    winsize size{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
  }

  size_t total_;
  std::chrono::steady_clock::time_point start_, drawn_;
  bool enabled_, sharesTerminal_;
  bool shown_ = false;
};

int main(int argc, char** argv) {
  Options options;
  bool done = false;
  if (int status = ParseArguments(argc, argv, options, done); status != 0 || done) return status;

  std::string templates = options.templates.empty() ? DefaultTemplateDirectory() : options.templates;
  if (!templates.empty() && templates.back() != '/') templates += '/';
  std::u16string wideTemplates = Utf8ToUtf16(templates);
  if (SetPath(wideTemplates.c_str()) != 0) {
    std::fprintf(stderr, "probex: template folder path is too long: %s\n", templates.c_str());
    return 2;
  }

  int status = 0;
  std::vector<std::string> files;
  for (const std::string& path : options.paths) {
    std::error_code ec;
    if (fs::is_directory(path, ec))
      CollectFolder(path, options.recursive, files);
    else
      files.push_back(path);
  }

  std::vector<Result> results(files.size());
  std::vector<char> ready(files.size(), 0);
  std::mutex mutex;
  std::condition_variable cv;
  std::atomic<size_t> next{0};
  auto work = [&] {
    for (size_t i; (i = next.fetch_add(1)) < files.size();) {
      Result r = Analyse(files[i], options.mode);
      std::lock_guard<std::mutex> lock(mutex);
      results[i] = std::move(r);
      ready[i] = 1;
      cv.notify_all();
    }
  };
  unsigned threads = std::min<size_t>(options.jobs, std::max<size_t>(files.size(), 1));
  std::vector<std::thread> pool;
  for (unsigned t = 0; t < threads; ++t) pool.emplace_back(work);

  Progress progress(files.size(), options.mode == Mode::kJson);
  if (options.mode == Mode::kJson) std::fputs("[\n", stdout);
  for (size_t i = 0; i < files.size(); ++i) {
    Result r;
    {
      std::unique_lock<std::mutex> lock(mutex);
      cv.wait(lock, [&] { return ready[i] != 0; });
      r = std::move(results[i]);
    }
    progress.BeforeOutput();
    if (options.mode == Mode::kJson && i > 0) std::fputs(",\n", stdout);
    std::fputs(r.text.c_str(), stdout);
    std::fflush(stdout);
    if (!r.opened) {
      progress.Clear();
      std::fprintf(stderr, "probex: cannot open %s\n", r.path.c_str());
      status = 1;
    }
    progress.Update(i + 1, files[i]);
  }
  progress.Clear();
  if (options.mode == Mode::kJson) {
    std::fputs(files.empty() ? "]\n" : "\n]\n", stdout);
    std::fflush(stdout);
  }
  for (std::thread& t : pool) t.join();
  return status;
}
