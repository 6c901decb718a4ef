#include "analysis_batch.h"

#include <sys/resource.h>
#include <unistd.h>

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QSet>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>

#include "list_formats.h"
#include "probex_binding.h"

namespace vortaq::playlist {

namespace {

// How far the workers may run ahead of the rows listed.
constexpr int kAheadPerWorker = 32;
// A drain gives the event loop back after this long.
constexpr auto kDrainBudget = std::chrono::milliseconds(15);

QString FileNameOf(const QString& path) { return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1); }

void ScanInto(const QString& folder, bool recursive, QSet<QString>& seen, QStringList& out) {
  const QString canonical = QFileInfo(folder).canonicalFilePath();
  if (canonical.isEmpty() || seen.contains(canonical)) return;
  seen.insert(canonical);
  const QString prefix = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
  QDirIterator files(folder, QDir::Files | QDir::Hidden | QDir::System);
  while (files.hasNext()) out << prefix + files.nextFileInfo().fileName();
  if (!recursive) return;
  QDirIterator dirs(folder, QDir::Dirs | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
  QStringList subfolders;
  while (dirs.hasNext()) subfolders << prefix + dirs.nextFileInfo().fileName();
  for (const QString& sub : subfolders) ScanInto(sub, recursive, seen, out);
}

}  // namespace

QStringList ScanFolder(const QString& folder, bool recursive) {
  QSet<QString> seen;
  QStringList out;
  ScanInto(folder, recursive, seen, out);
  return out;
}

QString BusyText() { return QStringLiteral("詳細解析中...(ESCで中止)"); }

struct AnalysisBatch::Slot {
  enum Kind { kFile, kFolder, kRecheck, kReport };
  enum State { kWaiting, kSkipped, kQueued, kDone };
  Kind kind = kFile;
  QString path;
  bool recursive = false;
  bool checkExt = false;
  int row = -1;            // where a re-checked entry was when asked for
  bool lastOfGroup = false;
  State state = kWaiting;  // kQueued to kDone under the shared mutex
  // Results.
  bool cancelled = false;  // stopped while its worker ran: only its own row counts
  bool listed = false;
  Entry entry;
  Entries listEntries;  // an own-format list met in the batch
  QStringList paths;    // files that take the slot's place
  QStringList lists;    // the lists that brought this path, outermost first
  QString errorMessage;
  QString report;
};

struct AnalysisBatch::Shared {
  std::mutex mutex;
  std::condition_variable work;
  std::condition_variable idle;
  std::deque<std::shared_ptr<Slot>> jobs;
  AnalysisBatch* owner = nullptr;  // cleared before the owner goes
  const ProbexBinding* binding = nullptr;
  bool quit = false;
  bool drainPosted = false;
  int running = 0;
  int alive = 0;
};

namespace {

// One file from the path to its row; runs on a worker.
template <typename Slot>
void Analyse(const ProbexBinding& binding, Slot& slot) {
  if (slot.kind == Slot::kFolder) {
    slot.paths = ScanFolder(slot.path, slot.recursive);
    return;
  }
  auto info = std::make_unique<MediaInfo>();
  QString path = slot.path;
  bool analysed = false;
  try {
    analysed = binding.Detect(slot.path, slot.checkExt, info.get());
    if (analysed) path = PathOfRecord(*info);
  } catch (const std::exception& e) {
    slot.errorMessage = QStringLiteral("詳細解析中(ファイル種別判定)の例外:\r\n\r\n") + QString::fromLocal8Bit(e.what());
    return;
  }
  if (!analysed) {
    // Longer than the record takes: listed, but the library never saw it.
    slot.listed = slot.kind != Slot::kReport;
    slot.entry = Entry(path, QString(), QString());
    return;
  }
  if (slot.kind == Slot::kRecheck || slot.kind == Slot::kReport) {
    try {
      if (slot.kind == Slot::kReport) {
        slot.report = binding.FullReport(info.get());
        slot.entry = Entry(path, QString(), QString());
      } else {
        const QString detail = binding.OneLine(info.get());
        slot.entry = Entry(path, detail, SizeText(static_cast<qint64>(info->fileSize)));
      }
      slot.listed = true;
    } catch (const std::exception& e) {
      slot.errorMessage = QStringLiteral("詳細解析中(解析,詳細組立)の例外:\r\n\r\n") + QString::fromLocal8Bit(e.what());
    }
    return;
  }
  if (IsListFormat(info->formatId)) {
    // Lists that name each other would be read without end.
    if (slot.lists.contains(path)) return;
    if (const ListFormat* format = FindListFormat(info->formatId)) {
      ListContents contents;
      format->read(path, &contents);
      slot.listEntries = std::move(contents.entries);
      slot.paths = std::move(contents.paths);
    }
    return;
  }
  try {
    const QString detail = binding.OneLine(info.get());
    slot.entry = Entry(path, detail, SizeText(static_cast<qint64>(info->fileSize)));
    slot.listed = info->formatId >= 0 && info->formatId <= 202;
  } catch (const std::exception& e) {
    slot.errorMessage = QStringLiteral("詳細解析中(解析,詳細組立)の例外:\r\n\r\n") + QString::fromLocal8Bit(e.what());
  }
}

}  // namespace

AnalysisBatch::AnalysisBatch(const ProbexBinding* binding, PlaylistTableModel* model,
                             QObject* parent, int workers)
    : QObject(parent), binding_(binding), model_(model),
      workerCount_(workers > 0 ? workers : std::clamp(QThread::idealThreadCount() * 2, 2, 8)),
      shared_(std::make_shared<Shared>()) {
  shared_->owner = this;
  shared_->binding = binding;
}

AnalysisBatch::~AnalysisBatch() {
  bool allGone = true;
  {
    std::unique_lock lock(shared_->mutex);
    shared_->owner = nullptr;
    shared_->quit = true;
    shared_->jobs.clear();
    shared_->work.notify_all();
    // A worker stuck in a file that hangs is left behind rather than waited for;
    // it holds the shared state and never reaches this object.
    allGone = shared_->idle.wait_for(lock, std::chrono::seconds(2), [this] { return shared_->alive == 0; });
  }
  for (std::thread& t : threads_) {
    if (allGone)
      t.join();
    else
      t.detach();
  }
}

void AnalysisBatch::startWorkers() {
  if (!threads_.empty()) return;
  std::shared_ptr<Shared> shared = shared_;
  {
    std::lock_guard lock(shared->mutex);
    shared->alive = workerCount_;
  }
  for (int i = 0; i < workerCount_; ++i) {
    threads_.emplace_back([shared] {
      // Below the GUI thread, so that the window keeps its turn on a busy machine.
      setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 5);
      std::unique_lock lock(shared->mutex);
      for (;;) {
        shared->work.wait(lock, [&] { return shared->quit || !shared->jobs.empty(); });
        if (shared->quit) break;
        std::shared_ptr<Slot> slot = std::move(shared->jobs.front());
        shared->jobs.pop_front();
        ++shared->running;
        lock.unlock();
        Analyse(*shared->binding, *slot);
        lock.lock();
        slot->state = Slot::kDone;
        --shared->running;
        shared->idle.notify_all();
        if (shared->owner && !shared->drainPosted) {
          shared->drainPosted = true;
          AnalysisBatch* owner = shared->owner;
          // Posted under the mutex: the owner clears itself under it before it
          // goes, and its pending calls go with it.
          QMetaObject::invokeMethod(owner, [owner] { owner->drain(); }, Qt::QueuedConnection);
        }
      }
      --shared->alive;
      shared->idle.notify_all();
    });
  }
}

