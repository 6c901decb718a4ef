#include "player_session.h"

#include <QFileInfo>

#include "platform/file_ops.h"
#include "platform/local_path.h"
#include "probex_formats.h"
#include "texts.h"

namespace vortaq {

OpenAnalysis PlayerSession::Analyse(const QString& path, bool checkExt) const {
  OpenAnalysis out;
  out.path = path;
  MediaInfo info;
  const bool analysed = binding_->Detect(path, checkExt, &info);
  QString report;
  if (analysed) {
    out.path = PathOfRecord(info);
    out.formatId = info.formatId;
    out.playlist = info.formatId >= probex::format::kPlaylistVrtql &&
                   info.formatId <= probex::format::kPlaylistM3u8;
    if (!out.playlist) report = binding_->FullReport(&info);
  } else if (!FitsRecord(path)) {
    report = texts::PathTooLong(path.size());
  }
  out.name = DisplayPath(QFileInfo(out.path).fileName());
  out.hint = QStringLiteral("[") + out.name + QStringLiteral("]\r\n") + report;
  return out;
}

void PlayerSession::MarkReadOnly(const QString& path) {
  if (IsReadOnly(path)) return;  // theirs: never taken back
  const int bits = WriteBits(path);
  if (bits >= 0 && SetReadOnly(path, true)) {
    readOnlyList_ << path;
    readOnlyBits_.insert(path, bits);
  }
}

void PlayerSession::TakeBackMarks() {
  // Exactly the write permission each file had, not just the owner's.
  for (const QString& path : readOnlyList_)
    if (IsReadOnly(path)) SetReadOnly(path, false, readOnlyBits_.value(path));
  readOnlyList_.clear();
  readOnlyBits_.clear();
}

}  // namespace vortaq
