// The shipped FORMAT.INI and CODECS.INI: layout, every template key the
// analyzers look up, and codec look-ups that yield exactly one name.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <iterator>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "fixture.h"
#include "messages.h"
#include "templates.h"

namespace probex {
namespace {

struct Section {
  std::string name;
  std::vector<std::pair<std::string, std::string>> entries;
};

struct ParsedIni {
  std::vector<Section> sections;
  std::vector<std::string> faults;  // "file:line: what"
};

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// Reads a data file the way the template store does and records every
// departure from the layout it relies on.
ParsedIni ParseDataFile(const std::string& name) {
  ParsedIni ini;
  test::Bytes bytes = test::ReadFile(std::string(VORTAQ_DATA_DIR) + name);
  auto fault = [&](size_t line, const std::string& what) {
    ini.faults.push_back(name + ":" + std::to_string(line) + ": " + what);
  };
  if (bytes.size() < 2 || bytes[bytes.size() - 2] != '\r' || bytes.back() != '\n') fault(0, "no CR LF at the end");

  std::vector<std::string> lines;
  std::string current;
  for (size_t i = 0; i < bytes.size(); ++i) {
    uint8_t b = bytes[i];
    if (b == '\r') {
      if (i + 1 >= bytes.size() || bytes[i + 1] != '\n') fault(lines.size() + 1, "CR without LF");
      continue;
    }
    if (b == '\n') {
      if (i == 0 || bytes[i - 1] != '\r') fault(lines.size() + 1, "LF without CR");
      lines.push_back(current);
      current.clear();
      continue;
    }
    if (b != '\t' && (b < 0x20 || b > 0x7E)) fault(lines.size() + 1, "byte outside printable ASCII");
    current += static_cast<char>(b);
  }
  if (!current.empty()) fault(lines.size() + 1, "last line without line end");

  bool open = false;  // inside a section that no blank line has closed yet
  for (size_t n = 0; n < lines.size(); ++n) {
    const std::string& line = lines[n];
    size_t number = n + 1;
    if (line.size() + 2 > kLineBytes - 1) fault(number, "line longer than one 511-byte piece");
    if (line.empty()) {
      open = false;
      continue;
    }
    if (line[0] == ';') continue;
    if (line[0] == '[') {
      size_t close = line.find(']');
      if (close == std::string::npos || close + 1 != line.size()) fault(number, "malformed section header");
      if (open) fault(number, "section before it not closed by a blank line");
      std::string sectionName = line.substr(1, close == std::string::npos ? 0 : close - 1);
      if (sectionName.empty() || sectionName.size() > 32) fault(number, "section name empty or over 32 bytes");
      for (const Section& s : ini.sections)
        if (Lower(s.name) == Lower(sectionName)) fault(number, "section repeated: " + sectionName);
      ini.sections.push_back({sectionName, {}});
      open = true;
      continue;
    }
    if (!open) {
      fault(number, "entry outside a section");
      continue;
    }
    size_t tab = line.find('\t');
    if (tab == std::string::npos || tab == 0) {
      fault(number, "entry without key and tab");
      continue;
    }
    std::string key = line.substr(0, tab);
    size_t start = line.find_first_not_of('\t', tab);
    std::string value = start == std::string::npos ? std::string() : line.substr(start);
    if (key.size() > 31) fault(number, "key over 31 bytes: " + key);
    if (value.empty() || value.size() > 476) fault(number, "value empty or over 476 bytes");
    ini.sections.back().entries.emplace_back(key, value);
  }

  // Look-ups match by prefix: a key that begins another key of its section
  // would return both names joined by " / ".
  for (const Section& s : ini.sections) {
    for (size_t a = 0; a < s.entries.size(); ++a)
      for (size_t b = 0; b < s.entries.size(); ++b)
        if (a != b && Lower(s.entries[b].first).rfind(Lower(s.entries[a].first), 0) == 0)
          ini.faults.push_back(name + " [" + s.name + "]: key '" + s.entries[a].first + "' begins key '" +
                               s.entries[b].first + "'");
  }
  return ini;
}

const Section* FindSection(const ParsedIni& ini, const std::string& name) {
  for (const Section& s : ini.sections)
    if (s.name == name) return &s;
  return nullptr;
}

std::string Lookup(const char* section, const std::string& key, const char* file) {
  char out[kLineBytes] = {};
  LookupIni(out, sizeof out, key.c_str(), section, file);
  return out;
}

std::set<std::string> Placeholders(const std::string& text) {
  std::set<std::string> found;
  size_t at = 0;
  while ((at = text.find('#', at)) != std::string::npos) {
    size_t end = text.find('#', at + 1);
    if (end == std::string::npos) break;
    found.insert(text.substr(at, end - at + 1));
    at = end + 1;
  }
  return found;
}

std::set<std::string> Words(const std::string& text) {
  std::set<std::string> words;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find(' ', at);
    if (end == std::string::npos) end = text.size();
    if (end > at) words.insert(text.substr(at, end - at));
    at = end + 1;
  }
  return words;
}

// Every template key an analyzer looks up, the placeholders that analyzer
// fills (any other one would stay in the line as written), and the pieces
// the line must show.
struct TemplateCase {
  const char* section;
  const char* key;
  const char* fills;
  const char* shows;
};

constexpr char kVideoAudioFills[] = "#codec# #sampleratek# #samplerate# #bitdepth# #channel# #bitratek# #bitrate#";
constexpr char kAudioShows[] = "#sampleratek#kHz #channel#ch #bitratek#kbps";
constexpr char kMp3Fills[] =
    "#version# #layer# #sampleratek# #samplerate# #bitratek# #bitrate# #bitratemode# #channel# #vbrformat# "
    "#frame# #vbri-qr# #encname# #lame-version# #lame-vbrmode# #lame-channel# #lame-bitratek# #lame-bitrate#";
constexpr char kAacFills[] =
    "#sampleratek# #samplerate# #channel# #channelconfig# #channelorder# #profile# #bitratek# #bitrate#";
constexpr char kVideoFills[] = "#width# #height# #bitdepth# #codec# #framerate# #frame# #bitratek# #bitrate#";
constexpr char kVideoShows[] = "#width#x#height# #framerate#fps #bitratek#kbps";

const TemplateCase kTemplates[] = {
    {"AAC", "AUDIO1", kAacFills, "#profile# #sampleratek#kHz #channel#ch #bitratek#kbps"},
    {"AAC", "AUDIO2", "#sampleratek# #samplerate# #channel# #channelconfig# #channelorder# #profile# #bitratek# "
                      "#bitrate# #frame#",
     "#profile# #sampleratek#kHz #channel#ch #bitratek#kbps #frame#"},
    {"AC3", "AUDIO",
     "#codec# #sampleratek# #samplerate# #channel# #channelconfig# #channelorder# #servicetype# #bitratek# "
     "#bitrate#",
     "#codec# #sampleratek#kHz #channel#ch #bitratek#kbps"},
    {"DTS", "AUDIO1",
     "#version# #endian# #sampleratek# #samplerate# #bitdepth# #channel# #channelorder# #bitratek# #bitrate#",
     "#version# #sampleratek#kHz #channel#ch #bitratek#kbps"},
    // #bitratek# holds the rate word (Open, VBR, LossLess) here, not a number.
    {"DTS", "AUDIO2",
     "#version# #endian# #sampleratek# #samplerate# #bitdepth# #channel# #channelorder# #bitratek# #bitrate#",
     "#version# #sampleratek#kHz #channel#ch #bitratek#"},
    {"FLAC", "AUDIO", "#sampleratek# #samplerate# #bitdepth# #channel# #bitratek# #bitrate#", kAudioShows},
    {"APE", "AUDIO", "#sampleratek# #samplerate# #bitdepth# #channel# #comptype# #bitratek# #bitrate# #frame#",
     kAudioShows},
    {"MUSEPACK", "AUDIO", "#version# #sampleratek# #samplerate# #bitratek# #bitrate# #channel#",
     "#sampleratek#kHz #channel# #bitratek#kbps"},
    {"OPTIMFROG", "AUDIO",
     "#hybrid# #sampleratek# #samplerate# #bitdepth# #channel# #bitratek# #bitrate# #comptype# #compspeed#",
     kAudioShows},
    {"TTA", "AUDIO", "#version# #sampleratek# #samplerate# #bitdepth# #channel# #bitratek# #bitrate#", kAudioShows},
    {"WAVPACK", "AUDIO",
     "#version# #hybrid# #codec# #sampleratek# #samplerate# #bitdepth# #channel# #bitratek# #bitrate#",
     kAudioShows},
    // #encname# is filled only when an encoder text was found, so no MP3
    // template may rely on it (checked below).
    {"MP3", "VBRI", kMp3Fills, "#sampleratek#kHz #channel# #bitratek#kbps #vbri-qr#"},
    {"MP3", "LAME", kMp3Fills, "#sampleratek#kHz #channel# #bitratek#kbps #lame-version#"},
    {"MP3", "XING", kMp3Fills, "#sampleratek#kHz #channel# #bitratek#kbps #vbrformat#"},
    {"MP3", "CBR1", kMp3Fills, "#sampleratek#kHz #channel# #bitratek#kbps #frame#"},
    {"MP3", "CBR2", "#version# #layer# #sampleratek# #samplerate# #bitratek# #bitrate# #bitratemode# #channel#",
     "#sampleratek#kHz #channel# #bitratek#kbps"},
    {"MIDI", "AUDIO1", "#format# #track# #delta# #title#", "#format# #track# #title#"},
    {"MIDI", "AUDIO2", "#format# #track# #delta#", "#format# #track#"},
    {"AU", "AUDIO", kVideoAudioFills, "#codec# #sampleratek#kHz #channel#ch #bitratek#kbps"},
    {"CAF", "AUDIO", kVideoAudioFills, "#codec# #sampleratek#kHz #channel#ch #bitratek#kbps"},
    {"S98", "AUDIO", "#device# #clock#", "#device# #clock#"},
    {"VQ", "AUDIO", "#codec# #sampleratek# #samplerate# #channel# #bitratek# #bitrate#",
     "#codec# #sampleratek#kHz #channel#ch #bitratek#kbps"},
    {"MPEG1/2", "MPEG1",
     "#width# #height# #codec# #profile# #aspect# #interlace# #framerate# #bitratek# #bitrate# #bitratemode#",
     "#codec# #width#x#height# #framerate#fps #bitratek#kbps"},
    {"MPEG1/2", "MPEG2",
     "#width# #height# #codec# #profile# #aspect# #interlace# #framerate# #bitratek# #bitrate# #bitratemode#",
     "#codec# #profile# #width#x#height# #framerate#fps #bitratek#kbps"},
    {"MPEG1/2", "LPCM", "#codec# #sampleratek# #samplerate# #bitdepth# #channel# #bitratek# #bitrate#",
     "#codec# #sampleratek#kHz #channel#ch #bitratek#kbps"},
    {"MPEG2-TS", "LPCM", "#sampleratek# #samplerate# #channel# #channelconfig# #channelorder# #bitratek# #bitrate#",
     kAudioShows},
    {"AVC", "VIDEO",
     "#width# #height# #bitdepth# #codec# #profile# #aspect# #interlace# #framerate# #frame# #bitratek# #bitrate#",
     "#codec# #profile# #width#x#height# #framerate#fps #bitratek#kbps"},
    // The HDR tag is last so that a line without one can drop its blank.
    {"AV1", "VIDEO", "#profile# #width# #height# #bitdepth# #chroma# #framerate# #bitratek# #hdr#",
     "AV1 #profile# #width#x#height# #framerate#fps #bitratek#kbps #bitdepth#bit #chroma# #hdr#"},
    {"HEVC", "VIDEO", "#profile# #width# #height# #bitdepth# #chroma# #framerate# #bitratek# #hdr#",
     "HEVC #profile# #width#x#height# #framerate#fps #bitratek#kbps #bitdepth#bit #chroma# #hdr#"},
    {"VP9", "VIDEO", "#profile# #width# #height# #bitdepth# #chroma# #framerate# #bitratek# #hdr#",
     "VP9 #profile# #width#x#height# #framerate#fps #bitratek#kbps #bitdepth#bit #chroma# #hdr#"},
    {"RIFF", "VIDEO", kVideoFills, kVideoShows},
    {"RIFF", "AUDIO", kVideoAudioFills, kAudioShows},
    {"AIFF", "AUDIO", "#sampleratek# #samplerate# #bitdepth# #channel# #bitratek# #bitrate#", kAudioShows},
    {"AIFF", "COMPRESSED", "#codec# #sampleratek# #samplerate# #bitdepth# #channel# #bitratek# #bitrate#", kAudioShows},
    {"PUREVOICE", "AUDIO", kVideoAudioFills, kAudioShows},
    // The generic Matroska lines carry no bit rate, and their bit depth of
    // video is never known.
    {"MATROSKA", "VIDEO", "#width# #height# #codec# #framerate#", "#codec# #width#x#height# #framerate#fps"},
    {"MATROSKA", "AUDIO", "#codec# #sampleratek# #samplerate# #bitdepth# #channel#",
     "#codec# #sampleratek#kHz #channel#ch"},
    {"FLASHVIDEO", "FLV", "#width# #height# #codec# #framerate# #bitratek# #bitrate#", kVideoShows},
    {"FLASHVIDEO", "FLL", "#width# #height# #codec# #profile# #framerate# #bitratek# #bitrate#",
     "#profile# #width#x#height# #framerate#fps #bitratek#kbps"},
    {"FLASHVIDEO", "AUDIO", kVideoAudioFills, kAudioShows},
    {"QUICKTIME", "VIDEO", kVideoFills, kVideoShows},
    {"QUICKTIME", "AUDIO", kVideoAudioFills, kAudioShows},
    {"OGG", "VIDEO", "#width# #height# #bitdepth# #codec# #framerate# #frame#", "#width#x#height# #framerate#fps"},
    {"OGG", "THEORA", "#width# #height# #codec# #framerate# #aspect# #bitratek# #bitrate# #frame#",
     kVideoShows},
    {"OGG", "VORBIS", "#sampleratek# #samplerate# #bitratek# #bitrate# #bitratemode# #channel#", kAudioShows},
    {"OGG", "SPEEX", "#sampleratek# #samplerate# #bitratek# #bitrate# #bitratemode# #channel# #comptype#",
     kAudioShows},
    {"OGG", "OPUS", "#sampleratek# #samplerate# #bitratek# #bitrate# #channel#", kAudioShows},
    {"WINDOWSMEDIA", "VIDEO1", kVideoFills, kVideoShows},
    // Chosen when the frame rate is unknown (0), so the line leaves it out.
    {"WINDOWSMEDIA", "VIDEO2", "#width# #height# #bitdepth# #codec# #bitratek# #bitrate#",
     "#width#x#height# #bitratek#kbps"},
    {"WINDOWSMEDIA", "AUDIO", kVideoAudioFills, kAudioShows},
    {"REAL", "VIDEO", kVideoFills, kVideoShows},
    {"REAL", "AUDIO", kVideoAudioFills, kAudioShows},
};

TEST(DataFilesTest, FormatIniHoldsOneFittingTemplatePerAnalyzerKey) {
  test::UseShippedTemplates();
  ParsedIni ini = ParseDataFile(kFormatIni);
  for (const std::string& f : ini.faults) ADD_FAILURE() << f;

  for (const TemplateCase& c : kTemplates) {
    SCOPED_TRACE(std::string(c.section) + "/" + c.key);
    const Section* section = FindSection(ini, c.section);
    ASSERT_NE(section, nullptr);
    auto entry = std::find_if(section->entries.begin(), section->entries.end(),
                              [&](const auto& e) { return e.first == c.key; });
    ASSERT_NE(entry, section->entries.end());

    // What the analyzer's own search returns: this one template, nothing joined.
    std::string found = Lookup(c.section, c.key, kFormatIni);
    EXPECT_EQ(found, entry->second);
    EXPECT_EQ(found.find(" / "), std::string::npos);

    std::set<std::string> fills = Words(c.fills);
    for (const std::string& p : Placeholders(found)) EXPECT_TRUE(fills.count(p)) << p << " is not filled here";
    EXPECT_EQ(found.find("#encname#"), std::string::npos);
    for (const std::string& piece : Words(c.shows)) EXPECT_NE(found.find(piece), std::string::npos) << piece;
    EXPECT_LE(found.size(), 110u);  // one playlist column
  }

  // No section or key beyond those the analyzers read, so nothing unused
  // can drift out of step with them.
  size_t entries = 0;
  for (const Section& s : ini.sections) entries += s.entries.size();
  EXPECT_EQ(entries, std::size(kTemplates));
}

// Look-up keys as the analyzers build them, and what the name must begin
// with for the line (or a later refinement) to read right.
struct CodecCase {
  const char* section;
  const char* key;
  const char* begins;
};

const CodecCase kCodecs[] = {
    {"WAV", "0001", "PCM"},
    {"WAV", "0055", "MPEG Layer-3"},
    {"WAV", "2000", "Dolby AC-3"},
    {"WAV", "2001", "DTS"},
    {"WAV", "0161", "WMA"},
    {"WAV", "FFFE", "Extensible"},
    {"AVI", "X265", "HEVC/H.265"},
    {"AVI", "HVC1", "HEVC/H.265"},
    {"AVI", "XVID", "XviD"},    // starts the XviD user-data search
    {"AVI", "xvid", "XviD"},
    {"AVI", "DX50", "DivX 5"},  // starts the DivX user-data search
    {"AVI", "DIVX", "DivX 5"},
    {"AVI", "    ", "Uncompressed RGB"},  // BI_RGB: four zero bytes made blanks
    {"AVI", "H264", "AVC/H.264"},
    {"AVI", "MJPG", "Motion JPEG"},
    {"AVI", "dvsd", "DV"},
    {"AVI", "WMV3", "Windows Media Video 9"},
    {"AVI-DIVX", "DivX500Build413", "DivX 5.0.0"},  // the 15-byte key
    {"AVI-DIVX", "DivX503b1031", "DivX 5.1.1"},     // the 12-byte key
    {"AVI-DIVX", "DivX501b450", "DivX 5.0.1"},      // the 11-byte key
    {"AVI-DIVX", "DivX503b1393", "XviD"},           // XviD's DivX-compatible user data
    {"AVI-XVID", "XviD0046", "XviD 1.1.2"},
    {"AU", "01", "G.711 mu-law"},
    {"AU", "1B", "G.711 A-law"},
    {"VQ", "97012000", "VQF"},
    {"REAL-VIDEO", "RV40", "RealVideo"},
    {"REAL-AUDIO", "COOK", "RealAudio Cook"},
    {"REAL-AUDIO", "28_8", "RealAudio 28.8"},
    {"QT-BRAND", "isom", "MP4"},
    {"QT-BRAND", "qt  ", "QuickTime"},
    {"QT-BRAND", "M4A ", "iTunes Audio"},
    {"QT-VIDEO", "AVC1", "AVC/H.264"},
    {"QT-VIDEO", "HVC1", "HEVC/H.265"},
    {"QT-VIDEO", "RAW ", "Uncompressed RGB"},
    {"QT-AUDIO", "MP4A", "MPEG-4 Audio"},
    {"QT-AUDIO", "SOWT", "PCM"},
    {"QT-AUDIO", ".MP3", "MPEG Layer-3"},
    {"QT-AUDIO", "AC-3", "Dolby AC-3"},
};

// Keys of a section have the one shape its look-ups produce.
bool KeyShapeFits(const std::string& section, const std::string& key) {
  auto hex = [&](size_t n) {
    return key.size() == n && std::all_of(key.begin(), key.end(), [](char c) {
             return std::isdigit(static_cast<unsigned char>(c)) || (c >= 'A' && c <= 'F');
           });
  };
  if (section == "WAV") return hex(4);
  if (section == "AU") return hex(2);
  if (section == "VQ" || section == "AVI-XVID") return key.size() == 8;
  if (section == "AVI-DIVX") return key.size() == 11 || key.size() == 12 || key.size() == 15;
  return key.size() == 4;
}

TEST(DataFilesTest, CodecsIniNamesEveryKeyOnce) {
  test::UseShippedTemplates();
  ParsedIni ini = ParseDataFile(kCodecsIni);
  for (const std::string& f : ini.faults) ADD_FAILURE() << f;

  const char* kSections[] = {"WAV",        "AVI",        "AVI-DIVX", "AVI-XVID", "AU",       "VQ",
                             "REAL-VIDEO", "REAL-AUDIO", "QT-BRAND", "QT-VIDEO", "QT-AUDIO"};
  ASSERT_EQ(ini.sections.size(), std::size(kSections));
  for (const char* name : kSections) {
    const Section* section = FindSection(ini, name);
    ASSERT_NE(section, nullptr) << name;
    for (const auto& [key, value] : section->entries) {
      SCOPED_TRACE(std::string(name) + "/'" + key + "'");
      EXPECT_TRUE(KeyShapeFits(name, key));
      // The smallest buffer a caller hands in is 32 bytes.
      EXPECT_LT(value.size(), 32u);
      EXPECT_EQ(Lookup(name, key, kCodecsIni), value);
    }
  }
  EXPECT_GE(FindSection(ini, "WAV")->entries.size(), 100u);
  EXPECT_GE(FindSection(ini, "AVI")->entries.size(), 150u);

  for (const CodecCase& c : kCodecs) {
    char out[32] = {};
    LookupCodec(out, sizeof out, c.section, c.key);
    EXPECT_EQ(std::string(out).rfind(c.begins, 0), 0u) << c.section << "/'" << c.key << "' gave " << out;
  }

  // A frame's DivX user data is tried as its 15-, 12- and 11-byte prefix;
  // a longer text than any key (the packed-bitstream 'p', the next start
  // code) must miss, so that the shorter prefix decides.
  char miss[256] = {};
  LookupCodec(miss, sizeof miss, "AVI-DIVX", "DivX503b1031p");
  EXPECT_EQ(std::string(miss).rfind(std::string(msg::kUnknownKey, 4), 0), 0u) << miss;
}

}  // namespace
}  // namespace probex
