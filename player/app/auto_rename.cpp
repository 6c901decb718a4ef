#include "auto_rename.h"

#include <cstring>

#include "platform/file_ops.h"
#include "probex.h"
#include "probex_binding.h"

namespace vortaq {

namespace {

struct FormatExtension {
  int first, last;
  const char* extension;
};

constexpr FormatExtension kExtensions[] = {
    {12, 12, ".avi"},   {13, 13, ".mpg"},   {14, 14, ".dat"},   {15, 15, ".ogm"},
    {16, 16, ".mpg"},   {17, 17, ".ts"},    {18, 18, ".wmv"},   {19, 19, ".rm"},
    {20, 20, ".qt"},    {21, 21, ".mp4"},   {25, 25, ".mkv"},   {26, 26, ".flv"},
    {51, 51, ".bmp"},   {52, 52, ".jpg"},   {53, 53, ".gif"},   {101, 101, ".wav"},
    {102, 102, ".mid"}, {103, 103, ".rmi"}, {104, 104, ".au"},  {105, 105, ".aiff"},
    {106, 106, ".mp3"}, {107, 107, ".cda"}, {108, 108, ".rmp"}, {109, 109, ".ogg"},
    {110, 110, ".spx"}, {112, 112, ".wma"}, {113, 113, ".ac3"}, {114, 114, ".ape"},
    {115, 115, ".mpc"}, {116, 116, ".flac"}, {117, 117, ".aac"}, {118, 118, ".ra"},
    {119, 119, ".tta"}, {120, 123, ".dts"}, {124, 124, ".wv"},  {125, 125, ".ofr"},
    {126, 126, ".vqf"}, {127, 127, ".swa"},
};

}  // namespace

QString ExtensionForFormat(int formatId) {
  for (const FormatExtension& e : kExtensions)
    if (e.first <= formatId && formatId <= e.last) return QString::fromLatin1(e.extension);
  return QString();
}

QString RenameTarget(const QString& path, int formatId) {
  const QString extension = ExtensionForFormat(formatId);
  if (extension.isEmpty()) return QString();
  const qsizetype nameStart = path.lastIndexOf(QLatin1Char('/')) + 1;
  const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
  // A leading dot marks a hidden file, not an extension.
  const QString target =
      (dot > nameStart ? path.left(dot) : path) + extension;
  if (target.toUpper() == path.toUpper()) return QString();
  return target;
}

void AutoRename(MediaInfo* info) {
  const QString path = PathOfRecord(*info);
  const QString target = RenameTarget(path, info->formatId);
  if (target.isEmpty() || !FitsRecord(target)) return;
  if (!RenameNoReplace(path, target)) return;
  StorePath(info, target);
}

}  // namespace vortaq
