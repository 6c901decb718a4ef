#include "file_transfer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>

#include "file_ops.h"
#include "local_path.h"

namespace vortaq {

namespace {

constexpr qint64 kChunk = 1 << 20;

struct Progress {
  const TransferHooks& hooks;
  qint64 done = 0, total = 0;
  int filesDone = 0, filesTotal = 0;
  bool report() { return !hooks.progress || hooks.progress(done, total, filesDone, filesTotal); }
};

QString ErrnoText(int error) { return QString::fromLocal8Bit(strerror(error)); }

enum class CopyEnd { kDone, kFailed, kCancelled };

// Copies into a temporary file beside target, then gives it target's name:
// either only when the name is free, or replacing it (after the user agreed).
CopyEnd CopyFile(const QString& source, const QString& target, bool replace, Progress& p, QString* error) {
  const QByteArray src = LocalFromPath(source);
  const int in = open(src.constData(), O_RDONLY | O_CLOEXEC);
  if (in < 0) {
    *error = ErrnoText(errno);
    return CopyEnd::kFailed;
  }
  struct stat st;
  fstat(in, &st);
  QByteArray temp = LocalFromPath(QFileInfo(target).absolutePath() + QStringLiteral("/.vortaq-copy-XXXXXX"));
  const int out = mkostemp(temp.data(), O_CLOEXEC);
  if (out < 0) {
    *error = ErrnoText(errno);
    close(in);
    return CopyEnd::kFailed;
  }
  CopyEnd end = CopyEnd::kDone;
  QByteArray buffer(kChunk, Qt::Uninitialized);
  for (;;) {
    const ssize_t got = read(in, buffer.data(), static_cast<size_t>(buffer.size()));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      *error = ErrnoText(errno);
      end = CopyEnd::kFailed;
      break;
    }
    if (got == 0) break;
    ssize_t written = 0;
    while (written < got) {
      const ssize_t w = write(out, buffer.constData() + written, static_cast<size_t>(got - written));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) break;
      written += w;
    }
    if (written != got) {
      *error = ErrnoText(errno ? errno : ENOSPC);
      end = CopyEnd::kFailed;
      break;
    }
    p.done += got;
    if (!p.report()) {
      end = CopyEnd::kCancelled;
      break;
    }
  }
  close(in);
  if (end == CopyEnd::kDone) fchmod(out, st.st_mode & 07777);
  if (end == CopyEnd::kDone && fsync(out) != 0) {
    *error = ErrnoText(errno);
    end = CopyEnd::kFailed;
  }
  if (close(out) != 0 && end == CopyEnd::kDone) {
    *error = ErrnoText(errno);
    end = CopyEnd::kFailed;
  }
  const QString tempPath = PathFromLocal(temp);
  if (end == CopyEnd::kDone) {
    const bool named = replace ? rename(temp.constData(), LocalFromPath(target).constData()) == 0
                               : RenameNoReplace(tempPath, target);
    if (!named) {
      *error = ErrnoText(errno);
      end = CopyEnd::kFailed;
    }
  }
  if (end != CopyEnd::kDone) unlink(temp.constData());
  return end;
}

}  // namespace

std::vector<TransferResult> TransferFiles(const QStringList& sources, const QString& folder, bool move,
                                          const TransferHooks& hooks) {
  std::vector<TransferResult> results(static_cast<size_t>(sources.size()));
  Progress p{hooks};
  p.filesTotal = static_cast<int>(sources.size());
  for (const QString& s : sources) p.total += std::max<qint64>(0, RegularFileSize(s));
  bool cancelled = false;
  for (qsizetype i = 0; i < sources.size(); ++i) {
    TransferResult& r = results[static_cast<size_t>(i)];
    if (cancelled) {
      r.outcome = TransferResult::kCancelled;
      continue;
    }
    const QString source = sources[i];
    const QFileInfo info(source);
    const QString target = folder + (folder.endsWith(QLatin1Char('/')) ? "" : "/") + info.fileName();
    const qint64 size = std::max<qint64>(0, RegularFileSize(source));
    const qint64 before = p.done;
    auto finish = [&](TransferResult::Outcome outcome) {
      r.outcome = outcome;
      p.done = before + size;
      ++p.filesDone;
      if (!p.report()) cancelled = true;
    };
    if (RegularFileSize(source) < 0) {
      r.error = QStringLiteral("%1: ファイルがありません").arg(source);
      finish(TransferResult::kFailed);
      continue;
    }
    if (QFileInfo(target).absoluteFilePath() == info.absoluteFilePath()) {
      r.error = QStringLiteral("%1: 元と先が同じです").arg(source);
      finish(TransferResult::kFailed);
      continue;
    }
    bool replace = false;
    if (PathExists(target)) {
      const Collision c = hooks.collision ? hooks.collision(target, i + 1 < sources.size()) : Collision::kSkip;
      if (c == Collision::kCancel) {
        cancelled = true;
        r.outcome = TransferResult::kCancelled;
        continue;
      }
      if (c == Collision::kSkip) {
        finish(TransferResult::kSkipped);
        continue;
      }
      replace = true;
    }
    if (move) {
      const QByteArray from = LocalFromPath(source), to = LocalFromPath(target);
      const bool renamed = replace ? rename(from.constData(), to.constData()) == 0 : RenameNoReplace(source, target);
      if (renamed) {
        r.target = target;
        finish(TransferResult::kDone);
        continue;
      }
      if (errno != EXDEV) {
        r.error = QStringLiteral("%1: %2").arg(source, ErrnoText(errno));
        finish(TransferResult::kFailed);
        continue;
      }
    }
    QString error;
    const CopyEnd end = CopyFile(source, target, replace, p, &error);
    if (end == CopyEnd::kCancelled) {
      cancelled = true;
      r.outcome = TransferResult::kCancelled;
      continue;
    }
    if (end == CopyEnd::kFailed) {
      r.error = QStringLiteral("%1: %2").arg(source, error);
      finish(TransferResult::kFailed);
      continue;
    }
    // The copy is complete and closed: only now may the source go.
    if (move && !RemoveFile(source)) {
      r.error = QStringLiteral("%1: 移動元を削除できませんでした").arg(source);
      r.target = target;  // copied; the source is still there too
      finish(TransferResult::kFailed);
      continue;
    }
    r.target = target;
    finish(TransferResult::kDone);
  }
  return results;
}

}  // namespace vortaq
