#include "file_ops.h"

#include "local_path.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace vortaq {

bool RenameNoReplace(const QString& from, const QString& to) {
  const QByteArray a = LocalFromPath(from);
  const QByteArray b = LocalFromPath(to);
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
  if (stat(LocalFromPath(path).constData(), &st) != 0) return false;
  return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

int WriteBits(const QString& path) {
  struct stat st;
  if (stat(LocalFromPath(path).constData(), &st) != 0) return -1;
  return static_cast<int>(st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH));
}

bool SetReadOnly(const QString& path, bool readOnly, int writeBits) {
  const QByteArray p = LocalFromPath(path);
  struct stat st;
  if (stat(p.constData(), &st) != 0) return false;
  mode_t mode = st.st_mode & 07777;
  const mode_t bits = static_cast<mode_t>(writeBits) & (S_IWUSR | S_IWGRP | S_IWOTH);
  mode = readOnly ? mode & ~(S_IWUSR | S_IWGRP | S_IWOTH) : mode | (bits ? bits : S_IWUSR);
  return chmod(p.constData(), mode) == 0;
}

bool PathExists(const QString& path) {
  struct stat st;
  return lstat(LocalFromPath(path).constData(), &st) == 0;
}

qint64 RegularFileSize(const QString& path) {
  struct stat st;
  if (stat(LocalFromPath(path).constData(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  return static_cast<qint64>(st.st_size);
}

bool RemoveFile(const QString& path) { return unlink(LocalFromPath(path).constData()) == 0; }

}  // namespace vortaq
