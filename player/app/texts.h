// The program's own texts: captions, messages and menu items.
#pragma once

#include <QString>

namespace vortaq::texts {

inline const QString kApplicationTitle = QStringLiteral("Vortaq6.4 121014");
inline const QString kError = QStringLiteral("エラー");
inline const QString kConfirm = QStringLiteral("確認");
inline const QString kDone = QStringLiteral("完了");
inline const QString kPlayerError = QStringLiteral("MediaPlayer内部からのエラー");
inline const QString kChecking = QStringLiteral("Checking...");

inline const QString kFormatIniMissing =
    QStringLiteral("FORMAT.INIが見つからないので詳細の表示ができません。");
inline const QString kCodecsIniMissing =
    QStringLiteral("CODECS.INIが見つからないのでCodec名の表示ができません。");
inline const QString kCodecsIniMissingCaption = QStringLiteral("無くても動きますが");

inline QString LoadFailed(const QString& reason) {
  return QStringLiteral("libprobex.soの読み込みに失敗しました(%1)").arg(reason);
}
inline QString LibraryBroken() { return QStringLiteral("libprobex.soが異常です。"); }
inline QString LibraryNotUnicode() {
  return QStringLiteral("Unicode対応前のlibprobex.soは使えません。");
}
inline QString LibraryAnsi() { return QStringLiteral("ANSI版のlibprobex.soは使えません。"); }

// A path the analysis record cannot hold (255 UTF-16 units at most).
inline QString PathTooLong(qsizetype units) {
  return QStringLiteral("パスが長すぎるので詳細の表示ができません(%1文字、上限255文字)。").arg(units);
}
// The engine could not open a file: what failed, then the engine's reason.
inline QString OpenFailed(const QString& fileName, const QString& detail) {
  return QStringLiteral("%1\nを開けませんでした。\n\n(mpv: %2)").arg(fileName, detail);
}

inline const QString kOpenDialogTitle = QStringLiteral("なんか開く");
// Each name keeps its designed pattern text; the pattern that Qt applies is the
// last group (every file, dotted or not), hidden with HideNameFilterDetails.
inline const QString kOpenDialogFilter =
    QStringLiteral("再生できそうなもの (*.*) (*)\nPlayList File (*.vrtql) (*.vrtql)");

}  // namespace vortaq::texts
