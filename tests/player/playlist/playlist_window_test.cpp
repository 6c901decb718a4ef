#include "playlist/playlist_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMimeData>
#include <QDropEvent>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolButton>

#include "player_fixture.h"
#include "playlist/analysis_batch.h"
#include "playlist/list_formats.h"
#include "playlist/playlist_table_model.h"
#include "probex_binding.h"

namespace vortaq::playlist {
namespace {

class PlaylistWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(binding_.Bind({VORTAQ_PROBEX_LIB}, VORTAQ_BIN_DIR), "");
    ASSERT_TRUE(dir_.isValid());
    window_ = std::make_unique<TVRTQ_LIST>(&binding_);
  }

  void Fill(const QStringList& names) {
    Entries entries;
    for (const QString& n : names) entries.emplace_back("/m/" + n, "d", "1");
    window_->model()->append(std::move(entries));
  }

  QString Order() const {
    QString out;
    for (const Entry& e : window_->model()->entries()) out += e.name();
    return out;
  }

  void Select(const QList<int>& rows, int focus) {
    QItemSelectionModel* s = window_->view()->selectionModel();
    s->clearSelection();
    for (int r : rows)
      s->select(window_->model()->index(r, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    s->setCurrentIndex(window_->model()->index(focus, 0), QItemSelectionModel::NoUpdate);
  }

  QList<int> SelectedRows() const {
    QList<int> rows;
    for (const QModelIndex& i : window_->view()->selectionModel()->selectedRows()) rows << i.row();
    std::sort(rows.begin(), rows.end());
    return rows;
  }

  QAction* Item(const char* name) { return window_->findChild<QAction*>(name); }

  ProbexBinding binding_;
  QTemporaryDir dir_;
  std::unique_ptr<TVRTQ_LIST> window_;
};

TEST_F(PlaylistWindowTest, MenusButtonsAndPanels) {
  EXPECT_EQ(window_->windowTitle(), "プレイリスト");
  struct Case {
    const char* name;
    QString text;
    QKeySequence key;
  } cases[] = {
      {"S_Open", "開く(&O)", QKeySequence("Ctrl+O")},
      {"S_Save", "リストの保存(&S)", QKeySequence("Ctrl+S")},
      {"S_SaveSelected", "選択範囲のリスト保存(&E)", QKeySequence("Ctrl+E")},
      {"S_Up", "一つ上へ(&U)", QKeySequence("Alt+Up")},
      {"S_Top", "先頭へ(&T)", QKeySequence("Ctrl+Alt+Up")},
      {"S_Bottom", "最下段へ(&B)", QKeySequence("Ctrl+Alt+Down")},
      {"S_Delete", "削除(&D)", QKeySequence("Del")},
      {"S_Clear", "クリア(&C)", QKeySequence("Ctrl+Del")},
      {"S_RecheckAll", "全ファイル再検査(&A)", QKeySequence("Ctrl+F5")},
      {"S_SearchPrev", "前の候補(&P)", QKeySequence("Shift+F3")},
      {"S_PlayPause", "再生/一時停止(&P)", QKeySequence(Qt::Key_Return)},
      {"S_Stop", "停止(&S)", QKeySequence(Qt::Key_Space)},
      {"S_Random", "ランダム(&D)", QKeySequence("Ctrl+Right")},
      {"S_NoSameFile", "同じファイルは複数登録をしない(&D)", QKeySequence()},
  };
  for (const Case& c : cases) {
    QAction* item = Item(c.name);
    ASSERT_NE(item, nullptr) << c.name;
    EXPECT_EQ(item->text(), c.text) << c.name;
    EXPECT_EQ(item->shortcut(), c.key) << c.name;
  }
  // The pop-up's twin has no shortcut.
  ASSERT_NE(Item("S2_Up"), nullptr);
  EXPECT_TRUE(Item("S2_Up")->shortcut().isEmpty());
  auto* next = window_->findChild<QToolButton*>("B_Next");
  ASSERT_NE(next, nullptr);
  EXPECT_EQ(next->toolTip(), "次の曲へ進みます");
  EXPECT_EQ(window_->PanelText(0), "0");
  Fill({"a", "b"});
  EXPECT_EQ(window_->PanelText(0), "2");
  window_->UpdateFocusPanel();
  EXPECT_EQ(window_->PanelText(1), "");
  Select({1}, 1);
  window_->UpdateFocusPanel();
  EXPECT_EQ(window_->PanelText(1), "2");
}

TEST_F(PlaylistWindowTest, MovesAndSortKeepSelectionAndFocusWithTheirEntries) {
  Fill({"A", "B", "C", "D"});
  Select({1, 3}, 3);
  window_->S_TopClick();
  EXPECT_EQ(Order(), "BADC");
  EXPECT_EQ(SelectedRows(), QList<int>({0, 2}));
  EXPECT_EQ(window_->FocusedIndex(), 0);
  Select({1, 2}, 2);  // A and D
  window_->S_UpClick();
  EXPECT_EQ(Order(), "ADBC");
  EXPECT_EQ(window_->FocusedIndex(), 1);  // D, the focused entry, went up
  window_->LVColumnClick(kColumnName);
  EXPECT_EQ(Order(), "ABCD");
  EXPECT_EQ(window_->FocusedIndex(), 3);
  EXPECT_EQ(SelectedRows(), QList<int>({0, 3}));
  window_->LVColumnClick(kColumnName);  // the second click sorts descending
  EXPECT_EQ(Order(), "DCBA");
  window_->S_DeleteClick();
  EXPECT_EQ(Order(), "CB");
  EXPECT_EQ(window_->PanelText(0), "2");
}

TEST_F(PlaylistWindowTest, NavigationWithAndWithoutFocus) {
  Fill({"1", "2", "3", "4", "5"});
  QSignalSpy open(window_.get(), &TVRTQ_LIST::OpenRequested);
  window_->S_NextClick();  // no focus: the first entry
  ASSERT_EQ(open.count(), 1);
  EXPECT_EQ(open.last()[0].toString(), "/m/1");
  EXPECT_EQ(SelectedRows(), QList<int>({0}));
  window_->S_PrevClick();
  EXPECT_EQ(open.last()[0].toString(), "/m/5");
  EXPECT_EQ(SelectedRows(), QList<int>({4}));
  window_->view()->selectionModel()->clear();
  window_->S_PrevClick();  // no focus: the last entry
  EXPECT_EQ(open.last()[0].toString(), "/m/5");

  // The continuation needs the window shown and list play ticked.
  Item("S_ListPlay")->setChecked(true);
  EXPECT_FALSE(window_->ContinueAfterEndOfFile());
  window_->show();
  EXPECT_TRUE(window_->ContinueAfterEndOfFile());
  EXPECT_EQ(open.last()[0].toString(), "/m/1");  // after the last comes the first
  EXPECT_EQ(SelectedRows(), QList<int>({0}));
  window_->view()->selectionModel()->clear();
  EXPECT_FALSE(window_->ContinueAfterEndOfFile());  // no focus and no random play
  Item("S_RandomPlay")->setChecked(true);
  EXPECT_TRUE(window_->ContinueAfterEndOfFile());
  window_->hide();

  QSignalSpy toggle(window_.get(), &TVRTQ_LIST::PlayPauseRequested);
  Select({2}, 2);
  window_->S_PlayPauseClick();
  ASSERT_EQ(toggle.count(), 1);
  EXPECT_EQ(toggle.last()[0].toString(), "/m/3");
}

TEST_F(PlaylistWindowTest, SettingsAndAutosaveAcrossRuns) {
  const QString autosave = dir_.filePath("vortaq.vrtql");
  const QString tone = dir_.filePath("tone.mp3");
  ASSERT_TRUE(QFile::copy(test::Fixture("tone.mp3"), tone));
  IniFile ini;
  ini.WriteInteger("PlayList", "PlayListColumn2", 77);
  ini.WriteBool("PlayList", "ListPlay", true);
  ini.WriteInteger("PlayList", "ListPos", 5);  // beyond the list: nothing
  window_->Load(ini, autosave, dir_.path());
  EXPECT_EQ(window_->view()->columnWidth(2), 77);
  EXPECT_EQ(window_->FocusedIndex(), -1);
  EXPECT_TRUE(Item("S_ListPlay")->isChecked());

  QStringList paths;
  for (int i = 0; i < 200; ++i) paths << tone;
  window_->AddBatch(paths);
  EXPECT_EQ(window_->PanelText(2), "詳細解析中...(ESCで中止)");
  ASSERT_TRUE(test::WaitFor([&] { return window_->model()->count() >= 3; }));
  // The program closes in the middle of the batch (or just after it).
  IniFile out;
  window_->Save(out);
  EXPECT_FALSE(window_->batch()->busy());
  const int kept = window_->model()->count();
  EXPECT_EQ(out.ReadInteger("PlayList", "PlayListColumn2", 0), 77);
  EXPECT_EQ(out.ReadInteger("PlayList", "ListPos", 0), -1);
  EXPECT_EQ(out.Keys("PlayList").first(), "PlayListX");
  EXPECT_EQ(out.Keys("PlayList").size(), 20);

  const Entries saved = LoadAutosave(autosave);
  EXPECT_EQ(static_cast<int>(saved.size()), kept);
  for (const Entry& e : saved) EXPECT_EQ(e.path(), tone);

  // The next run finds them, with the stored focus.
  out.WriteInteger("PlayList", "ListPos", 0);
  TVRTQ_LIST next(&binding_);
  next.Load(out, autosave, dir_.path());
  EXPECT_EQ(next.model()->count(), kept);
  EXPECT_EQ(next.FocusedIndex(), 0);
  next.model()->clear();
  IniFile last;
  next.Save(last);
  EXPECT_FALSE(QFile::exists(autosave));  // cleared entries do not come back
}

TEST_F(PlaylistWindowTest, DetailsCopyAndFullRecheck) {
  QGuiApplication::clipboard()->setText("before");
  window_->S_CopyDetailClick();  // an empty list leaves the clipboard alone
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "before");
  const QString tone = dir_.filePath("tone.mp3");
  ASSERT_TRUE(QFile::copy(test::Fixture("tone.mp3"), tone));
  window_->model()->append(Entries{Entry(tone, "old", "0"), Entry(tone, "old", "0"), Entry(tone, "old", "0")});
  window_->S_CopyDetailClick();  // nothing selected: the last line alone
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "Vortaq6.4 121014 / DLL 130101 Unicode\r\n");

