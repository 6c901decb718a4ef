#include "transfer_job.h"

#include <QMetaObject>

namespace vortaq::playlist {

TransferJob::TransferJob(QStringList sources, QString folder, bool move, QObject* parent)
    : QObject(parent), sources_(std::move(sources)), folder_(std::move(folder)), move_(move) {}

TransferJob::~TransferJob() {
  Cancel();
  if (worker_.joinable()) worker_.join();
}

void TransferJob::Start() {
  if (worker_.joinable()) return;
  worker_ = std::thread([this] {
    TransferHooks hooks;
    hooks.collision = [this](const QString& target, bool several) { return AskAndWait(target, several); };
    hooks.progress = [this](qint64 done, qint64 total, int filesDone, int filesTotal) {
      // One report in flight at a time: a fast copy must not flood the queue.
      if (!progressQueued_.exchange(true)) {
        QMetaObject::invokeMethod(this, [this, done, total, filesDone, filesTotal] {
          progressQueued_ = false;
          emit Progress(done, total, filesDone, filesTotal);
        }, Qt::QueuedConnection);
      }
      return !cancelled_.load();
    };
    std::vector<TransferResult> results = TransferFiles(sources_, folder_, move_, hooks);
    // Posted to this object: dropped if the job is gone by then.
    QMetaObject::invokeMethod(this, [this, results = std::move(results)] { emit Finished(results); },
                              Qt::QueuedConnection);
  });
}

void TransferJob::Cancel() {
  cancelled_ = true;
  std::lock_guard lock(mutex_);
  answered_.notify_all();
}

void TransferJob::Answer(Collision answer) {
  std::lock_guard lock(mutex_);
  answer_ = answer;
  answered_.notify_all();
}

Collision TransferJob::AskAndWait(const QString& target, bool several) {
  {
    std::lock_guard lock(mutex_);
    answer_.reset();
  }
  QMetaObject::invokeMethod(this, [this, target, several] { emit CollisionAsked(target, several); },
                            Qt::QueuedConnection);
  std::unique_lock lock(mutex_);
  answered_.wait(lock, [this] { return answer_.has_value() || cancelled_.load(); });
  return answer_.value_or(Collision::kCancel);
}

}  // namespace vortaq::playlist
