// TVRTQ_MAIN: the player window. The playback control WMP64 on the left, the
// group "コントロール" (GB) with the size choice, the speed, balance and
// volume bars and the section repeat on the right, the main menu, and the
// program's hint component. Start-up runs at the first show, shutdown at close.
#pragma once

#include <QHash>
#include <QMainWindow>
#include <QStringList>
#include <QThreadPool>
#include <atomic>
#include <functional>
#include <optional>

#include "desktop/mpris_service.h"
#include "desktop/now_playing_session.h"
#include "layout.h"
#include "platform/media_player_control.h"
#include "platform/screen_saver.h"
#include "player_session.h"
#include "probex_binding.h"
#include "settings.h"

class QAction;
class QActionGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QScrollBar;
class QKeyEvent;
class QSystemTrayIcon;
class QTimer;

namespace vortaq {

namespace playlist {
class TVRTQ_LIST;
}
class InstanceServer;
class TVRTQ_SEEK;
class TAppHint;

// Where the window finds its side files and what it was started with.
struct MainWindowOptions {
  QString programDir;     // holds FORMAT.INI and CODECS.INI
  QStringList libraries;  // libprobex.so candidates, in order
  QString settingsPath;
  QStringList arguments;  // command line paths
  EngineOptions engine;
};

class TVRTQ_MAIN : public QMainWindow {
  Q_OBJECT
 public:
  explicit TVRTQ_MAIN(MainWindowOptions options, QWidget* parent = nullptr);
  ~TVRTQ_MAIN() override;

  // The one way a file reaches playback. The file is analysed off the GUI
  // thread; then, unless another open or a close came meanwhile, it is shown
  // and played, and then runs (also for a playlist file).
  void Open(const QString& path, std::function<void(const OpenAnalysis&)> then = {});
  // No analysis of an open is under way.
  bool openSettled() const { return opening_.load() == 0; }
  void Close();
  void Layout();

  MediaPlayerControl* player() const { return WMP64; }
  playlist::TVRTQ_LIST* playList() const { return PlayList; }
  TVRTQ_SEEK* seek() const { return Seek; }
  QSystemTrayIcon* tray() const { return tray_; }
  int step() const { return step_; }
  const ProbexBinding& binding() const { return binding_; }
  bool fatalStart() const { return fatalStart_; }
  bool started() const { return started_; }
  // The application title: the last opened file's name, else the program's.
  QString applicationTitle() const { return appTitle_; }
  // The files this run made read-only.
  const QStringList& readOnlyList() const { return session_.readOnlyList(); }
  const NowPlayingSession& nowPlaying() const { return nowPlaying_; }
  const MprisService& mpris() const { return mpris_; }

 signals:
  // A playlist file was given for playback; the playlist takes it.
  void PlaylistFileOpened(const QString& path, int formatId);
  // The current file played to its end.
  void EndOfFile();
  // The last analysis of an open under way came back (and was used, unless
  // a later open or a close had replaced it).
  void OpenSettled();
  // The translucency level's opacity (0..255) for the program's other windows.
  void TranslucencyChange(int opacity);

