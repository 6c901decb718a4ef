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

#include "analysis_batch.h"
#include "detail_rename.h"
#include "message_box.h"
#include "platform/file_ops.h"
#include "platform/file_operations.h"
#include "platform/local_path.h"
#include "playlist_table_model.h"
#include "playlist_window.h"
#include "transfer_job.h"

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
      newName == QLatin1String("..") || LocalFromPath(newName).size() > kMaxNameBytes)
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
    bool gone = !PathExists(path) || MoveToTrash(path);
    if (!gone && askDelete(path)) {
      gone = RemoveFile(path);
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

QStringList TVRTQ_LIST::TransferSources(bool move) {
  QStringList sources;
  for (int row : SelectedRowsInOrder()) {
    if (row >= model_->count()) break;
    sources << model_->at(row).path();
    if (move) ReleaseFile(sources.back());
  }
  return sources;
}

QString TVRTQ_LIST::TransferSelected(bool move, const QString& folder, const TransferHooks& hooks) {
  const QStringList sources = TransferSources(move);
  if (sources.isEmpty()) return QString();
  return ApplyTransfer(sources, TransferFiles(sources, folder, move, hooks), move);
}

QString TVRTQ_LIST::ApplyTransfer(const QStringList& sources, const std::vector<TransferResult>& results,
                                  bool move) {
  QStringList errors;
  for (size_t i = 0; i < results.size() && i < static_cast<size_t>(sources.size()); ++i) {
    const TransferResult& r = results[i];
    if (!r.error.isEmpty()) errors << r.error;
    if (!move || r.outcome != TransferResult::kDone) continue;
    const QString& from = sources[static_cast<qsizetype>(i)];
    for (int row = 0; row < model_->count(); ++row) {
      if (model_->at(row).path() != from) continue;
      Entry entry = model_->at(row);
      entry.setPath(r.target);
      model_->replace(row, std::move(entry));
    }
  }
  return errors.join(QLatin1Char('\n'));
}

void TVRTQ_LIST::S_FileCopyClick() { TransferWithDialogs(false); }
void TVRTQ_LIST::S_FileMoveClick() { TransferWithDialogs(true); }

void TVRTQ_LIST::TransferWithDialogs(bool move) {
  if (job_ || SelectedRowsInOrder().empty()) return;
  const QString folder = QFileDialog::getExistingDirectory(
      this, move ? QStringLiteral("移動先のフォルダを選択") : QStringLiteral("コピー先のフォルダを選択"), folderName_);
  if (folder.isEmpty()) return;
  folderName_ = folder;
  StartTransfer(move, folder);
}

bool TVRTQ_LIST::StartTransfer(bool move, const QString& folder) {
  if (job_) return false;
  const QStringList sources = TransferSources(move);
  if (sources.isEmpty()) return false;
  collisionForAll_.reset();
  job_ = new TransferJob(sources, folder, move, this);
  // Not modal: a modal progress box runs events inside each update.
  transferProgress_ = new QProgressDialog(move ? QStringLiteral("移動中...") : QStringLiteral("コピー中..."),
                                          QStringLiteral("キャンセル"), 0, 1000, this);
  transferProgress_->setAttribute(Qt::WA_DeleteOnClose);
  transferProgress_->setMinimumDuration(300);
  transferProgress_->setAutoClose(false);
  transferProgress_->setAutoReset(false);
  connect(transferProgress_, &QProgressDialog::canceled, job_, &TransferJob::Cancel);
  connect(job_, &TransferJob::Progress, this, [this](qint64 done, qint64 total, int filesDone, int filesTotal) {
    if (!transferProgress_) return;
    transferProgress_->setLabelText(QStringLiteral("%1 / %2 MB, %3 / %4 ファイル")
                                        .arg(done / 1048576.0, 0, 'f', 1)
                                        .arg(total / 1048576.0, 0, 'f', 1)
                                        .arg(filesDone)
                                        .arg(filesTotal));
    transferProgress_->setValue(total > 0 ? static_cast<int>(done * 1000 / total) : 0);
  });
  connect(job_, &TransferJob::CollisionAsked, this, &TVRTQ_LIST::AskCollision);
  connect(job_, &TransferJob::Finished, this, &TVRTQ_LIST::EndTransfer);
  job_->Start();
  return true;
}

void TVRTQ_LIST::AskCollision(const QString& target, bool several) {
  if (!job_) return;
  if (collisionForAll_) {
    job_->Answer(*collisionForAll_);
    return;
  }
  const auto answer = [this](Collision c, bool forAll) {
    if (forAll) collisionForAll_ = c;
    if (job_) job_->Answer(c);
  };
  if (collisionPrompt_) {
    const auto [c, forAll] = collisionPrompt_(target, several);
    answer(c, forAll);
    return;
  }
  // Window-modal and opened, not run: the transfer's other events go on.
  auto* box = new QMessageBox(QMessageBox::Question, QStringLiteral("確認"),
                              QStringLiteral("%1\nは既にあります。上書きしますか?").arg(target), QMessageBox::NoButton,
                              this);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::WindowModal);
  QPushButton* overwrite = box->addButton(QStringLiteral("上書き"), QMessageBox::AcceptRole);
  QPushButton* skip = box->addButton(QStringLiteral("スキップ"), QMessageBox::RejectRole);
  box->addButton(QStringLiteral("キャンセル"), QMessageBox::DestructiveRole);
  box->setDefaultButton(skip);
  if (several) box->setCheckBox(new QCheckBox(QStringLiteral("以降のすべてに適用")));
  connect(box, &QMessageBox::finished, this, [box, overwrite, skip, answer, several] {
    const bool forAll = several && box->checkBox() && box->checkBox()->isChecked();
    if (box->clickedButton() == overwrite) answer(Collision::kOverwrite, forAll);
    else if (box->clickedButton() == skip) answer(Collision::kSkip, forAll);
    else answer(Collision::kCancel, forAll);
  });
  box->open();
}

void TVRTQ_LIST::EndTransfer(const std::vector<TransferResult>& results) {
  TransferJob* job = job_;
  if (!job) return;
  job_ = nullptr;
  const bool move = job->move();
  const QString errors = ApplyTransfer(job->sources(), results, move);
  job->deleteLater();
  if (transferProgress_) transferProgress_->close();
  transferProgress_ = nullptr;
  if (!errors.isEmpty())
    ShowErrorLater(this, errors, move ? QStringLiteral("ファイル移動中のエラー") : QStringLiteral("ファイルコピー中のエラー"));
  emit TransferDone(errors);
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
