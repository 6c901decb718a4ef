// Removing files the way the desktop does.
#pragma once

#include <QString>

namespace vortaq {

// Moves path to the freedesktop trash of its file system: the home trash when
// the file is on the home's file system, else $topdir/.Trash-$uid. False when
// there is no such trash (or no rights), and the file is then where it was.
bool MoveToTrash(const QString& path);

}  // namespace vortaq
