// File names on Linux are bytes, not text. A name that is not valid UTF-8
// still has to reach the engine, the library and the file system unchanged,
// so every byte that does not decode is carried through QString as the lone
// surrogate U+DC80 + (byte - 0x80) and turned back into that byte at the
// edge. The analysis library reads the same convention.
#pragma once

#include <QByteArray>
#include <QString>

namespace vortaq {

// The bytes of a file name as a QString, losslessly.
QString PathFromLocal(const QByteArray& bytes);
// The bytes that PathFromLocal was given back; valid text becomes UTF-8.
QByteArray LocalFromPath(const QString& path);
// For people: carried bytes shown as U+FFFD.
QString DisplayPath(const QString& path);

}  // namespace vortaq
