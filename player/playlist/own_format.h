// The program's own list format: UTF-16 LE with a byte-order mark, one CRLF
// line per entry holding the path (relative to the list's folder), the detail
// and the size, each in double quotes and joined by commas.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

#include "list_formats.h"

namespace vortaq::playlist {

// Calls f with every line of text that is not empty; CR, LF and CRLF all end
// a line.
template <typename F>
void ForEachLine(QStringView text, F f) {
  qsizetype start = 0;
  const qsizetype n = text.size();
  while (start < n) {
    qsizetype end = start;
    while (end < n && text[end] != QLatin1Char('\r') && text[end] != QLatin1Char('\n')) ++end;
    if (end > start) f(text.sliced(start, end - start));
    start = end;
    if (start < n && text[start] == QLatin1Char('\r')) ++start;
    if (start < n && text[start] == QLatin1Char('\n')) ++start;
  }
}

QString ReadOwnList(const QString& listFile, ListContents* out);
QString WriteOwnList(const QString& listFile, const Entries& entries);

// The same without the file, for the tests and for callers that hold bytes.
// Relative paths resolve against folder; the current directory is not used.
Entries ParseOwnList(const QByteArray& bytes, const QString& folder);
QByteArray FormatOwnList(const Entries& entries, const QString& folder);

}  // namespace vortaq::playlist
