#include "detail_rename.h"

#include <QFileInfo>
#include "platform/local_path.h"

namespace vortaq::playlist {

namespace {

QString CleanDetail(QString detail) {
  for (const char c : {'\\', '/', ':', '*', '?', '"', '<', '>', '|'})
    detail.replace(QLatin1Char(c), QLatin1Char('-'));
  // A line break in a file name breaks the line-based lists.
  detail.replace(QLatin1Char('\r'), QLatin1Char(' '));
  detail.replace(QLatin1Char('\n'), QLatin1Char(' '));
  return detail;
}

qsizetype NameBytes(const QString& name) { return LocalFromPath(name).size(); }

}  // namespace

QString DetailRenameTarget(const QString& path, const QString& detail) {
  const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
  const QString folder = path.left(slash + 1);
  const QString name = path.mid(slash + 1);
  if (name.isEmpty()) return QString();
  // A leading dot marks a hidden file, not an extension.
  qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
  if (dot <= 0) dot = name.size();
  const QString stem = name.left(dot), extension = name.mid(dot);
  QString cleaned = CleanDetail(detail);
  auto build = [&](const QString& d) { return stem + QStringLiteral(" [") + d + QLatin1Char(']') + extension; };
  QString result = build(cleaned);
  if (NameBytes(result) > kMaxNameBytes) {
    const qsizetype room = kMaxNameBytes - NameBytes(build(QString()));
    if (room < 0) return QString();
    // Cut whole characters, never half of a surrogate pair.
    qsizetype keep = cleaned.size();
    while (keep > 0 && NameBytes(cleaned.left(keep)) > room) --keep;
    if (keep > 0 && cleaned[keep - 1].isHighSurrogate()) --keep;
    result = build(cleaned.left(keep));
  }
  return folder + result;
}

}  // namespace vortaq::playlist
