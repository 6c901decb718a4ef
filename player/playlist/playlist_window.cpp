#include "playlist_window.h"
#include "transfer_job.h"

#include "platform/file_properties.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QHeaderView>
#include <QInputDialog>
#include <QItemSelection>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QStatusBar>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <QDialog>
#include <QVBoxLayout>
#include <utility>
#include <numeric>

#include "analysis_batch.h"
#include "list_formats.h"
#include "message_box.h"
#include "playlist_settings.h"
#include "playlist_table_model.h"
#include "probex_binding.h"
#include "probex_formats.h"
#include "texts.h"

namespace vortaq::playlist {

namespace {

const QString kCaption = QStringLiteral("プレイリスト");

struct ToolButton {
  const char* name;
  const char* image;
  const char* hint;
  void (TVRTQ_LIST::*slot)();
};

const ToolButton kButtons[7] = {
    {"B_Prev", "button_prev.bmp", "前の曲へ戻ります", &TVRTQ_LIST::S_PrevClick},
    {"B_Rew", "button_rew.bmp", "巻戻します", &TVRTQ_LIST::S_RewClick},
    {"B_Play", "button_play.bmp", "再生します", &TVRTQ_LIST::S_PlayPauseClick},
    {"B_Stop", "button_stop.bmp", "停止します", &TVRTQ_LIST::S_StopClick},
    {"B_Ff", "button_ff.bmp", "早送りします", &TVRTQ_LIST::S_FfClick},
    {"B_Next", "button_next.bmp", "次の曲へ進みます", &TVRTQ_LIST::S_NextClick},
    {"B_Random", "button_random.bmp", "ランダムで曲を選択します", &TVRTQ_LIST::S_RandomClick},
};

}  // namespace

TVRTQ_LIST::TVRTQ_LIST(const ProbexBinding* binding, QWidget* parent)
    : QMainWindow(parent), binding_(binding), random_(TimeSeededGenerator()) {
  setObjectName(QStringLiteral("TVRTQ_LIST"));
  setWindowTitle(kCaption);
  setAcceptDrops(true);
  model_ = new PlaylistTableModel(this);
  batch_ = new AnalysisBatch(binding_, model_, this);

  LV = new QTableView(this);
  LV->setObjectName(QStringLiteral("LV"));
  LV->setModel(model_);
  LV->setSelectionBehavior(QAbstractItemView::SelectRows);
  LV->setSelectionMode(QAbstractItemView::ExtendedSelection);
  LV->setEditTriggers(QAbstractItemView::NoEditTriggers);
  LV->setShowGrid(false);
  LV->setWordWrap(false);
  LV->setAlternatingRowColors(false);
  LV->verticalHeader()->hide();
  // Uniform rows: the view never measures the rows it does not show.
  LV->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  LV->verticalHeader()->setDefaultSectionSize(LV->fontMetrics().height() + 4);
  LV->horizontalHeader()->setSectionsClickable(true);
  LV->horizontalHeader()->setHighlightSections(false);
  LV->horizontalHeader()->setStretchLastSection(false);
  for (int c = 0; c < kColumnCount; ++c) LV->setColumnWidth(c, DefaultColumnWidth(c));
  LV->setContextMenuPolicy(Qt::CustomContextMenu);
  setCentralWidget(LV);

  for (int i = 0; i < 3; ++i) {
    panels_[i] = new QLabel(this);
    panels_[i]->setObjectName(QStringLiteral("SB_Panel%1").arg(i));
    statusBar()->addWidget(panels_[i], i == 2 ? 1 : 0);
  }
  panels_[0]->setMinimumWidth(60);
  panels_[1]->setMinimumWidth(60);
  SetCount(0);

  CreateToolBar();
  CreateMenu();

  connect(model_, &PlaylistTableModel::countChanged, this, &TVRTQ_LIST::SetCount);
  connect(batch_, &AnalysisBatch::busyChanged, this, [this](bool busy) {
    panels_[2]->setText(busy ? BusyText() : QString());
    if (!busy && recheckAllTotal_ > 0) {
      recheckAllTotal_ = 0;
      LV->setEnabled(true);
    }
  });
  connect(batch_, &AnalysisBatch::progress, this, [this](int done, int left) {
    if (recheckAllTotal_ > 0 && left > 0)
      panels_[2]->setText(QStringLiteral("再検査中... %1/%2 (ESCで中止)")
                              .arg(std::min(done, recheckAllTotal_ - 1))
                              .arg(recheckAllTotal_));
  });
  connect(batch_, &AnalysisBatch::detailsReady, this, [this](const QString& text) {
    if (!propertiesPath_.isEmpty()) {
      ShowPropertiesWindow(std::exchange(propertiesPath_, QString()), text, this);
      return;
    }
    QGuiApplication::clipboard()->setText(text + DetailsTail());
  });
  connect(batch_, &AnalysisBatch::renamed, this, &TVRTQ_LIST::FileRenamed);
  connect(batch_, &AnalysisBatch::analysisError, this,
          [this](const QString& caption, const QString& message) { ShowError(this, message, caption); });
  connect(LV->horizontalHeader(), &QHeaderView::sectionClicked, this, &TVRTQ_LIST::LVColumnClick);
  connect(LV, &QTableView::doubleClicked, this, &TVRTQ_LIST::LVDblClick);
  connect(LV, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { PM_List->popup(LV->viewport()->mapToGlobal(at)); });
  resize(480, 250);
}

TVRTQ_LIST::~TVRTQ_LIST() {
  // A transfer under way is cancelled; its worker ends before the list goes.
  delete job_;
  job_ = nullptr;
  // The batch goes before the model it fills.
  delete batch_;
  batch_ = nullptr;
}

QAction* TVRTQ_LIST::AddItem(QMenu* menu, QMenu* popup, const char* name, const QString& text,
                             void (TVRTQ_LIST::*slot)(), const QKeySequence& shortcut) {
  QAction* item = menu->addAction(text);
  item->setObjectName(QString::fromLatin1(name));
  if (!shortcut.isEmpty()) item->setShortcut(shortcut);
  if (slot) connect(item, &QAction::triggered, this, slot);
  if (!slot) item->setEnabled(false);
  if (popup) {
    // The pop-up offers the same command without its shortcut.
    QAction* twin = popup->addAction(text);
    twin->setObjectName(QStringLiteral("S2_") + QString::fromLatin1(name + 2));
    if (slot) connect(twin, &QAction::triggered, this, slot);
    if (!slot) twin->setEnabled(false);
  }
  return item;
}

QAction* TVRTQ_LIST::AddOption(QMenu* menu, const char* name, const QString& text) {
  QAction* item = menu->addAction(text);
  item->setObjectName(QString::fromLatin1(name));
  item->setCheckable(true);
  return item;
}

void TVRTQ_LIST::CreateMenu() {
  PM_List = new QMenu(this);
  PM_List->setObjectName(QStringLiteral("PM_List"));
  QMenu* file = menuBar()->addMenu(QStringLiteral("ファイル(&F)"));
  AddItem(file, PM_List, "S_Open", QStringLiteral("開く(&O)"), &TVRTQ_LIST::S_OpenClick,
          QKeySequence(Qt::CTRL | Qt::Key_O));
  AddItem(file, PM_List, "S_OpenFolder", QStringLiteral("フォルダを開く(&F)"), &TVRTQ_LIST::S_OpenFolderClick);
  AddItem(file, PM_List, "S_Property", QStringLiteral("プロパティ(&P)"), &TVRTQ_LIST::S_PropertyClick);
  file->addSeparator();
  AddItem(file, PM_List, "S_Save", QStringLiteral("リストの保存(&S)"), &TVRTQ_LIST::S_SaveClick,
          QKeySequence(Qt::CTRL | Qt::Key_S));
  AddItem(file, PM_List, "S_SaveSelected", QStringLiteral("選択範囲のリスト保存(&E)"),
          &TVRTQ_LIST::S_SaveSelectedClick, QKeySequence(Qt::CTRL | Qt::Key_E));
  file->addSeparator();
  AddItem(file, PM_List, "S_FileCopy", QStringLiteral("選択ファイルのコピー(&C)"), &TVRTQ_LIST::S_FileCopyClick);
  AddItem(file, PM_List, "S_FileMove", QStringLiteral("選択ファイルを移動(&M)"), &TVRTQ_LIST::S_FileMoveClick);
  AddItem(file, PM_List, "S_FileDelete", QStringLiteral("選択ファイルを削除(D)"), &TVRTQ_LIST::S_FileDeleteClick);
  file->addSeparator();
  AddItem(file, nullptr, "S_Close", QStringLiteral("閉じる(&X)"), &TVRTQ_LIST::S_CloseClick);

  PM_List->addSeparator();
  QMenu* edit = menuBar()->addMenu(QStringLiteral("リスト編集(&L)"));
  AddItem(edit, PM_List, "S_Up", QStringLiteral("一つ上へ(&U)"), &TVRTQ_LIST::S_UpClick,
          QKeySequence(Qt::ALT | Qt::Key_Up));
  AddItem(edit, PM_List, "S_Down", QStringLiteral("一つ下へ(&D)"), &TVRTQ_LIST::S_DownClick,
          QKeySequence(Qt::ALT | Qt::Key_Down));
  AddItem(edit, PM_List, "S_Top", QStringLiteral("先頭へ(&T)"), &TVRTQ_LIST::S_TopClick,
          QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_Up));
  AddItem(edit, PM_List, "S_Bottom", QStringLiteral("最下段へ(&B)"), &TVRTQ_LIST::S_BottomClick,
          QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_Down));
  edit->addSeparator();
  AddItem(edit, PM_List, "S_Delete", QStringLiteral("削除(&D)"), &TVRTQ_LIST::S_DeleteClick,
          QKeySequence(Qt::Key_Delete));
  AddItem(edit, PM_List, "S_Clear", QStringLiteral("クリア(&C)"), &TVRTQ_LIST::S_ClearClick,
          QKeySequence(Qt::CTRL | Qt::Key_Delete));
  AddItem(edit, PM_List, "S_Shuffle", QStringLiteral("シャッフル(&S)"), &TVRTQ_LIST::S_ShuffleClick);
  edit->addSeparator();
  AddItem(edit, PM_List, "S_Recheck", QStringLiteral("再検査(&X)"), &TVRTQ_LIST::S_RecheckClick,
          QKeySequence(Qt::Key_F5));
  AddItem(edit, PM_List, "S_RecheckAll", QStringLiteral("全ファイル再検査(&A)"), &TVRTQ_LIST::S_RecheckAllClick,
          QKeySequence(Qt::CTRL | Qt::Key_F5));
  AddItem(edit, PM_List, "S_CopyDetail", QStringLiteral("詳細のコピー(&P)"), &TVRTQ_LIST::S_CopyDetailClick,
          QKeySequence(Qt::CTRL | Qt::Key_C));
  AddItem(edit, PM_List, "S_Rename", QStringLiteral("リネーム(&F)"), &TVRTQ_LIST::S_RenameClick, QKeySequence(Qt::Key_F2));
  AddItem(edit, PM_List, "S_RenameDetail", QStringLiteral("詳細付リネーム(&R)"), &TVRTQ_LIST::S_RenameDetailClick,
          QKeySequence(Qt::CTRL | Qt::Key_R));
  edit->addSeparator();
  AddItem(edit, PM_List, "S_SelectAll", QStringLiteral("全て選択(&A)"), &TVRTQ_LIST::S_SelectAllClick,
          QKeySequence(Qt::CTRL | Qt::Key_A));
  AddItem(edit, PM_List, "S_InvertSelection", QStringLiteral("選択の切り替え(&I)"),
          &TVRTQ_LIST::S_InvertSelectionClick);

  PM_List->addSeparator();
  QMenu* search = menuBar()->addMenu(QStringLiteral("検索(&S)"));
  AddItem(search, PM_List, "S_Search", QStringLiteral("検索(&F)"), &TVRTQ_LIST::S_SearchClick,
          QKeySequence(Qt::CTRL | Qt::Key_F));
  AddItem(search, PM_List, "S_SearchNext", QStringLiteral("次の候補(&N)"), &TVRTQ_LIST::S_SearchNextClick,
          QKeySequence(Qt::Key_F3));
  AddItem(search, PM_List, "S_SearchPrev", QStringLiteral("前の候補(&P)"), &TVRTQ_LIST::S_SearchPrevClick,
          QKeySequence(Qt::SHIFT | Qt::Key_F3));

  PM_List->addSeparator();
  QMenu* play = menuBar()->addMenu(QStringLiteral("演奏(&P)"));
  AddItem(play, PM_List, "S_PlayPause", QStringLiteral("再生/一時停止(&P)"), &TVRTQ_LIST::S_PlayPauseClick,
          QKeySequence(Qt::Key_Return));
  AddItem(play, PM_List, "S_Stop", QStringLiteral("停止(&S)"), &TVRTQ_LIST::S_StopClick,
          QKeySequence(Qt::Key_Space));
  AddItem(play, PM_List, "S_Ff", QStringLiteral("早送り(&F)"), &TVRTQ_LIST::S_FfClick,
          QKeySequence(Qt::Key_Right));
  AddItem(play, PM_List, "S_Rew", QStringLiteral("巻戻し(&R)"), &TVRTQ_LIST::S_RewClick,
          QKeySequence(Qt::Key_Left));
  AddItem(play, PM_List, "S_Next", QStringLiteral("次のファイル(&N)"), &TVRTQ_LIST::S_NextClick,
          QKeySequence(Qt::CTRL | Qt::Key_Down));
  AddItem(play, PM_List, "S_Prev", QStringLiteral("前のファイル(&B)"), &TVRTQ_LIST::S_PrevClick,
          QKeySequence(Qt::CTRL | Qt::Key_Up));
  AddItem(play, PM_List, "S_Random", QStringLiteral("ランダム(&D)"), &TVRTQ_LIST::S_RandomClick,
          QKeySequence(Qt::CTRL | Qt::Key_Right));

  QMenu* options = menuBar()->addMenu(QStringLiteral("動作(&O)"));
  S_ListPlay = AddOption(options, "S_ListPlay", QStringLiteral("リスト順に再生(&L)"));
  S_RandomPlay = AddOption(options, "S_RandomPlay", QStringLiteral("ランダム再生(&A)"));
  S_NoSameFile = AddOption(options, "S_NoSameFile", QStringLiteral("同じファイルは複数登録をしない(&D)"));
  S_DirRecursive = AddOption(options, "S_DirRecursive", QStringLiteral("フォルダ読込時にサブフォルダも検索(&S)"));
  connect(S_NoSameFile, &QAction::toggled, batch_, &AnalysisBatch::setNoSameFile);
  options->addSeparator();
  AddItem(options, nullptr, "S_Font", QStringLiteral("表示フォント(&F)"), &TVRTQ_LIST::S_FontClick);
}

