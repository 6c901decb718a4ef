// Reads now-playing values off the GUI thread. Only the answer to the latest
// request is delivered: a file closed or replaced before its tags arrive
// announces nothing.
#pragma once

#include <QObject>
#include <QString>
#include <QThreadPool>
#include <memory>

#include "mp3infp.h"

namespace vortaq {

class TagReader : public QObject {
  Q_OBJECT
 public:
  // tags may be unbound; it stays loaded while a read is running.
  explicit TagReader(std::shared_ptr<const Mp3Infp> tags, QObject* parent = nullptr);
  // Returns at once even when a read hangs on a slow file: its answer is
  // dropped and the worker ends on its own.
  ~TagReader() override;

  // Starts reading path; any earlier request is forgotten.
  void Request(const QString& path);
  // Forgets the pending request, if any.
  void Cancel();
  bool pending() const { return pending_; }

 signals:
  void ValuesRead(const QString& path, const vortaq::TagValues& values);

 private:
  struct Shared;
  void Deliver(quint64 serial, const QString& path, const TagValues& values);

  std::shared_ptr<const Mp3Infp> tags_;
  std::shared_ptr<Shared> shared_;
  quint64 serial_ = 0;
  bool pending_ = false;
};

}  // namespace vortaq
