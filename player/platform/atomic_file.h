// Whole-file writes that never leave a half-written file behind.
#pragma once

#include <QByteArray>
#include <QString>

namespace vortaq {

// Writes data to a temporary file in path's folder, flushes it to disk and
// renames it over path. On any failure path keeps its previous content and the
// temporary file is removed.
bool WriteFileAtomically(const QString& path, const QByteArray& data);

}  // namespace vortaq
