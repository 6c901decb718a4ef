#include "program_dir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#ifndef VORTAQ_DATADIR
#define VORTAQ_DATADIR "/usr/local/share/vortaq"
#endif

namespace vortaq {

QString ExecutableDirectory() {
  QString dir = QCoreApplication::applicationDirPath();
  if (!dir.endsWith(QLatin1Char('/'))) dir += QLatin1Char('/');
  return dir;
}

QString ProgramDirectory() {
  const QString exe = ExecutableDirectory();
  if (QFileInfo::exists(exe + QStringLiteral("FORMAT.INI"))) return exe;
  const QString data = QStringLiteral(VORTAQ_DATADIR "/");
  if (QFileInfo::exists(data + QStringLiteral("FORMAT.INI"))) return data;
  return exe;
}

}  // namespace vortaq
