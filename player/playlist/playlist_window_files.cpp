// The playlist's commands that change files on disk.
#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QDateTime>
#include <QLocale>
#include <QPointer>
#include <QUrl>
#include <optional>

#include "analysis_batch.h"
#include "detail_rename.h"
#include "message_box.h"
#include "platform/file_ops.h"
#include "platform/file_operations.h"
#include "playlist_table_model.h"
#include "playlist_window.h"

#include "platform/file_properties.h"

namespace vortaq::playlist {

void TVRTQ_LIST::ReleaseFile(const QString& path) {
  if (currentFile_ && closeCurrent_ && !path.isEmpty() && currentFile_() == path) closeCurrent_();
}

void TVRTQ_LIST::S_RenameClick() {
  const int row = FocusedIndex();
  if (row < 0 || row >= model_->count()) return;
  const QString oldName = QFileInfo(model_->at(row).path()).fileName();
  bool ok = false;
  const QString answer = QInputDialog::getText(this, QStringLiteral("ファイル名の変更"), QStringLiteral("ファイル名"),
                                               QLineEdit::Normal, oldName, &ok);
  if (!ok || answer == oldName) return;
  if (!RenameEntry(row, answer))
    ShowError(this, QStringLiteral("ファイル名の変更に失敗しました"), QStringLiteral("エラー"));
}

bool TVRTQ_LIST::RenameEntry(int row, const QString& newName) {
  if (row < 0 || row >= model_->count()) return false;
  // A name with a separator would move the file elsewhere; "." and ".." name folders.
  if (newName.isEmpty() || newName.contains(QLatin1Char('/')) || newName == QLatin1String(".") ||
      newName == QLatin1String("..") || newName.toLocal8Bit().size() > kMaxNameBytes)
    return false;
  const QString from = model_->at(row).path();
  const QString to = QFileInfo(from).absolutePath() + QLatin1Char('/') + newName;
  if (!RenameNoReplace(from, to)) return false;
  Entry entry = model_->at(row);
  entry.setPath(to);
  model_->replace(row, std::move(entry));
  emit FileRenamed(from, to);
  return true;
}

void TVRTQ_LIST::S_RenameDetailClick() { RenameSelectedWithDetails(); }

void TVRTQ_LIST::RenameSelectedWithDetails() {
  for (int row : SelectedRowsInOrder()) {
    if (row >= model_->count()) break;
    const Entry& entry = model_->at(row);
    const QString from = entry.path();
    const QString to = DetailRenameTarget(from, entry.detail());
    if (to.isEmpty() || to == from) continue;
    ReleaseFile(from);
    if (!RenameNoReplace(from, to)) continue;
    Entry renamed = entry;
    renamed.setPath(to);
    model_->replace(row, std::move(renamed));
  }
}

void TVRTQ_LIST::S_FileDeleteClick() {
  if (SelectedRowsInOrder().empty()) return;
  QMessageBox box(QMessageBox::Information, QStringLiteral("確認"),
                  QStringLiteral("選択してあるファイルを削除します。宜しいですか?"),
                  QMessageBox::Yes | QMessageBox::No, this);
  box.setDefaultButton(QMessageBox::No);
  if (box.exec() != QMessageBox::Yes) return;
  DeleteSelectedFiles([this](const QString& path) {
    QMessageBox ask(QMessageBox::Warning, QStringLiteral("確認"),
                    QStringLiteral("%1\nはごみ箱に移動できません。完全に削除しますか?").arg(path),
                    QMessageBox::Yes | QMessageBox::No, this);
    ask.setDefaultButton(QMessageBox::No);
    return ask.exec() == QMessageBox::Yes;
  });
}

void TVRTQ_LIST::DeleteSelectedFiles(const std::function<bool(const QString&)>& askDelete) {
  Selection selection = CurrentSelection();
  QStringList failed;
  for (size_t i = 0; i < selection.size() && i < static_cast<size_t>(model_->count()); ++i) {
    if (!selection[i]) continue;
    const QString path = model_->at(static_cast<int>(i)).path();
    ReleaseFile(path);
    bool gone = !QFileInfo(path).exists() || MoveToTrash(path);
    if (!gone && askDelete(path)) {
      gone = QFile::remove(path);
      if (!gone) failed << path;
    }
    // An entry whose file is still there stays in the list.
    if (!gone) selection[i] = 0;
  }
  if (std::find(selection.begin(), selection.end(), 1) != selection.end())
    model_->edit([&](Entries& entries) { RemoveSelected(entries, selection); });
  if (!failed.isEmpty())
    ShowError(this, failed.join(QLatin1Char('\n')) + QStringLiteral("\nを削除できませんでした"),
              QStringLiteral("ファイル削除中のエラー"));
}

}  // namespace vortaq::playlist

