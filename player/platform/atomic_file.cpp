#include "atomic_file.h"

#include <QSaveFile>

namespace vortaq {

bool WriteFileAtomically(const QString& path, const QByteArray& data) {
  QSaveFile file(path);
  // Never write the target in place: a failure there would cut it short.
  file.setDirectWriteFallback(false);
  // Unbuffered: a buffered short write (a full disk) would only show at the
  // commit's flush, which does not fail the commit, and a cut file would
  // replace the good one.
  if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return false;
  if (file.write(data) != data.size()) {
    file.cancelWriting();
    file.commit();
    return false;
  }
  return file.commit();
}

}  // namespace vortaq
