// The settings file's syntax: UTF-16 LE text with a byte-order mark, CRLF
// lines, [Section] headers and Key=Value entries. Section and key names compare
// without regard to case; sections and keys the program does not know survive
// a load and a save untouched.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

namespace vortaq {

class IniFile {
 public:
  // Decodes the whole file as UTF-16 LE; a leading FF FE is skipped.
  static IniFile FromBytes(const QByteArray& bytes);
  // FF FE, then every section as "[Name]", its lines, and a blank line.
  QByteArray ToBytes() const;

  QString ReadString(const QString& section, const QString& key, const QString& def) const;
  // Decimal, or hexadecimal after "0x"/"0X"; anything else gives def.
  int ReadInteger(const QString& section, const QString& key, int def) const;
  // Any number other than 0 is true; non-numeric text gives def.
  bool ReadBool(const QString& section, const QString& key, bool def) const;

  void WriteString(const QString& section, const QString& key, const QString& value);
  void WriteInteger(const QString& section, const QString& key, int value);
  void WriteBool(const QString& section, const QString& key, bool value);

  QStringList Sections() const;
  QStringList Keys(const QString& section) const;

 private:
  struct Line {
    QString key;    // empty for a line that is no entry (comment, junk)
    QString value;  // the whole line when key is empty
  };
  struct Section {
    QString name;
    std::vector<Line> lines;
  };
  const Line* Find(const QString& section, const QString& key) const;
  Section& SectionFor(const QString& name);

  std::vector<Section> sections_;
};

// Reads an integer setting's text; false when it is no number.
bool ParseIniInteger(const QString& text, int* value);

}  // namespace vortaq
