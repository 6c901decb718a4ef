#include "screen_saver.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace vortaq {

namespace {

const QString kService = QStringLiteral("org.freedesktop.ScreenSaver");
const QString kPath = QStringLiteral("/org/freedesktop/ScreenSaver");

QDBusMessage Call(const QString& method) {
  return QDBusMessage::createMethodCall(kService, kPath, kService, method);
}

}  // namespace

void ScreenSaverInhibitor::Inhibit() {
  if (wanted_) return;
  wanted_ = true;
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return;
  QDBusMessage message = Call(QStringLiteral("Inhibit"));
  message << QStringLiteral("Vortaq") << QStringLiteral("Playing media");
  const quint64 request = ++request_;
  auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(message), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, request](QDBusPendingCallWatcher* w) {
    w->deleteLater();
    QDBusPendingReply<uint> reply = *w;
    if (reply.isError()) return;
    const uint cookie = reply.value();
    if (request == request_ && wanted_) {
      cookie_ = cookie;
      return;
    }
    // Switched off while the answer was on its way.
    QDBusMessage un = Call(QStringLiteral("UnInhibit"));
    un << cookie;
    QDBusConnection::sessionBus().call(un, QDBus::NoBlock);
  });
}

void ScreenSaverInhibitor::Release() {
  wanted_ = false;
  ++request_;
  if (cookie_ == 0) return;
  QDBusMessage un = Call(QStringLiteral("UnInhibit"));
  un << cookie_;
  cookie_ = 0;
  QDBusConnection::sessionBus().call(un, QDBus::Block, 1000);
}

}  // namespace vortaq
