#include "playlist/foreign_formats.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "platform/local_path.h"
#include "player_fixture.h"
#include "playlist/list_formats.h"
#include "probex_formats.h"

namespace vortaq::playlist {
namespace {

namespace pf = probex::format;

QByteArray Utf16(const QString& text, bool bom = true) {
  QByteArray bytes = bom ? QByteArray("\xFF\xFE", 2) : QByteArray();
  bytes.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
  return bytes;
}

void Put(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  ASSERT_EQ(f.write(bytes), bytes.size());
}

TEST(PlaylistForeignFormatTest, WritersLayOutEachFormat) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString root = dir.path();
  ASSERT_TRUE(QDir(root).mkpath("M"));
  Entries entries;
  entries.emplace_back(root + "/M/a.mp3", "d", "1");
  entries.emplace_back(root + "/M/sub/b 日本.mp3", "d", "2");
  entries.emplace_back(root + "/c.mp3", "d", "3");
  entries.emplace_back(root + "/M/bad\nname.mp3", "d", "4");  // no line can hold it
  const QString a = root + "/M/a.mp3", b = root + "/M/sub/b 日本.mp3", c = root + "/c.mp3";
  struct Case {
    int formatId;
    QByteArray bytes;
  } cases[] = {
      {pf::kPlaylistPls, Utf16("File1=" + a + "\r\nFile2=" + b + "\r\nFile3=" + c + "\r\n")},
      {pf::kPlaylistLst, (a + "\r\n" + b + "\r\n" + c + "\r\n").toLocal8Bit()},
      {pf::kPlaylistZpl, Utf16("nm=" + a + "\r\ndr=0\r\nbr!\r\nnm=" + b + "\r\ndr=0\r\nbr!\r\nnm=" + c +
                               "\r\ndr=0\r\nbr!\r\n")},
      {pf::kPlaylistBsl, (a + "\r\n" + b + "\r\n" + c + "\r\n").toLocal8Bit()},
      {pf::kPlaylistM3u, QStringLiteral("a.mp3\r\nsub/b 日本.mp3\r\n../c.mp3\r\n").toLocal8Bit()},
      {pf::kPlaylistM3u8, "\xEF\xBB\xBF" + QStringLiteral("a.mp3\r\nsub/b 日本.mp3\r\n../c.mp3\r\n").toUtf8()},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.formatId);
    const ListFormat* format = FindListFormat(k.formatId);
    ASSERT_NE(format, nullptr);
    const QString list = root + "/M/list" + format->extension;
    ASSERT_EQ(WriteList(*format, list, entries), "");
    EXPECT_EQ(test::ReadAll(list), k.bytes);
    ListContents read;
    ASSERT_EQ(format->read(list, &read), "");
    EXPECT_EQ(read.paths, (QStringList{a, b, c}));
    EXPECT_TRUE(read.entries.empty());
  }
}

// The ".pls" layout under a ".m3u" name is read as ".m3u": its lines are
// relative names that start with "File1=".
TEST(PlaylistForeignFormatTest, PlsContentUnderM3uName) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString list = dir.path() + "/x.m3u";
  Entries entries{Entry(dir.path() + "/a.mp3", "", "")};
  ASSERT_EQ(WriteList(*FindListFormat(pf::kPlaylistPls), list, entries), "");
  ListContents read;
  ASSERT_EQ(FindListFormatByExtension(".m3u")->read(list, &read), "");
  EXPECT_EQ(read.paths, QStringList{dir.path() + "/File1=" + dir.path() + "/a.mp3"});
}