void AnalysisBatch::push(std::shared_ptr<Slot> slot) {
  const bool wasBusy = busy();
  slots_.push_back(std::move(slot));
  if (!wasBusy) {
    done_ = 0;
    emit busyChanged(true);
  }
}

void AnalysisBatch::add(const QStringList& paths) {
  if (paths.isEmpty()) return;
  for (const QString& p : paths) {
    auto slot = std::make_shared<Slot>();
    slot->path = p;
    push(std::move(slot));
  }
  dispatch();
}

void AnalysisBatch::addFolder(const QString& folder, bool recursive) {
  auto slot = std::make_shared<Slot>();
  slot->kind = Slot::kFolder;
  slot->path = folder;
  slot->recursive = recursive;
  push(std::move(slot));
  dispatch();
}

void AnalysisBatch::recheck(const std::vector<int>& rows) {
  if (!model_ || rows.empty()) return;
  for (int row : rows) {
    if (row < 0 || row >= model_->count()) continue;
    auto slot = std::make_shared<Slot>();
    slot->kind = Slot::kRecheck;
    slot->path = model_->at(row).path();
    slot->row = row;
    push(std::move(slot));
  }
  dispatch();
}

void AnalysisBatch::report(const std::vector<int>& rows) {
  if (!model_ || rows.empty()) return;
  std::shared_ptr<Slot> last;
  for (int row : rows) {
    if (row < 0 || row >= model_->count()) continue;
    auto slot = std::make_shared<Slot>();
    slot->kind = Slot::kReport;
    slot->path = model_->at(row).path();
    slot->row = row;
    last = slot;
    push(std::move(slot));
  }
  if (last) last->lastOfGroup = true;
  dispatch();
}

