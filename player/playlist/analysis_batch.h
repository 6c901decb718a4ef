// Turns paths into analysed playlist entries. Detection, the extension
// correction, the analysis and the summary run on worker threads, so one slow
// file (a hung network mount, a file being written) never stops the window;
// the rows are appended on the GUI thread in exactly the order the paths were
// given. Batches added while one runs are queued behind it.
#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <deque>
#include <memory>
#include <thread>
#include <vector>

#include "playlist_table_model.h"

namespace vortaq {
class ProbexBinding;
}

namespace vortaq::playlist {

// The files of folder in the order the file system gives them, then, when
// recursive, those of each subfolder the same way; hidden files included.
// A folder reached twice through links is scanned once.
QStringList ScanFolder(const QString& folder, bool recursive);

// Panel text while a batch runs.
QString BusyText();

class AnalysisBatch : public QObject {
  Q_OBJECT

 public:
  // binding must outlive the batch; workers is the thread count (0: chosen
  // from the machine).
  AnalysisBatch(const ProbexBinding* binding, PlaylistTableModel* model, QObject* parent = nullptr,
                int workers = 0);
  // Stops the batch; never waits long for a file that hangs.
  ~AnalysisBatch() override;

  // The ticks read when a path's turn comes.
  void setCheckExt(bool on) { checkExt_ = on; }
  void setNoSameFile(bool on) { noSameFile_ = on; }

  // Appends paths behind everything queued. A path may name a folder only
  // through addFolder.
  void add(const QStringList& paths);
  // The folder's files (scanned on a worker) take its place in the queue.
  void addFolder(const QString& folder, bool recursive);

  // Analyses the entries of rows again, behind everything queued: their texts
  // (and, after an extension correction, their paths) are replaced.
  void recheck(const std::vector<int>& rows);
  // The full report of each entry of rows, for the details copy; an extension
  // correction renames the entry. detailsReady brings the whole text.
  void report(const std::vector<int>& rows);

  // Esc: files being analysed are finished and listed, nothing after them.
  void stop();
  // Close: stop, wait up to timeoutMs for the files being analysed, and list
  // what is done at once, without running the event loop.
  void shutdown(int timeoutMs = 2000);

  bool busy() const { return !slots_.empty(); }
  int pending() const { return static_cast<int>(slots_.size()); }

 signals:
  void busyChanged(bool busy);
  // After each group of rows: how many paths of the queue are done and left.
  void progress(int done, int left);
  // A file renamed by the extension correction, listed under its new path.
  void renamed(const QString& from, const QString& to);
  // "[name]\r\nreport\r\n\r\n" for each entry of one report() call.
  void detailsReady(const QString& text);
  // An analysis failed: the queue has ended, the entries made so far stay.
  void analysisError(const QString& caption, const QString& message);

 private:
  struct Slot;
  struct Shared;

  void push(std::shared_ptr<Slot> slot);
  void dispatch();
  void drain();
  void deliver(Slot& slot, Entries& rows);
  void startWorkers();
  void endQueue();
  int RowOf(const Slot& slot) const;

  const ProbexBinding* binding_;
  QPointer<PlaylistTableModel> model_;
  int workerCount_;
  bool checkExt_ = false;
  bool noSameFile_ = false;
  int done_ = 0;
  std::deque<std::shared_ptr<Slot>> slots_;
  QHash<QString, int> inFlight_;
  QString details_;  // reports gathered for the running report() call  // given paths handed to workers, not yet listed
  std::shared_ptr<Shared> shared_;
  std::vector<std::thread> threads_;
};

}  // namespace vortaq::playlist
