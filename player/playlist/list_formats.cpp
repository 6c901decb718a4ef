#include "list_formats.h"

#include <QDir>
#include <QFile>

#include "foreign_formats.h"
#include "own_format.h"
#include "probex_formats.h"

namespace vortaq::playlist {

namespace {

namespace pf = probex::format;

// In the order of the save dialog's filters.
const ListFormat kFormats[] = {
    {pf::kPlaylistVrtql, ".vrtql", "*.vrtqlの書込時エラー", ReadOwnList, WriteOwnList},
    {pf::kPlaylistPls, ".pls", "*.plsの書込時エラー", ReadPlsList, WritePlsList},
    {pf::kPlaylistLst, ".lst", "*.lst,*.bslの書込時エラー", ReadPlainList, WritePlainList},
    {pf::kPlaylistZpl, ".zpl", "*.zplの書込時エラー", ReadZplList, WriteZplList},
    {pf::kPlaylistBsl, ".bsl", "*.lst,*.bslの書込時エラー", ReadPlainList, WritePlainList},
    {pf::kPlaylistM3u, ".m3u", "*.m3uの書込時エラー", ReadM3uList, WriteM3uList},
    {pf::kPlaylistM3u8, ".m3u8", "*.m3u8の書込時エラー", ReadM3u8List, WriteM3u8List},
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

const ListFormat* ListFormatAt(int index) {
  if (index < 0 || index >= static_cast<int>(std::size(kFormats))) return nullptr;
  return &kFormats[index];
}

int ListFormatCount() { return static_cast<int>(std::size(kFormats)); }

bool IsListFormat(int formatId) {
  return formatId >= probex::format::kPlaylistVrtql && formatId <= probex::format::kPlaylistM3u8;
}

QString WriteList(const ListFormat& format, const QString& listFile, const Entries& entries) {
  if (entries.empty()) return QString();
  return format.write(listFile, entries);
}

QString ReadListBytes(const QString& listFile, QByteArray* bytes) {
  QFile file(listFile);
  if (!file.open(QIODevice::ReadOnly)) return file.errorString();
  if (file.size() > kMaxListFileBytes)
    return QStringLiteral("%1: リストファイルが大きすぎます").arg(listFile);
  *bytes = file.read(kMaxListFileBytes);
  if (bytes->isEmpty() && file.error() != QFileDevice::NoError) return file.errorString();
  return QString();
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