void TVRTQ_LIST::CreateToolBar() {
  QToolBar* bar = addToolBar(QStringLiteral("TB"));
  bar->setObjectName(QStringLiteral("TB"));
  bar->setMovable(false);
  for (int i = 0; i < 7; ++i) {
    const ToolButton& b = kButtons[i];
    buttons_[i] = new QToolButton(bar);
    buttons_[i]->setObjectName(QString::fromLatin1(b.name));
    buttons_[i]->setToolTip(QString::fromUtf8(b.hint));
    buttons_[i]->setText(QString::fromLatin1(b.name + 2));
    connect(buttons_[i], &QToolButton::clicked, this, b.slot);
    bar->addWidget(buttons_[i]);
  }
}

void TVRTQ_LIST::Load(const IniFile& ini, const QString& autosavePath, const QString& programDir) {
  autosavePath_ = autosavePath;
  if (!autosavePath.isEmpty()) model_->append(LoadAutosave(autosavePath));
  const PlayListSettings s = ReadPlayListSettings(ini);
  setGeometry(s.x, s.y, s.w, s.h);
  for (int c = 0; c < kColumnCount; ++c) LV->setColumnWidth(c, s.columns[c]);
  openDir_ = s.dir;
  S_ListPlay->setChecked(s.listPlay);
  S_RandomPlay->setChecked(s.randomPlay);
  S_NoSameFile->setChecked(s.noSameFile);
  S_DirRecursive->setChecked(s.dirRecursive);
  QFont font(s.fontName);
  if (s.fontSize > 0) font.setPointSize(s.fontSize);
  font.setBold(s.bold);
  font.setItalic(s.italic);
  font.setUnderline(s.underline);
  font.setStrikeOut(s.strikeOut);
  LV->setFont(font);
  LV->verticalHeader()->setDefaultSectionSize(QFontMetrics(font).height() + 4);
  for (int i = 0; i < 7; ++i) {
    const QString image = QDir(programDir).filePath(QStringLiteral("IMG/") + QLatin1String(kButtons[i].image));
    if (QFileInfo::exists(image)) buttons_[i]->setIcon(QIcon(image));
  }
  if (s.listPos >= 0 && s.listPos < model_->count()) {
    Selection selection(static_cast<size_t>(model_->count()), 0);
    selection[static_cast<size_t>(s.listPos)] = 1;
    ApplySelection(selection, s.listPos);
  }
}

