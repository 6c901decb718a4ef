// The program's own list format: UTF-16 LE with a byte-order mark, one CRLF
// line per entry holding the path (relative to the list's folder), the detail
// and the size, each in double quotes and joined by commas.
#pragma once

#include <QByteArray>
#include <QString>

#include "list_formats.h"

namespace vortaq::playlist {

QString ReadOwnList(const QString& listFile, ListContents* out);
QString WriteOwnList(const QString& listFile, const Entries& entries);

// The same without the file, for the tests and for callers that hold bytes.
// Relative paths resolve against folder; the current directory is not used.
Entries ParseOwnList(const QByteArray& bytes, const QString& folder);
QByteArray FormatOwnList(const Entries& entries, const QString& folder);

}  // namespace vortaq::playlist
