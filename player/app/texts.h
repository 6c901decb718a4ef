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

inline const QString kStepCaption = QStringLiteral("カーソル左右時の移動量");
inline const QString kStepPrompt = QStringLiteral("秒/フレーム 0以上の整数値");
// The conversion message of a step that is no whole number of 0 to 86,400.
inline QString NotAStep(const QString& text) {
  return QStringLiteral("'%1' は有効な整数値ではありません (0〜86400)").arg(text);
}

inline const QString kKeyList = QStringLiteral(
    "Space\t再生 / 一時停止\n"
    "← →\t移動量(カーソルキー移動量)だけ戻る / 進む\n"
    "Ctrl+← →\t60秒戻る / 進む\n"
    "F, Alt+Enter\t全画面の切り替え\n"
    "Esc\t全画面を終わる\n"
    "1 2 3\tx1 / x2 / x0.5\n"
    "4 5 6\t画面1/16 / 画面1/4 / 画面1/2\n"
    "[ ]\t速度を下げる / 上げる\n"
    "9 0\t音量を下げる / 上げる\n"
    "M\t消音の切り替え\n"
    ", .\t1コマ戻る / 進む\n"
    "Page Up / Page Down\tプレイリストの前 / 次のファイル\n"
    "画面上のホイール\t音量\n"
    "画面のダブルクリック\t全画面の切り替え\n"
    "Ctrl+O / Ctrl+U\t開く / ファイル以外のものを開く\n"
    "Ctrl+P / Ctrl+Z\tプレイリスト / 拡大鏡\n"
    "Ctrl+T / Ctrl+H / Ctrl+C\t常に最前面 / コントロール非表示 / 詳細のコピー");

// The main window's menus.
namespace menu {
inline const QString kFile = QStringLiteral("ファイル(&F)");
inline const QString kFileOpen = QStringLiteral("開く(&O)");
inline const QString kFileClose = QStringLiteral("閉じる(&C)");
inline const QString kExit = QStringLiteral("終了(&X)");
inline const QString kView = QStringLiteral("表示(&V)");
inline const QString kAlwaysOnTop = QStringLiteral("常に最前面に表示(&T)");
inline const QString kHideControl = QStringLiteral("コントロール非表示(&C)");
inline const QString kPlayList = QStringLiteral("プレイリスト(&P)");
inline const QString kTrans = QStringLiteral("半透明");
inline const QString kTransOff = QStringLiteral("オフ");
inline const QString kTrans25 = QStringLiteral("25%");
inline const QString kTrans50 = QStringLiteral("50%");
inline const QString kTrans75 = QStringLiteral("75%");
inline const QString kTransMain = QStringLiteral("メインウインドウも半透明");
inline const QString kHint = QStringLiteral("ヒント設定");
inline const QString kHintShow = QStringLiteral("表示する");
inline const QString kHintNormal = QStringLiteral("通常表示ヒント");
inline const QString kFontColor = QStringLiteral("文字色");
inline const QString kBGColor = QStringLiteral("背景色");
inline const QString kHintEx = QStringLiteral("半透明ヒント");
inline const QString kShadowColor = QStringLiteral("縁取り色");
inline const QString kCopyDetail = QStringLiteral("詳細のコピー(&C)");
inline const QString kOption = QStringLiteral("オプション(&O)");
inline const QString kResume = QStringLiteral("レジューム(&R)");
inline const QString kCheckExt = QStringLiteral("拡張子自動リネーム(&E)");
inline const QString kExec = QStringLiteral("多重起動を許可する(&T)");
inline const QString kAddReadOnly = QStringLiteral("再生前に読取専用属性を付加する(&A)");
inline const QString kHelp = QStringLiteral("ヘルプ(&H)");
inline const QString kVersion = QStringLiteral("バージョン情報(&A)");
inline const QString kOpenUrl = QStringLiteral("ファイル以外のものを開く(&U)");
inline const QString kProperty = QStringLiteral("プロパティ(&P)");
inline const QString kSeek = QStringLiteral("拡大鏡(&Z)");
inline const QString kNoTaskTray = QStringLiteral("タスクトレイアイコンを使用しない(&I)");
inline const QString kNoTaskTrayPopup = QStringLiteral("タスクトレイのバルーンヘルプを使用しない(&B)");
inline const QString kStopScreenSaver = QStringLiteral("実行中はスクリーンセーバー停止(&S)");
inline const QString kSeekLeftRight = QStringLiteral("カーソルキー移動量(&C)");
inline const QString kKanren = QStringLiteral("関連付け(&X)");
inline const QString kReadme = QStringLiteral("Readme.txt参照(&R)");
inline const QString kHistory = QStringLiteral("History.txt参照(&H)");
inline const QString kFormat = QStringLiteral("Format.txt参照(&F)");
inline const QString kKeys = QStringLiteral("キー操作(&K)");
inline const QString kKeysCaption = QStringLiteral("キー操作");
inline const QString kTrayShowHide = QStringLiteral("表示/非表示");
inline const QString kTrayPlayList = QStringLiteral("プレイリスト");
inline const QString kTrayNext = QStringLiteral("次のファイル");
inline const QString kTrayPrev = QStringLiteral("前のファイル");
inline const QString kTrayRandom = QStringLiteral("ランダム");
inline const QString kExitTray = QStringLiteral("終了");
}  // namespace menu

}  // namespace vortaq::texts
