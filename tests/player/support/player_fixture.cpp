#include "player_fixture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

namespace vortaq::test {

QString Fixture(const QString& name) {
  return QStringLiteral(VORTAQ_PLAYER_FIXTURES) + name;
}

bool WaitFor(const std::function<bool()>& done, int timeoutMs) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(2);
  }
  return true;
}

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray Utf16(const QString& text) {
  QByteArray out("\xFF\xFE", 2);
  for (QChar c : text) out.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
  return out;
}

bool WriteAll(const QString& path, const QByteArray& data) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

}  // namespace vortaq::test
