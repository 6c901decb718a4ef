// The list formats of other players: ".pls", ".lst", ".zpl", ".bsl", ".m3u" and
// ".m3u8". Reading yields paths still to be analysed; writing keeps the
// players' own layouts (CRLF after every line, no header lines).
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "list_formats.h"

namespace vortaq::playlist {

enum class ForeignKind { kPls, kPlain, kZpl, kM3u, kM3u8 };

// The paths a list's bytes name, in order, as full paths; relative ones resolve
// against folder. Empty lines, comments and the header keys of ".pls" add
// nothing; "file://" URLs are accepted.
QStringList ParseForeignList(ForeignKind kind, const QByteArray& bytes, const QString& folder);
QByteArray FormatForeignList(ForeignKind kind, const Entries& entries, const QString& folder);

QString ReadPlsList(const QString& listFile, ListContents* out);
QString ReadPlainList(const QString& listFile, ListContents* out);
QString ReadZplList(const QString& listFile, ListContents* out);
QString ReadM3uList(const QString& listFile, ListContents* out);
QString ReadM3u8List(const QString& listFile, ListContents* out);

QString WritePlsList(const QString& listFile, const Entries& entries);
QString WritePlainList(const QString& listFile, const Entries& entries);
QString WriteZplList(const QString& listFile, const Entries& entries);
QString WriteM3uList(const QString& listFile, const Entries& entries);
QString WriteM3u8List(const QString& listFile, const Entries& entries);

}  // namespace vortaq::playlist
