// Copies or moves files on a thread of its own, so that the window stays
// responsive however large the files are. What needs the user (a target that
// exists) is asked on the GUI thread while the worker waits for the answer.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "platform/file_transfer.h"

namespace vortaq::playlist {

class TransferJob : public QObject {
  Q_OBJECT
 public:
  TransferJob(QStringList sources, QString folder, bool move, QObject* parent = nullptr);
  // Cancels and waits for the worker: the file under way leaves no partial
  // copy, and a moved file whose copy was not complete stays where it was.
  ~TransferJob() override;

  void Start();
  void Cancel();
  // The answer to the last CollisionAsked.
  void Answer(Collision answer);

  const QStringList& sources() const { return sources_; }
  bool move() const { return move_; }

 signals:
  void Progress(qint64 bytesDone, qint64 bytesTotal, int filesDone, int filesTotal);
  void CollisionAsked(const QString& target, bool several);
  // One result per source, in order. The job is done with its worker then.
  void Finished(const std::vector<vortaq::TransferResult>& results);

 private:
  Collision AskAndWait(const QString& target, bool several);

  const QStringList sources_;
  const QString folder_;
  const bool move_;
  std::thread worker_;
  std::atomic<bool> cancelled_{false};
  std::atomic<bool> progressQueued_{false};
  std::mutex mutex_;
  std::condition_variable answered_;
  std::optional<Collision> answer_;
};

}  // namespace vortaq::playlist