void TVRTQ_LIST::Save(IniFile& ini) {
  SaveList();
  WriteSettings(ini);
}

bool TVRTQ_LIST::SaveList() {
  batch_->shutdown();
  return autosavePath_.isEmpty() || SaveAutosave(autosavePath_, model_->entries());
}

void TVRTQ_LIST::WriteSettings(IniFile& ini) const {
  PlayListSettings s;
  const QRect g = geometry();
  s.x = g.x();
  s.y = g.y();
  s.w = g.width();
  s.h = g.height();
  for (int c = 0; c < kColumnCount; ++c) s.columns[c] = LV->columnWidth(c);
  s.dir = openDir_;
  s.listPos = FocusedIndex();
  s.listPlay = S_ListPlay->isChecked();
  s.randomPlay = S_RandomPlay->isChecked();
  s.noSameFile = S_NoSameFile->isChecked();
  s.dirRecursive = S_DirRecursive->isChecked();
  const QFont font = LV->font();
  s.fontName = font.family();
  s.fontSize = font.pointSize() > 0 ? font.pointSize() : s.fontSize;
  s.bold = font.bold();
  s.italic = font.italic();
  s.underline = font.underline();
  s.strikeOut = font.strikeOut();
  WritePlayListSettings(ini, s);
}

void TVRTQ_LIST::AddBatch(const QStringList& paths) { batch_->add(paths); }

