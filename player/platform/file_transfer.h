// Copying and moving files into a folder without ever replacing a file
// silently or leaving half a file behind.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace vortaq {

enum class Collision { kOverwrite, kSkip, kCancel };

struct TransferHooks {
  // Asked when the target exists; several is true while more files follow.
  std::function<Collision(const QString& target, bool several)> collision;
  // Bytes and files done so far; false cancels (the file being copied leaves
  // no partial copy, a moved file stays where it was).
  std::function<bool(qint64 bytesDone, qint64 bytesTotal, int filesDone, int filesTotal)> progress;
};

struct TransferResult {
  enum Outcome { kDone, kSkipped, kFailed, kCancelled } outcome = kFailed;
  QString target;  // where the file is now (kDone), else empty
  QString error;
};

// One result per source, in order; after a cancel the rest are kCancelled.
// A move renames where it can; across file systems it copies, and removes the
// source only once its copy is complete and closed.
std::vector<TransferResult> TransferFiles(const QStringList& sources, const QString& folder, bool move,
                                          const TransferHooks& hooks);

}  // namespace vortaq
