#include "now_playing.h"

#include "desktop_texts.h"

namespace vortaq {

QString MsnText(const QString& tag, bool show, const QString& title, const QString& artist) {
  const QString zero = QStringLiteral("\\0");
  return tag + zero + QStringLiteral("Music") + zero + QString::number(show ? 1 : 0) + zero + tag +
         QStringLiteral(": {0} - {1}") + zero + title + zero + artist + zero + zero + zero;
}

CopyData MsnMessage(const QString& tag, bool show, const QString& title, const QString& artist) {
  const QString text = MsnText(tag, show, title, artist);
  CopyData m;
  m.dwData = 1351;
  m.cbData = static_cast<quint32>(2 * (text.size() + 1));
  m.data.reserve(m.cbData);
  for (QChar c : text) {
    m.data.append(static_cast<char>(c.unicode() & 0xFF));
    m.data.append(static_cast<char>(c.unicode() >> 8));
  }
  m.data.append(2, '\0');
  return m;
}

CopyData SkypeCommand(const QByteArray& utf8) {
  CopyData m;
  m.dwData = 0;
  m.cbData = static_cast<quint32>(utf8.size() + 1);
  m.data = utf8;
  m.data.append('\0');
  return m;
}

QByteArray SkypeMoodCommand(const QByteArray& title, const QByteArray& artist) {
  return QByteArrayLiteral("SET PROFILE RICH_MOOD_TEXT <ss type=\"music\"></ss>") + title + " - " + artist;
}

QByteArray SkypeClearCommand() { return QByteArrayLiteral("SET PROFILE RICH_MOOD_TEXT"); }

QString NoMessengers::AttachSkype() { return QString::fromUtf16(texts::kSkypeNotInstalled); }

QString NowPlayingBroadcast::SetSkype(bool on) {
  skype_ = false;
  if (!on) return {};
  const QString error = transport_->AttachSkype();
  skype_ = error.isEmpty();
  return error;
}

void NowPlayingBroadcast::Send(const TagValues& v, bool unicode) {
  if (!tagsBound_) return;
  if (!(unicode ? v.videoFormat : QString::fromUtf8(v.ansiVideoFormat)).isEmpty()) return;
  if (v.title.isEmpty() && v.artist.isEmpty()) return;
  if (v.ansiTitle.isEmpty() && v.ansiArtist.isEmpty()) return;
  if (msn_) transport_->SendMsn(MsnMessage(QStringLiteral("VRTQ"), true, v.title, v.artist));
  if (skype_) transport_->SendSkype(SkypeCommand(SkypeMoodCommand(v.ansiTitle, v.ansiArtist)));
}

void NowPlayingBroadcast::Clear() {
  if (!tagsBound_) return;
  if (msn_) transport_->SendMsn(MsnMessage(QStringLiteral("VRTQ"), false, {}, {}));
  if (skype_) transport_->SendSkype(SkypeCommand(SkypeClearCommand()));
}

std::unique_ptr<QWidget> CreateWatrackWindow() {
  auto window = std::make_unique<QWidget>(nullptr, Qt::Window);
  window->setObjectName(QStringLiteral("TfMain"));
  window->setWindowTitle(QStringLiteral("MusicCubeOne - "));
  window->setFixedSize(196, 33);
  window->winId();  // a native window that exists but is never mapped
  return window;
}

}  // namespace vortaq
