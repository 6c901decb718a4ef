// File associations the freedesktop way: Vortaq made the default application
// of each chosen extension's MIME type in mimeapps.list, with a record of what
// was there before so that Restore gives exactly that back.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace vortaq {

// ---- mimeapps.list as text: every byte we do not change stays as it was ----

// The value of key in [Default Applications], or nullopt when the key is not
// there.
std::optional<QByteArray> DefaultApplication(const QByteArray& list, const QByteArray& mime);
// Sets key=value in [Default Applications] (the group is added at the end when
// missing), or removes the key's line when value is nullopt. Only the key's own
// line changes (every line of it when it appears twice).
QByteArray WithDefaultApplication(const QByteArray& list, const QByteArray& mime,
                                  const std::optional<QByteArray>& value);

// The same with whole lines: the key's line as it stands, and a line put in
// its place (or nullopt to remove it), so that a line given back is byte for
// byte the one taken away.
std::optional<QByteArray> DefaultApplicationLine(const QByteArray& list, const QByteArray& mime);
QByteArray WithDefaultApplicationLine(const QByteArray& list, const QByteArray& mime,
                                      const std::optional<QByteArray>& line);

// ---- our record of the previous defaults ----

struct AssociationRecord {
  QByteArray mime;
  std::optional<QByteArray> previous;  // the key's whole line; nullopt: no key
  bool operator==(const AssociationRecord&) const = default;
};
// One line per MIME type: "mime\t-" (no previous key) or "mime\t=line".
QList<AssociationRecord> ParseAssociationRecord(const QByteArray& text);
QByteArray FormatAssociationRecord(const QList<AssociationRecord>& records);

// ---- the files ----

struct AssociationPaths {
  QString mimeappsList;  // ~/.config/mimeapps.list
  QString applications;  // ~/.local/share/applications
  QString record;        // beside the settings file
  // $XDG_CONFIG_HOME and $XDG_DATA_HOME (or their defaults), and the record
  // in settingsDir.
  static AssociationPaths ForUser(const QString& settingsDir);
};

// The dialog's extension list, in its order.
QStringList DefaultAssociationExtensions();
// The MIME type of an extension text whose first character stands for the
// dot (".mp3" -> audio/mpeg); "" when none is known.
QByteArray MimeTypeOfExtension(const QString& extension);

class Associations {
 public:
  Associations(AssociationPaths paths, QString programPath)
      : paths_(std::move(paths)), program_(std::move(programPath)) {}

  // Writes vortaq.desktop (with the MIME types of all extensions given and of
  // the dialog's list), makes it the default for each extension's MIME type
  // and remembers what it replaced. False when a file could not be written:
  // the files keep their previous content then.
  bool Register(const QStringList& extensions);
  // Gives back the previous default of each extension's MIME type, where the
  // default is still the one Register wrote; a default changed since is left
  // alone. The record forgets the MIME types either way.
  bool Restore(const QStringList& extensions);

  static QByteArray DesktopFileName() { return QByteArrayLiteral("vortaq.desktop"); }
  // The desktop entry written to the applications folder.
  QByteArray DesktopEntry(const QList<QByteArray>& mimeTypes) const;

 private:
  void RefreshDatabase() const;
  AssociationPaths paths_;
  QString program_;
};

}  // namespace vortaq
