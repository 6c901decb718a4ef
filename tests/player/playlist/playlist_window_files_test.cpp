#include <gtest/gtest.h>

#include "platform/file_properties.h"

#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QThread>
#include <QItemSelectionModel>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>

#include "platform/file_ops.h"
#include "platform/local_path.h"
#include "player_fixture.h"
#include "playlist/list_formats.h"
#include "playlist/playlist_table_model.h"
#include "playlist/playlist_window.h"
#include "probex_binding.h"

namespace vortaq::playlist {
namespace {

class PlaylistWindowFilesTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(binding_.Bind({VORTAQ_PROBEX_LIB}, VORTAQ_BIN_DIR), "");
    ASSERT_TRUE(dir_.isValid());
    window_ = std::make_unique<TVRTQ_LIST>(&binding_);
  }

  QString Make(const QString& relative, const QByteArray& content = "data") {
    const QString path = dir_.filePath(relative);
    QDir().mkpath(QFileInfo(path).absolutePath());
    EXPECT_TRUE(test::WriteAll(path, content));
    return path;
  }

  void Fill(const QStringList& paths, const QString& detail = "d") {
    Entries entries;
    for (const QString& p : paths) entries.emplace_back(p, detail, "1");
    window_->model()->append(std::move(entries));
  }

  void Select(const QList<int>& rows, int focus) {
    QItemSelectionModel* s = window_->view()->selectionModel();
    s->clearSelection();
    for (int r : rows)
      s->select(window_->model()->index(r, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    s->setCurrentIndex(window_->model()->index(focus, 0), QItemSelectionModel::NoUpdate);
  }

  QStringList Paths() const {
    QStringList out;
    for (const Entry& e : window_->model()->entries()) out << e.path();
    return out;
  }

  ProbexBinding binding_;
  QTemporaryDir dir_;
  std::unique_ptr<TVRTQ_LIST> window_;
};

TEST_F(PlaylistWindowFilesTest, SaveUsesTheFilterNotTheName) {
  const QString a = Make("a.mp3"), b = Make("b.mp3");
  Fill({a, b});
  QString caption;
  const QString list = dir_.filePath("x.m3u");
  ASSERT_EQ(window_->SaveListAs(list, 1, false, &caption), "");
  EXPECT_EQ(caption, "*.plsの書込時エラー");
  EXPECT_TRUE(test::ReadAll(list).startsWith(QByteArray("\xFF\xFE" "F\0i\0l\0e\0" "1\0=\0", 14)));

  // Only the selection; an empty selection writes nothing.
  Select({1}, 1);
  ASSERT_EQ(window_->SaveListAs(dir_.filePath("sel.m3u8"), 6, true, &caption), "");
  EXPECT_EQ(test::ReadAll(dir_.filePath("sel.m3u8")), "\xEF\xBB\xBF" "b.mp3\r\n");
  EXPECT_EQ(caption, "*.m3u8の書込時エラー");
  Select({}, 0);
  ASSERT_EQ(window_->SaveListAs(dir_.filePath("none.lst"), 2, true, &caption), "");
  EXPECT_FALSE(QFileInfo::exists(dir_.filePath("none.lst")));
  ASSERT_EQ(window_->SaveListAs(dir_.filePath("x.bsl"), 4, false, &caption), "");
  EXPECT_EQ(caption, "*.lst,*.bslの書込時エラー");
}

TEST_F(PlaylistWindowFilesTest, RenameNeverReplacesAndTheEntryFollows) {
  const QString a = Make("M.v2/a.mp3", "A"), taken = Make("M.v2/taken.mp3", "T");
  Fill({a});
  QSignalSpy renamed(window_.get(), &TVRTQ_LIST::FileRenamed);
  EXPECT_FALSE(window_->RenameEntry(0, "taken.mp3"));
  EXPECT_FALSE(window_->RenameEntry(0, "../up.mp3"));
  EXPECT_FALSE(window_->RenameEntry(0, ""));
  EXPECT_FALSE(window_->RenameEntry(0, QString(256, 'n')));
  EXPECT_EQ(test::ReadAll(taken), "T");
  EXPECT_EQ(Paths(), QStringList{a});
  ASSERT_TRUE(window_->RenameEntry(0, "新.mp3"));
  const QString renamedPath = dir_.filePath("M.v2/新.mp3");
  EXPECT_EQ(Paths(), QStringList{renamedPath});
  EXPECT_EQ(window_->model()->at(0).name(), "新.mp3");
  EXPECT_EQ(test::ReadAll(renamedPath), "A");
  ASSERT_EQ(renamed.size(), 1);
  EXPECT_EQ(renamed[0][1].toString(), renamedPath);
}

TEST_F(PlaylistWindowFilesTest, RenameWithDetails) {
  const QString withExt = Make("M.v2/song.mp3"), noExt = Make("M.v2/song");
  const QString clash = Make("M.v2/x.mp3", "X"), clashTarget = Make("M.v2/x [a-b].mp3", "old");
  Fill({withExt, noExt, clash}, "a/b");
  int closed = 0;
  window_->SetPlayerHooks([&] { return noExt; }, [&] { ++closed; });
  Select({0, 1, 2}, 0);
  window_->RenameSelectedWithDetails();
  EXPECT_EQ(Paths(), QStringList({dir_.filePath("M.v2/song [a-b].mp3"), dir_.filePath("M.v2/song [a-b]"), clash}));
  for (const QString& p : Paths()) EXPECT_TRUE(QFileInfo::exists(p)) << p.toStdString();
  EXPECT_EQ(test::ReadAll(clashTarget), "old");
  EXPECT_EQ(closed, 1);
}

TEST_F(PlaylistWindowFilesTest, DeleteGoesToTheTrash) {
  const QByteArray oldData = qgetenv("XDG_DATA_HOME");
  qputenv("XDG_DATA_HOME", dir_.filePath("data").toUtf8());
  const QString a = Make("a.mp3"), b = Make("b.mp3"), c = Make("c.mp3");
  Fill({a, b, c});
  int closed = 0;
  window_->SetPlayerHooks([&] { return c; }, [&] { ++closed; });
  Select({0, 2}, 0);
  int asked = 0;
  window_->DeleteSelectedFiles([&](const QString&) { return ++asked, false; });
  if (oldData.isNull()) qunsetenv("XDG_DATA_HOME"); else qputenv("XDG_DATA_HOME", oldData);
  EXPECT_EQ(asked, 0);
  EXPECT_EQ(closed, 1);
  EXPECT_EQ(Paths(), QStringList{b});
  EXPECT_FALSE(QFileInfo::exists(a));
  EXPECT_FALSE(QFileInfo::exists(c));
  EXPECT_TRUE(QFileInfo::exists(dir_.filePath("data/Trash/files/a.mp3")));
  EXPECT_TRUE(test::ReadAll(dir_.filePath("data/Trash/info/a.mp3.trashinfo")).contains("Path=" + a.toUtf8()));
  EXPECT_TRUE(QFileInfo::exists(dir_.filePath("data/Trash/info/c.mp3.trashinfo")));
}

}  // namespace
}  // namespace vortaq::playlist