void TVRTQ_LIST::AddFolder(const QString& folder) { batch_->addFolder(folder, S_DirRecursive->isChecked()); }

void TVRTQ_LIST::SetCheckExt(bool on) { batch_->setCheckExt(on); }

int TVRTQ_LIST::FocusedIndex() const {
  const QModelIndex current = LV->selectionModel()->currentIndex();
  return current.isValid() ? current.row() : -1;
}

QString TVRTQ_LIST::PanelText(int panel) const {
  return panel >= 0 && panel < 3 ? panels_[panel]->text() : QString();
}

void TVRTQ_LIST::UpdateFocusPanel() {
  const int focus = FocusedIndex();
  panels_[1]->setText(focus >= 0 ? QString::number(focus + 1) : QString());
}

void TVRTQ_LIST::SetCount(int count) { panels_[0]->setText(QString::number(count)); }

Selection TVRTQ_LIST::CurrentSelection() const {
  Selection selection(static_cast<size_t>(model_->count()), 0);
  for (const QItemSelectionRange& range : LV->selectionModel()->selection())
    for (int row = range.top(); row <= range.bottom() && row < model_->count(); ++row)
      selection[static_cast<size_t>(row)] = 1;
  return selection;
}

void TVRTQ_LIST::ApplySelection(const Selection& selection, int focus) {
  QItemSelection ranges;
  const int n = static_cast<int>(selection.size());
  for (int i = 0; i < n;) {
    if (!selection[static_cast<size_t>(i)]) {
      ++i;
      continue;
    }
    int end = i;
    while (end + 1 < n && selection[static_cast<size_t>(end + 1)]) ++end;
    ranges.select(model_->index(i, 0), model_->index(end, kColumnCount - 1));
    i = end + 1;
  }
  QItemSelectionModel* model = LV->selectionModel();
  if (focus >= 0 && focus < n)
    model->setCurrentIndex(model_->index(focus, 0), QItemSelectionModel::NoUpdate);
  else
    model->clearCurrentIndex();
  model->select(ranges, QItemSelectionModel::ClearAndSelect);
  if (focus >= 0 && focus < n) LV->scrollTo(model_->index(focus, 0));
}

