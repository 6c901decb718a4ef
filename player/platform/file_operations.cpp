#include "file_operations.h"

#include "file_ops.h"
#include "local_path.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

namespace vortaq {

namespace {

bool DeviceOf(const QString& path, dev_t* dev) {
  struct stat st;
  if (lstat(LocalFromPath(path).constData(), &st) != 0) return false;
  *dev = st.st_dev;
  return true;
}

// The top folder of the file system path lives on.
QString TopDir(const QString& path, dev_t dev) {
  QString dir = QFileInfo(path).absolutePath();
  while (dir != QLatin1String("/")) {
    const QString parent = QFileInfo(dir).absolutePath();
    dev_t parentDev;
    if (!DeviceOf(parent, &parentDev) || parentDev != dev) break;
    dir = parent;
  }
  return dir;
}

bool MakePrivateDir(const QString& dir) {
  if (QFileInfo(dir).isDir()) return true;
  return mkdir(LocalFromPath(dir).constData(), 0700) == 0 || QFileInfo(dir).isDir();
}

// A trash folder on dev: the home trash when the home is there, else the file
// system's own ($topdir/.Trash-$uid). Empty when there is none.
QString TrashFor(const QString& path, dev_t dev) {
  QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
  if (dataHome.isEmpty() || !QDir::isAbsolutePath(dataHome))
    dataHome = QDir::homePath() + QStringLiteral("/.local/share");
  QDir().mkpath(dataHome);
  dev_t homeDev;
  if (DeviceOf(dataHome, &homeDev) && homeDev == dev) {
    const QString trash = dataHome + QStringLiteral("/Trash");
    if (MakePrivateDir(trash)) return trash;
  }
  const QString top = TopDir(path, dev);
  const QString trash = top + (top.endsWith(QLatin1Char('/')) ? "" : "/") +
                        QStringLiteral(".Trash-%1").arg(getuid());
  dev_t trashDev;
  if (MakePrivateDir(trash) && DeviceOf(trash, &trashDev) && trashDev == dev) return trash;
  return QString();
}

}  // namespace

bool MoveToTrash(const QString& path) {
  const QFileInfo info(path);
  dev_t dev;
  if (!DeviceOf(info.absoluteFilePath(), &dev)) return false;
  const QString trash = TrashFor(info.absoluteFilePath(), dev);
  if (trash.isEmpty()) return false;
  const QString files = trash + QStringLiteral("/files"), infos = trash + QStringLiteral("/info");
  if (!MakePrivateDir(files) || !MakePrivateDir(infos)) return false;
  const QString name = info.fileName();
  const QString stem = info.completeBaseName(), suffix = info.suffix();
  for (int n = 1; n < 10000; ++n) {
    const QString trashed = n == 1 ? name
                            : suffix.isEmpty() ? QStringLiteral("%1.%2").arg(name).arg(n)
                                               : QStringLiteral("%1.%2.%3").arg(stem).arg(n).arg(suffix);
    // The info file is made first and exclusively: it claims the name.
    const QString infoPath = infos + QLatin1Char('/') + trashed + QStringLiteral(".trashinfo");
    const int fd = open(LocalFromPath(infoPath).constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return false;
    }
    const QByteArray text = "[Trash Info]\nPath=" + LocalFromPath(info.absoluteFilePath()).toPercentEncoding("/") +
                            "\nDeletionDate=" +
                            QDateTime::currentDateTime().toString(Qt::ISODate).left(19).toLatin1() + "\n";
    const bool written = write(fd, text.constData(), static_cast<size_t>(text.size())) == text.size();
    const bool closed = close(fd) == 0;
    const QString target = files + QLatin1Char('/') + trashed;
    if (written && closed && !PathExists(target) &&
        rename(LocalFromPath(info.absoluteFilePath()).constData(), LocalFromPath(target).constData()) == 0)
      return true;
    unlink(LocalFromPath(infoPath).constData());
    return false;
  }
  return false;
}

}  // namespace vortaq