namespace vortaq::playlist {
namespace {

TEST_F(PlaylistWindowFilesTest, WithoutATrashTheUserDecidesBeforeAFileGoesForGood) {
  const QByteArray oldData = qgetenv("XDG_DATA_HOME");
  qputenv("XDG_DATA_HOME", dir_.filePath("data").toUtf8());
  Make("data/Trash/files", "a file where the trash needs a folder");
  // One name that is no UTF-8: the question and the removal reach it by its bytes.
  const QString odd = PathFromLocal(QFile::encodeName(dir_.path()) + "/caf\xE9.mp3");
  const int fd = open(LocalFromPath(odd).constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
  ASSERT_GE(fd, 0);
  close(fd);
  const QString kept = Make("kept.mp3"), other = Make("other.mp3");
  Fill({odd, kept, other});
  Select({0, 1}, 0);
  QStringList asked;
  window_->DeleteSelectedFiles([&](const QString& path) {
    asked << path;
    return path != kept;  // the user keeps this one
  });
  if (oldData.isNull()) qunsetenv("XDG_DATA_HOME"); else qputenv("XDG_DATA_HOME", oldData);
  EXPECT_EQ(asked, QStringList({odd, kept}));
  EXPECT_EQ(Paths(), QStringList({kept, other}));
  EXPECT_FALSE(PathExists(odd));
  EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files), QStringList({"kept.mp3", "other.mp3"}));
}

TEST_F(PlaylistWindowFilesTest, MovedEntriesFollowOnlyWhatHappened) {
  const QString a = Make("a.mp3", "A"), b = Make("b.mp3", "B"), c = Make("c.mp3", "C");
  Make("to/b.mp3", "kept");
  Fill({a, b, c});
  int closed = 0;
  window_->SetPlayerHooks([&] { return a; }, [&] { ++closed; });
  Select({0, 1, 2}, 0);
  TransferHooks hooks;
  hooks.collision = [](const QString&, bool) { return Collision::kCancel; };
  const QString to = dir_.filePath("to");
  EXPECT_EQ(window_->TransferSelected(true, to, hooks), "");
  // a moved; b collided and the user cancelled: b and c stay where they are.
  EXPECT_EQ(Paths(), QStringList({to + "/a.mp3", b, c}));
  EXPECT_EQ(closed, 1);
  EXPECT_EQ(test::ReadAll(to + "/b.mp3"), "kept");
  // A copy leaves the entries alone.
  Select({2}, 2);
  EXPECT_EQ(window_->TransferSelected(false, to, {}), "");
  EXPECT_EQ(Paths(), QStringList({to + "/a.mp3", b, c}));
  EXPECT_EQ(test::ReadAll(to + "/c.mp3"), "C");
}

}  // namespace
}  // namespace vortaq::playlist