template <typename Move>
void TVRTQ_LIST::MoveRows(Move move, bool focusStart, bool focusEnd) {
  const int n = model_->count();
  if (n == 0) return;
  Selection selection = CurrentSelection();
  std::vector<uint32_t> order(static_cast<size_t>(n));
  std::iota(order.begin(), order.end(), 0u);
  if (!move(order, selection)) return;
  const int oldFocus = FocusedIndex();
  int focus = -1;
  for (int i = 0; i < n && oldFocus >= 0; ++i)
    if (order[static_cast<size_t>(i)] == static_cast<uint32_t>(oldFocus)) focus = i;
  if (focusStart) focus = 0;
  if (focusEnd) focus = n - 1;
  if (focusStart || focusEnd) selection[static_cast<size_t>(focus)] = 1;
  model_->edit([&](Entries& entries) { Permute(entries, order); });
  ApplySelection(selection, focus);
}

void TVRTQ_LIST::S_UpClick() { MoveRows([](auto& o, Selection& s) { return MoveUp(o, s); }, false, false); }
void TVRTQ_LIST::S_DownClick() { MoveRows([](auto& o, Selection& s) { return MoveDown(o, s); }, false, false); }
void TVRTQ_LIST::S_TopClick() { MoveRows([](auto& o, Selection& s) { return MoveToTop(o, s); }, true, false); }
void TVRTQ_LIST::S_BottomClick() {
  MoveRows([](auto& o, Selection& s) { return MoveToBottom(o, s); }, false, true);
}