  window_->SetTitleSource([] { return QStringLiteral("tone.mp3"); });
  Select({0}, 0);
  window_->S_CopyDetailClick();
  ASSERT_TRUE(test::WaitFor([&] { return !window_->batch()->busy(); }));
  const QString text = QGuiApplication::clipboard()->text();
  EXPECT_TRUE(text.startsWith("[tone.mp3]\r\n")) << text.toStdString();
  EXPECT_TRUE(text.endsWith("\r\n\r\ntone.mp3 / DLL 130101 Unicode\r\n")) << text.toStdString();

  window_->S_RecheckAllClick();
  EXPECT_EQ(window_->PanelText(2), "再検査中... 0/3 (ESCで中止)");
  EXPECT_FALSE(window_->view()->isEnabled());
  ASSERT_TRUE(test::WaitFor([&] { return !window_->batch()->busy(); }));
  EXPECT_TRUE(window_->view()->isEnabled());
  EXPECT_EQ(window_->PanelText(2), "");
  for (const Entry& e : window_->model()->entries()) EXPECT_EQ(e.size(), "4,407");
}

TEST_F(PlaylistWindowTest, DropScansFoldersAtOnceAndAddsFilesAfterwards) {
  ASSERT_TRUE(QDir().mkpath(dir_.filePath("folder")));
  const QString inFolder = dir_.filePath("folder/in.mp3");
  const QString loose = dir_.filePath("loose.mp3");
  ASSERT_TRUE(QFile::copy(test::Fixture("tone.mp3"), inFolder));
  ASSERT_TRUE(QFile::copy(test::Fixture("tone.mp3"), loose));
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(loose), QUrl::fromLocalFile(dir_.filePath("folder"))});
  // The drop goes where the drag entered.
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(window_.get(), &enter);
  ASSERT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(window_.get(), &drop);
  ASSERT_TRUE(test::WaitFor([&] { return !window_->batch()->busy(); }));
  ASSERT_EQ(window_->model()->count(), 2);
  EXPECT_EQ(window_->model()->at(0).path(), inFolder);
  EXPECT_EQ(window_->model()->at(1).path(), loose);

  // Esc answered with No (the default): the batch goes on.
  QStringList paths;
  for (int i = 0; i < 100; ++i) paths << loose;
  window_->AddBatch(paths);
  QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QCoreApplication::sendEvent(window_.get(), &esc);
  ASSERT_TRUE(test::WaitFor([&] { return !window_->batch()->busy(); }));
  EXPECT_EQ(window_->model()->count(), 102);
}

}  // namespace
}  // namespace vortaq::playlist
