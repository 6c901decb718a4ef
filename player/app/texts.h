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

inline const QString kOpenDialogTitle = QStringLiteral("なんか開く");
inline const QString kOpenDialogFilter =
    QStringLiteral("再生できそうなもの (*)\nPlayList File (*.vrtql)");

}  // namespace vortaq::texts
