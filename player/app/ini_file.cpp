#include "ini_file.h"

namespace vortaq {

namespace {

bool SameName(const QString& a, const QString& b) {
  return a.compare(b, Qt::CaseInsensitive) == 0;
}

}  // namespace

bool ParseIniInteger(const QString& text, int* value) {
  QString t = text.trimmed();
  bool ok = false;
  qlonglong v = 0;
  if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
    // Hexadecimal settings hold 32-bit patterns such as colours.
    qulonglong u = t.mid(2).toULongLong(&ok, 16);
    if (!ok || u > 0xFFFFFFFFull) return false;
    *value = static_cast<int>(static_cast<quint32>(u));
    return true;
  }
  v = t.toLongLong(&ok, 10);
  if (!ok || v < INT32_MIN || v > INT32_MAX) return false;
  *value = static_cast<int>(v);
  return true;
}

IniFile IniFile::FromBytes(const QByteArray& bytes) {
  IniFile ini;
  qsizetype start = 0;
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xFE)
    start = 2;
  const qsizetype units = (bytes.size() - start) / 2;  // an odd last byte is dropped
  QString text(units, Qt::Uninitialized);
  for (qsizetype i = 0; i < units; ++i) {
    const auto lo = static_cast<unsigned char>(bytes[start + 2 * i]);
    const auto hi = static_cast<unsigned char>(bytes[start + 2 * i + 1]);
    text[i] = QChar(static_cast<char16_t>(lo | (hi << 8)));
  }
  Section* current = nullptr;
  const QStringList lines = text.split(QLatin1Char('\n'));
  for (QString line : lines) {
    if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
    const QString trimmed = line.trimmed();
    if (trimmed.isEmpty()) continue;
    if (trimmed.startsWith(QLatin1Char('[')) && trimmed.endsWith(QLatin1Char(']'))) {
      current = &ini.SectionFor(trimmed.mid(1, trimmed.size() - 2).trimmed());
      continue;
    }
    if (!current) current = &ini.SectionFor(QString());
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq > 0 && !trimmed.startsWith(QLatin1Char(';')))
      current->lines.push_back({line.left(eq).trimmed(), line.mid(eq + 1)});
    else
      current->lines.push_back({QString(), line});
  }
  return ini;
}

QByteArray IniFile::ToBytes() const {
  QString text;
  for (const Section& s : sections_) {
    if (!s.name.isEmpty()) text += QLatin1Char('[') + s.name + QLatin1String("]\r\n");
    for (const Line& l : s.lines)
      text += (l.key.isEmpty() ? l.value : l.key + QLatin1Char('=') + l.value) +
              QLatin1String("\r\n");
    text += QLatin1String("\r\n");
  }
  QByteArray out;
  out.reserve(2 + text.size() * 2);
  out.append('\xFF').append('\xFE');
  for (QChar c : text) {
    out.append(static_cast<char>(c.unicode() & 0xFF));
    out.append(static_cast<char>(c.unicode() >> 8));
  }
  return out;
}

const IniFile::Line* IniFile::Find(const QString& section, const QString& key) const {
  for (const Section& s : sections_) {
    if (!SameName(s.name, section)) continue;
    for (const Line& l : s.lines)
      if (!l.key.isEmpty() && SameName(l.key, key)) return &l;
  }
  return nullptr;
}

IniFile::Section& IniFile::SectionFor(const QString& name) {
  for (Section& s : sections_)
    if (SameName(s.name, name)) return s;
  sections_.push_back({name, {}});
  return sections_.back();
}

QString IniFile::ReadString(const QString& section, const QString& key,
                            const QString& def) const {
  const Line* l = Find(section, key);
  return l ? l->value : def;
}

int IniFile::ReadInteger(const QString& section, const QString& key, int def) const {
  const Line* l = Find(section, key);
  int v = 0;
  return l && ParseIniInteger(l->value, &v) ? v : def;
}

bool IniFile::ReadBool(const QString& section, const QString& key, bool def) const {
  return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void IniFile::WriteString(const QString& section, const QString& key, const QString& value) {
  // A value cannot hold a line break: it would split into a junk line.
  QString clean = value;
  clean.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
  Section& s = SectionFor(section);
  for (Line& l : s.lines) {
    if (!l.key.isEmpty() && SameName(l.key, key)) {
      l.value = clean;
      return;
    }
  }
  s.lines.push_back({key, clean});
}

void IniFile::WriteInteger(const QString& section, const QString& key, int value) {
  WriteString(section, key, QString::number(value));
}

void IniFile::WriteBool(const QString& section, const QString& key, bool value) {
  WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

QStringList IniFile::Sections() const {
  QStringList out;
  for (const Section& s : sections_) out << s.name;
  return out;
}

QStringList IniFile::Keys(const QString& section) const {
  QStringList out;
  for (const Section& s : sections_)
    if (SameName(s.name, section))
      for (const Line& l : s.lines)
        if (!l.key.isEmpty()) out << l.key;
  return out;
}

}  // namespace vortaq
