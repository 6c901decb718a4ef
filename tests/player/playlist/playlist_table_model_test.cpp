#include "playlist/playlist_table_model.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

namespace vortaq::playlist {
namespace {

TEST(PlaylistTableModelTest, ColumnsHeadingsAndAlignment) {
  PlaylistTableModel model;
  model.append(Entry("/m/a.mp3", "MP3 44.1kHz", "4,407"));
  ASSERT_EQ(model.rowCount(), 1);
  ASSERT_EQ(model.columnCount(), 4);
  const QStringList headings = {"ファイル名", "詳細", "サイズ", "フルパス"};
  const QStringList texts = {"a.mp3", "MP3 44.1kHz", "4,407", "/m/a.mp3"};
  const int widths[] = {150, 200, 100, 120};
  for (int c = 0; c < 4; ++c) {
    EXPECT_EQ(model.headerData(c, Qt::Horizontal).toString(), headings[c]);
    EXPECT_EQ(model.data(model.index(0, c)).toString(), texts[c]);
    EXPECT_EQ(DefaultColumnWidth(c), widths[c]);
    const auto align = model.data(model.index(0, c), Qt::TextAlignmentRole);
    EXPECT_EQ(align.isValid(), c == kColumnSize) << c;
  }
  EXPECT_TRUE(model.data(model.index(0, kColumnSize), Qt::TextAlignmentRole).value<Qt::Alignment>() &
              Qt::AlignRight);
  EXPECT_FALSE(model.data(model.index(5, 0)).isValid());
}

TEST(PlaylistTableModelTest, EditsKeepThePathIndexAndTheCount) {
  PlaylistTableModel model;
  QSignalSpy count(&model, &PlaylistTableModel::countChanged);
  Entries entries;
  for (const char* p : {"/m/a", "/m/b", "/m/c"}) entries.emplace_back(p, "", "");
  model.append(std::move(entries));
  EXPECT_TRUE(model.containsPath("/m/b"));
  EXPECT_TRUE(model.removeRows(1, 1));
  EXPECT_FALSE(model.containsPath("/m/b"));
  EXPECT_FALSE(model.removeRows(2, 1));
  model.replace(0, Entry("/m/a.mp3", "new", "1"));
  EXPECT_FALSE(model.containsPath("/m/a"));
  EXPECT_TRUE(model.containsPath("/m/a.mp3"));
  model.edit([](Entries& e) { std::reverse(e.begin(), e.end()); });
  EXPECT_EQ(model.at(0).path(), "/m/c");
  model.clear();
  EXPECT_FALSE(model.containsPath("/m/c"));
  ASSERT_EQ(count.count(), 4);
  EXPECT_EQ(count.last()[0].toInt(), 0);
}

}  // namespace
}  // namespace vortaq::playlist
