#include "single_instance.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QtEndian>

namespace vortaq {

namespace {

QString PrivateFolder() {
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (!runtime.isEmpty() && QFileInfo(runtime).isDir()) return runtime;
  const QString folder = QStringLiteral("/tmp/vortaq-%1").arg(getuid());
  const QByteArray f = QFile::encodeName(folder);
  mkdir(f.constData(), 0700);
  struct stat st;
  // Someone else's folder (or a link to one) must not receive our socket.
  if (lstat(f.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid()) return QString();
  if ((st.st_mode & 077) != 0) chmod(f.constData(), 0700);
  return folder;
}

}  // namespace

QString InstanceSocketPath(const QString& name) {
  const QString folder = PrivateFolder();
  return folder.isEmpty() ? QString() : folder + QLatin1Char('/') + name;
}

QByteArray EncodeHandOver(const QString& path, quint32 tag) {
  QByteArray out(8, '\0');
  qToLittleEndian<quint32>(tag, out.data());
  qToLittleEndian<quint32>(static_cast<quint32>(path.size() * 2), out.data() + 4);
  for (QChar c : path) {
    out.append(static_cast<char>(c.unicode() & 0xFF));
    out.append(static_cast<char>(c.unicode() >> 8));
  }
  return out;
}

HandOverParse DecodeHandOver(const QByteArray& data, quint32* tag, QString* path) {
  if (data.size() < 8) return HandOverParse::kIncomplete;
  *tag = qFromLittleEndian<quint32>(data.constData());
  const quint32 length = qFromLittleEndian<quint32>(data.constData() + 4);
  if (length > kHandOverMaxBytes || length % 2 != 0) return HandOverParse::kInvalid;
  if (static_cast<quint64>(data.size()) < 8ull + length) return HandOverParse::kIncomplete;
  if (static_cast<quint64>(data.size()) > 8ull + length) return HandOverParse::kInvalid;
  QString text(length / 2, Qt::Uninitialized);
  for (quint32 i = 0; i < length / 2; ++i)
    text[i] = QChar(qFromLittleEndian<quint16>(data.constData() + 8 + 2 * i));
  *path = text;
  return HandOverParse::kComplete;
}

bool InstanceRunning(const QString& name) {
  const QString path = InstanceSocketPath(name);
  if (path.isEmpty() || !QFileInfo::exists(path)) return false;
  QLocalSocket socket;
  socket.connectToServer(path);
  if (socket.waitForConnected(2000)) {
    socket.disconnectFromServer();
    return true;
  }
  if (socket.error() == QLocalSocket::ConnectionRefusedError) QFile::remove(path);
  return false;
}

bool SendHandOver(const QString& name, const QString& path, int timeoutMs) {
  const QString socketPath = InstanceSocketPath(name);
  if (socketPath.isEmpty()) return false;
  QLocalSocket socket;
  socket.connectToServer(socketPath);
  if (!socket.waitForConnected(2000)) return false;
  socket.write(EncodeHandOver(path));
  if (!socket.waitForBytesWritten(timeoutMs)) return false;
  // The answer comes once the running instance has opened the file.
  return socket.waitForReadyRead(timeoutMs) && socket.read(1) == "\x01";
}

InstanceServer::InstanceServer(Handler handler, QObject* parent)
    : QObject(parent), handler_(std::move(handler)) {}

InstanceServer::~InstanceServer() { Close(); }

bool InstanceServer::Listen(const QString& name) {
  Close();
  const QString path = InstanceSocketPath(name);
  if (path.isEmpty()) return false;
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  QLocalServer::removeServer(path);
  if (!server_->listen(path)) {
    delete server_;
    server_ = nullptr;
    return false;
  }
  connect(server_, &QLocalServer::newConnection, this, &InstanceServer::Accept);
  return true;
}

void InstanceServer::Close() {
  if (!server_) return;
  server_->close();  // removes the socket file
  delete server_;
  server_ = nullptr;
}

void InstanceServer::Accept() {
  while (QLocalSocket* socket = server_ ? server_->nextPendingConnection() : nullptr) {
    auto buffer = std::make_shared<QByteArray>();
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket, buffer] {
      *buffer += socket->read(8 + kHandOverMaxBytes + 1 - buffer->size());
      quint32 tag = 0;
      QString path;
      switch (DecodeHandOver(*buffer, &tag, &path)) {
        case HandOverParse::kIncomplete:
          return;
        case HandOverParse::kInvalid:
          socket->disconnectFromServer();
          return;
        case HandOverParse::kComplete:
          break;
      }
      buffer->clear();
      if (tag == kHandOverTag && handler_) handler_(path);
      socket->write("\x01", 1);
      socket->flush();
      socket->disconnectFromServer();
    });
  }
}

}  // namespace vortaq
