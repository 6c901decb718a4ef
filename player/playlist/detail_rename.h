// Renaming a file so that its name carries its technical summary.
#pragma once

#include <QString>

namespace vortaq::playlist {

// Longest file name in bytes that Linux file systems take.
constexpr int kMaxNameBytes = 255;

// path with " [detail]" before the extension of its file name, or at the end of
// a name without one; the nine characters \ / : * ? " < > | of the detail
// become "-". A name that would pass kMaxNameBytes keeps as much of the detail
// as fits; empty when not even the brackets fit.
QString DetailRenameTarget(const QString& path, const QString& detail);

}  // namespace vortaq::playlist