void TVRTQ_LIST::S_DeleteClick() {
  Selection selection = CurrentSelection();
  if (std::find(selection.begin(), selection.end(), 1) == selection.end()) return;
  model_->edit([&](Entries& entries) { RemoveSelected(entries, selection); });
}

void TVRTQ_LIST::S_ClearClick() {
  if (!Confirm(this, QStringLiteral("現在のリストをクリアします。よろしいですか?"))) return;
  model_->clear();
}

void TVRTQ_LIST::S_ShuffleClick() {
  if (!Confirm(this, QStringLiteral("シャッフルの取り消しは出来ませんがよろしいですか?"))) return;
  model_->edit([this](Entries& entries) { Shuffle(entries, random_); });
  setWindowTitle(kCaption);
}

std::vector<int> TVRTQ_LIST::SelectedRowsInOrder() const {
  const Selection selection = CurrentSelection();
  std::vector<int> rows;
  for (size_t i = 0; i < selection.size(); ++i)
    if (selection[i]) rows.push_back(static_cast<int>(i));
  return rows;
}

QString TVRTQ_LIST::DetailsTail() const {
  const QString title = titleSource_ ? titleSource_() : texts::kApplicationTitle;
  const int version = binding_ ? binding_->version() : 0;
  return QStringLiteral("%1 / DLL %2 Unicode\r\n").arg(title).arg(version, 6, 10, QLatin1Char('0'));
}

void TVRTQ_LIST::S_RecheckClick() { batch_->recheck(SelectedRowsInOrder()); }

void TVRTQ_LIST::S_RecheckAllClick() {
  const int n = model_->count();
  if (n == 0) return;
  std::vector<int> rows(static_cast<size_t>(n));
  std::iota(rows.begin(), rows.end(), 0);
  recheckAllTotal_ = n;
  LV->setEnabled(false);
  batch_->recheck(rows);
  panels_[2]->setText(QStringLiteral("再検査中... %1/%2 (ESCで中止)").arg(0).arg(n));
}

void TVRTQ_LIST::S_CopyDetailClick() {
  if (model_->count() == 0) return;
  const std::vector<int> rows = SelectedRowsInOrder();
  if (rows.empty()) {
    QGuiApplication::clipboard()->setText(DetailsTail());
    return;
  }
  // The reports are made on the workers; detailsReady fills the clipboard.
  batch_->report(rows);
}

void TVRTQ_LIST::S_SelectAllClick() { LV->selectAll(); }

void TVRTQ_LIST::S_InvertSelectionClick() {
  Selection selection = CurrentSelection();
  InvertSelection(selection);
  ApplySelection(selection, FocusedIndex());
}