int AnalysisBatch::RowOf(const Slot& slot) const {
  if (!model_) return -1;
  // Rows may have moved since: the hint first, then the path.
  if (slot.row >= 0 && slot.row < model_->count() && model_->at(slot.row).path() == slot.path) return slot.row;
  for (int i = 0; i < model_->count(); ++i)
    if (model_->at(i).path() == slot.path) return i;
  return -1;
}

void AnalysisBatch::dispatch() {
  const size_t ahead = static_cast<size_t>(workerCount_) * kAheadPerWorker;
  std::vector<std::shared_ptr<Slot>> fresh;
  std::vector<std::shared_ptr<Slot>> urgent;  // slots that took a list's place at the head
  bool laterQueued = false;
  for (size_t i = 0; i < slots_.size() && i < ahead; ++i) {
    Slot& slot = *slots_[i];
    if (slot.state != Slot::kWaiting) {
      laterQueued = laterQueued || slot.state == Slot::kQueued;
      continue;
    }
    if (slot.kind == Slot::kFile && noSameFile_ &&
        ((model_ && model_->containsPath(slot.path)) || inFlight_.contains(slot.path))) {
      slot.state = Slot::kSkipped;
      continue;
    }
    slot.checkExt = checkExt_;
    slot.state = Slot::kQueued;
    if (slot.kind == Slot::kFile) ++inFlight_[slot.path];
    (laterQueued ? fresh : urgent).push_back(slots_[i]);
  }
  if (!slots_.empty() && slots_.front()->state == Slot::kSkipped)
    QMetaObject::invokeMethod(this, &AnalysisBatch::drain, Qt::QueuedConnection);
  if (fresh.empty() && urgent.empty()) return;
  startWorkers();
  {
    std::lock_guard lock(shared_->mutex);
    for (auto it = urgent.rbegin(); it != urgent.rend(); ++it) shared_->jobs.push_front(*it);
    for (auto& s : fresh) shared_->jobs.push_back(std::move(s));
  }
  shared_->work.notify_all();
}

void AnalysisBatch::deliver(Slot& slot, Entries& rows) {
  auto flush = [&] {
    if (model_ && !rows.empty()) model_->append(std::move(rows));
    rows.clear();
  };
  if (slot.kind == Slot::kRecheck || slot.kind == Slot::kReport) {
    flush();
    const int row = RowOf(slot);
    const QString newPath = slot.entry.path();
    if (slot.kind == Slot::kReport) {
      const QString name = slot.entry.path().isEmpty() ? FileNameOf(slot.path) : slot.entry.name();
      details_ += QStringLiteral("[%1]\r\n%2\r\n\r\n").arg(name, slot.report);
      if (row >= 0 && slot.listed && newPath != slot.path) {
        Entry renamedEntry = model_->at(row);
        renamedEntry.setPath(newPath);
        model_->replace(row, std::move(renamedEntry));
      }
      if (slot.lastOfGroup) {
        const QString text = details_;
        details_.clear();
        emit detailsReady(text);
      }
    } else if (row >= 0 && slot.listed) {
      model_->replace(row, std::move(slot.entry));
    }
    if (slot.listed && newPath != slot.path) emit renamed(slot.path, newPath);
    return;
  }
  if (!slot.cancelled && !slot.paths.isEmpty()) {
    // The files of a folder or a list go where it stood, before what follows.
    for (qsizetype i = slot.paths.size(); i-- > 0;) {
      auto inner = std::make_shared<Slot>();
      inner->path = slot.paths[i];
      inner->lists = slot.lists;
      inner->lists.push_back(slot.path);
      slots_.push_front(std::move(inner));
    }
  }
  if (!slot.listEntries.empty()) {
    flush();
    if (model_) model_->append(std::move(slot.listEntries));
  }
  if (!slot.listed) return;
  // A list met earlier may have brought this path since it was handed out.
  if (noSameFile_ && slot.entry.path() == slot.path && model_ && model_->containsPath(slot.path))
    return;
  if (slot.entry.path() != slot.path) emit renamed(slot.path, slot.entry.path());
  rows.push_back(std::move(slot.entry));
}

