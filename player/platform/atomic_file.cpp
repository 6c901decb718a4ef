#include "atomic_file.h"

#include <QSaveFile>

namespace vortaq {

bool WriteFileAtomically(const QString& path, const QByteArray& data) {
  QSaveFile file(path);
  // Never write the target in place: a failure there would cut it short.
  file.setDirectWriteFallback(false);
  if (!file.open(QIODevice::WriteOnly)) return false;
  if (file.write(data) != data.size()) {
    file.cancelWriting();
    file.commit();
    return false;
  }
  return file.commit();
}

}  // namespace vortaq
