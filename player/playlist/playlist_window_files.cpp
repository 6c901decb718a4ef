// The playlist's commands that change files on disk.
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>

#include "detail_rename.h"
#include "message_box.h"
#include "platform/file_ops.h"
#include "platform/file_operations.h"
#include "playlist_table_model.h"
#include "playlist_window.h"

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