void AnalysisBatch::drain() {
  {
    std::lock_guard lock(shared_->mutex);
    shared_->drainPosted = false;
  }
  // A call posted before the queue ended has nothing left to do.
  if (slots_.empty()) return;
  const auto start = std::chrono::steady_clock::now();
  Entries rows;
  QString errorCaption, errorMessage;
  while (!slots_.empty()) {
    Slot::State state;
    {
      std::lock_guard lock(shared_->mutex);
      state = slots_.front()->state;
    }
    if (state == Slot::kWaiting || state == Slot::kQueued) break;
    std::shared_ptr<Slot> slot = std::move(slots_.front());
    slots_.pop_front();
    if (state == Slot::kSkipped) continue;
    if (slot->kind == Slot::kFile) {
      auto it = inFlight_.find(slot->path);
      if (it != inFlight_.end() && --it.value() <= 0) inFlight_.erase(it);
    }
    if (slot->kind != Slot::kFolder) ++done_;
    if (!slot->errorMessage.isEmpty()) {
      errorCaption = FileNameOf(slot->path);
      errorMessage = slot->errorMessage;
      break;
    }
    deliver(*slot, rows);
    if (std::chrono::steady_clock::now() - start > kDrainBudget) break;
  }
  if (model_ && !rows.empty()) model_->append(std::move(rows));
  if (!errorMessage.isEmpty()) {
    stop();
    emit analysisError(errorCaption, errorMessage);
  }
  if (slots_.empty()) {
    endQueue();
    return;
  }
  emit progress(done_, pending());
  dispatch();
  bool ready = false;
  {
    std::lock_guard lock(shared_->mutex);
    const Slot::State state = slots_.front()->state;
    ready = state == Slot::kDone || state == Slot::kSkipped;
    if (ready) {
      if (shared_->drainPosted) ready = false;
      shared_->drainPosted = true;
    }
  }
  if (ready) QMetaObject::invokeMethod(this, &AnalysisBatch::drain, Qt::QueuedConnection);
}

void AnalysisBatch::endQueue() {
  if (!slots_.empty()) return;
  inFlight_.clear();
  details_.clear();
  emit progress(done_, 0);
  done_ = 0;
  emit busyChanged(false);
}

void AnalysisBatch::stop() {
  if (slots_.empty()) return;
  QSet<const Slot*> unstarted;
  {
    std::lock_guard lock(shared_->mutex);
    for (const auto& job : shared_->jobs) unstarted.insert(job.get());
    shared_->jobs.clear();
    std::deque<std::shared_ptr<Slot>> kept;
    for (auto& slot : slots_) {
      slot->cancelled = true;
      // Only files a worker has begun (or finished) are still listed.
      if ((slot->state == Slot::kQueued && !unstarted.contains(slot.get())) || slot->state == Slot::kDone)
        kept.push_back(std::move(slot));
    }
    slots_ = std::move(kept);
  }
  inFlight_.clear();
  for (const auto& slot : slots_)
    if (slot->kind == Slot::kFile) ++inFlight_[slot->path];
  if (slots_.empty())
    endQueue();
  else
    QMetaObject::invokeMethod(this, &AnalysisBatch::drain, Qt::QueuedConnection);
}

void AnalysisBatch::shutdown(int timeoutMs) {
  stop();
  {
    std::unique_lock lock(shared_->mutex);
    shared_->idle.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [this] { return shared_->running == 0; });
  }
  // Lists what is done; a file that still hangs is given up.
  for (;;) {
    const int before = pending();
    drain();
    if (!busy() || pending() == before) break;
  }
  if (busy()) {
    slots_.clear();
    endQueue();
  }
}

}  // namespace vortaq::playlist