 public slots:
  void S_FileOpenClick();
  void S_FileCloseClick();
  void S_ExitClick();
  void S_AlwaysOnTopClick();
  void S_HideControlClick();
  void S_TransOffClick();
  void S_Trans25Click();
  void S_Trans50Click();
  void S_Trans75Click();
  void S_TransMainClick();
  void S_HintShowClick();
  void S_HintNormalClick();
  void S_HintNormalFontColorClick();
  void S_HintNormalBGColorClick();
  void S_HintExClick();
  void S_HintExFontColorClick();
  void S_HintExShadowColorClick();
  void S_CopyDetailClick();
  void S_VersionClick();
  void PM_AutoStartClick();
  void PM_AutoRepeatClick();
  void B_OptionClick();
  void CB_MovieSizeChange();
  void SC_RateChange();
  void SC_BalanceChange();
  void SC_VolumeChange();
  void L_RateDblClick();
  void L_BalanceDblClick();
  void L_VolumeDblClick();
  void B_RepeatStartClick();
  void B_RepeatEndClick();
  void C_RepeatClick();
  void WMP64OpenStateChange(int oldState, int newState);
  void WMP64EndOfStream(int result);
  void WMP64Error(const QString& detail, const QString& path);
  void WMP64DisplaySizeChange(int size);
  void ApplicationIdle();
  void S_PlayListClick();
  void S_SeekClick();
  void S_OpenURLClick();
  void S_PropertyClick();
  void S_StopScreenSaverClick();
  void S_SeekLeftRightClick();
  void S_ReadmeClick();
  void S_HistoryClick();
  void S_FormatClick();
  void S_KeysClick();
  void S_KanrenClick();
  // The step from the step input's text: 0 to 86,400 seconds, else the
  // conversion message and nothing changes.
  bool SetStepFromText(const QString& text);
  void B_PrevClick();
  void B_NextClick();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void changeEvent(QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void CreateControls();
  void CreateMenu();
  QAction* AddItem(QMenu* menu, const char* name, const QString& text, void (TVRTQ_MAIN::*slot)(),
                   const QKeySequence& shortcut = {}, bool checkable = false);
  void FormFirstShow();
  void CreatePlayList(bool show);
  void CreateSeek(bool show);
  void CreateTray();
  bool TrayUsable() const;
  void ToggleFromTray();
  bool FormKeyDown(QKeyEvent* key);
  bool FormKeyUp(QKeyEvent* key);
  void StepBy(int seconds);
  void ChooseSize(MovieSize size);
  void ToggleFullScreen();
  void OpenSideFile(const QString& name);
  void ApplyMainSettings(const MainSettings& s);
  MainSettings CurrentMainSettings() const;
  void ChooseTranslucency(int level);
  void ApplyHintStyle(int code);
  void ChooseHintStyle(int code);
  void ResetRepeat();
  void SelectMovieSize(MovieSize choice);
  void EnterFullScreen();
  void LeaveFullScreen();
  QSize Decoration() const;
  void PlaceClient(const QPoint& at);
  QPoint NormalPosition() const;
  QPoint OnSomeMonitor(const QPoint& at) const;
  void SettleRestore();
  void FinishOpen(const OpenAnalysis& a, const std::function<void(const OpenAnalysis&)>& then);
  void ConnectMpris();
  void AnnounceTrack(const QString& path);
  void UpdateTrackNames();
  void UpdateMpris();

  MainWindowOptions options_;
  QString titleCopy_;
  QString appTitle_;
  bool firstShow_ = true;
  bool fatalStart_ = false;
  bool closing_ = false;
  bool started_ = false;
  int step_ = 5;
  Size defaultSize_{300, 146};
  double repeatStart_ = 0, repeatEnd_ = 0;
  bool endOfFile_ = false;
  bool fullScreenLaidOut_ = false;
  bool inFullScreen_ = false;
  QRect beforeFullScreen_;
  bool keepBeforeFullScreen_ = false;  // taken before the move to the corner
  std::optional<QPoint> restoreTo_;  // where leaving full screen puts us back
  int restoreTries_ = 0;
  int transLevel_ = 0;
  ProbexBinding binding_;
  PlayerSession session_{&binding_};
  SettingsFile settings_;
  MainSettings carried_;  // values of options whose items come with later parts
  QString openDir_;
  InstanceServer* instance_ = nullptr;
  TAppHint* AppHint = nullptr;
  playlist::TVRTQ_LIST* PlayList = nullptr;
  TVRTQ_SEEK* Seek = nullptr;
  QSystemTrayIcon* tray_ = nullptr;
  QMenu* PM_Tray = nullptr;
  ScreenSaverInhibitor screenSaver_;
  QString locationText_;  // the address last opened through TVRTQ_OPENURL
  QStringList urlHistory_;  // the open-location history, oldest first
  static constexpr int kLongStep = 60;
  QTimer* idleTimer_ = nullptr;
  // The links are fixed at start; closes that come meanwhile wait for it.
  StartupCloseGuard startupGuard_;
  QThreadPool openPool_;
  quint64 openSerial_ = 0;
  std::atomic<int> opening_{0};
  NowPlayingSession nowPlaying_{std::make_unique<NoMessengers>()};
  MprisService mpris_;
  TagValues tags_;  // of the current file, once read
  QString tagsPath_;

  MediaPlayerControl* WMP64 = nullptr;
  QWidget* body_ = nullptr;
  QGroupBox* GB = nullptr;
  QComboBox* CB_MovieSize = nullptr;
  QPushButton* B_Option = nullptr;
  QScrollBar* SC_Rate = nullptr;
  QScrollBar* SC_Balance = nullptr;
  QScrollBar* SC_Volume = nullptr;
  QLabel* L_Rate = nullptr;
  QLabel* L_Balance = nullptr;
  QLabel* L_Volume = nullptr;
  QPushButton* B_RepeatStart = nullptr;
  QPushButton* B_RepeatEnd = nullptr;
  QCheckBox* C_Repeat = nullptr;
  QPushButton* B_Dummy = nullptr;
  QPushButton* B_Prev = nullptr;
  QPushButton* B_Next = nullptr;
  QMenu* PM_Option = nullptr;
  QAction* PM_AutoStart = nullptr;
  QAction* PM_AutoRepeat = nullptr;
  QAction* S_AlwaysOnTop = nullptr;
  QAction* S_HideControl = nullptr;
  QAction* S_PlayList = nullptr;
  QAction* S_Seek = nullptr;
  QAction* S_NoTaskTray = nullptr;
  QAction* S_NoTaskTrayPopup = nullptr;
  QAction* S_WATrack = nullptr;
  QAction* S_MSN = nullptr;
  QAction* S_Skype = nullptr;
  QAction* S_StopScreenSaver = nullptr;
  QAction* S_TransOff = nullptr;
  QAction* S_Trans25 = nullptr;
  QAction* S_Trans50 = nullptr;
  QAction* S_Trans75 = nullptr;
  QAction* S_TransMain = nullptr;
  QAction* S_HintShow = nullptr;
  QAction* S_HintNormal = nullptr;
  QAction* S_HintEx = nullptr;
  QAction* S_Resume = nullptr;
  QAction* S_CheckExt = nullptr;
  QAction* S_Exec = nullptr;
  QAction* S_AddReadOnly = nullptr;
  int hintColors_[4] = {0xFFFFFF, 0, 0xFFFFFF, 0};  // Font, BG, ExFont, ExShadow
};

}  // namespace vortaq