namespace vortaq::playlist {

QString TVRTQ_LIST::TransferSelected(bool move, const QString& folder, const TransferHooks& hooks) {
  const std::vector<int> rows = SelectedRowsInOrder();
  QStringList sources;
  for (int row : rows) {
    if (row >= model_->count()) break;
    sources << model_->at(row).path();
    if (move) ReleaseFile(sources.back());
  }
  if (sources.isEmpty()) return QString();
  const std::vector<TransferResult> results = TransferFiles(sources, folder, move, hooks);
  QStringList errors;
  for (size_t i = 0; i < results.size(); ++i) {
    const TransferResult& r = results[i];
    if (!r.error.isEmpty()) errors << r.error;
    if (!move || r.outcome != TransferResult::kDone) continue;
    const int row = rows[i];
    // The list is not edited while the modal transfer runs, but stay safe.
    if (row >= model_->count() || model_->at(row).path() != sources[static_cast<qsizetype>(i)]) continue;
    Entry entry = model_->at(row);
    entry.setPath(r.target);
    model_->replace(row, std::move(entry));
  }
  return errors.join(QLatin1Char('\n'));
}

namespace {

Collision AskCollision(QWidget* owner, const QString& target, bool several, bool* forAll) {
  QMessageBox box(QMessageBox::Question, QStringLiteral("確認"),
                  QStringLiteral("%1\nは既にあります。上書きしますか?").arg(target), QMessageBox::NoButton, owner);
  QPushButton* overwrite = box.addButton(QStringLiteral("上書き"), QMessageBox::AcceptRole);
  QPushButton* skip = box.addButton(QStringLiteral("スキップ"), QMessageBox::RejectRole);
  box.addButton(QStringLiteral("キャンセル"), QMessageBox::DestructiveRole);
  box.setDefaultButton(skip);
  QCheckBox all(QStringLiteral("以降のすべてに適用"));
  if (several) box.setCheckBox(&all);
  box.exec();
  *forAll = several && all.isChecked();
  if (box.clickedButton() == overwrite) return Collision::kOverwrite;
  if (box.clickedButton() == skip) return Collision::kSkip;
  return Collision::kCancel;
}

}  // namespace

void TVRTQ_LIST::S_FileCopyClick() { TransferWithDialogs(false); }
void TVRTQ_LIST::S_FileMoveClick() { TransferWithDialogs(true); }

void TVRTQ_LIST::TransferWithDialogs(bool move) {
  const QString folder = QFileDialog::getExistingDirectory(
      this, move ? QStringLiteral("移動先のフォルダを選択") : QStringLiteral("コピー先のフォルダを選択"), folderName_);
  if (folder.isEmpty()) return;
  folderName_ = folder;
  QProgressDialog progress(move ? QStringLiteral("移動中...") : QStringLiteral("コピー中..."),
                           QStringLiteral("キャンセル"), 0, 1000, this);
  progress.setWindowModality(Qt::WindowModal);
  progress.setMinimumDuration(300);
  std::optional<Collision> always;
  TransferHooks hooks;
  hooks.collision = [&](const QString& target, bool several) {
    if (always) return *always;
    bool forAll = false;
    const Collision c = AskCollision(this, target, several, &forAll);
    if (forAll) always = c;
    return c;
  };
  hooks.progress = [&](qint64 done, qint64 total, int filesDone, int filesTotal) {
    progress.setLabelText(QStringLiteral("%1 / %2 MB, %3 / %4 ファイル")
                              .arg(done / 1048576.0, 0, 'f', 1)
                              .arg(total / 1048576.0, 0, 'f', 1)
                              .arg(filesDone)
                              .arg(filesTotal));
    progress.setValue(total > 0 ? static_cast<int>(done * 1000 / total) : 0);
    return !progress.wasCanceled();
  };
  const QString errors = TransferSelected(move, folder, hooks);
  progress.reset();
  if (!errors.isEmpty())
    ShowError(this, errors, move ? QStringLiteral("ファイル移動中のエラー") : QStringLiteral("ファイルコピー中のエラー"));
}

}  // namespace vortaq::playlist

namespace vortaq::playlist {

void TVRTQ_LIST::S_PropertyClick() {
  int row = FocusedIndex();
  if (row < 0 || row >= model_->count()) {
    const std::vector<int> rows = SelectedRowsInOrder();
    if (rows.empty()) return;
    row = rows.front();
  }
  const QString path = model_->at(row).path();
  // The desktop's file manager shows its own properties; without one on the
  // session bus our window stands in.
  if (!AskFileManager(path)) ShowOwnProperties(row);
}

void TVRTQ_LIST::ShowOwnProperties(int row) {
  if (row < 0 || row >= model_->count()) return;
  propertiesPath_ = model_->at(row).path();
  // The report is made on a worker; detailsReady opens the dialog.
  batch_->report({row});
}

}  // namespace vortaq::playlist
