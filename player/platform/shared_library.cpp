#include "shared_library.h"

#include <dlfcn.h>

#include <QFileInfo>

#include "local_path.h"

namespace vortaq {

QString SharedLibrary::Open(const QStringList& candidates) {
  Close();
  QString file = candidates.value(0);
  for (const QString& c : candidates) {
    if (QFileInfo::exists(c)) {
      file = c;
      break;
    }
  }
  dlerror();
  handle_ = dlopen(LocalFromPath(file).constData(), RTLD_NOW | RTLD_LOCAL);
  if (handle_) return QString();
  const char* error = dlerror();
  return QString::fromLocal8Bit(error ? error : "?");
}

void SharedLibrary::Close() {
  if (handle_) dlclose(handle_);
  handle_ = nullptr;
}

void* SharedLibrary::Symbol(const char* name) const {
  return handle_ ? dlsym(handle_, name) : nullptr;
}

}  // namespace vortaq
