#include "own_format.h"

#include "platform/atomic_file.h"

#include <QDir>
#include <QFileInfo>
#include <QStringConverter>


namespace vortaq::playlist {

namespace {

const QString kSeparator = QStringLiteral("\",\"");

bool HasLineBreak(const QString& text) {
  return text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n'));
}

// A quote in a detail or size could form the field separator and the line
// would read back split elsewhere; a look-alike keeps the text readable.
QString FieldText(QString text) {
  text.replace(QLatin1Char('\r'), QLatin1Char(' '));
  text.replace(QLatin1Char('\n'), QLatin1Char(' '));
  text.replace(QLatin1Char('"'), QChar(0xFF02));
  return text;
}

// ".." steps above the root stay at the root, as the system resolves them.
QString FullPath(const QDir& folder, const QString& path) {
  QString full = QDir::cleanPath(folder.absoluteFilePath(path));
  while (full.startsWith(QLatin1String("/../"))) full.remove(0, 3);
  if (full == QLatin1String("/..")) full = QStringLiteral("/");
  return full;
}

void ParseLine(QStringView line, const QDir& folder, Entries* out) {
  if (line.startsWith(QLatin1Char('"'))) line = line.mid(1);
  if (line.endsWith(QLatin1Char('"'))) line.chop(1);
  QStringView path = line, detail, size;
  qsizetype at = line.indexOf(kSeparator);
  if (at >= 0) {
    path = line.left(at);
    QStringView rest = line.mid(at + kSeparator.size());
    at = rest.indexOf(kSeparator);
    if (at >= 0) {
      detail = rest.left(at);
      size = rest.mid(at + kSeparator.size());
    } else {
      detail = rest;
    }
  }
  // An empty path would name the list's folder itself.
  if (path.isEmpty()) return;
  out->emplace_back(FullPath(folder, path.toString()), detail.toString(),
                    size.toString());
}

}  // namespace

Entries ParseOwnList(const QByteArray& bytes, const QString& folder) {
  QByteArrayView data(bytes);
  if (data.size() >= 2 && static_cast<uchar>(data[0]) == 0xFF && static_cast<uchar>(data[1]) == 0xFE)
    data = data.sliced(2);
  // Half a code unit at the end (a cut file) is dropped, not decoded.
  data = data.first(data.size() & ~qsizetype{1});
  QStringDecoder decode(QStringDecoder::Utf16LE, QStringConverter::Flag::Stateless);
  const QString text = decode(data);
  const QDir dir(folder);
  Entries entries;
  ForEachLine(text, [&](QStringView line) { ParseLine(line, dir, &entries); });
  return entries;
}

QByteArray FormatOwnList(const Entries& entries, const QString& folder) {
  const QDir dir(folder);
  QString text;
  for (const Entry& e : entries) {
    // A path with a line break cannot be kept in a line-based list.
    // Nor a path holding the separator, which would read back cut.
    if (HasLineBreak(e.path())) continue;
    const QString path = dir.relativeFilePath(e.path());
    if (path.contains(kSeparator)) continue;
    text += QLatin1Char('"') + path + kSeparator +
            FieldText(e.detail()) + kSeparator + FieldText(e.size()) +
            QStringLiteral("\"\r\n");
  }
  QStringEncoder encode(QStringEncoder::Utf16LE);
  QByteArray bytes("\xFF\xFE", 2);
  bytes += encode(text);
  return bytes;
}

QString ReadOwnList(const QString& listFile, ListContents* out) {
  QByteArray bytes;
  if (QString error = ReadListBytes(listFile, &bytes); !error.isEmpty()) return error;
  Entries entries = ParseOwnList(bytes, QFileInfo(listFile).absolutePath());
  out->entries.reserve(out->entries.size() + entries.size());
  for (Entry& e : entries) out->entries.push_back(std::move(e));
  return QString();
}

QString WriteOwnList(const QString& listFile, const Entries& entries) {
  if (entries.empty()) return QString();
  const QString folder = QFileInfo(listFile).absolutePath();
  if (!WriteFileAtomically(listFile, FormatOwnList(entries, folder)))
    return QStringLiteral("%1 に書き込めませんでした").arg(listFile);
  return QString();
}

}  // namespace vortaq::playlist
