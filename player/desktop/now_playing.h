// The now-playing texts for the messengers: the exact messages as pure
// functions, the rules of when they go out, and the transport they go through.
#pragma once

#include <QByteArray>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>

#include "mp3infp.h"

namespace vortaq {

// What a WM_COPYDATA carries: dwData, cbData and the bytes at lpData (cbData
// of them).
struct CopyData {
  quint32 dwData = 0;
  quint32 cbData = 0;
  QByteArray data;
  bool operator==(const CopyData&) const = default;
};

// The MSN text "tag\0Music\0show\0tag: {0} - {1}\0title\0artist\0\0\0" (each
// \0 being a backslash and a zero), as UTF-16 LE with its terminator.
QString MsnText(const QString& tag, bool show, const QString& title, const QString& artist);
CopyData MsnMessage(const QString& tag, bool show, const QString& title, const QString& artist);
// The Skype command as UTF-8 with its terminating zero byte.
CopyData SkypeCommand(const QByteArray& utf8);
// The mood text naming title and artist (UTF-8, the system's narrow text).
QByteArray SkypeMoodCommand(const QByteArray& title, const QByteArray& artist);
QByteArray SkypeClearCommand();

// Where the messages go. On Linux there is no MSN window and no Skype client.
class MessengerTransport {
 public:
  virtual ~MessengerTransport() = default;
  // To every window of the class MsnMsgrUIManager (none on Linux).
  virtual void SendMsn(const CopyData& message) = 0;
  // To the attached Skype client's API window.
  virtual void SendSkype(const CopyData& message) = 0;
  // "" when attached; else the error text to show (the link stays off).
  virtual QString AttachSkype() = 0;
};

// The Linux transport: nothing to talk to.
class NoMessengers : public MessengerTransport {
 public:
  void SendMsn(const CopyData&) override {}
  void SendSkype(const CopyData&) override {}
  QString AttachSkype() override;
};

// The rules of Send and Clear over a transport.
class NowPlayingBroadcast {
 public:
  explicit NowPlayingBroadcast(MessengerTransport* transport) : transport_(transport) {}
  void SetMsn(bool on) { msn_ = on; }
  // Attaches when on; returns the error text to show ("" when attached or off).
  QString SetSkype(bool on);
  bool msn() const { return msn_; }
  bool skype() const { return skype_; }
  // Whether Open has to announce at all: a link is on.
  bool active() const { return msn_ || skype_; }
  // Without a bound tag plug-in nothing is ever sent or cleared.
  void SetTagsBound(bool bound) { tagsBound_ = bound; }

  // Files with a video stream and files with neither title nor artist are not
  // announced. unicode: the plug-in has its UTF-16 entry points.
  void Send(const TagValues& values, bool unicode);
  void Clear();

 private:
  MessengerTransport* transport_;
  bool msn_ = false;
  bool skype_ = false;
  bool tagsBound_ = false;
};

// The hidden top-level window that makes WATrack see MusicCubeOne: never
// shown, nothing written to it.
std::unique_ptr<QWidget> CreateWatrackWindow();

}  // namespace vortaq
