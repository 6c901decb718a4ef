#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "fixture.h"
#include "templates.h"

namespace probex {
namespace {

// A template folder of our own, removed afterwards.
class TemplateDir {
 public:
  explicit TemplateDir(const std::string& formatIni) {
    char pattern[] = "/tmp/probex-ini-XXXXXX";
    dir_ = mkdtemp(pattern);
    std::ofstream(dir_ + "/FORMAT.INI", std::ios::binary) << formatIni;
    Use();
  }
  ~TemplateDir() {
    std::filesystem::remove_all(dir_);
    SetTemplateDirectory(u"");
  }
  void Use() { SetTemplateDirectory(test::ToUtf16(dir_ + "/").c_str()); }
  std::string Path() const { return dir_ + "/FORMAT.INI"; }

 private:
  std::string dir_;
};

std::string Lookup(const char* key, const char* section, size_t size = 512) {
  std::string out(size, '\0');
  LookupIni(out.data(), size, key, section, kFormatIni);
  return test::Utf8(out.c_str());
}

TEST(LookupIni, FindsKeysByPrefixAndJoinsMatches) {
  TemplateDir dir(
      "; comment\r\n"
      "[AAC]\r\n"
      "AUDIO1\t\t\tAAC #samplerate#\r\n"
      ";AUDIO9\tcommented out\r\n"
      "Audio2\tADIF\tkeeps\ttabs\r\n"
      "no tab line\r\n"
      "\r\n"
      "[LAST]\r\n"
      "KEY\tlast section\r\n");
  EXPECT_EQ(Lookup("AUDIO", "AAC"), "AAC #samplerate# / ADIF\tkeeps\ttabs");
  EXPECT_EQ(Lookup("AUDIO1", "aac"), "AAC #samplerate#");
  EXPECT_EQ(Lookup("audio2", "AAC"), "ADIF\tkeeps\ttabs");
  EXPECT_EQ(Lookup("KEY", "LAST"), "last section");  // no blank line at the end
}

TEST(LookupIni, FailureTexts) {
  TemplateDir dir("[AAC]\r\nAUDIO1\tx\r\n\r\n[EMPTY]\r\n");
  EXPECT_EQ(Lookup("AUDIO1", "NOPE"), "S不明AUDIO1");
  EXPECT_EQ(Lookup("AUDIO3", "AAC"), "不明AUDIO3");
  EXPECT_EQ(Lookup("AUDIO1", "EMPTY"), "S不明AUDIO1");  // file ends right after the header
  EXPECT_EQ(Lookup("AUDIO1", "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456"), "S長AUDIO1");
  SetTemplateDirectory(u"/nonexistent/");
  EXPECT_EQ(Lookup("AUDIO1", "AAC"), "C空AUDIO1");
}

TEST(LookupIni, LineEndsAndLongLinesStayInsideBuffers) {
  std::string longValue(700, 'v');
  TemplateDir dir("[LF]\nK1\tlf only\nK2\tsecond\n\n[CUT]\r\nK\t" + longValue + "\r\nTAIL\tend\r\n\r\n[NOEOL]\r\nK\tlast without line end");
  EXPECT_EQ(Lookup("K", "LF"), "lf only / second");
  // The long line is read in pieces: its value is cut and the rest of the
  // line is no entry of its own.
  std::string cut = Lookup("K", "CUT");
  EXPECT_GT(cut.size(), 400u);
  EXPECT_LT(cut.size(), 512u);
  EXPECT_EQ(Lookup("TAIL", "CUT"), "end");
  EXPECT_EQ(Lookup("K", "NOEOL"), "S不明K");  // a final line without line end is no entry
  // Small outputs: cut, terminated, never overrun.
  std::string small(8, '#');
  small[0] = '\0';
  LookupIni(small.data(), 6, "K", "LF", kFormatIni);
  EXPECT_STREQ(small.c_str(), "lf on");
  EXPECT_EQ(small[7], '#');
  // A key longer than any line key matches nothing.
  EXPECT_EQ(Lookup(std::string(40, 'K').c_str(), "LF"), "不明" + std::string(40, 'K'));
}

// The contents are kept between look-ups, but an edited, replaced or removed
// file shows in the very next one.
TEST(LookupIni, SeesEveryChangeOfTheFile) {
  TemplateDir dir("[S]\r\nK\tfirst\r\n\r\n");
  EXPECT_EQ(Lookup("K", "S"), "first");
  EXPECT_EQ(Lookup("K", "S"), "first");
  std::ofstream(dir.Path(), std::ios::binary | std::ios::trunc) << "[S]\r\nK\tedited in place\r\n\r\n";
  EXPECT_EQ(Lookup("K", "S"), "edited in place");
  // Same size, new inode: what an editor's save by rename gives.
  std::ofstream(dir.Path() + ".new", std::ios::binary) << "[S]\r\nK\tEDITED IN PLACE\r\n\r\n";
  std::filesystem::rename(dir.Path() + ".new", dir.Path());
  EXPECT_EQ(Lookup("K", "S"), "EDITED IN PLACE");
  std::filesystem::remove(dir.Path());
  EXPECT_EQ(Lookup("K", "S"), "C空K");
  std::ofstream(dir.Path(), std::ios::binary) << "[S]\r\nK\tback\r\n\r\n";
  EXPECT_EQ(Lookup("K", "S"), "back");
}

// Analyses run on several threads while the file is being replaced: every
// look-up sees one whole version of it.
TEST(LookupIni, ConcurrentLookUpsWhileTheFileChanges) {
  const std::string versions[2] = {"[S]\r\nK\tversion one\r\n\r\n", "[S]\r\nK\tthe second version\r\n\r\n"};
  TemplateDir dir(versions[0]);
  std::vector<std::thread> readers;
  std::vector<int> bad(4, 0);
  for (int t = 0; t < 4; ++t)
    readers.emplace_back([&, t] {
      for (int i = 0; i < 500; ++i) {
        char out[64] = "";
        LookupIni(out, sizeof out, "K", "S", kFormatIni);
        if (std::strcmp(out, "version one") != 0 && std::strcmp(out, "the second version") != 0) ++bad[t];
      }
    });
  for (int i = 0; i < 100; ++i) {
    std::ofstream(dir.Path() + ".new", std::ios::binary) << versions[i % 2];
    std::filesystem::rename(dir.Path() + ".new", dir.Path());
  }
  for (auto& reader : readers) reader.join();
  for (int t = 0; t < 4; ++t) EXPECT_EQ(bad[t], 0) << "thread " << t;
}

TEST(ReplacePlaceholder, ReplacesEveryOccurrenceCaseInsensitively) {
  char out[512];
  EXPECT_TRUE(ReplacePlaceholder("#samplerate# #SampleRate# #sampleratek#", out, sizeof out, "#samplerate#", "44100"));
  EXPECT_STREQ(out, "44100 44100 #sampleratek#");
  EXPECT_FALSE(ReplacePlaceholder("none here", out, sizeof out, "#x#", "1"));
  EXPECT_STREQ(out, "none here");
  // The value is not searched again.
  EXPECT_TRUE(ReplacePlaceholder("#a#", out, sizeof out, "#a#", "#a##a#"));
  EXPECT_STREQ(out, "#a##a#");
  // In place.
  char text[512] = "rate #r# Hz";
  ReplacePlaceholder(text, text, sizeof text, "#r#", "8000");
  EXPECT_STREQ(text, "rate 8000 Hz");
}

TEST(ReplacePlaceholder, LongTemplateAndValueStayInsideTheResult) {
  std::string tmpl = std::string(300, 't') + "#v#" + std::string(200, 'u');
  std::string value(400, 'v');
  char out[520];
  std::memset(out, '#', sizeof out);
  ReplacePlaceholder(tmpl.c_str(), out, 512, "#v#", value.c_str());
  EXPECT_EQ(std::strlen(out), 511u);
  EXPECT_EQ(out[512], '#');
  char tiny[4];
  ReplacePlaceholder("abc#v#", tiny, sizeof tiny, "#v#", "zzz");
  EXPECT_STREQ(tiny, "abc");
}

TEST(Description, FillsTheTemplate) {
  TemplateDir dir("[AC3]\r\nAUDIO\tAC-3 #sampleratek#kHz #channel#ch #unknown#\r\n\r\n");
  Description d("AC3", "AUDIO");
  d.Set("#sampleratek#", "%.2f", 48000 * 0.001);
  d.Set("#channel#", "%.1f", 5.1);
  EXPECT_STREQ(d.Text(), "AC-3 48.00kHz 5.1ch #unknown#");
}

// A value the file does not give leaves the line with its unit, so no
// "0.00kbps" or "0.00fps" is shown for it.
TEST(Description, UnknownValuesLeaveWithTheirUnits) {
  TemplateDir dir("[V]\r\nVIDEO\t#codec# #framerate#fps #bitratek#kbps (#bitrate#) #FrameRate#fps/#bitratek#kbit/s\r\n\r\n"
                  "[E]\r\nEDGE\t#bitratek#kbps at the start, #framerate#\r\n\r\n");
  Description known("V", "VIDEO");
  known.SetText("#codec#", "X");
  known.SetKnown("#framerate#", "%.2f", 25.0);
  known.SetKnown("#bitratek#", "%.2f", 96.5);
  known.SetKnown("#bitrate#", "%.2f", 96500.0);
  EXPECT_STREQ(known.Text(), "X 25.00fps 96.50kbps (96500.00) 25.00fps/96.50kbit/s");
  Description unknown("V", "VIDEO");
  unknown.SetText("#codec#", "X");
  unknown.SetKnown("#framerate#", "%.2f", 0.0);
  unknown.SetKnown("#bitratek#", "%.2f", -1.0);
  unknown.SetKnown("#bitrate#", "%.2f", std::nan(""));
  EXPECT_STREQ(unknown.Text(), "X ()");
  Description edge("E", "EDGE");
  edge.SetKnown("#bitratek#", "%.2f", 0.0);
  edge.SetKnown("#framerate#", "%.2f", 0.0);
  EXPECT_STREQ(edge.Text(), "at the start,");
}

TEST(SetTemplateDirectory, StoresUpTo255UnitsAndClearsOnTooLong) {
  std::u16string ok(255, u'd');
  EXPECT_EQ(SetTemplateDirectory(ok.c_str()), 0);
  TemplateDir dir("[AAC]\r\nAUDIO1\tx\r\n\r\n");
  EXPECT_EQ(Lookup("AUDIO1", "AAC"), "x");
  std::u16string tooLong(300, u'd');
  EXPECT_EQ(SetTemplateDirectory(tooLong.c_str()), 300);
  // The directory is empty now: FORMAT.INI is no longer found there.
  EXPECT_EQ(Lookup("AUDIO1", "AAC"), "C空AUDIO1");
}

}  // namespace
}  // namespace probex
