#include "playlist/own_format.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QDir>
#include <QTemporaryDir>
#include <csignal>

#include "player_fixture.h"
#include "playlist/list_formats.h"
#include "probex_formats.h"

namespace vortaq::playlist {
namespace {

QByteArray Utf16(const QString& text) {
  QByteArray bytes("\xFF\xFE", 2);
  bytes.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
  return bytes;
}

TEST(PlaylistOwnFormatTest, RoundTripWithRelativePaths) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString root = dir.path();
  ASSERT_TRUE(QDir(root).mkpath("lists"));
  const QString list = root + "/lists/my.vrtql";
  Entries entries;
  entries.emplace_back(root + "/lists/a.mp3", "MP3 detail", "4,407");
  entries.emplace_back(root + "/lists/sub/b.mp4", "", "0");
  // A quote could form the separator: written as a look-alike, read back as written.
  entries.emplace_back(root + "/other/日本語 c.mkv", "x\",\"y", "1\"");
  ASSERT_EQ(WriteList(*FindListFormat(probex::format::kPlaylistVrtql), list, entries), "");
  EXPECT_EQ(test::ReadAll(list), Utf16(QStringLiteral("\"a.mp3\",\"MP3 detail\",\"4,407\"\r\n"
                                                        "\"sub/b.mp4\",\"\",\"0\"\r\n"
                                                        "\"../other/日本語 c.mkv\",\"x＂,＂y\",\"1＂\"\r\n")));

  // Read from elsewhere: the paths resolve against the list's folder, and the
  // current directory stays where it was.
  const QString cwd = QDir::currentPath();
  ListContents read;
  ASSERT_EQ(FindListFormatByExtension(".VRTQL")->read(list, &read), "");
  EXPECT_EQ(QDir::currentPath(), cwd);
  ASSERT_EQ(read.entries.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(read.entries[i].path(), entries[i].path());
    EXPECT_EQ(read.entries[i].name(), entries[i].name());
    EXPECT_EQ(read.entries[i].detail(), QString(entries[i].detail()).replace('"', QChar(0xFF02)));
    EXPECT_EQ(read.entries[i].size(), QString(entries[i].size()).replace('"', QChar(0xFF02)));
  }
  EXPECT_TRUE(read.paths.isEmpty());
}

TEST(PlaylistOwnFormatTest, HostileLines) {
  const QString huge(200000, QLatin1Char('x'));
  struct Case {
    QString line;
    QString path, detail, size;  // path relative to /f; empty path: no entry
  } cases[] = {
      {"\"a\",\"d\",\"s\"", "/f/a", "d", "s"},
      {"a\",\"d\",\"s", "/f/a", "d", "s"},       // quotes missing at both ends
      {"\"a\"", "/f/a", "", ""},                 // no separators at all
      {"\"\",\"d\",\"s\"", "", "", ""},          // empty path: nothing
      {"\"a\",\"\",\"\"", "/f/a", "", ""},
      {"\"a\",\"d\"", "/f/a", "d", ""},
      {"\"a\",\"d\",\"e\",\"s\"", "/f/a", "d", "e\",\"s"},  // the rest is the size
      {"\"", "", "", ""},
      {"\"../../up\",\"d\",\"s\"", "/up", "d", "s"},
      {"\"/abs/x\",\"d\",\"s\"", "/abs/x", "d", "s"},
      {"\"" + huge + "\",\"d\",\"s\"", "/f/" + huge, "d", "s"},
  };
  for (const Case& c : cases) {
    const Entries entries = ParseOwnList(Utf16(c.line + "\r\n"), "/f");
    if (c.path.isEmpty()) {
      EXPECT_TRUE(entries.empty()) << c.line.left(40).toStdString();
      continue;
    }
    ASSERT_EQ(entries.size(), 1u) << c.line.left(40).toStdString();
    EXPECT_EQ(entries[0].path(), c.path) << c.line.left(40).toStdString();
    EXPECT_EQ(entries[0].detail(), c.detail) << c.line.left(40).toStdString();
    EXPECT_EQ(entries[0].size(), c.size) << c.line.left(40).toStdString();
  }
  // Blank lines, bare LF or CR ends, no byte-order mark and an odd last byte.
  QByteArray bytes = Utf16("\r\n\"a\",\"1\",\"2\"\n\n\"b\",\"3\",\"4\"\r\"c\",\"5\",\"6\"").mid(2);
  bytes += 'z';
  const Entries mixed = ParseOwnList(bytes, "/f");
  ASSERT_EQ(mixed.size(), 3u);
  EXPECT_EQ(mixed[2].path(), "/f/c");
  EXPECT_EQ(mixed[2].size(), "6");
  EXPECT_TRUE(ParseOwnList(QByteArray(), "/f").empty());
  EXPECT_TRUE(ParseOwnList(QByteArray("\xFF", 1), "/f").empty());
}

TEST(PlaylistOwnFormatTest, LineBreaksInTextsNeverSplitALine) {
  Entries entries;
  entries.emplace_back("/f/bad\nname", "d", "s");
  entries.emplace_back("/f/good", "two\r\nlines", "s");
  const Entries read = ParseOwnList(FormatOwnList(entries, "/f"), "/f");
  ASSERT_EQ(read.size(), 1u);
  EXPECT_EQ(read[0].path(), "/f/good");
  EXPECT_EQ(read[0].detail(), "two  lines");
}

TEST(PlaylistOwnFormatTest, FailedWriteKeepsTheOldList) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString list = dir.filePath("keep.vrtql");
  const QByteArray old = Utf16("\"old\",\"d\",\"s\"\r\n");
  ASSERT_TRUE(test::WriteAll(list, old));
  Entries big;
  for (int i = 0; i < 200; ++i) big.emplace_back(dir.filePath(QString("entry%1.mp3").arg(i)), "detail", "1");

