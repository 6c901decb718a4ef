// File operations the player needs beyond Qt: a rename that never replaces an
// existing target, and the read-only mark.
#pragma once

#include <QString>
#include <QtGlobal>

namespace vortaq {

// Renames from to to; fails when to exists (renameat2 RENAME_NOREPLACE, or
// link + unlink on file systems that refuse that flag).
bool RenameNoReplace(const QString& from, const QString& to);

// Read-only means nobody may write the file (no write permission bits).
bool IsReadOnly(const QString& path);
// The write permission bits of path (0222 at most), or -1 when it cannot be
// read.
int WriteBits(const QString& path);
// Removes every write bit, or gives back writeBits (the owner's alone by
// default).
bool SetReadOnly(const QString& path, bool readOnly, int writeBits = 0200);

// By the name's own bytes, which Qt's file classes lose for names that are
// not UTF-8. PathExists does not follow a final symbolic link.
bool PathExists(const QString& path);
// The size of a regular file (links followed), else -1.
qint64 RegularFileSize(const QString& path);
bool RemoveFile(const QString& path);

}  // namespace vortaq
