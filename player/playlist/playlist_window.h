// TVRTQ_LIST: the playlist window. A table over the analysed entries with the
// tool buttons, the three-panel status bar, the menus and the pop-up menu.
// Playback itself belongs to the main window: the window asks for it through
// signals.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QProgressDialog>
#include <functional>
#include <optional>

#include "platform/file_transfer.h"
#include <random>

#include "ini_file.h"
#include "playlist_model.h"

class QAction;
class QLabel;
class QMenu;
class QTableView;
class QToolButton;

namespace vortaq {
class ProbexBinding;
}

namespace vortaq::playlist {

class AnalysisBatch;
class PlaylistTableModel;
class TransferJob;

class TVRTQ_LIST : public QMainWindow {
  Q_OBJECT

 public:
  explicit TVRTQ_LIST(const ProbexBinding* binding, QWidget* parent = nullptr);
  ~TVRTQ_LIST() override;

  // At creation: the autosave list, the "PlayList" section, the button images
  // under programDir/IMG/, then the stored focus.
  void Load(const IniFile& ini, const QString& autosavePath, const QString& programDir);
  // At exit: SaveList, then WriteSettings.
  void Save(IniFile& ini);
  // Stops a running batch (listing the files being analysed at once) and
  // writes the autosave list, or removes it when the list is empty. False when
  // the write failed.
  bool SaveList();
  // The "PlayList" section from the window's state.
  void WriteSettings(IniFile& ini) const;

  // The only way analysed entries are made; queued behind a running batch.
  void AddBatch(const QStringList& paths);
  void AddFolder(const QString& folder);
  // The main window's automatic extension correction tick.
  void SetCheckExt(bool on);

  // The application title for the details copy's last line (the main
  // window's: the open file's name, else the program's title).
  void SetTitleSource(std::function<QString()> source) { titleSource_ = std::move(source); }

  // The player's side of the file operations: the path of the open file
  // (empty when none) and closing it, before its file is renamed with details
  // or deleted.
  void SetPlayerHooks(std::function<QString()> currentFile, std::function<void()> closeCurrent) {
    currentFile_ = std::move(currentFile);
    closeCurrent_ = std::move(closeCurrent);
  }

  // Writes all entries, or the selected ones, in the format of the save
  // dialog's filter index (0 the own format … 6 ".m3u8"), whatever the name's
  // extension. "" on success, else the message; the caption goes to *caption.
  QString SaveListAs(const QString& path, int filterIndex, bool selectedOnly, QString* caption);
  // Renames the file of row to newName in its folder; never replaces a file.
  // The entry follows; FileRenamed tells the player.
  bool RenameEntry(int row, const QString& newName);
  // Renames the selected entries' files with their details; failures leave the
  // entry as it was.
  void RenameSelectedWithDetails();
  // Sends the selected entries' files to the trash and removes the entries; a
  // file without a trash is deleted for good only when askDelete says yes.
  void DeleteSelectedFiles(const std::function<bool(const QString&)>& askDelete);

  // Copies or moves the selected entries' files into folder; moved entries
  // follow their files, and only those that were moved. Errors are returned
  // one per line.
  QString TransferSelected(bool move, const QString& folder, const TransferHooks& hooks);
  // The same on a worker thread, the window staying usable meanwhile; false
  // when nothing is selected or a transfer is still running. TransferDone
  // comes at the end, after the entries followed their files.
  bool StartTransfer(bool move, const QString& folder);
  bool transferring() const { return job_ != nullptr; }
  // Answers "the target exists" in place of the question box (tests):
  // the answer and whether it holds for the files that follow.
  using CollisionPrompt = std::function<std::pair<Collision, bool>(const QString& target, bool several)>;
  void SetCollisionPrompt(CollisionPrompt prompt) { collisionPrompt_ = std::move(prompt); }
  // The folder chooser's last choice, shared by copy, move and open folder.
  QString FolderName() const { return folderName_; }

  // The text of our own properties dialog: path, size, dates, permissions,
  // then the analysis report.

  // -1 when no entry has the focus.
  int FocusedIndex() const;
  QString PanelText(int panel) const;
  // Idle pass: panel 1 shows the focused entry's number (index + 1) or nothing.
  void UpdateFocusPanel();
  // End of the current file: the next entry by list order or at random, only
  // while the window is shown and list play is ticked. True when one was
  // chosen and its opening asked for.
  bool ContinueAfterEndOfFile();

