#include "foreign_formats.h"

#include "platform/local_path.h"

#include <QDir>
#include <QFileInfo>
#include <QStringConverter>
#include <QUrl>

#include "own_format.h"
#include "platform/atomic_file.h"

namespace vortaq::playlist {

namespace {

bool StartsWith(QByteArrayView data, const char* bom, qsizetype n) {
  return data.size() >= n && memcmp(data.data(), bom, static_cast<size_t>(n)) == 0;
}

// UTF-16 LE without a byte-order mark shows as a zero in every second byte of
// its first line; anything else is 8-bit text.
bool LooksLikeUtf16Le(QByteArrayView data) {
  const qsizetype n = std::min<qsizetype>(data.size() & ~qsizetype{1}, 512);
  if (n < 2) return false;
  for (qsizetype i = 0; i + 1 < n; i += 2) {
    if (data[i + 1] != 0) return false;
    if (data[i] == '\n') break;
  }
  return true;
}

QString Decode(QByteArrayView data, QStringConverter::Encoding encoding) {
  if (encoding == QStringConverter::Utf16LE || encoding == QStringConverter::Utf16BE)
    data = data.first(data.size() & ~qsizetype{1});
  QStringDecoder decode(encoding, QStringConverter::Flag::Stateless);
  return decode(data);
}

// 8-bit and UTF-8 lists name files by their bytes: a name that is not valid
// UTF-8 is carried as it is, so that it still finds its file.
QString DecodeList(ForeignKind kind, QByteArrayView data) {
  if (StartsWith(data, "\xEF\xBB\xBF", 3)) return PathFromLocal(data.sliced(3).toByteArray());
  if (StartsWith(data, "\xFF\xFE", 2)) return Decode(data.sliced(2), QStringConverter::Utf16LE);
  if (StartsWith(data, "\xFE\xFF", 2)) return Decode(data.sliced(2), QStringConverter::Utf16BE);
  if (kind != ForeignKind::kM3u8 && LooksLikeUtf16Le(data)) return Decode(data, QStringConverter::Utf16LE);
  return PathFromLocal(data.toByteArray());
}

// ".." steps above the root stay at the root, as the system resolves them.
QString FullPath(const QDir& folder, const QString& path) {
  QString full = QDir::cleanPath(folder.absoluteFilePath(path));
  while (full.startsWith(QLatin1String("/../"))) full.remove(0, 3);
  if (full == QLatin1String("/..")) full = QStringLiteral("/");
  return full;
}

// "scheme://" as in "http://", not a file name such as "a://" would rarely be.
bool HasUrlScheme(QStringView text) {
  const qsizetype at = text.indexOf(QLatin1String("://"));
  if (at < 2) return false;
  for (qsizetype i = 0; i < at; ++i) {
    const QChar c = text[i];
    if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != QLatin1Char('+') &&
        c != QLatin1Char('-') && c != QLatin1Char('.'))
      return false;
  }
  return text[0].isLetter();
}

// Empty when the line names nothing: a blank line or a stream address.
QString PathOf(QStringView text, const QDir& folder) {
  text = text.trimmed();
  if (text.isEmpty()) return QString();
  if (HasUrlScheme(text)) {
    const QUrl url(text.toString());
    if (!url.isLocalFile()) return QString();
    const QString local = url.toLocalFile();
    return local.isEmpty() ? QString() : FullPath(folder, local);
  }
  return FullPath(folder, text.toString());
}

// "File" and one or more digits, then "=".
qsizetype PlsValueStart(QStringView line) {
  if (!line.startsWith(QLatin1String("file"), Qt::CaseInsensitive)) return -1;
  qsizetype i = 4;
  while (i < line.size() && line[i].isDigit()) ++i;
  if (i == 4 || i >= line.size() || line[i] != QLatin1Char('=')) return -1;
  return i + 1;
}

QString PathLine(ForeignKind kind, QStringView line, const QDir& folder) {
  switch (kind) {
    case ForeignKind::kPls: {
      const qsizetype at = PlsValueStart(line.trimmed());
      return at < 0 ? QString() : PathOf(line.trimmed().mid(at), folder);
    }
    case ForeignKind::kZpl:
      return line.startsWith(QLatin1String("nm=")) ? PathOf(line.mid(3), folder) : QString();
    case ForeignKind::kM3u:
    case ForeignKind::kM3u8:
      // "#EXTM3U", "#EXTINF" and other comments.
      if (line.trimmed().startsWith(QLatin1Char('#'))) return QString();
      return PathOf(line, folder);
    case ForeignKind::kPlain:
      return PathOf(line, folder);
  }
  return QString();
}

bool HasLineBreak(const QString& text) {
  return text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n'));
}

QString ReadWith(ForeignKind kind, const QString& listFile, ListContents* out) {
  QByteArray bytes;
  if (QString error = ReadListBytes(listFile, &bytes); !error.isEmpty()) return error;
  const QFileInfo self(listFile);
  for (QString& path : ParseForeignList(kind, bytes, self.absolutePath())) {
    // A list naming itself would be read without end.
    if (path == self.absoluteFilePath()) continue;
    out->paths.push_back(std::move(path));
  }
  return QString();
}

QString WriteWith(ForeignKind kind, const QString& listFile, const Entries& entries) {
  if (entries.empty()) return QString();
  if (!WriteFileAtomically(listFile,
                           FormatForeignList(kind, entries, QFileInfo(listFile).absolutePath())))
    return QStringLiteral("%1 に書き込めませんでした").arg(listFile);
  return QString();
}

}  // namespace

