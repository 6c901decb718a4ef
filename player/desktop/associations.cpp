#include "associations.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>

#include "platform/atomic_file.h"

namespace vortaq {

namespace {

const QByteArray kGroup = QByteArrayLiteral("[Default Applications]");
const QByteArray kOurs = QByteArrayLiteral("vortaq.desktop;");

// The lines of text with their line ends, so that joining them gives the text.
QList<QByteArray> Lines(const QByteArray& text) {
  QList<QByteArray> lines;
  qsizetype at = 0;
  while (at < text.size()) {
    const qsizetype nl = text.indexOf('\n', at);
    const qsizetype end = nl < 0 ? text.size() : nl + 1;
    lines.append(text.mid(at, end - at));
    at = end;
  }
  return lines;
}

QByteArray Content(const QByteArray& line) {
  QByteArray c = line;
  while (c.endsWith('\n') || c.endsWith('\r')) c.chop(1);
  return c;
}

bool IsGroup(const QByteArray& content) {
  const QByteArray t = content.trimmed();
  return t.startsWith('[') && t.endsWith(']');
}

// key of a "key=value" line (spaces around '=' allowed), or "" for others.
QByteArray KeyOf(const QByteArray& content, QByteArray* value = nullptr) {
  const QByteArray t = content.trimmed();
  if (t.isEmpty() || t.startsWith('#') || IsGroup(t)) return {};
  const qsizetype eq = t.indexOf('=');
  if (eq <= 0) return {};
  if (value) *value = t.mid(eq + 1).trimmed();
  return t.left(eq).trimmed();
}

QByteArray LineEnd(const QList<QByteArray>& lines) {
  for (const QByteArray& l : lines)
    if (l.endsWith("\r\n")) return "\r\n";
  return "\n";
}

}  // namespace

namespace {

// The mime type's line of the group, the last one counting, and its value.
std::optional<QByteArray> FindDefault(const QByteArray& list, const QByteArray& mime, QByteArray* value) {
  bool inGroup = false;
  std::optional<QByteArray> found;
  for (const QByteArray& line : Lines(list)) {
    const QByteArray c = Content(line);
    if (IsGroup(c)) {
      inGroup = c.trimmed() == kGroup;
      continue;
    }
    QByteArray v;
    if (inGroup && KeyOf(c, &v) == mime) {
      found = c;
      *value = v;
    }
  }
  return found;
}

}  // namespace

std::optional<QByteArray> DefaultApplication(const QByteArray& list, const QByteArray& mime) {
  QByteArray value;
  if (!FindDefault(list, mime, &value)) return std::nullopt;
  return value;
}

std::optional<QByteArray> DefaultApplicationLine(const QByteArray& list, const QByteArray& mime) {
  QByteArray value;
  return FindDefault(list, mime, &value);
}

QByteArray WithDefaultApplication(const QByteArray& list, const QByteArray& mime,
                                  const std::optional<QByteArray>& value) {
  return WithDefaultApplicationLine(list, mime, value ? std::optional(mime + '=' + *value) : std::nullopt);
}

QByteArray WithDefaultApplicationLine(const QByteArray& list, const QByteArray& mime,
                                      const std::optional<QByteArray>& value) {
  QList<QByteArray> lines = Lines(list);
  const QByteArray eol = LineEnd(lines);
  const QByteArray newLine = value ? *value + eol : QByteArray();
  bool inGroup = false, groupSeen = false, written = false;
  qsizetype groupEnd = -1;  // the index after the group's last key line
  QList<QByteArray> out;
  for (const QByteArray& line : lines) {
    const QByteArray c = Content(line);
    if (IsGroup(c)) {
      if (inGroup && groupEnd < 0) groupEnd = out.size();
      inGroup = c.trimmed() == kGroup;
      if (inGroup) groupSeen = true;
      out.append(line);
      continue;
    }
    if (inGroup && KeyOf(c) == mime) {
      if (value && !written) {
        // Keep this line's own ending.
        out.append(*value + line.mid(c.size()));
        written = true;
      }
      continue;
    }
    out.append(line);
    if (inGroup && !KeyOf(c).isEmpty()) groupEnd = out.size();
  }
  if (value && !written) {
    if (!out.isEmpty() && !out.last().endsWith('\n')) out.last().append(eol);
    if (groupSeen) {
      // After the group's last key; a group with no keys gets it after its header.
      qsizetype at = groupEnd;
      if (at < 0) {
        for (qsizetype i = 0; i < out.size(); ++i)
          if (Content(out[i]).trimmed() == kGroup) at = i + 1;
      }
      out.insert(at, newLine);
    } else {
      if (!out.isEmpty() && !Content(out.last()).trimmed().isEmpty()) out.append(eol);
      out.append(kGroup + eol);
      out.append(newLine);
    }
  }
  return out.join();
}

QList<AssociationRecord> ParseAssociationRecord(const QByteArray& text) {
  QList<AssociationRecord> records;
  for (const QByteArray& line : Lines(text)) {
    const QByteArray c = Content(line);
    const qsizetype tab = c.indexOf('\t');
    if (tab <= 0 || tab + 1 >= c.size()) continue;
    AssociationRecord r;
    r.mime = c.left(tab);
    if (c[tab + 1] == '=') r.previous = c.mid(tab + 2);
    else if (c[tab + 1] != '-') continue;
    records.append(r);
  }
  return records;
}

QByteArray FormatAssociationRecord(const QList<AssociationRecord>& records) {
  QByteArray out;
  for (const AssociationRecord& r : records)
    out += r.mime + '\t' + (r.previous ? '=' + *r.previous : QByteArray("-")) + '\n';
  return out;
}

AssociationPaths AssociationPaths::ForUser(const QString& settingsDir) {
  QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (config.isEmpty() || !QDir::isAbsolutePath(config)) config = QDir::homePath() + "/.config";
  QString data = qEnvironmentVariable("XDG_DATA_HOME");
  if (data.isEmpty() || !QDir::isAbsolutePath(data)) data = QDir::homePath() + "/.local/share";
  return {config + "/mimeapps.list", data + "/applications",
          QDir(settingsDir).filePath(QStringLiteral("vortaq-associations.list"))};
}

QStringList DefaultAssociationExtensions() {
  return {".3gp", ".3gpp", ".3g2", ".aif", ".aiff", ".aifc", ".ape",  ".au",   ".avi", ".flac",
          ".m1v", ".m2v",  ".m2p", ".m4v", ".m4a",  ".mid",  ".midi", ".mkv",  ".mka", ".mov",
          ".mpa", ".mpeg", ".mpg", ".mpga", ".mp1", ".mp2",  ".mp3",  ".mp4",  ".ogg", ".ogm",
          ".qt",  ".rmi",  ".rmp", ".snd", ".tta",  ".vob",  ".wav",  ".wv"};
}

QByteArray MimeTypeOfExtension(const QString& extension) {
  if (extension.size() < 2) return {};
  const QList<QMimeType> types = QMimeDatabase().mimeTypesForFileName("x." + extension.mid(1));
  return types.isEmpty() ? QByteArray() : types.first().name().toUtf8();
}

QByteArray Associations::DesktopEntry(const QList<QByteArray>& mimeTypes) const {
  QByteArray exec = program_.toUtf8();
  // Quoted as the desktop entry rules ask: \ " ` $ escaped inside quotes.
  QByteArray quoted;
  for (char c : exec) {
    if (c == '\\' || c == '"' || c == '`' || c == '$') quoted += "\\\\";
    if (c == '%') quoted += '%';
    quoted += c;
  }
  QByteArray entry =
      "[Desktop Entry]\nType=Application\nName=Vortaq\nGenericName=Media Player\n"
      "GenericName[ja]=メディアプレイヤー\n"
      "Comment=Play media files and show their technical details\nIcon=vortaq\nTerminal=false\n"
      "Categories=AudioVideo;Audio;Video;Player;Qt;\nExec=\"" + quoted + "\" %F\nMimeType=";
  for (const QByteArray& m : mimeTypes) entry += m + ';';
  entry += "\nStartupWMClass=Vortaq\n";
  return entry;
}

bool Associations::Register(const QStringList& extensions) {
  QList<QByteArray> all;
  for (const QString& e : DefaultAssociationExtensions() + extensions) {
    const QByteArray m = MimeTypeOfExtension(e);
    if (!m.isEmpty() && !all.contains(m)) all.append(m);
  }
  QDir().mkpath(paths_.applications);
  if (!WriteFileAtomically(QDir(paths_.applications).filePath(QString::fromLatin1(DesktopFileName())),
                           DesktopEntry(all)))
    return false;

  QFile listFile(paths_.mimeappsList);
  const QByteArray before = listFile.open(QIODevice::ReadOnly) ? listFile.readAll() : QByteArray();
  listFile.close();
  QFile recordFile(paths_.record);
  QList<AssociationRecord> records =
      ParseAssociationRecord(recordFile.open(QIODevice::ReadOnly) ? recordFile.readAll() : QByteArray());
  recordFile.close();

  QByteArray list = before;
  for (const QString& e : extensions) {
    const QByteArray mime = MimeTypeOfExtension(e);
    if (mime.isEmpty()) continue;
    auto it = std::find_if(records.begin(), records.end(), [&](const auto& r) { return r.mime == mime; });
    // Registering again keeps what the first registration saved.
    if (DefaultApplication(list, mime) != kOurs || it == records.end()) {
      if (it != records.end()) records.erase(it);
      records.append({mime, DefaultApplicationLine(list, mime)});
    }
    list = WithDefaultApplication(list, mime, kOurs);
  }
  QDir().mkpath(QFileInfo(paths_.record).path());
  QDir().mkpath(QFileInfo(paths_.mimeappsList).path());
  // The record first: a list written without it could never be restored.
  if (!WriteFileAtomically(paths_.record, FormatAssociationRecord(records))) return false;
  if (list != before && !WriteFileAtomically(paths_.mimeappsList, list)) return false;
  RefreshDatabase();
  return true;
}

bool Associations::Restore(const QStringList& extensions) {
  QFile listFile(paths_.mimeappsList);
  const QByteArray before = listFile.open(QIODevice::ReadOnly) ? listFile.readAll() : QByteArray();
  listFile.close();
  QFile recordFile(paths_.record);
  const bool hadRecord = recordFile.exists();
  QList<AssociationRecord> records =
      ParseAssociationRecord(recordFile.open(QIODevice::ReadOnly) ? recordFile.readAll() : QByteArray());
  recordFile.close();

  QByteArray list = before;
  const qsizetype recordCount = records.size();
  for (const QString& e : extensions) {
    const QByteArray mime = MimeTypeOfExtension(e);
    auto it = std::find_if(records.begin(), records.end(), [&](const auto& r) { return r.mime == mime; });
    if (mime.isEmpty() || it == records.end()) continue;
    if (DefaultApplication(list, mime) == kOurs) list = WithDefaultApplicationLine(list, mime, it->previous);
    records.erase(it);
  }
  // The list first: should the record fail, a second Restore still finds it.
  if (list != before && !WriteFileAtomically(paths_.mimeappsList, list)) return false;
  if (hadRecord && records.size() != recordCount &&
      !WriteFileAtomically(paths_.record, FormatAssociationRecord(records)))
    return false;
  RefreshDatabase();
  return true;
}

void Associations::RefreshDatabase() const {
  const QString tool = QStandardPaths::findExecutable(QStringLiteral("update-desktop-database"));
  if (!tool.isEmpty()) QProcess::startDetached(tool, {paths_.applications});
}

}  // namespace vortaq