  PlaylistTableModel* model() const { return model_; }
  AnalysisBatch* batch() const { return batch_; }
  QTableView* view() const { return LV; }

 signals:
  // Open this file for playback.
  void OpenRequested(const QString& path);
  // Play or pause: toggle when path is the player's file, else open it.
  void PlayPauseRequested(const QString& path);
  void StopRequested();
  void RewindRequested();
  void FastForwardRequested();
  // The window was closed (hidden): the main window clears its menu tick.
  void Hidden();
  // A file renamed by the extension correction during a batch, or by hand
  // (F2; the player keeps the file open and only follows its name).
  void FileRenamed(const QString& from, const QString& to);
  // A transfer started by StartTransfer ended; errors one per line.
  void TransferDone(const QString& errors);

 public slots:
  void S_OpenClick();
  void S_OpenFolderClick();
  void S_SaveClick();
  void S_SaveSelectedClick();
  void S_CloseClick();
  void S_UpClick();
  void S_DownClick();
  void S_TopClick();
  void S_BottomClick();
  void S_DeleteClick();
  void S_ClearClick();
  void S_ShuffleClick();
  void S_RecheckClick();
  void S_RecheckAllClick();
  void S_CopyDetailClick();
  void S_SelectAllClick();
  void S_InvertSelectionClick();
  void S_SearchClick();
  void S_SearchNextClick();
  void S_SearchPrevClick();
  void S_PlayPauseClick();
  void S_StopClick();
  void S_FfClick();
  void S_RewClick();
  void S_NextClick();
  void S_PrevClick();
  void S_RandomClick();
  void S_FontClick();
  void S_RenameClick();
  void S_RenameDetailClick();
  void S_FileDeleteClick();
  void S_FileCopyClick();
  void S_PropertyClick();
  void S_FileMoveClick();
  void LVColumnClick(int column);
  void LVDblClick();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  QAction* AddItem(QMenu* menu, QMenu* popup, const char* name, const QString& text,
                   void (TVRTQ_LIST::*slot)(), const QKeySequence& shortcut = {});
  QAction* AddOption(QMenu* menu, const char* name, const QString& text);
  void CreateMenu();
  void CreateToolBar();
  Selection CurrentSelection() const;
  void ApplySelection(const Selection& selection, int focus);
  // Moves rows as the function moves row numbers; the focus follows its entry.
  template <typename Move>
  void MoveRows(Move move, bool focusStart, bool focusEnd);
  void Choose(int index, bool deselectOld);
  void SearchStep(bool forward);
  void SaveList(bool selectedOnly);
  void SetCount(int count);
  std::vector<int> SelectedRowsInOrder() const;
  QString DetailsTail() const;

  const ProbexBinding* binding_;
  PlaylistTableModel* model_ = nullptr;
  AnalysisBatch* batch_ = nullptr;
  QString autosavePath_;
  QString openDir_;
  QString folderName_;
  QString lastSearch_;
  bool ascending_[kColumnCount] = {false, false, false, false};
  std::mt19937 random_;
  std::function<QString()> titleSource_;
  std::function<QString()> currentFile_;
  std::function<void()> closeCurrent_;
  void TransferWithDialogs(bool move);
  // The selected entries' files, in order; for a move the player lets go of them.
  QStringList TransferSources(bool move);
  // Moved entries follow their files, found by path: the list may have
  // changed while the files travelled. Returns the errors, one per line.
  QString ApplyTransfer(const QStringList& sources, const std::vector<TransferResult>& results, bool move);
  void AskCollision(const QString& target, bool several);
  void EndTransfer(const std::vector<TransferResult>& results);
  TransferJob* job_ = nullptr;
  QPointer<QProgressDialog> transferProgress_;
  std::optional<Collision> collisionForAll_;
  CollisionPrompt collisionPrompt_;
  void ShowOwnProperties(int row);
  QString propertiesPath_;  // the report asked for goes to the properties dialog
  // Closes the player's file when it is path.
  void ReleaseFile(const QString& path);
  int recheckAllTotal_ = 0;  // while a full re-check runs

  QTableView* LV = nullptr;
  QLabel* panels_[3] = {nullptr, nullptr, nullptr};
  QMenu* PM_List = nullptr;
  QAction* S_ListPlay = nullptr;
  QAction* S_RandomPlay = nullptr;
  QAction* S_NoSameFile = nullptr;
  QAction* S_DirRecursive = nullptr;
  QToolButton* buttons_[7] = {};
};

}  // namespace vortaq::playlist
