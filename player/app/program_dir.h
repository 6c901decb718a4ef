// Where the running program finds its side files.
#pragma once

#include <QString>

namespace vortaq {

// The executable's own folder, with a trailing '/'.
QString ExecutableDirectory();
// The folder that holds FORMAT.INI: the executable's folder (build tree,
// portable copy), else the installed data folder; the executable's folder when
// neither has it. Ends with '/'.
QString ProgramDirectory();

}  // namespace vortaq
