#include "list_formats.h"

#include <QDir>
#include <QFile>

#include "own_format.h"
#include "probex_formats.h"

namespace vortaq::playlist {

namespace {

// The other list formats come as further rows.
const ListFormat kFormats[] = {
    {probex::format::kPlaylistVrtql, ".vrtql", "*.vrtqlの書込時エラー", ReadOwnList, WriteOwnList},
};

}  // namespace

const ListFormat* FindListFormat(int formatId) {
  for (const ListFormat& f : kFormats)
    if (f.formatId == formatId) return &f;
  return nullptr;
}

const ListFormat* FindListFormatByExtension(const QString& extension) {
  for (const ListFormat& f : kFormats)
    if (extension.compare(QLatin1String(f.extension), Qt::CaseInsensitive) == 0) return &f;
  return nullptr;
}

bool IsListFormat(int formatId) {
  return formatId >= probex::format::kPlaylistVrtql && formatId <= probex::format::kPlaylistM3u8;
}

QString WriteList(const ListFormat& format, const QString& listFile, const Entries& entries) {
  if (entries.empty()) return QString();
  return format.write(listFile, entries);
}

bool SaveAutosave(const QString& listFile, const Entries& entries) {
  if (entries.empty()) return !QFile::exists(listFile) || QFile::remove(listFile);
  // On a first run the settings folder may not be there yet.
  QDir().mkpath(QFileInfo(listFile).absolutePath());
  return WriteOwnList(listFile, entries).isEmpty();
}

Entries LoadAutosave(const QString& listFile) {
  ListContents contents;
  if (!QFile::exists(listFile)) return {};
  ReadOwnList(listFile, &contents);
  return std::move(contents.entries);
}

}  // namespace vortaq::playlist
