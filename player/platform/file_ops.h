// File operations the player needs beyond Qt: a rename that never replaces an
// existing target, and the read-only mark.
#pragma once

#include <QString>

namespace vortaq {

// Renames from to to; fails when to exists (renameat2 RENAME_NOREPLACE, or
// link + unlink on file systems that refuse that flag).
bool RenameNoReplace(const QString& from, const QString& to);

// Read-only means nobody may write the file (no write permission bits).
bool IsReadOnly(const QString& path);
// Removes every write bit, or gives the owner write permission back.
bool SetReadOnly(const QString& path, bool readOnly);

}  // namespace vortaq