TEST(PlaylistForeignFormatTest, ListsWrittenByOthers) {
  const QString f = "/lists";
  struct Case {
    const char* what;
    ForeignKind kind;
    QByteArray bytes;
    QStringList paths;
  } cases[] = {
      {"8-bit pls with the standard keys", ForeignKind::kPls,
       "[playlist]\nNumberOfEntries=2\nFile1=a.mp3\nTitle1=Song\nLength1=215\n"
       "File2=/x/b.mp3\r\nVersion=2\n",
       {"/lists/a.mp3", "/x/b.mp3"}},
      {"pls in UTF-16 without a mark", ForeignKind::kPls, Utf16("[playlist]\r\nfile1=日本.mp3\r\n", false),
       {"/lists/日本.mp3"}},
      {"pls in UTF-8 with a mark", ForeignKind::kPls, "\xEF\xBB\xBF" + QStringLiteral("File1=é.mp3").toUtf8(),
       {"/lists/é.mp3"}},
      {"pls in UTF-16 BE", ForeignKind::kPls, QByteArray("\xFE\xFF\0F\0i\0l\0e\0001\0=\0a", 16), {"/lists/a"}},
      {"8-bit zpl", ForeignKind::kZpl, "nm=a.mp3\ndr=0\nbr!\nNM=no\n nm=no\n", {"/lists/a.mp3"}},
      {"m3u with extended lines and URLs", ForeignKind::kM3u,
       "#EXTM3U\n#EXTINF:215,Song\n../a.mp3\n\n   \nfile:///x/b%20c.mp3\nhttp://host/s.mp3\n",
       {"/a.mp3", "/x/b c.mp3"}},
      {"m3u8 without a mark", ForeignKind::kM3u8, QStringLiteral("日本.mp3\r\n").toUtf8(), {"/lists/日本.mp3"}},
      {"plain list, blank lines and a cut UTF-16 unit", ForeignKind::kPlain,
       Utf16("\r\n/a.mp3\r\n\r\nb") + "\x00", {"/a.mp3", "/lists/b"}},
      {"dots above the root stay at the root", ForeignKind::kPlain, "../../../../x.mp3\n", {"/x.mp3"}},
      // Names are bytes: one that is no UTF-8 is carried, not replaced.
      {"m3u naming a Latin-1 file", ForeignKind::kM3u, "caf\xE9.mp3\n", {PathFromLocal("/lists/caf\xE9.mp3")}},
      {"m3u8 naming a Latin-1 file", ForeignKind::kM3u8, "\xEF\xBB\xBF/x/caf\xE9.mp3\r\n",
       {PathFromLocal("/x/caf\xE9.mp3")}},
      {"empty", ForeignKind::kPls, "", {}},
      {"a single odd byte", ForeignKind::kZpl, "\xFF", {}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    EXPECT_EQ(ParseForeignList(k.kind, k.bytes, f), k.paths);
  }
}

TEST(PlaylistForeignFormatTest, NamesThatAreNoUtf8AreWrittenAsTheirBytes) {
  QTemporaryDir dir;
  const QString odd = PathFromLocal(QFile::encodeName(dir.path()) + "/caf\xE9.mp3");
  const Entries entries{Entry(odd, "d", "1")};
  for (auto [write, name, bytes] : {std::tuple{&WriteM3uList, "a.m3u", QByteArray("caf\xE9.mp3\r\n")},
                                     std::tuple{&WriteM3u8List, "a.m3u8", QByteArray("\xEF\xBB\xBF" "caf\xE9.mp3\r\n")},
                                     std::tuple{&WritePlainList, "a.txt", QFile::encodeName(dir.path()) + "/caf\xE9.mp3\r\n"}}) {
    SCOPED_TRACE(name);
    const QString list = dir.filePath(name);
    ASSERT_EQ(write(list, entries), "");
    EXPECT_EQ(test::ReadAll(list), bytes);
  }
}

TEST(PlaylistForeignFormatTest, ListNamingItselfIsNotReadAgain) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString list = dir.path() + "/self.m3u";
  Put(list, "self.m3u\na.mp3\n");
  ListContents read;
  ASSERT_EQ(FindListFormatByExtension(".m3u")->read(list, &read), "");
  EXPECT_EQ(read.paths, QStringList{dir.path() + "/a.mp3"});
}

TEST(PlaylistForeignFormatTest, FailedWriteKeepsTheOldList) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString list = dir.path() + "/keep.m3u8";
  Put(list, "old");
  Entries entries;
  for (int i = 0; i < 200; ++i) entries.emplace_back(dir.filePath(QString("entry%1.mp3").arg(i)), "", "");
  // Nothing written for an empty list.
  EXPECT_EQ(WriteList(*FindListFormat(pf::kPlaylistM3u8), list, {}), "");
  EXPECT_EQ(test::ReadAll(list), "old");
  // A file size limit makes the write fail part way, even for root.
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto previous = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 1024;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const QString error = WriteList(*FindListFormat(pf::kPlaylistM3u8), list, entries);
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);
  EXPECT_NE(error, "");
  EXPECT_EQ(test::ReadAll(list), "old");
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"keep.m3u8"});
}

}  // namespace
}  // namespace vortaq::playlist
