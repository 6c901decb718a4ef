// Automatic extension correction: gives an analysed file the extension of the
// format that detection found.
#pragma once

#include <QString>

struct MediaInfo;

namespace vortaq {

// ".mkv" for 25 and so on; empty for codes without an extension.
QString ExtensionForFormat(int formatId);

// The path with its extension replaced (or added when the name has none); empty
// when the format has no extension or the result differs only by case.
QString RenameTarget(const QString& path, int formatId);

// Renames the file of info->path to its RenameTarget and stores the new path in
// the record. Nothing happens when the target exists, when either path does not
// fit the record, or when the rename fails.
void AutoRename(MediaInfo* info);

}  // namespace vortaq
