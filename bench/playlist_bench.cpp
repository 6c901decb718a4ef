// Playlist speed and memory: sort and shuffle of 100,000 entries, the memory
// an entry costs beyond its texts, and the batch's rate on 10,000 files from
// the page cache with the playlist window shown, with the longest stall of the event loop.
// Usage: playlist_bench <libprobex.so> <template dir> <sample files...>
#include <malloc.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

#include "probex_binding.h"
#include "playlist/analysis_batch.h"
#include "playlist/playlist_model.h"
#include "playlist/playlist_table_model.h"
#include "playlist/playlist_window.h"

using namespace vortaq;
using namespace vortaq::playlist;

namespace {

size_t HeapInUse() {
  malloc_trim(0);
  return mallinfo2().uordblks;
}

Entries MakeEntries(int n) {
  Entries entries;
  entries.reserve(n);
  std::mt19937 g(1);
  for (int i = 0; i < n; ++i) {
    const uint32_t r = g();
    entries.emplace_back(QStringLiteral("/home/user/Music/Artist %1/Album %2/%3 Track name %4.mp3")
                             .arg(r % 500).arg(r % 37).arg(r % 20).arg(i),
                         QStringLiteral("MP3 128kbps 44100Hz Joint Stereo [%1:%2]").arg(r % 9).arg(r % 60),
                         SizeText(static_cast<qint64>(r) * 3));
  }
  return entries;
}

void Sorts() {
  Entries entries = MakeEntries(100000);
  const char* names[] = {"name", "detail", "size", "path"};
  for (int column = 0; column < kColumnCount; ++column) {
    for (bool ascending : {true, false}) {
      QElapsedTimer t;
      t.start();
      SortByColumn(entries, column, ascending);
      std::printf("sort 100,000 by %-6s %-4s: %6lld ms\n", names[column], ascending ? "asc" : "desc",
                  static_cast<long long>(t.elapsed()));
    }
  }
  std::mt19937 g(42);
  QElapsedTimer t;
  t.start();
  Shuffle(entries, g);
  std::printf("shuffle 100,000            : %6lld ms\n", static_cast<long long>(t.elapsed()));
}

void Memory() {
  constexpr int n = 100000;
  // The texts' own bytes: UTF-16 code units, nothing else.
  size_t textBytes = 0;
  for (const Entry& e : MakeEntries(n))
    textBytes += 2 * static_cast<size_t>(e.path().size() + e.detail().size() + e.size().size());
  const size_t before = HeapInUse();
  auto* model = new PlaylistTableModel;
  model->append(MakeEntries(n));
  const size_t after = HeapInUse();
  std::printf("memory: %zu bytes of texts, %zu in use with the model: %.1f bytes per entry beyond the texts\n",
              textBytes, after - before, static_cast<double>(after - before - textBytes) / n);
  delete model;
}

int Batch(const QString& library, const QString& templates, const QStringList& samples) {
  ProbexBinding binding;
  const QString error = binding.Bind({library}, templates);
  if (!error.isEmpty()) {
    std::fprintf(stderr, "%s\n", qPrintable(error));
    return 1;
  }
  QTemporaryDir dir;
  QStringList paths;
  for (int i = 0; i < 10000; ++i) {
    const QString& sample = samples[i % samples.size()];
    const QString to = dir.filePath(QStringLiteral("%1_%2").arg(i).arg(QFileInfo(sample).fileName()));
    if (!QFile::link(QFileInfo(sample).absoluteFilePath(), to)) QFile::copy(sample, to);
    paths << to;
  }
  // Into the page cache.
  for (const QString& p : samples) {
    QFile f(p);
    if (f.open(QIODevice::ReadOnly)) f.readAll();
  }
  TVRTQ_LIST window(&binding);
  window.show();
  PlaylistTableModel& model = *window.model();
  AnalysisBatch& batch = *window.batch();
  QElapsedTimer t;
  t.start();
  QElapsedTimer gap;
  qint64 longest = 0;
  QTimer tick;
  tick.setInterval(5);
  QObject::connect(&tick, &QTimer::timeout, [&] {
    const qint64 g = gap.restart();
    if (g > 50 && qEnvironmentVariableIsSet("BENCH_GAPS"))
      std::printf("  gap %lld ms at %lld ms, %d rows\n", static_cast<long long>(g),
                  static_cast<long long>(t.elapsed()), model.count());
    longest = std::max(longest, g);
  });
  gap.start();
  tick.start();
  QEventLoop loop;
  QObject::connect(&batch, &AnalysisBatch::busyChanged, [&](bool busy) {
    if (!busy) loop.quit();
  });
  batch.add(paths);
  loop.exec();
  const double seconds = t.elapsed() / 1000.0;
  std::printf("batch: %d files in %.2f s: %.0f files/s; longest event-loop gap %lld ms (%s platform)\n",
              model.count(), seconds, model.count() / seconds, static_cast<long long>(longest),
              qPrintable(QGuiApplication::platformName()));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  Sorts();
  Memory();
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s <libprobex.so> <template dir> <sample files...>\n", argv[0]);
    return 0;
  }
  QStringList samples;
  for (int i = 3; i < argc; ++i) samples << QString::fromLocal8Bit(argv[i]);
  return Batch(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]), samples);
}
