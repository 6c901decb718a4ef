// The playlist file formats: one row per format, found by the FormatId that
// detection gives a list file or by the extension chosen when saving.
#pragma once

#include <QString>
#include <QStringList>

#include "playlist_model.h"

namespace vortaq::playlist {

// What a list file holds: entries that keep their stored texts (the own
// format), or paths that still have to be analysed (the other formats).
struct ListContents {
  Entries entries;
  QStringList paths;
};

// Both return "" on success, else the message to show.
using ListReader = QString (*)(const QString& listFile, ListContents* out);
using ListWriter = QString (*)(const QString& listFile, const Entries& entries);

struct ListFormat {
  int formatId;
  const char* extension;      // with its dot
  const char* writeErrorCaption;
  ListReader read;
  ListWriter write;
};

// nullptr when no format has the code or the extension (compared without case).
const ListFormat* FindListFormat(int formatId);
const ListFormat* FindListFormatByExtension(const QString& extension);
bool IsListFormat(int formatId);
// The rows in the order of the save dialog's filters; nullptr out of range.
const ListFormat* ListFormatAt(int index);
int ListFormatCount();

// Writes entries with format; with no entries no file is written and an
// existing one stays as it was.
QString WriteList(const ListFormat& format, const QString& listFile, const Entries& entries);

// The list kept between runs: written with the own format, and removed when
// the list is empty so that cleared entries do not come back.
bool SaveAutosave(const QString& listFile, const Entries& entries);
// Entries of the autosave list; none when it is missing or unreadable.
Entries LoadAutosave(const QString& listFile);

// Reading any list file is bounded by this size.
constexpr qint64 kMaxListFileBytes = 256 * 1024 * 1024;

// The whole list file, at most kMaxListFileBytes; "" or the reason it could
// not be read.
QString ReadListBytes(const QString& listFile, QByteArray* bytes);

}  // namespace vortaq::playlist
