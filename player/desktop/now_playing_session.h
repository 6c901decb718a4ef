// The now-playing links as the main window drives them: started with the
// settings, told of each opened and closed file, shut down at exit.
#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <memory>

#include "mp3infp.h"
#include "now_playing.h"
#include "tag_reader.h"

namespace vortaq {

// A message to show with the error icon.
struct DesktopMessage {
  QString text, caption;
  bool operator==(const DesktopMessage&) const = default;
};

class NowPlayingSession : public QObject {
  Q_OBJECT
 public:
  explicit NowPlayingSession(std::unique_ptr<MessengerTransport> transport, QObject* parent = nullptr);
  ~NowPlayingSession() override;

  // Creates the WATrack window, switches MSN on, attaches Skype, then binds
  // the tag plug-in when a link is on. Returns the messages to show, in order.
  QList<DesktopMessage> Start(bool watrack, bool msn, bool skype, const QStringList& tagCandidates);
  // A file was opened: clears the old text and reads the new file's tags off
  // the GUI thread; the text goes out when they arrive, unless another file
  // was opened or this one closed meanwhile.
  void Opened(const QString& path);
  // The file was closed: clears the text and drops a read still under way.
  void Closed();
  // Clears the text, switches Skype off, lets the plug-in go and destroys the
  // WATrack window.
  void Shutdown();

  bool active() const { return broadcast_.active(); }
  bool tagsBound() const { return tags_ && tags_->bound(); }
  QWidget* watrackWindow() const { return watrack_.get(); }
  // The file whose tags are awaited ("" when none).
  QString pendingPath() const { return reader_ && reader_->pending() ? pendingPath_ : QString(); }

 signals:
  // The tags of the current file arrived (also when no messenger is on).
  void TagsRead(const QString& path, const vortaq::TagValues& values);

 private:
  void OnValues(const QString& path, const TagValues& values);

  std::unique_ptr<MessengerTransport> transport_;
  NowPlayingBroadcast broadcast_;
  std::shared_ptr<Mp3Infp> tags_;
  std::unique_ptr<TagReader> reader_;
  std::unique_ptr<QWidget> watrack_;
  QString pendingPath_;
};

// Holds back a close that arrives while the start-up sequence still runs (a
// nested wait lets events in): the close runs once start-up has finished.
class StartupCloseGuard {
 public:
  void Begin() { starting_ = true; }
  // True when the close must wait for End().
  bool Defer() {
    if (!starting_) return false;
    deferred_ = true;
    return true;
  }
  // True when a close came meanwhile: run it now.
  bool End() {
    starting_ = false;
    const bool run = deferred_;
    deferred_ = false;
    return run;
  }
  bool starting() const { return starting_; }

 private:
  bool starting_ = false;
  bool deferred_ = false;
};

}  // namespace vortaq
