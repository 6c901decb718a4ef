#include "playlist/auto_rename.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstring>

#include "player_fixture.h"
#include "platform/file_ops.h"
#include "probex_binding.h"

namespace vortaq {
namespace {

TEST(AutoRenameTest, TargetsByFormat) {
  EXPECT_EQ(RenameTarget("/m/movie.mpg", 25), "/m/movie.mkv");
  EXPECT_EQ(RenameTarget("/m/song.MP3", 106), "");  // case alone never changes
  EXPECT_EQ(RenameTarget("/m/noext", 21), "/m/noext.mp4");
  EXPECT_EQ(RenameTarget("/m.d/noext", 21), "/m.d/noext.mp4");
  EXPECT_EQ(RenameTarget("/m/.hidden", 21), "/m/.hidden.mp4");
  EXPECT_EQ(RenameTarget("/m/a.b.c", 122), "/m/a.b.dts");
  EXPECT_EQ(RenameTarget("/m/shot.dat", 130), "/m/shot.png");
  EXPECT_EQ(RenameTarget("/m/anim.riff", 131), "/m/anim.webp");
  EXPECT_EQ(RenameTarget("/m/take.aif", 132), "/m/take.caf");
  for (int id : {1, 2, 111, 128, 129, 301, 307, 0, -5})
    EXPECT_EQ(RenameTarget("/m/x.bin", id), "") << id;
}

class AutoRenameFileTest : public testing::Test {
 protected:
  QString Make(const QString& name) {
    const QString p = dir_.filePath(name);
    EXPECT_TRUE(test::WriteAll(p, name.toUtf8()));
    return p;
  }
  MediaInfo Record(const QString& path, int formatId) {
    MediaInfo info;
    std::memset(&info, 0, sizeof info);
    StorePath(&info, path);
    info.formatId = formatId;
    return info;
  }
  QTemporaryDir dir_;
};

TEST_F(AutoRenameFileTest, RenamesAndUpdatesTheRecord) {
  MediaInfo info = Record(Make("movie.mpg"), 25);
  AutoRename(&info);
  EXPECT_EQ(PathOfRecord(info), dir_.filePath("movie.mkv"));
  EXPECT_TRUE(QFile::exists(dir_.filePath("movie.mkv")));
  EXPECT_FALSE(QFile::exists(dir_.filePath("movie.mpg")));
}

TEST_F(AutoRenameFileTest, NeverReplacesAnExistingTarget) {
  const QString old = Make("movie.mpg");
  Make("movie.mkv");
  MediaInfo info = Record(old, 25);
  AutoRename(&info);
  EXPECT_EQ(PathOfRecord(info), old);
  EXPECT_EQ(test::ReadAll(dir_.filePath("movie.mkv")), QByteArray("movie.mkv"));
  EXPECT_EQ(test::ReadAll(old), QByteArray("movie.mpg"));
}

TEST_F(AutoRenameFileTest, SkipsATargetThatWouldNotFitTheRecord) {
  // 255 units fit; the longer extension would make 256.
  QString name = "n.ts";
  const int room = PROBEX_PATH_UNITS - 1 - (dir_.path().size() + 1);
  name = QString(room - 3, QChar('a')) + ".ts";
  const QString path = Make(name);
  ASSERT_EQ(path.size(), PROBEX_PATH_UNITS - 1);
  MediaInfo info = Record(path, 116);  // would become .flac: 2 units longer
  AutoRename(&info);
  EXPECT_EQ(PathOfRecord(info), path);
  EXPECT_TRUE(QFile::exists(path));
}

TEST(FileOpsTest, RenameNoReplaceRefusesAnExistingTarget) {
  QTemporaryDir dir;
  const QString a = dir.filePath("a"), b = dir.filePath("b");
  ASSERT_TRUE(test::WriteAll(a, "A"));
  ASSERT_TRUE(test::WriteAll(b, "B"));
  EXPECT_FALSE(RenameNoReplace(a, b));
  EXPECT_EQ(test::ReadAll(b), QByteArray("B"));
  ASSERT_TRUE(QFile::remove(b));
  EXPECT_TRUE(RenameNoReplace(a, b));
  EXPECT_EQ(test::ReadAll(b), QByteArray("A"));
}

}  // namespace
}  // namespace vortaq