QStringList ParseForeignList(ForeignKind kind, const QByteArray& bytes, const QString& folder) {
  const QString text = DecodeList(kind, bytes);
  const QDir dir(folder);
  QStringList paths;
  ForEachLine(text, [&](QStringView line) {
    QString path = PathLine(kind, line, dir);
    if (!path.isEmpty()) paths.push_back(std::move(path));
  });
  return paths;
}

QByteArray FormatForeignList(ForeignKind kind, const Entries& entries, const QString& folder) {
  const QDir dir(folder);
  QString text;
  text.reserve(static_cast<qsizetype>(entries.size()) * 64);
  int number = 0;
  for (const Entry& e : entries) {
    // A path with a line break cannot be kept in a line-based list.
    if (HasLineBreak(e.path())) continue;
    switch (kind) {
      case ForeignKind::kPls:
        text += QStringLiteral("File%1=").arg(++number) + e.path() + QLatin1String("\r\n");
        break;
      case ForeignKind::kZpl:
        text += QLatin1String("nm=") + e.path() + QLatin1String("\r\ndr=0\r\nbr!\r\n");
        break;
      case ForeignKind::kPlain:
        text += e.path() + QLatin1String("\r\n");
        break;
      case ForeignKind::kM3u:
      case ForeignKind::kM3u8:
        text += dir.relativeFilePath(e.path()) + QLatin1String("\r\n");
        break;
    }
  }
  switch (kind) {
    case ForeignKind::kPls:
    case ForeignKind::kZpl: {
      QStringEncoder encode(QStringEncoder::Utf16LE);
      return QByteArray("\xFF\xFE", 2) + QByteArray(encode(text));
    }
    case ForeignKind::kM3u8:
      return QByteArray("\xEF\xBB\xBF", 3) + LocalFromPath(text);
    case ForeignKind::kPlain:
    case ForeignKind::kM3u:
      break;
  }
  return LocalFromPath(text);
}

QString ReadPlsList(const QString& f, ListContents* out) { return ReadWith(ForeignKind::kPls, f, out); }
QString ReadPlainList(const QString& f, ListContents* out) { return ReadWith(ForeignKind::kPlain, f, out); }
QString ReadZplList(const QString& f, ListContents* out) { return ReadWith(ForeignKind::kZpl, f, out); }
QString ReadM3uList(const QString& f, ListContents* out) { return ReadWith(ForeignKind::kM3u, f, out); }
QString ReadM3u8List(const QString& f, ListContents* out) { return ReadWith(ForeignKind::kM3u8, f, out); }

QString WritePlsList(const QString& f, const Entries& e) { return WriteWith(ForeignKind::kPls, f, e); }
QString WritePlainList(const QString& f, const Entries& e) { return WriteWith(ForeignKind::kPlain, f, e); }
QString WriteZplList(const QString& f, const Entries& e) { return WriteWith(ForeignKind::kZpl, f, e); }
QString WriteM3uList(const QString& f, const Entries& e) { return WriteWith(ForeignKind::kM3u, f, e); }
QString WriteM3u8List(const QString& f, const Entries& e) { return WriteWith(ForeignKind::kM3u8, f, e); }

}  // namespace vortaq::playlist
