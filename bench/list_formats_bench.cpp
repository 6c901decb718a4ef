// Writing and reading lists of many entries in every list format, without the
// analysis of the entries. Usage: list_formats_bench [entries] (100000 by default).
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

#include "playlist/list_formats.h"

using namespace vortaq::playlist;

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const int n = argc > 1 ? atoi(argv[1]) : 100000;
  QTemporaryDir dir;
  if (!dir.isValid()) return 1;
  Entries entries;
  entries.reserve(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i)
    entries.emplace_back(dir.filePath(QStringLiteral("music/アルバム %1/track %2.mp3").arg(i / 12).arg(i)),
                         QStringLiteral("MP3 128kbps 44.1kHz Stereo 3:35"), QStringLiteral("3,456,789"));
  for (int i = 0; i < ListFormatCount(); ++i) {
    const ListFormat& f = *ListFormatAt(i);
    const QString path = dir.filePath(QStringLiteral("list%1").arg(QLatin1String(f.extension)));
    QElapsedTimer t;
    t.start();
    const QString error = f.write(path, entries);
    const qint64 writeMs = t.elapsed();
    ListContents contents;
    t.restart();
    const QString readError = f.read(path, &contents);
    const qint64 readMs = t.elapsed();
    const size_t got = contents.entries.size() + static_cast<size_t>(contents.paths.size());
    std::printf("%-6s write %5lld ms  read %5lld ms  %zu entries%s\n", f.extension, static_cast<long long>(writeMs),
                static_cast<long long>(readMs), got,
                error.isEmpty() && readError.isEmpty() && got == entries.size() ? "" : "  FAILED");
  }
  return 0;
}
