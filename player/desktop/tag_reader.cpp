#include "tag_reader.h"

#include <QMetaObject>
#include <QRunnable>
#include <QThread>
#include <mutex>

namespace vortaq {

// What a worker needs after the reader may be gone: the lock under which it
// posts, and whether there is still someone to post to.
struct TagReader::Shared {
  std::mutex mutex;
  TagReader* target = nullptr;
};

TagReader::TagReader(std::shared_ptr<const Mp3Infp> tags, QObject* parent)
    : QObject(parent), tags_(std::move(tags)), shared_(std::make_shared<Shared>()) {
  shared_->target = this;
}

TagReader::~TagReader() {
  std::lock_guard lock(shared_->mutex);
  shared_->target = nullptr;
}

void TagReader::Request(const QString& path) {
  const quint64 serial = ++serial_;
  pending_ = true;
  std::shared_ptr<Shared> shared = shared_;
  std::shared_ptr<const Mp3Infp> tags = tags_;
  // One thread per read: a read stuck on a dead mount must not hold up the
  // next file's.
  QThread* thread = QThread::create([shared, tags, serial, path] {
    const TagValues values = tags ? tags->ReadValues(path) : TagValues{};
    std::lock_guard lock(shared->mutex);
    if (TagReader* target = shared->target) {
      QMetaObject::invokeMethod(
          target, [target, serial, path, values] { target->Deliver(serial, path, values); },
          Qt::QueuedConnection);
    }
  });
  connect(thread, &QThread::finished, thread, &QObject::deleteLater);
  thread->start(QThread::LowPriority);
}

void TagReader::Cancel() {
  ++serial_;
  pending_ = false;
}

void TagReader::Deliver(quint64 serial, const QString& path, const TagValues& values) {
  if (serial != serial_) return;
  pending_ = false;
  emit ValuesRead(path, values);
}

}  // namespace vortaq
