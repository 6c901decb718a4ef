#include "file_ops.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace vortaq {

bool RenameNoReplace(const QString& from, const QString& to) {
  const QByteArray a = from.toUtf8();
  const QByteArray b = to.toUtf8();
  if (renameat2(AT_FDCWD, a.constData(), AT_FDCWD, b.constData(), RENAME_NOREPLACE) == 0)
    return true;
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return false;
  // link(2) refuses an existing target just as RENAME_NOREPLACE does.
  if (link(a.constData(), b.constData()) != 0) return false;
  if (unlink(a.constData()) != 0) {
    unlink(b.constData());
    return false;
  }
  return true;
}

bool IsReadOnly(const QString& path) {
  struct stat st;
  if (stat(path.toUtf8().constData(), &st) != 0) return false;
  return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

bool SetReadOnly(const QString& path, bool readOnly) {
  const QByteArray p = path.toUtf8();
  struct stat st;
  if (stat(p.constData(), &st) != 0) return false;
  mode_t mode = st.st_mode & 07777;
  mode = readOnly ? mode & ~(S_IWUSR | S_IWGRP | S_IWOTH) : mode | S_IWUSR;
  return chmod(p.constData(), mode) == 0;
}

}  // namespace vortaq
