// The open pipeline of the main window without its widgets: detection with
// the extension correction, the analysis report, and the read-only marks of
// the files played, taken back at the end of the run.
#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include "probex_binding.h"

namespace vortaq {

struct OpenAnalysis {
  QString path;        // after the extension correction
  int formatId = 0;    // 0 when nothing was analysed
  bool playlist = false;
  QString name;        // the file name as shown to people
  QString hint;        // "[name]\r\n" + the full report
};

class PlayerSession {
 public:
  explicit PlayerSession(const ProbexBinding* binding) : binding_(binding) {}

  // Reads the file; a playlist stops after the detection.
  OpenAnalysis Analyse(const QString& path, bool checkExt) const;

  // Marks path read-only unless it already is; remembered for TakeBackMarks.
  void MarkReadOnly(const QString& path);
  // Gives each marked file that is still read-only its own write bits back.
  void TakeBackMarks();
  const QStringList& readOnlyList() const { return readOnlyList_; }

 private:
  const ProbexBinding* binding_;
  QStringList readOnlyList_;
  QHash<QString, int> readOnlyBits_;  // the write bits each marked file had
};

}  // namespace vortaq
