#include "playlist/detail_rename.h"

#include <gtest/gtest.h>

namespace vortaq::playlist {
namespace {

TEST(PlaylistDetailRenameTest, Targets) {
  const QString longDetail = QString(300, QChar(0x97F3));  // 3 bytes each in UTF-8
  struct Case {
    QString path, detail, target;
  } cases[] = {
      {"/M/song.mp3", "MP3 128kbps 44.1kHz", "/M/song [MP3 128kbps 44.1kHz].mp3"},
      {"/M/a.b.mp3", "1/2 a:b \\*?\"<>|", "/M/a.b [1-2 a-b -------].mp3"},
      // The extension is looked for in the file name only.
      {"/M.dir/song", "X", "/M.dir/song [X]"},
      {"/Music.v2/song", "X", "/Music.v2/song [X]"},
      {"/M/.hidden", "X", "/M/.hidden [X]"},
      {"/M/song.mp3", "", "/M/song [].mp3"},
      {"/M/", "X", ""},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.path.toStdString());
    EXPECT_EQ(DetailRenameTarget(k.path, k.detail), k.target);
  }
}

TEST(PlaylistDetailRenameTest, LongNamesKeepWhatFitsOfTheDetail) {
  const QString stem(100, QLatin1Char('s'));
  const QString target = DetailRenameTarget("/M/" + stem + ".mp3", QString(300, QChar(0x97F3)));
  const QString name = target.mid(3);
  EXPECT_LE(name.toUtf8().size(), kMaxNameBytes);
  EXPECT_GT(name.toUtf8().size(), kMaxNameBytes - 3);
  EXPECT_TRUE(name.startsWith(stem + " [" + QChar(0x97F3)));
  EXPECT_TRUE(name.endsWith("].mp3"));
  // Not even the brackets fit.
  EXPECT_EQ(DetailRenameTarget("/M/" + QString(252, QLatin1Char('s')) + ".mp3", "X"), "");
}

}  // namespace
}  // namespace vortaq::playlist