void TVRTQ_LIST::LVColumnClick(int column) {
  if (column < 0 || column >= kColumnCount) return;
  for (int c = 0; c < kColumnCount; ++c)
    if (c != column) ascending_[c] = false;
  ascending_[column] = !ascending_[column];
  const int n = model_->count();
  if (n == 0) return;
  const std::vector<uint32_t> order = SortOrder(model_->entries(), column, ascending_[column]);
  const Selection before = CurrentSelection();
  const int oldFocus = FocusedIndex();
  Selection after(static_cast<size_t>(n), 0);
  int focus = -1;
  for (int i = 0; i < n; ++i) {
    const uint32_t from = order[static_cast<size_t>(i)];
    after[static_cast<size_t>(i)] = before[from];
    if (static_cast<int>(from) == oldFocus) focus = i;
  }
  model_->edit([&](Entries& entries) { Permute(entries, order); });
  ApplySelection(after, focus);
}

// Deselects the focused entry (entry 0 when asked and none has it), then
// selects, focuses and shows index.
void TVRTQ_LIST::Choose(int index, bool deselectOld) {
  QItemSelectionModel* selection = LV->selectionModel();
  if (deselectOld) {
    const int old = FocusedIndex() >= 0 ? FocusedIndex() : 0;
    selection->select(model_->index(old, 0), QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
  }
  selection->setCurrentIndex(model_->index(index, 0),
                             QItemSelectionModel::Select | QItemSelectionModel::Rows);
  LV->scrollTo(model_->index(index, 0));
}

void TVRTQ_LIST::S_SearchClick() {
  bool ok = false;
  const QString text = QInputDialog::getText(this, QStringLiteral("検索"), QStringLiteral("ファイル名(部分一致)"),
                                             QLineEdit::Normal, lastSearch_, &ok);
  if (!ok) return;
  lastSearch_ = text.toLower();
  SearchStep(true);
}

void TVRTQ_LIST::S_SearchNextClick() { SearchStep(true); }
void TVRTQ_LIST::S_SearchPrevClick() { SearchStep(false); }

void TVRTQ_LIST::SearchStep(bool forward) {
  if (model_->count() == 0) return;
  const int focus = FocusedIndex();
  const int found = forward ? SearchForward(model_->entries(), lastSearch_, focus)
                            : SearchBackward(model_->entries(), lastSearch_, focus);
  if (found < 0) {
    ShowError(this, QStringLiteral("対象が見つかりませんでした"), QStringLiteral("検索"));
    return;
  }
  Choose(found, true);
}

void TVRTQ_LIST::S_PlayPauseClick() {
  const int focus = FocusedIndex();
  if (focus < 0) return;
  emit PlayPauseRequested(model_->at(focus).path());
}

void TVRTQ_LIST::S_StopClick() { emit StopRequested(); }
void TVRTQ_LIST::S_FfClick() { emit FastForwardRequested(); }
void TVRTQ_LIST::S_RewClick() { emit RewindRequested(); }

void TVRTQ_LIST::S_NextClick() {
  const int n = model_->count();
  if (n == 0) return;
  const int index = NextIndex(n, FocusedIndex());
  if (FocusedIndex() < 0) Choose(n - 1, false);
  Choose(index, true);
  emit OpenRequested(model_->at(index).path());
}

void TVRTQ_LIST::S_PrevClick() {
  const int n = model_->count();
  if (n == 0) return;
  const int index = PreviousIndex(n, FocusedIndex());
  if (FocusedIndex() < 0) Choose(0, false);
  Choose(index, true);
  emit OpenRequested(model_->at(index).path());
}

void TVRTQ_LIST::S_RandomClick() {
  const int n = model_->count();
  if (n == 0) return;
  const bool hadFocus = FocusedIndex() >= 0;
  if (hadFocus)
    LV->selectionModel()->select(model_->index(FocusedIndex(), 0),
                                 QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
  const int index = RandomIndex(n, random_);
  Choose(index, false);
  emit OpenRequested(model_->at(index).path());
}

bool TVRTQ_LIST::ContinueAfterEndOfFile() {
  const int n = model_->count();
  if (!isVisible() || !S_ListPlay->isChecked() || n == 0) return false;
  const int focus = FocusedIndex();
  const int index = ContinuationIndex(n, focus, S_RandomPlay->isChecked(), random_);
  if (index < 0) return false;
  Choose(index, focus >= 0);
  const QString path = model_->at(index).path();
  if (!path.isEmpty()) emit OpenRequested(path);
  return !path.isEmpty();
}

void TVRTQ_LIST::LVDblClick() {
  const int focus = FocusedIndex();
  if (focus >= 0) emit OpenRequested(model_->at(focus).path());
}

void TVRTQ_LIST::S_OpenClick() {
  const QStringList paths = QFileDialog::getOpenFileNames(
      this, QStringLiteral("ファイルを開く"), openDir_, QStringLiteral("開けそうなの全部 (*.*) (*)"), nullptr,
      QFileDialog::HideNameFilterDetails);
  if (paths.isEmpty()) return;
  openDir_ = QFileInfo(paths.first()).absolutePath();
  AddBatch(paths);
}

void TVRTQ_LIST::S_OpenFolderClick() {
  const QString folder = QFileDialog::getExistingDirectory(this, QStringLiteral("読み込むフォルダを選択"), folderName_);
  if (folder.isEmpty()) return;
  folderName_ = folder;
  AddFolder(folder);
}

void TVRTQ_LIST::S_SaveClick() { SaveList(false); }
void TVRTQ_LIST::S_SaveSelectedClick() { SaveList(true); }

void TVRTQ_LIST::SaveList(bool selectedOnly) {
  const QStringList filters = {
      QStringLiteral("Vortaq (*.vrtql)"),        QStringLiteral("Media Player Classic (*.pls)"),
      QStringLiteral("DV (*.lst)"),              QStringLiteral("Zoom Player (*.zpl)"),
      QStringLiteral("BSPlayer (*.bsl)"),        QStringLiteral("WinAMP (*.m3u)"),
      QStringLiteral("WinAMP (*.m3u8)")};
  QFileDialog dialog(this, QStringLiteral("名前を付けて保存"), openDir_);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilters(filters);
  dialog.setDefaultSuffix(QStringLiteral("vrtql"));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  const QString path = dialog.selectedFiles().first();
  const int filterIndex = static_cast<int>(filters.indexOf(dialog.selectedNameFilter()));
  openDir_ = QFileInfo(path).absolutePath();
  QString caption;
  const QString error = SaveListAs(path, filterIndex < 0 ? 0 : filterIndex, selectedOnly, &caption);
  if (!error.isEmpty()) ShowError(this, error, caption);
}

QString TVRTQ_LIST::SaveListAs(const QString& path, int filterIndex, bool selectedOnly, QString* caption) {
  const ListFormat* format = ListFormatAt(filterIndex);
  if (!format) format = ListFormatAt(0);
  *caption = QString::fromUtf8(format->writeErrorCaption);
  Entries entries;
  const Selection selection = CurrentSelection();
  for (int i = 0; i < model_->count(); ++i)
    if (!selectedOnly || selection[static_cast<size_t>(i)]) entries.push_back(model_->at(i));
  return WriteList(*format, path, entries);
}

void TVRTQ_LIST::S_CloseClick() { close(); }

void TVRTQ_LIST::S_FontClick() {
  bool ok = false;
  const QFont font = QFontDialog::getFont(&ok, LV->font(), this);
  if (!ok) return;
  LV->setFont(font);
  LV->verticalHeader()->setDefaultSectionSize(QFontMetrics(font).height() + 4);
}

void TVRTQ_LIST::closeEvent(QCloseEvent* event) {
  // Closing only hides: the list lives as long as the program.
  event->ignore();
  hide();
  emit Hidden();
}

void TVRTQ_LIST::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && batch_->busy()) {
    if (Confirm(this, QStringLiteral("現在解析中のファイルを最後に解析を中止します。よろしいですか?")))
      batch_->stop();
    return;
  }
  QMainWindow::keyPressEvent(event);
}

void TVRTQ_LIST::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TVRTQ_LIST::dropEvent(QDropEvent* event) {
  QStringList files;
  for (const QUrl& url : event->mimeData()->urls()) {
    if (!url.isLocalFile()) continue;
    const QString path = url.toLocalFile();
    if (QFileInfo(path).isDir())
      AddFolder(path);
    else
      files << path;
  }
  AddBatch(files);
  event->acceptProposedAction();
}

}  // namespace vortaq::playlist