namespace vortaq::playlist {
namespace {

TEST_F(PlaylistWindowFilesTest, TransfersRunOnAWorkerAndAskOnTheGuiThread) {
  const QString x = Make("x.mp3", "X"), a = Make("a.mp3", "A"), b = Make("b.mp3", "B");
  Make("to/a.mp3", "old a");
  Make("to/b.mp3", "old b");
  Fill({x, a, b});
  Select({1, 2}, 1);
  const QString to = dir_.filePath("to");
  QStringList asked;
  window_->SetCollisionPrompt([&](const QString& target, bool several) {
    EXPECT_EQ(QThread::currentThread(), qApp->thread());
    asked << target;
    // The list changes while the worker waits: entries are found by path.
    if (asked.size() == 1) window_->model()->edit([](Entries& e) { e.erase(e.begin()); });
    return std::pair{Collision::kOverwrite, several};  // "for all" when offered
  });
  QSignalSpy done(window_.get(), &TVRTQ_LIST::TransferDone);
  ASSERT_TRUE(window_->StartTransfer(true, to));
  EXPECT_TRUE(window_->transferring());
  EXPECT_FALSE(window_->StartTransfer(false, to));  // one at a time
  ASSERT_TRUE(test::WaitFor([&] { return !done.isEmpty(); }));
  EXPECT_EQ(done.first().first().toString(), "");
  EXPECT_FALSE(window_->transferring());
  EXPECT_EQ(asked, QStringList{to + "/a.mp3"});  // the answer held for b
  EXPECT_EQ(Paths(), QStringList({to + "/a.mp3", to + "/b.mp3"}));
  EXPECT_EQ(test::ReadAll(to + "/a.mp3"), "A");
  EXPECT_EQ(test::ReadAll(to + "/b.mp3"), "B");
}

TEST_F(PlaylistWindowFilesTest, AListClosedDuringAQuestionCancelsItsTransfer) {
  const QString a = Make("a.mp3", "A");
  Make("to/a.mp3", "old a");
  Fill({a});
  Select({0}, 0);
  ASSERT_TRUE(window_->StartTransfer(true, dir_.filePath("to")));
  // The question box is up, the worker waits for it; closing the program ends both.
  ASSERT_TRUE(test::WaitFor([&] { return window_->findChild<QMessageBox*>() != nullptr; }));
  window_.reset();
  EXPECT_EQ(test::ReadAll(a), "A");
  EXPECT_EQ(test::ReadAll(dir_.filePath("to/a.mp3")), "old a");
  EXPECT_EQ(QDir(dir_.filePath("to")).entryList(QDir::Files | QDir::Hidden), QStringList{"a.mp3"});
}

TEST_F(PlaylistWindowFilesTest, PropertiesText) {
  const QString a = Make("a b.mp3", QByteArray(12345, 0));
  QFile::setPermissions(a, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup);
  const QString text = PropertiesText(a, "REPORT");
  EXPECT_TRUE(text.startsWith("パス: " + a + "\nサイズ: 12,345 バイト\n")) << text.toStdString();
  EXPECT_TRUE(text.contains("アクセス権: rw-r----- ("));
  EXPECT_TRUE(text.contains("更新日時: " + QFileInfo(a).lastModified().toString("yyyy/MM/dd HH:mm:ss")));
  EXPECT_TRUE(text.endsWith("\n\nREPORT"));
}

}  // namespace
}  // namespace vortaq::playlist