  // A file size limit makes the write fail part way, even for root.
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto previous = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 1024;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const QString error = WriteOwnList(list, big);
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);

  EXPECT_FALSE(error.isEmpty());
  EXPECT_EQ(test::ReadAll(list), old);
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"keep.vrtql"});

  // An empty list writes nothing over a list...
  EXPECT_EQ(WriteList(*FindListFormat(probex::format::kPlaylistVrtql), list, {}), "");
  EXPECT_EQ(test::ReadAll(list), old);
  // ...but the autosave of an empty list goes, so cleared entries stay away.
  EXPECT_EQ(LoadAutosave(list).size(), 1u);
  EXPECT_TRUE(SaveAutosave(list, {}));
  EXPECT_FALSE(QFile::exists(list));
  EXPECT_TRUE(LoadAutosave(list).empty());
  EXPECT_TRUE(SaveAutosave(list, big));
  EXPECT_EQ(LoadAutosave(list).size(), 200u);
}

TEST(PlaylistOwnFormatTest, FormatTable) {
  EXPECT_TRUE(IsListFormat(301));
  EXPECT_TRUE(IsListFormat(307));
  EXPECT_FALSE(IsListFormat(129));
  EXPECT_FALSE(IsListFormat(308));
  for (int id = 301; id <= 307; ++id) {
    ASSERT_NE(FindListFormat(id), nullptr) << id;
    EXPECT_EQ(FindListFormatByExtension(FindListFormat(id)->extension), FindListFormat(id));
    EXPECT_EQ(ListFormatAt(id - 301), FindListFormat(id));
  }
  EXPECT_EQ(FindListFormat(308), nullptr);
  EXPECT_EQ(ListFormatAt(7), nullptr);
  ListContents none;
  EXPECT_FALSE(ReadOwnList("/nonexistent/x.vrtql", &none).isEmpty());
}

}  // namespace
}  // namespace vortaq::playlist
