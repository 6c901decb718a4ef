#include "main_window.h"

#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QInputDialog>
#include <QKeyEvent>
#include <QMimeData>
#include <QSystemTrayIcon>
#include <QTableView>
#include <QUrl>
#include <QWheelEvent>
#include <QDir>
#include <QColorDialog>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <cmath>

#include "bars.h"
#include "desktop/association_dialog.h"
#include "desktop/desktop_texts.h"
#include "message_box.h"
#include "open_location.h"
#include "seek_magnifier.h"
#include "step_input.h"
#include "platform/file_ops.h"
#include "platform/file_properties.h"
#include "platform/local_path.h"
#include "platform/single_instance.h"
#include "texts.h"
#include "playlist/playlist_table_model.h"
#include "playlist/playlist_window.h"
#include "ui/hint_window.h"

// The icon lives in the player's static library: its resources need a call.
static void InitPlayerResources() { Q_INIT_RESOURCE(vortaq); }

namespace vortaq {

namespace {

constexpr int kGroupWidth = 200;
constexpr int kGroupHeight = 264;

const char* const kMovieSizes[] = {"x1", "x0.5", "x2", "FullScreen", "画面1/16", "画面1/4", "画面1/2"};

}  // namespace

TVRTQ_MAIN::TVRTQ_MAIN(MainWindowOptions options, QWidget* parent)
    : QMainWindow(parent), options_(std::move(options)), settings_(options_.settingsPath) {
  setObjectName(QStringLiteral("TVRTQ_MAIN"));
  // One open at a time, in the order asked.
  openPool_.setMaxThreadCount(1);
  // Fixed border, system menu and minimise button only.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  titleCopy_ = texts::kApplicationTitle;
  appTitle_ = texts::kApplicationTitle;
  setAcceptDrops(true);
  setWindowTitle(titleCopy_);
  InitPlayerResources();
  setWindowIcon(QIcon(QStringLiteral(":/vortaq.svg")));

  AppHint = new TAppHint(this);
  AppHint->setObjectName(QStringLiteral("AppHint"));
  AppHint->SetBGColor(Qt::green);
  AppHint->SetBrushColor(QColor(0, 0, 0x80));
  QFont font(QStringLiteral("Tahoma"));
  font.setPixelSize(11);
  AppHint->SetFont(font, Qt::white);
  AppHint->SetPenColor(Qt::white);
  AppHint->SetShadowColor(QColor(0x80, 0, 0));
  AppHint->SetShadowVisible(true);
  AppHint->SetHintStyle(hsLineString);
  AppHint->hintPause = 500;
  AppHint->hintHidePause = 30000;
  AppHint->hintShortPause = 50;
  // Hints start off; the stored "Hint" switches them on.
  AppHint->SetShowHint(false);

  CreateControls();
  CreateMenu();
  layout()->setSizeConstraint(QLayout::SetFixedSize);

  idleTimer_ = new QTimer(this);
  // Key preview: the window sees its keys before any of its controls.
  qApp->installEventFilter(this);
  body_->installEventFilter(this);
  WMP64->findChild<QWidget*>(QStringLiteral("Picture"))->installEventFilter(this);
  CreateTray();
  idleTimer_->setInterval(50);
  connect(idleTimer_, &QTimer::timeout, this, &TVRTQ_MAIN::ApplicationIdle);
}

TVRTQ_MAIN::~TVRTQ_MAIN() {
  // The playlist's batch stops while the binding it uses is still here.
  delete PlayList;
  PlayList = nullptr;
}

void TVRTQ_MAIN::CreateControls() {
  body_ = new QWidget(this);
  body_->setObjectName(QStringLiteral("Body"));
  setCentralWidget(body_);

  B_Dummy = new QPushButton(body_);
  B_Dummy->setObjectName(QStringLiteral("B_Dummy"));
  B_Dummy->setGeometry(0, 0, 1, 1);

  WMP64 = new MediaPlayerControl(body_, options_.engine);
  WMP64->move(0, 0);
  WMP64->SetAutoStart(false);
  WMP64->SetPlayCount(1);
  // The picture is a window of its own; its hint comes by this way.
  connect(WMP64, &MediaPlayerControl::PictureHovered, this, [this](const QPoint& global) {
    if (AppHint && AppHint->ShowHint() && !toolTip().isEmpty())
      AppHint->ShowHintFor(this, global);
  });
  connect(WMP64, &MediaPlayerControl::OpenStateChange, this, &TVRTQ_MAIN::WMP64OpenStateChange);
  connect(WMP64, &MediaPlayerControl::EndOfStream, this, &TVRTQ_MAIN::WMP64EndOfStream);
  connect(WMP64, &MediaPlayerControl::Error, this, &TVRTQ_MAIN::WMP64Error);
  connect(WMP64, &MediaPlayerControl::DisplaySizeChange, this, &TVRTQ_MAIN::WMP64DisplaySizeChange);

  GB = new QGroupBox(QStringLiteral("コントロール"), body_);
  GB->setObjectName(QStringLiteral("GB"));
  GB->setGeometry(0, 0, kGroupWidth, kGroupHeight);

  CB_MovieSize = new QComboBox(GB);
  CB_MovieSize->setObjectName(QStringLiteral("CB_MovieSize"));
  for (const char* item : kMovieSizes) CB_MovieSize->addItem(QString::fromUtf8(item));
  CB_MovieSize->setGeometry(8, 22, 112, 24);
  connect(CB_MovieSize, &QComboBox::currentIndexChanged, this, &TVRTQ_MAIN::CB_MovieSizeChange);

  B_Option = new QPushButton(QStringLiteral("Option"), GB);
  B_Option->setObjectName(QStringLiteral("B_Option"));
  B_Option->setGeometry(124, 22, 68, 24);
  connect(B_Option, &QPushButton::clicked, this, &TVRTQ_MAIN::B_OptionClick);

  auto bar = [this](const char* name, const char* labelName, int y, QScrollBar** sc, QLabel** l) {
    *l = new QLabel(GB);
    (*l)->setObjectName(QString::fromLatin1(labelName));
    (*l)->setGeometry(8, y, 184, 16);
    (*l)->installEventFilter(this);
    *sc = new QScrollBar(Qt::Horizontal, GB);
    (*sc)->setObjectName(QString::fromLatin1(name));
    (*sc)->setGeometry(8, y + 18, 184, 17);
  };
  bar("SC_Rate", "L_Rate", 54, &SC_Rate, &L_Rate);
  bar("SC_Balance", "L_Balance", 96, &SC_Balance, &L_Balance);
  bar("SC_Volume", "L_Volume", 138, &SC_Volume, &L_Volume);
  SC_Rate->setRange(0, 20);
  SC_Rate->setPageStep(5);
  SC_Rate->setValue(10);
  SC_Balance->setRange(-10000, 10000);
  SC_Balance->setSingleStep(100);
  SC_Balance->setPageStep(2000);
  SC_Balance->setValue(0);
  SC_Volume->setRange(-5000, 0);
  SC_Volume->setSingleStep(50);
  SC_Volume->setPageStep(500);
  SC_Volume->setValue(0);
  L_Rate->setText(RateLabel(10));
  L_Balance->setText(BalanceLabel(0));
  L_Volume->setText(VolumeLabel(0));
  connect(SC_Rate, &QScrollBar::valueChanged, this, &TVRTQ_MAIN::SC_RateChange);
  connect(SC_Balance, &QScrollBar::valueChanged, this, &TVRTQ_MAIN::SC_BalanceChange);
  connect(SC_Volume, &QScrollBar::valueChanged, this, &TVRTQ_MAIN::SC_VolumeChange);

  B_RepeatStart = new QPushButton(QStringLiteral("0"), GB);
  B_RepeatStart->setObjectName(QStringLiteral("B_RepeatStart"));
  B_RepeatStart->setGeometry(8, 190, 68, 26);
  B_RepeatEnd = new QPushButton(QStringLiteral("0"), GB);
  B_RepeatEnd->setObjectName(QStringLiteral("B_RepeatEnd"));
  B_RepeatEnd->setGeometry(80, 190, 68, 26);
  C_Repeat = new QCheckBox(GB);
  C_Repeat->setObjectName(QStringLiteral("C_Repeat"));
  C_Repeat->setGeometry(156, 194, 36, 20);
  connect(B_RepeatStart, &QPushButton::clicked, this, &TVRTQ_MAIN::B_RepeatStartClick);
  connect(B_RepeatEnd, &QPushButton::clicked, this, &TVRTQ_MAIN::B_RepeatEndClick);
  connect(C_Repeat, &QCheckBox::clicked, this, &TVRTQ_MAIN::C_RepeatClick);

  // Previous and next playlist entry; images from IMG/ when present.
  B_Prev = new QPushButton(QStringLiteral("|◀"), GB);
  B_Prev->setObjectName(QStringLiteral("B_Prev"));
  B_Prev->setGeometry(8, 226, 88, 28);
  B_Next = new QPushButton(QStringLiteral("▶|"), GB);
  B_Next->setObjectName(QStringLiteral("B_Next"));
  B_Next->setGeometry(104, 226, 88, 28);
  connect(B_Prev, &QPushButton::clicked, this, &TVRTQ_MAIN::B_PrevClick);
  connect(B_Next, &QPushButton::clicked, this, &TVRTQ_MAIN::B_NextClick);

  // Keys belong to the window, never to a control that happened to be first:
  // Space would open the size list and the arrows would resize the window.
  for (QWidget* control : GB->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
    control->setFocusPolicy(Qt::NoFocus);

  PM_Option = new QMenu(this);
  PM_Option->setObjectName(QStringLiteral("PM_Option"));
  PM_AutoStart = PM_Option->addAction(QStringLiteral("AutoStart"), this, &TVRTQ_MAIN::PM_AutoStartClick);
  PM_AutoStart->setObjectName(QStringLiteral("PM_AutoStart"));
  PM_AutoStart->setCheckable(true);
  PM_AutoRepeat = PM_Option->addAction(QStringLiteral("AutoRepeat"), this, &TVRTQ_MAIN::PM_AutoRepeatClick);
  PM_AutoRepeat->setObjectName(QStringLiteral("PM_AutoRepeat"));
  PM_AutoRepeat->setCheckable(true);
}

QAction* TVRTQ_MAIN::AddItem(QMenu* menu, const char* name, const QString& text,
                             void (TVRTQ_MAIN::*slot)(), const QKeySequence& shortcut,
                             bool checkable) {
  QAction* a = menu->addAction(text);
  a->setObjectName(QString::fromLatin1(name));
  a->setShortcut(shortcut);
  a->setCheckable(checkable);
  // A checkable item has its new tick when the handler runs.
  connect(a, &QAction::triggered, this, slot);
  return a;
}

void TVRTQ_MAIN::CreateMenu() {
  QMenu* file = menuBar()->addMenu(texts::menu::kFile);
  file->setObjectName(QStringLiteral("S_File"));
  AddItem(file, "S_FileOpen", texts::menu::kFileOpen, &TVRTQ_MAIN::S_FileOpenClick,
          QKeySequence(Qt::CTRL | Qt::Key_O));
  AddItem(file, "S_OpenURL", texts::menu::kOpenUrl, &TVRTQ_MAIN::S_OpenURLClick,
          QKeySequence(Qt::CTRL | Qt::Key_U));
  AddItem(file, "S_Property", texts::menu::kProperty, &TVRTQ_MAIN::S_PropertyClick);
  AddItem(file, "S_FileClose", texts::menu::kFileClose, &TVRTQ_MAIN::S_FileCloseClick);
  file->addSeparator();
  AddItem(file, "S_Exit", texts::menu::kExit, &TVRTQ_MAIN::S_ExitClick);

  QMenu* view = menuBar()->addMenu(texts::menu::kView);
  view->setObjectName(QStringLiteral("S_View"));
  S_AlwaysOnTop = AddItem(view, "S_AlwaysOnTop", texts::menu::kAlwaysOnTop,
                          &TVRTQ_MAIN::S_AlwaysOnTopClick, QKeySequence(Qt::CTRL | Qt::Key_T), true);
  S_HideControl = AddItem(view, "S_HideControl", texts::menu::kHideControl,
                          &TVRTQ_MAIN::S_HideControlClick, QKeySequence(Qt::CTRL | Qt::Key_H), true);
  S_PlayList = AddItem(view, "S_PlayList", texts::menu::kPlayList,
                       &TVRTQ_MAIN::S_PlayListClick, QKeySequence(Qt::CTRL | Qt::Key_P), true);
  S_Seek = AddItem(view, "S_Seek", texts::menu::kSeek, &TVRTQ_MAIN::S_SeekClick,
                   QKeySequence(Qt::CTRL | Qt::Key_Z), true);
  QMenu* trans = view->addMenu(texts::menu::kTrans);
  trans->setObjectName(QStringLiteral("S_Trans"));
  S_TransOff = AddItem(trans, "S_TransOff", texts::menu::kTransOff, &TVRTQ_MAIN::S_TransOffClick, {}, true);
  S_Trans25 = AddItem(trans, "S_Trans25", texts::menu::kTrans25, &TVRTQ_MAIN::S_Trans25Click, {}, true);
  S_Trans50 = AddItem(trans, "S_Trans50", texts::menu::kTrans50, &TVRTQ_MAIN::S_Trans50Click, {}, true);
  S_Trans75 = AddItem(trans, "S_Trans75", texts::menu::kTrans75, &TVRTQ_MAIN::S_Trans75Click, {}, true);
  S_TransOff->setChecked(true);
  trans->addSeparator();
  S_TransMain = AddItem(trans, "S_TransMain", texts::menu::kTransMain,
                        &TVRTQ_MAIN::S_TransMainClick, {}, true);
  QMenu* hint = view->addMenu(texts::menu::kHint);
  hint->setObjectName(QStringLiteral("S_Hint"));
  S_HintShow = AddItem(hint, "S_HintShow", texts::menu::kHintShow, &TVRTQ_MAIN::S_HintShowClick, {}, true);
  hint->addSeparator();
  S_HintNormal = AddItem(hint, "S_HintNormal", texts::menu::kHintNormal,
                         &TVRTQ_MAIN::S_HintNormalClick, {}, true);
  AddItem(hint, "S_HintNormalFontColor", texts::menu::kFontColor, &TVRTQ_MAIN::S_HintNormalFontColorClick);
  AddItem(hint, "S_HintNormalBGColor", texts::menu::kBGColor, &TVRTQ_MAIN::S_HintNormalBGColorClick);
  hint->addSeparator();
  S_HintEx = AddItem(hint, "S_HintEx", texts::menu::kHintEx, &TVRTQ_MAIN::S_HintExClick, {}, true);
  AddItem(hint, "S_HintExFontColor", texts::menu::kFontColor, &TVRTQ_MAIN::S_HintExFontColorClick);
  AddItem(hint, "S_HintExShadowColor", texts::menu::kShadowColor, &TVRTQ_MAIN::S_HintExShadowColorClick);
  view->addSeparator();
  AddItem(view, "S_CopyDetail", texts::menu::kCopyDetail, &TVRTQ_MAIN::S_CopyDetailClick,
          QKeySequence(Qt::CTRL | Qt::Key_C));

  QMenu* option = menuBar()->addMenu(texts::menu::kOption);
  option->setObjectName(QStringLiteral("S_Option"));
  // These only keep their tick; the places that use the options read it.
  for (auto [name, text, item] :
       {std::tuple{"S_Resume", texts::menu::kResume, &S_Resume},
        std::tuple{"S_CheckExt", texts::menu::kCheckExt, &S_CheckExt},
        std::tuple{"S_Exec", texts::menu::kExec, &S_Exec},
        std::tuple{"S_AddReadOnly", texts::menu::kAddReadOnly, &S_AddReadOnly},
        std::tuple{"S_NoTaskTray", texts::menu::kNoTaskTray, &S_NoTaskTray},
        std::tuple{"S_NoTaskTrayPopup", texts::menu::kNoTaskTrayPopup, &S_NoTaskTrayPopup},
        std::tuple{"S_WATrack", QString::fromUtf16(texts::kMenuWatrack), &S_WATrack},
        std::tuple{"S_MSN", QString::fromUtf16(texts::kMenuMsn), &S_MSN},
        std::tuple{"S_Skype", QString::fromUtf16(texts::kMenuSkype), &S_Skype}}) {
    *item = option->addAction(text);
    (*item)->setObjectName(QString::fromLatin1(name));
    (*item)->setCheckable(true);
  }

  option->addSeparator();
  S_StopScreenSaver = AddItem(option, "S_StopScreenSaver", texts::menu::kStopScreenSaver,
                              &TVRTQ_MAIN::S_StopScreenSaverClick, {}, true);
  AddItem(option, "S_SeekLeftRight", texts::menu::kSeekLeftRight, &TVRTQ_MAIN::S_SeekLeftRightClick);
  option->addSeparator();
  AddItem(option, "S_Kanren", texts::menu::kKanren, &TVRTQ_MAIN::S_KanrenClick);

  QMenu* help = menuBar()->addMenu(texts::menu::kHelp);
  help->setObjectName(QStringLiteral("S_Help"));
  AddItem(help, "S_Version", texts::menu::kVersion, &TVRTQ_MAIN::S_VersionClick);
  help->addSeparator();
  AddItem(help, "S_Readme", texts::menu::kReadme, &TVRTQ_MAIN::S_ReadmeClick);
  AddItem(help, "S_History", texts::menu::kHistory, &TVRTQ_MAIN::S_HistoryClick);
  AddItem(help, "S_Format", texts::menu::kFormat, &TVRTQ_MAIN::S_FormatClick);
  AddItem(help, "S_Keys", texts::menu::kKeys, &TVRTQ_MAIN::S_KeysClick);
}

// ---- Start-up and shutdown ----

void TVRTQ_MAIN::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (!firstShow_) return;
  firstShow_ = false;
  // After the show has been processed, so that message boxes have an owner on
  // screen and the video surface has its context.
  QTimer::singleShot(0, this, &TVRTQ_MAIN::FormFirstShow);
}

void TVRTQ_MAIN::FormFirstShow() {
  if (closing_) return;
  const QString error = binding_.Bind(options_.libraries, options_.programDir);
  if (!error.isEmpty()) {
    ShowError(this, error, texts::kError);
    fatalStart_ = true;
    close();
    return;
  }
  startupGuard_.Begin();
  settings_.Load();
  const MainSettings s = ReadMainSettings(settings_.ini());
  ApplyMainSettings(s);
  for (const DesktopMessage& m :
       nowPlaying_.Start(s.waTrack, s.msn, s.skype, TagPluginCandidates(options_.programDir)))
    ShowErrorLater(this, m.text, m.caption);
  connect(&nowPlaying_, &NowPlayingSession::TagsRead, this, [this](const QString& path, const TagValues& v) {
    tagsPath_ = path;
    tags_ = v;
    UpdateTrackNames();
  });
  ConnectMpris();
  urlHistory_ = ReadUrlHistory(settings_.ini());

  // The previous and next buttons' own images, when the program has them.
  for (auto [button, file] : {std::pair{B_Prev, "IMG/button_prev.bmp"}, std::pair{B_Next, "IMG/button_next.bmp"}}) {
    const QPixmap image(QDir(options_.programDir).filePath(QLatin1String(file)));
    if (image.isNull()) continue;
    button->setText(QString());
    button->setIcon(image);
    button->setIconSize(image.size());
  }
  CreatePlayList(s.playList);
  CreateSeek(s.seek);

  instance_ = new InstanceServer([this](const QString& path) { Open(path); }, this);
  instance_->Listen(s.exec ? QStringLiteral("VRTQ") : QStringLiteral("VRTQ_NoMultiRun"));

  Layout();
  if (options_.arguments.size() >= 2) {
    // Every argument goes to the playlist as one batch; the first plays too,
    // under the name the extension correction gave it.
    Open(options_.arguments.first(), [this](const OpenAnalysis& a) {
      QStringList batch = options_.arguments;
      // A list named first went to the playlist through Open already.
      if (a.playlist) batch.removeFirst();
      else batch.first() = a.path;
      PlayList->AddBatch(batch);
      if (!PlayList->isVisible()) S_PlayList->trigger();
    });
  } else if (options_.arguments.isEmpty()) {
    if (S_Resume->isChecked() && !s.resumeFileName.isEmpty()) {
      const bool autoStart = WMP64->AutoStart();
      const int pos = s.resumePos;
      const bool play = s.resumeState == MediaPlayerControl::kPlaying;
      WMP64->SetAutoStart(false);
      Open(s.resumeFileName, [this, autoStart, pos, play](const OpenAnalysis&) {
        WMP64->SetCurrentPosition(pos);
        if (play) WMP64->Play();
        WMP64->SetAutoStart(autoStart);
      });
    }
  } else {
    Open(options_.arguments.first());
  }
  started_ = true;
  B_Dummy->setFocus();
  idleTimer_->start();
  if (startupGuard_.End()) close();
}

void TVRTQ_MAIN::ApplyMainSettings(const MainSettings& s) {
  carried_ = s;
  defaultSize_ = {s.wmpDefaultWidth, s.wmpDefaultHeight};
  SC_Rate->setMaximum(s.wmpRateMax);
  PlaceClient(OnSomeMonitor(QPoint(s.mainX, s.mainY)));
  // Toggle options start unticked; running the toggle once switches them on.
  if (s.autoStart) PM_AutoStart->trigger();
  if (s.autoRepeat) PM_AutoRepeat->trigger();
  SC_Volume->setValue(VolumeBarFromPercent(s.volume));
  if (s.alwaysOnTop) S_AlwaysOnTop->trigger();
  if (s.hideControl) S_HideControl->trigger();
  hintColors_[0] = s.hintFontColor;
  hintColors_[1] = s.hintBGColor;
  hintColors_[2] = s.hintExFontColor;
  hintColors_[3] = s.hintExShadowColor;
  ApplyHintStyle(s.hintStyle);
  if (s.hint) S_HintShow->trigger();
  S_Resume->setChecked(s.resume);
  S_CheckExt->setChecked(s.checkExt);
  S_Exec->setChecked(s.exec);
  S_AddReadOnly->setChecked(s.addReadOnly);
  S_NoTaskTray->setChecked(s.noTaskTray);
  S_NoTaskTrayPopup->setChecked(s.noTaskTrayPopup);
  S_WATrack->setChecked(s.waTrack);
  S_MSN->setChecked(s.msn);
  S_Skype->setChecked(s.skype);
  if (s.stopScreenSaver) S_StopScreenSaver->trigger();
  step_ = s.seekLeftRight;
  WMP64->SetSeekStep(step_);
  openDir_ = s.dir;
  S_TransMain->setChecked(s.transMain);
  if (s.transWindow >= 1 && s.transWindow <= 3) ChooseTranslucency(s.transWindow);
}

MainSettings TVRTQ_MAIN::CurrentMainSettings() const {
  MainSettings s = carried_;
  const QPoint at = NormalPosition();
  s.mainX = at.x();
  s.mainY = at.y();
  s.autoStart = PM_AutoStart->isChecked();
  s.autoRepeat = PM_AutoRepeat->isChecked();
  s.volume = PercentFromVolumeBar(SC_Volume->value());
  s.alwaysOnTop = S_AlwaysOnTop->isChecked();
  s.hideControl = S_HideControl->isChecked();
  s.transWindow = transLevel_;
  s.transMain = S_TransMain->isChecked();
  s.hint = S_HintShow->isChecked();
  s.hintFontColor = hintColors_[0];
  s.hintBGColor = hintColors_[1];
  s.hintExFontColor = hintColors_[2];
  s.hintExShadowColor = hintColors_[3];
  s.hintStyle = S_HintEx->isChecked() ? kHintStyleTranslucent : kHintStyleNormal;
  s.resume = S_Resume->isChecked();
  s.checkExt = S_CheckExt->isChecked();
  s.exec = S_Exec->isChecked();
  s.addReadOnly = S_AddReadOnly->isChecked();
  s.noTaskTray = S_NoTaskTray->isChecked();
  s.noTaskTrayPopup = S_NoTaskTrayPopup->isChecked();
  s.waTrack = S_WATrack->isChecked();
  s.msn = S_MSN->isChecked();
  s.skype = S_Skype->isChecked();
  s.stopScreenSaver = S_StopScreenSaver->isChecked();
  s.seekLeftRight = step_;
  s.dir = openDir_;
  if (PlayList) s.playList = PlayList->isVisible();
  if (Seek) s.seek = Seek->isVisible();
  return s;
}

void TVRTQ_MAIN::closeEvent(QCloseEvent* event) {
  if (startupGuard_.Defer()) {
    event->ignore();
    return;
  }
  // Before the start-up has read the settings there is nothing to save, and
  // saving would put defaults over what was never read.
  if (fatalStart_ || closing_ || !started_) {
    closing_ = true;
    event->accept();
    return;
  }
  closing_ = true;
  idleTimer_->stop();
  // An analysis under way uses the library and the session; its answer is
  // dropped once it is back.
  openPool_.clear();
  openPool_.waitForDone();
  // Taken first: leaving full screen settles the window only later.
  MainSettings s = CurrentMainSettings();
  if (WMP64->DisplaySize() == MediaPlayerControl::kFullScreen)
    WMP64->SetDisplaySize(MediaPlayerControl::kDefaultSize);
  if (S_Resume->isChecked()) {
    s.resumeFileName = WMP64->FileName();
    s.resumeState = WMP64->PlayState();
    s.resumePos = static_cast<int>(WMP64->CurrentPosition());
  } else {
    s.resumeFileName.clear();
    s.resumeState = 0;
    s.resumePos = 0;
  }
  Close();
  nowPlaying_.Shutdown();
  mpris_.Unregister();
  // The list is kept even when the settings file cannot be written; a batch
  // still running stops here, and what it analysed is listed.
  PlayList->SaveList();
  // Only our own inhibition goes; the user's screen saver settings stay theirs.
  screenSaver_.Release();
  settings_.Update([this, &s](IniFile& ini) {
    WriteMainSettings(ini, s);
    PlayList->WriteSettings(ini);
    Seek->Save(ini);
  });
  session_.TakeBackMarks();
  PlayList->close();
  Seek->hide();
  if (tray_) tray_->hide();
  if (instance_) instance_->Close();
  event->accept();
}

// ---- Files ----

void TVRTQ_MAIN::Open(const QString& path, std::function<void(const OpenAnalysis&)> then) {
  // A file chosen in a dialog that outlived the close (a signal ended the run)
  // would otherwise start playing after the settings were written.
  if (closing_ || path.isEmpty()) return;
  Close();
  ResetRepeat();
  const bool checking = S_CheckExt->isChecked();
  setWindowTitle(texts::kChecking);
  const quint64 serial = ++openSerial_;
  // The file is read on a worker: a slow or hung mount must not freeze the
  // window. Only the latest open goes on when its analysis is back.
  opening_.fetch_add(1);
  openPool_.start([this, serial, path, checking, then = std::move(then)] {
    OpenAnalysis a = session_.Analyse(path, checking);
    QMetaObject::invokeMethod(this, [this, serial, a = std::move(a), then] {
      if (serial == openSerial_ && !closing_) FinishOpen(a, then);
      opening_.fetch_sub(1);
      if (opening_.load() == 0) emit OpenSettled();
    }, Qt::QueuedConnection);
  });
}

void TVRTQ_MAIN::FinishOpen(const OpenAnalysis& a, const std::function<void(const OpenAnalysis&)>& then) {
  if (a.playlist) {
    setWindowTitle(titleCopy_);
    emit PlaylistFileOpened(a.path, a.formatId);
    if (then) then(a);
    return;
  }
  const QString& current = a.path;
  setWindowTitle(a.name);
  setToolTip(a.hint);
  appTitle_ = a.name;
  if (tray_) {
    tray_->setToolTip(a.name);
    if (!S_NoTaskTrayPopup->isChecked() && !isVisible())
      tray_->showMessage(a.name, a.hint.section(QStringLiteral("\r\n"), 1), QSystemTrayIcon::Information);
  }
  if (S_AddReadOnly->isChecked()) session_.MarkReadOnly(current);
  WMP64->SetFileName(current);
  WMP64->SetRate(RateFromPosition(SC_Rate->value()));
  nowPlaying_.Opened(current);
  AnnounceTrack(current);
  if (then) then(a);
}

void TVRTQ_MAIN::Close() {
  // An open still being analysed is dropped too.
  ++openSerial_;
  if (windowTitle() == texts::kChecking) setWindowTitle(titleCopy_);
  if (WMP64->FileName().isEmpty()) return;
  WMP64->SetFileName(QString());
  setToolTip(QString());
  setWindowTitle(titleCopy_);
  nowPlaying_.Closed();
  tags_ = {};
  tagsPath_.clear();
  mpris_.ClearTrack();
  mpris_.SetStatus(MprisService::Status::Stopped);
}

void TVRTQ_MAIN::S_FileOpenClick() {
  const QString path = QFileDialog::getOpenFileName(this, texts::kOpenDialogTitle, openDir_,
                                                    texts::kOpenDialogFilter, nullptr,
                                                    QFileDialog::HideNameFilterDetails);
  if (path.isEmpty()) return;
  openDir_ = QFileInfo(path).absolutePath();
  Open(path);
}

void TVRTQ_MAIN::S_FileCloseClick() { Close(); }

void TVRTQ_MAIN::S_ExitClick() { close(); }

void TVRTQ_MAIN::S_CopyDetailClick() {
  QString text = QString::asprintf("%s\r\n\r\n%s / DLL %06d %s\r\n", toolTip().toUtf8().constData(),
                                   appTitle_.toUtf8().constData(), binding_.version(), "Unicode");
  // Linux programs expect plain line feeds on the clipboard.
  text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  QGuiApplication::clipboard()->setText(text);
}

void TVRTQ_MAIN::S_VersionClick() {
  // Off for good, tick included, so that the box is not hidden behind us.
  if (S_AlwaysOnTop->isChecked()) S_AlwaysOnTop->trigger();
  ShowInformation(this, QStringLiteral("%1\nlibprobex.so %2").arg(texts::kApplicationTitle)
                            .arg(binding_.version(), 6, 10, QLatin1Char('0')),
                  QStringLiteral("バージョン情報"));
}

// ---- Layout ----

void TVRTQ_MAIN::Layout() {
  if (inFullScreen_) return;
  LayoutInput in;
  in.hasPicture = !WMP64->FileName().isEmpty() &&
                  (WMP64->ImageSourceWidth() != 0 || WMP64->ImageSourceHeight() != 0);
  in.imageWidth = WMP64->ImageSourceWidth();
  in.imageHeight = WMP64->ImageSourceHeight();
  in.choice = static_cast<MovieSize>(std::max(0, CB_MovieSize->currentIndex()));
  std::vector<Box> monitors;
  const QList<QScreen*> screens = QGuiApplication::screens();
  int primary = 0;
  for (int i = 0; i < screens.size(); ++i) {
    const QRect g = screens[i]->geometry();
    monitors.push_back({g.x(), g.y(), g.width(), g.height()});
    if (screens[i] == QGuiApplication::primaryScreen()) primary = i;
  }
  const int index = FindMonitor(monitors, pos().x(), pos().y(), primary);
  QRect work;
  if (index >= 0) {
    in.monitor = monitors[index];
    work = screens[index]->availableGeometry();
  }
  const QSize decoration = Decoration();
  if (!work.isEmpty() && in.choice != MovieSize::kFullScreen)
    in.fit = {work.width() - decoration.width(), work.height() - decoration.height()};
  in.controlLeft = WMP64->x();
  in.controlTop = WMP64->y();
  in.gbTop = GB->y();
  in.gbWidth = GB->width();
  in.gbHeight = GB->height();
  in.hideControls = S_HideControl->isChecked();
  in.defaultSize = defaultSize_;
  const LayoutResult r = ComputeLayout(in);
  GB->move(r.gbLeft, GB->y());
  body_->setFixedSize(r.client.width, r.client.height);
  B_Dummy->hide();
  WMP64->hide();
  WMP64->resize(r.control.width, r.control.height);
  WMP64->show();
  B_Dummy->show();
  B_Dummy->lower();
  // Keys go back to the window, unless the playlist's list has them.
  if (!PlayList || !PlayList->view()->hasFocus()) B_Dummy->setFocus();
  if (in.hasPicture && in.choice == MovieSize::kFullScreen) {
    // Leaving full screen comes back here, not to the monitor's corner.
    if (!inFullScreen_) beforeFullScreen_ = QRect(NormalPosition(), geometry().size());
    keepBeforeFullScreen_ = true;
    PlaceClient(QPoint(in.monitor.left, in.monitor.top));
    SelectMovieSize(MovieSize::kScreen4);
    fullScreenLaidOut_ = true;
    WMP64->SetDisplaySize(MediaPlayerControl::kFullScreen);
    return;
  }
  // A window grown past the working area's right or bottom edge moves back in.
  if (!work.isEmpty() && isVisible() && !restoreTo_ && !isFullScreen()) {
    const QSize outer(r.client.width + decoration.width(), r.client.height + decoration.height());
    const QRect frame = frameGeometry();
    QPoint at = frame.topLeft();
    at.setX(std::max(work.left(), std::min(at.x(), work.left() + work.width() - outer.width())));
    at.setY(std::max(work.top(), std::min(at.y(), work.top() + work.height() - outer.height())));
    if (at != frame.topLeft()) PlaceClient(geometry().topLeft() + (at - frame.topLeft()));
  }
}

QSize TVRTQ_MAIN::Decoration() const {
  // The frame's share once the window manager has framed us; the menu bar is
  // outside the body either way.
  const QRect frame = frameGeometry(), client = geometry();
  const int menu = menuBar()->isVisible() ? menuBar()->sizeHint().height() : 0;
  return {frame.width() - client.width(), frame.height() - client.height() + menu};
}

void TVRTQ_MAIN::PlaceClient(const QPoint& at) {
  // The client area's place, the same geometry that is saved: a window
  // manager's frame never shifts it between runs.
  setGeometry(QRect(at, geometry().size()));
}

QPoint TVRTQ_MAIN::NormalPosition() const {
  if (inFullScreen_) return beforeFullScreen_.topLeft();
  return restoreTo_ ? *restoreTo_ : geometry().topLeft();
}

QPoint TVRTQ_MAIN::OnSomeMonitor(const QPoint& at) const {
  const QList<QScreen*> screens = QGuiApplication::screens();
  std::vector<Box> work;
  int primary = 0;
  for (int i = 0; i < screens.size(); ++i) {
    const QRect g = screens[i]->availableGeometry();
    work.push_back({g.x(), g.y(), g.width(), g.height()});
    if (screens[i] == QGuiApplication::primaryScreen()) primary = i;
  }
  for (const Box& m : work)
    if (m.left <= at.x() && at.x() < m.left + m.width && m.top <= at.y() && at.y() < m.top + m.height)
      return at;  // where the user left it
  const int index = FindMonitor(work, at.x(), at.y(), primary);
  if (index < 0) return at;
  // The title bar must be reachable: the client corner low enough for the
  // frame above it, and at least 48 pixels inside.
  const Box& m = work[index];
  const int margin = 48;
  const int title = std::max(geometry().y() - frameGeometry().y(), 32);
  QPoint p = at;
  p.setX(std::clamp(p.x(), m.left, std::max(m.left, m.left + m.width - margin)));
  p.setY(std::clamp(p.y(), m.top + title, std::max(m.top + title, m.top + m.height - margin)));
  return p;
}

void TVRTQ_MAIN::SelectMovieSize(MovieSize choice) {
  const QSignalBlocker quiet(CB_MovieSize);
  CB_MovieSize->setCurrentIndex(static_cast<int>(choice));
}

void TVRTQ_MAIN::CB_MovieSizeChange() { Layout(); }

void TVRTQ_MAIN::WMP64OpenStateChange(int, int newState) {
  if (newState == MediaPlayerControl::kOpen) Layout();
}

void TVRTQ_MAIN::WMP64EndOfStream(int) { endOfFile_ = true; }

void TVRTQ_MAIN::WMP64Error(const QString& detail, const QString& path) {
  // An address that cannot be opened leaves no window captioned "Streaming".
  if (path == WMP64->FileName() && path == locationText_) Close();
  // Not modal: a hand-over or an end of stream must not wait for the click.
  ShowErrorLater(this, texts::OpenFailed(DisplayPath(QFileInfo(path).fileName()), detail),
                 texts::kPlayerError);
}

void TVRTQ_MAIN::WMP64DisplaySizeChange(int size) {
  if (size == MediaPlayerControl::kFullScreen) {
    // Full screen asked for by the control itself: lay out as for the choice.
    if (!fullScreenLaidOut_ && !WMP64->FileName().isEmpty()) {
      SelectMovieSize(MovieSize::kFullScreen);
      Layout();
    }
    EnterFullScreen();
  } else {
    fullScreenLaidOut_ = false;
    LeaveFullScreen();
    Layout();
  }
}

void TVRTQ_MAIN::EnterFullScreen() {
  if (inFullScreen_) return;
  if (!keepBeforeFullScreen_) beforeFullScreen_ = QRect(NormalPosition(), geometry().size());
  keepBeforeFullScreen_ = false;
  inFullScreen_ = true;
  menuBar()->hide();
  GB->hide();
  WMP64->SetStripVisible(false);
  layout()->setSizeConstraint(QLayout::SetDefaultConstraint);
  body_->setMinimumSize(0, 0);
  body_->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  setMinimumSize(0, 0);
  setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  showFullScreen();
  WMP64->setGeometry(body_->rect());
}

void TVRTQ_MAIN::LeaveFullScreen() {
  if (!inFullScreen_) return;
  inFullScreen_ = false;
  showNormal();
  menuBar()->show();
  GB->setVisible(!S_HideControl->isChecked());
  WMP64->SetStripVisible(true);
  WMP64->move(0, 0);
  layout()->setSizeConstraint(QLayout::SetFixedSize);
  // Back exactly where the window was, whatever the window manager restores
  // on its own schedule: placed again until the place holds.
  restoreTo_ = beforeFullScreen_.topLeft();
  PlaceClient(*restoreTo_);
  restoreTries_ = 0;
  QTimer::singleShot(50, this, &TVRTQ_MAIN::SettleRestore);
}

void TVRTQ_MAIN::SettleRestore() {
  if (inFullScreen_ || !restoreTo_) return;
  if (geometry().topLeft() == *restoreTo_ && !isFullScreen() && ++restoreTries_ > 2) {
    restoreTo_.reset();
    Layout();
    return;
  }
  if (restoreTries_ > 40) {  // two seconds: leave it to the window manager
    restoreTo_.reset();
    return;
  }
  if (!isFullScreen() && geometry().topLeft() != *restoreTo_) PlaceClient(*restoreTo_);
  ++restoreTries_;
  QTimer::singleShot(50, this, &TVRTQ_MAIN::SettleRestore);
}

void TVRTQ_MAIN::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  if (inFullScreen_) WMP64->setGeometry(body_->rect());
}

// ---- Playlist ----

void TVRTQ_MAIN::CreatePlayList(bool show) {
  PlayList = new playlist::TVRTQ_LIST(&binding_, this);
  PlayList->setWindowFlag(Qt::Window);
  PlayList->SetCheckExt(S_CheckExt->isChecked());
  connect(S_CheckExt, &QAction::toggled, PlayList, &playlist::TVRTQ_LIST::SetCheckExt);
  PlayList->SetTitleSource([this] { return applicationTitle(); });
  // The playing file is closed before the list renames, moves or deletes it.
  PlayList->SetPlayerHooks([this] { return WMP64->FileName(); }, [this] { Close(); });
  PlayList->Load(settings_.ini(), QFileInfo(options_.settingsPath).dir().filePath(QStringLiteral("vortaq.vrtql")),
                 options_.programDir);
  connect(PlayList, &playlist::TVRTQ_LIST::OpenRequested, this, [this](const QString& path) { Open(path); });
  connect(PlayList, &playlist::TVRTQ_LIST::PlayPauseRequested, this, [this](const QString& path) {
    if (path != WMP64->FileName()) {
      Open(path);
      return;
    }
    const int state = WMP64->PlayState();
    if (state == MediaPlayerControl::kStopped || state == MediaPlayerControl::kPaused) WMP64->Play();
    else if (state == MediaPlayerControl::kPlaying) WMP64->Pause();
  });
  connect(PlayList, &playlist::TVRTQ_LIST::StopRequested, this, [this] {
    const int state = WMP64->PlayState();
    if (state != MediaPlayerControl::kPlaying && state != MediaPlayerControl::kPaused) return;
    WMP64->Stop();
    WMP64->SetCurrentPosition(0);
  });
  connect(PlayList, &playlist::TVRTQ_LIST::RewindRequested, this,
          [this] { WMP64->SetCurrentPosition(std::max(0.0, WMP64->CurrentPosition() - step_)); });
  connect(PlayList, &playlist::TVRTQ_LIST::FastForwardRequested, this,
          [this] { WMP64->SetCurrentPosition(WMP64->CurrentPosition() + step_); });
  connect(PlayList, &playlist::TVRTQ_LIST::Hidden, this, [this] { S_PlayList->setChecked(false); });
  connect(this, &TVRTQ_MAIN::PlaylistFileOpened, this, [this](const QString& path) {
    PlayList->AddBatch({path});
    if (!PlayList->isVisible()) S_PlayList->trigger();
  });
  connect(this, &TVRTQ_MAIN::TranslucencyChange, PlayList,
          [this](int opacity) { PlayList->setWindowOpacity(opacity / 255.0); });
  PlayList->setWindowOpacity(TranslucencyOpacity(transLevel_) / 255.0);
  if (show) S_PlayList->trigger();
}

void TVRTQ_MAIN::S_PlayListClick() {
  if (!PlayList) {
    S_PlayList->setChecked(false);
    return;
  }
  PlayList->setVisible(S_PlayList->isChecked());
  if (PlayList->isVisible()) PlayList->raise();
}

void TVRTQ_MAIN::B_PrevClick() {
  if (PlayList) PlayList->S_PrevClick();
}

void TVRTQ_MAIN::B_NextClick() {
  if (PlayList) PlayList->S_NextClick();
}

// ---- Keys, drops, tray ----

bool TVRTQ_MAIN::FormKeyDown(QKeyEvent* key) {
  const int k = key->key();
  const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
  if ((k == Qt::Key_Return || k == Qt::Key_Enter) && mods == Qt::AltModifier) {
    ToggleFullScreen();
    return true;
  }
  if (mods != Qt::NoModifier) {
    if (mods == Qt::ControlModifier && (k == Qt::Key_Left || k == Qt::Key_Right)) return true;
    return false;  // menu shortcuts and the like
  }
  switch (k) {
    case Qt::Key_F: ToggleFullScreen(); return true;
    case Qt::Key_Escape:
      if (WMP64->DisplaySize() == MediaPlayerControl::kFullScreen) {
        SelectMovieSize(MovieSize::kScreen4);
        WMP64->SetDisplaySize(MediaPlayerControl::kDefaultSize);
      }
      return true;
    case Qt::Key_Space: {
      const int state = WMP64->PlayState();
      if (state == MediaPlayerControl::kStopped || state == MediaPlayerControl::kPaused) WMP64->Play();
      else if (state == MediaPlayerControl::kPlaying) WMP64->Pause();
      return true;
    }
    case Qt::Key_1: ChooseSize(MovieSize::kX1); return true;
    case Qt::Key_2: ChooseSize(MovieSize::kX2); return true;
    case Qt::Key_3: ChooseSize(MovieSize::kHalf); return true;
    case Qt::Key_4: ChooseSize(MovieSize::kScreen16); return true;
    case Qt::Key_5: ChooseSize(MovieSize::kScreen4); return true;
    case Qt::Key_6: ChooseSize(MovieSize::kScreen2); return true;
    // The keys of the mpv family, where they clash with none of the above.
    case Qt::Key_BracketLeft: SC_Rate->setValue(SC_Rate->value() - 1); return true;
    case Qt::Key_BracketRight: SC_Rate->setValue(SC_Rate->value() + 1); return true;
    case Qt::Key_M: WMP64->engineClient()->SetMute(!WMP64->engineClient()->muted()); return true;
    case Qt::Key_9: SC_Volume->setValue(SC_Volume->value() - 250); return true;
    case Qt::Key_0: SC_Volume->setValue(SC_Volume->value() + 250); return true;
    case Qt::Key_Period: WMP64->engineClient()->FrameStep(1); return true;
    case Qt::Key_Comma: WMP64->engineClient()->FrameStep(-1); return true;
    case Qt::Key_PageUp: B_PrevClick(); return true;
    case Qt::Key_PageDown: B_NextClick(); return true;
    case Qt::Key_Left:
    case Qt::Key_Right: return true;  // they act when released
    default: return false;
  }
}

bool TVRTQ_MAIN::FormKeyUp(QKeyEvent* key) {
  const int k = key->key();
  const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
  if (k != Qt::Key_Left && k != Qt::Key_Right) return false;
  if (mods != Qt::NoModifier && mods != Qt::ControlModifier) return false;
  const int seconds = mods == Qt::ControlModifier ? kLongStep : step_;
  StepBy(k == Qt::Key_Left ? -seconds : seconds);
  return true;
}

void TVRTQ_MAIN::StepBy(int seconds) {
  if (WMP64->FileName().isEmpty()) return;
  double target = std::max(0.0, WMP64->CurrentPosition() + seconds);
  // Past the end the engine would end the file and the playlist move on.
  const double duration = WMP64->Duration();
  if (duration > 0 && target > duration) target = duration;
  WMP64->SetCurrentPosition(target);
}

void TVRTQ_MAIN::ChooseSize(MovieSize size) {
  SelectMovieSize(size);
  Layout();
}

void TVRTQ_MAIN::ToggleFullScreen() {
  if (WMP64->DisplaySize() == MediaPlayerControl::kFullScreen) {
    SelectMovieSize(MovieSize::kScreen4);
    WMP64->SetDisplaySize(MediaPlayerControl::kDefaultSize);
    return;
  }
  ChooseSize(MovieSize::kFullScreen);
}

void TVRTQ_MAIN::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TVRTQ_MAIN::dropEvent(QDropEvent* event) {
  // The first dropped file plays; the rest of the drop is left alone.
  for (const QUrl& url : event->mimeData()->urls()) {
    if (!url.isLocalFile()) continue;
    // The name's own bytes: QUrl's decoding would lose those that are no UTF-8.
    const QString path =
        PathFromLocal(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
    event->acceptProposedAction();
    Open(path);
    return;
  }
}

void TVRTQ_MAIN::CreateTray() {
  tray_ = new QSystemTrayIcon(QIcon(QStringLiteral(":/vortaq.svg")), this);
  tray_->setObjectName(QStringLiteral("Tray"));
  tray_->setToolTip(titleCopy_);
  PM_Tray = new QMenu(this);
  PM_Tray->setObjectName(QStringLiteral("PM_Tray"));
  PM_Tray->addAction(texts::menu::kTrayShowHide, this, &TVRTQ_MAIN::ToggleFromTray);
  PM_Tray->addSeparator();
  QMenu* list = PM_Tray->addMenu(texts::menu::kTrayPlayList);
  list->addAction(texts::menu::kTrayNext, this, &TVRTQ_MAIN::B_NextClick);
  list->addAction(texts::menu::kTrayPrev, this, &TVRTQ_MAIN::B_PrevClick);
  list->addAction(texts::menu::kTrayRandom, this, [this] {
    if (PlayList) PlayList->S_RandomClick();
  });
  PM_Tray->addSeparator();
  PM_Tray->addAction(texts::menu::kExitTray, this, &TVRTQ_MAIN::S_ExitClick);
  tray_->setContextMenu(PM_Tray);
  connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::DoubleClick) ToggleFromTray();
  });
}

bool TVRTQ_MAIN::TrayUsable() const {
  // Without a system tray the window could be hidden with no way back.
  return tray_ && !S_NoTaskTray->isChecked() && QSystemTrayIcon::isSystemTrayAvailable();
}

void TVRTQ_MAIN::ToggleFromTray() {
  if (isVisible()) {
    if (!TrayUsable()) return;
    hide();
    tray_->show();
    return;
  }
  show();
  setWindowState(windowState() & ~Qt::WindowMinimized);
  raise();
  activateWindow();
  tray_->hide();
  WMP64->setFocus();
  B_Dummy->setFocus();
}

void TVRTQ_MAIN::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange && isMinimized() && TrayUsable() && started_ &&
      !closing_) {
    // Into the tray once the minimising is done.
    QTimer::singleShot(0, this, [this] {
      if (!isMinimized() || !TrayUsable()) return;
      hide();
      tray_->show();
    });
  }
}

// ---- Magnifier, location, screen saver, step, help ----

void TVRTQ_MAIN::CreateSeek(bool show) {
  Seek = new TVRTQ_SEEK(this);
  Seek->Load(settings_.ini());
  Seek->SetStep(step_);
  connect(Seek, &TVRTQ_SEEK::SeekRequested, this, [this](double seconds) { WMP64->SetCurrentPosition(seconds); });
  connect(Seek, &TVRTQ_SEEK::StepRequested, this, [this](int direction) { StepBy(direction * step_); });
  connect(Seek, &TVRTQ_SEEK::Hidden, this, [this] { S_Seek->setChecked(false); });
  connect(this, &TVRTQ_MAIN::TranslucencyChange, Seek,
          [this](int opacity) { Seek->setWindowOpacity(opacity / 255.0); });
  Seek->setWindowOpacity(TranslucencyOpacity(transLevel_) / 255.0);
  if (show) S_Seek->trigger();
}

void TVRTQ_MAIN::S_SeekClick() {
  if (!Seek) {
    S_Seek->setChecked(false);
    return;
  }
  if (S_Seek->isChecked()) {
    Seek->SetStep(step_);
    Seek->show();
    Seek->raise();
  } else {
    Seek->hide();
  }
}

void TVRTQ_MAIN::S_OpenURLClick() {
  if (S_AlwaysOnTop->isChecked()) S_AlwaysOnTop->trigger();  // off for good
  auto* dialog = new TVRTQ_OPENURL(urlHistory_, this);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->move(frameGeometry().topLeft());
  // Window-modal and without a loop of its own: hand-overs keep arriving.
  dialog->setWindowModality(Qt::WindowModal);
  connect(dialog, &QDialog::finished, this, [this, dialog](int result) {
    if (result != QDialog::Accepted || closing_) return;
    locationText_ = dialog->address();
    urlHistory_ = PushUrl(urlHistory_, locationText_);
    settings_.Update([this](IniFile& ini) { WriteUrlHistory(ini, urlHistory_); });
    setWindowTitle(QStringLiteral("[") + locationText_ + QStringLiteral("] Streaming"));
    setToolTip(locationText_ + QStringLiteral("\r\nStreaming"));
    WMP64->SetFileName(locationText_);
    // The messengers keep the previous text; the desktop is told of the stream.
    AnnounceTrack(locationText_);
  });
  dialog->open();
}

void TVRTQ_MAIN::S_PropertyClick() {
  if (WMP64->FileName().isEmpty()) return;
  if (!AskFileManager(WMP64->FileName())) ShowPropertiesWindow(WMP64->FileName(), toolTip(), this);
}

void TVRTQ_MAIN::S_KanrenClick() {
  auto* dialog = new AssociationDialog(
      Associations(AssociationPaths::ForUser(QFileInfo(options_.settingsPath).absolutePath()),
                   QCoreApplication::applicationFilePath()),
      this);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  // Window-modal without a loop of its own, like the other dialogs of the window.
  dialog->setWindowModality(Qt::WindowModal);
  dialog->open();
}

// ---- MPRIS ----

void TVRTQ_MAIN::ConnectMpris() {
  mpris_.SetPositionSource([this] {
    return WMP64->FileName().isEmpty() ? 0 : static_cast<qint64>(WMP64->CurrentPosition() * 1e6);
  });
  connect(&mpris_, &MprisService::RaiseRequested, this, [this] {
    if (!isVisible() && tray_) ToggleFromTray();
    setWindowState(windowState() & ~Qt::WindowMinimized);
    raise();
    activateWindow();
  });
  connect(&mpris_, &MprisService::QuitRequested, this, &QWidget::close, Qt::QueuedConnection);
  connect(&mpris_, &MprisService::PlayRequested, WMP64, &MediaPlayerControl::Play);
  connect(&mpris_, &MprisService::PauseRequested, WMP64, &MediaPlayerControl::Pause);
  connect(&mpris_, &MprisService::PlayPauseRequested, this, [this] {
    if (WMP64->PlayState() == MediaPlayerControl::kPlaying) WMP64->Pause();
    else WMP64->Play();
  });
  connect(&mpris_, &MprisService::StopRequested, WMP64, &MediaPlayerControl::Stop);
  connect(&mpris_, &MprisService::NextRequested, this, &TVRTQ_MAIN::B_NextClick);
  connect(&mpris_, &MprisService::PreviousRequested, this, &TVRTQ_MAIN::B_PrevClick);
  // Seeked goes out once the engine has landed.
  connect(&mpris_, &MprisService::PositionRequested, this,
          [this](qint64 us) { WMP64->SetCurrentPosition(us / 1e6); });
  connect(&mpris_, &MprisService::OpenUriRequested, this, [this](const QString& uri) {
    const QUrl url(uri);
    Open(url.isLocalFile() ? url.toLocalFile() : uri);
  });
  connect(&mpris_, &MprisService::VolumeRequested, this, [this](double volume) {
    SC_Volume->setValue(VolumeBarFromPercent(static_cast<int>(std::lround(volume * 100))));
  });
  if (MpvEngine* engine = WMP64->engineClient()) {
    connect(engine, &MpvEngine::MetadataChanged, this, &TVRTQ_MAIN::UpdateTrackNames);
    connect(engine, &MpvEngine::Seeked, this,
            [this](double seconds) { mpris_.NotifySeeked(static_cast<qint64>(seconds * 1e6)); });
  }
  mpris_.Register();
}

void TVRTQ_MAIN::AnnounceTrack(const QString& path) {
  tags_ = {};
  tagsPath_.clear();
  const TrackNames names = ChooseTrackNames({}, {}, {}, {}, path);
  mpris_.SetTrack(path, names.title, names.artist, 0);
}

// Tags from the plug-in win over the engine's, which win over the file name.
void TVRTQ_MAIN::UpdateTrackNames() {
  const QString path = WMP64->FileName();
  if (path.isEmpty()) return;
  const bool ours = tagsPath_ == path;
  const MpvEngine* engine = WMP64->engineClient();
  const TrackNames names =
      ChooseTrackNames(ours ? tags_.title : QString(), ours ? tags_.artist : QString(),
                       engine ? engine->metadataTitle() : QString(), engine ? engine->metadataArtist() : QString(), path);
  mpris_.SetNames(names.title, names.artist);
}

void TVRTQ_MAIN::UpdateMpris() {
  const bool listed = PlayList && PlayList->model()->count() > 0;
  const bool hasFile = !WMP64->FileName().isEmpty();
  mpris_.SetCapabilities(listed, listed, hasFile && WMP64->Duration() > 0);
  mpris_.SetVolume(PercentFromVolumeBar(SC_Volume->value()) / 100.0);
  if (!hasFile) return;
  switch (WMP64->PlayState()) {
    case MediaPlayerControl::kPlaying: mpris_.SetStatus(MprisService::Status::Playing); break;
    case MediaPlayerControl::kPaused: mpris_.SetStatus(MprisService::Status::Paused); break;
    default: mpris_.SetStatus(MprisService::Status::Stopped); break;
  }
  mpris_.SetLength(static_cast<qint64>(WMP64->Duration() * 1e6));
}

void TVRTQ_MAIN::S_StopScreenSaverClick() {
  const bool on = S_StopScreenSaver->isChecked();
  WMP64->engineClient()->SetStopScreenSaver(on);
  if (on) screenSaver_.Inhibit();
  else screenSaver_.Release();
}

void TVRTQ_MAIN::S_SeekLeftRightClick() {
  if (S_AlwaysOnTop->isChecked()) S_AlwaysOnTop->trigger();
  if (qEnvironmentVariable("VORTAQ_MESSAGES") == QLatin1String("stderr")) return;
  bool ok = false;
  const QString text = QInputDialog::getText(this, texts::kStepCaption, texts::kStepPrompt,
                                             QLineEdit::Normal, QString::number(step_), &ok);
  if (!ok) return;
  SetStepFromText(text);
}

bool TVRTQ_MAIN::SetStepFromText(const QString& text) {
  int seconds = 0;
  if (!ParseStep(text, &seconds)) {
    ShowError(this, texts::NotAStep(text), texts::kError);
    return false;
  }
  step_ = seconds;
  WMP64->SetSeekStep(step_);
  return true;
}

void TVRTQ_MAIN::OpenSideFile(const QString& name) {
  QDesktopServices::openUrl(QUrl::fromLocalFile(QDir(options_.programDir).filePath(name)));
}

void TVRTQ_MAIN::S_ReadmeClick() { OpenSideFile(QStringLiteral("README.TXT")); }
void TVRTQ_MAIN::S_HistoryClick() { OpenSideFile(QStringLiteral("HISTORY.TXT")); }
void TVRTQ_MAIN::S_FormatClick() { OpenSideFile(QStringLiteral("FORMAT.TXT")); }

void TVRTQ_MAIN::S_KeysClick() { ShowInformation(this, texts::kKeyList, texts::menu::kKeysCaption); }

// ---- Options ----

void TVRTQ_MAIN::PM_AutoStartClick() { WMP64->SetAutoStart(PM_AutoStart->isChecked()); }

void TVRTQ_MAIN::PM_AutoRepeatClick() { WMP64->SetPlayCount(PM_AutoRepeat->isChecked() ? 0 : 1); }

void TVRTQ_MAIN::B_OptionClick() {
  const QPoint at = B_Option->mapToGlobal(QPoint(0, B_Option->height()));
  PM_Option->popup(at);
}

void TVRTQ_MAIN::S_AlwaysOnTopClick() {
  const bool on = S_AlwaysOnTop->isChecked();
  // Changing window flags hides the window: keep its place and visibility.
  const QPoint at = pos();
  const bool visible = isVisible();
  setWindowFlag(Qt::WindowStaysOnTopHint, on);
  move(at);
  if (visible) show();
}

void TVRTQ_MAIN::S_HideControlClick() {
  GB->setVisible(!S_HideControl->isChecked());
  Layout();
}

// ---- Bars ----

void TVRTQ_MAIN::SC_RateChange() {
  const int p = SC_Rate->value();
  WMP64->SetRate(RateFromPosition(p));
  L_Rate->setText(RateLabel(p));
}

void TVRTQ_MAIN::SC_BalanceChange() {
  WMP64->SetBalance(SC_Balance->value());
  L_Balance->setText(BalanceLabel(SC_Balance->value()));
}

void TVRTQ_MAIN::SC_VolumeChange() {
  WMP64->SetVolume(SC_Volume->value());
  L_Volume->setText(VolumeLabel(SC_Volume->value()));
}

void TVRTQ_MAIN::L_RateDblClick() { SC_Rate->setValue(10); }
void TVRTQ_MAIN::L_BalanceDblClick() { SC_Balance->setValue(0); }
void TVRTQ_MAIN::L_VolumeDblClick() { SC_Volume->setValue(SC_Volume->maximum()); }

bool TVRTQ_MAIN::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type == QEvent::KeyPress || type == QEvent::KeyRelease) {
    auto* widget = qobject_cast<QWidget*>(watched);
    // Keys of this window only: its menus and dialogs keep theirs.
    if (widget && widget->window() == this && started_ && !closing_) {
      auto* key = static_cast<QKeyEvent*>(event);
      const bool handled = type == QEvent::KeyPress ? FormKeyDown(key) : FormKeyUp(key);
      if (handled) {
        B_Dummy->setFocus();
        return true;
      }
    }
    return QMainWindow::eventFilter(watched, event);
  }
  if (type == QEvent::MouseButtonPress && watched == body_) {
    // A click on the window body gives the keys back to the window.
    if (!tray_ || !tray_->isVisible()) {
      WMP64->setFocus();
      B_Dummy->setFocus();
    }
  }
  if (type == QEvent::Wheel && watched != SC_Volume && qobject_cast<QWidget*>(watched) &&
      watched->objectName() == QLatin1String("Picture")) {
    const int notches = static_cast<QWheelEvent*>(event)->angleDelta().y() / 120;
    if (notches != 0) SC_Volume->setValue(SC_Volume->value() + notches * 250);
    return true;
  }
  if (type == QEvent::MouseButtonDblClick) {
    if (watched == L_Rate) L_RateDblClick();
    else if (watched == L_Balance) L_BalanceDblClick();
    else if (watched == L_Volume) L_VolumeDblClick();
  }
  return QMainWindow::eventFilter(watched, event);
}

// ---- Section repeat ----

void TVRTQ_MAIN::ResetRepeat() {
  repeatStart_ = repeatEnd_ = 0;
  B_RepeatStart->setText(QStringLiteral("0"));
  B_RepeatEnd->setText(QStringLiteral("0"));
  C_Repeat->setChecked(false);
}

void TVRTQ_MAIN::B_RepeatStartClick() {
  repeatStart_ = WMP64->CurrentPosition();
  B_RepeatStart->setText(RepeatCaption(repeatStart_));
}

void TVRTQ_MAIN::B_RepeatEndClick() {
  repeatEnd_ = WMP64->CurrentPosition();
  B_RepeatEnd->setText(RepeatCaption(repeatEnd_));
}

void TVRTQ_MAIN::C_RepeatClick() {
  if (repeatStart_ > repeatEnd_ || (repeatStart_ == 0 && repeatEnd_ == 0)) {
    ResetRepeat();
    return;
  }
  if (!C_Repeat->isChecked()) WMP64->SetCurrentPosition(repeatStart_);
}

// ---- Idle pass ----

void TVRTQ_MAIN::ApplicationIdle() {
  if (PlayList) PlayList->UpdateFocusPanel();
  UpdateMpris();
  if (WMP64->FileName().isEmpty()) return;
  if (WMP64->Volume() != SC_Volume->value()) SC_Volume->setValue(std::max(-5000, WMP64->Volume()));
  if (C_Repeat->isChecked() && WMP64->CurrentPosition() > repeatEnd_)
    WMP64->SetCurrentPosition(repeatStart_);
  if (endOfFile_) {
    endOfFile_ = false;
    emit EndOfFile();
    if (PlayList) PlayList->ContinueAfterEndOfFile();
  }
  if (WMP64->DisplaySize() == MediaPlayerControl::kFullScreen && !fullScreenLaidOut_) {
    SelectMovieSize(MovieSize::kFullScreen);
    Layout();
  }
  if (Seek && Seek->isVisible()) Seek->Update(WMP64->Duration(), WMP64->CurrentPosition());
}

// ---- Translucency and hints ----

void TVRTQ_MAIN::ChooseTranslucency(int level) {
  QAction* items[] = {S_TransOff, S_Trans25, S_Trans50, S_Trans75};
  if (level < 0 || level > 3) level = 0;
  for (int i = 0; i < 4; ++i) items[i]->setChecked(i == level);
  if (level != 0 && level == transLevel_) return;
  transLevel_ = level;
  // The playlist window and the seek magnifier follow the same level.
  emit TranslucencyChange(TranslucencyOpacity(level));
  if (level == 0) {
    if (S_TransMain->isChecked()) {
      setWindowOpacity(1.0);
      S_TransMain->setChecked(false);
    }
    return;
  }
  if (S_TransMain->isChecked()) setWindowOpacity(TranslucencyOpacity(level) / 255.0);
}

void TVRTQ_MAIN::S_TransOffClick() { ChooseTranslucency(0); }

void TVRTQ_MAIN::S_Trans25Click() { ChooseTranslucency(1); }
void TVRTQ_MAIN::S_Trans50Click() { ChooseTranslucency(2); }
void TVRTQ_MAIN::S_Trans75Click() { ChooseTranslucency(3); }
void TVRTQ_MAIN::S_TransMainClick() {}

void TVRTQ_MAIN::ApplyHintStyle(int code) {
  const bool ex = code == kHintStyleTranslucent;
  S_HintEx->setChecked(ex);
  S_HintNormal->setChecked(!ex);
  if (ex) {
    AppHint->SetFontColor(FromWinColor(hintColors_[2]));
    AppHint->SetShadowColor(FromWinColor(hintColors_[3]));
    AppHint->SetHintStyle(hsLineString);
  } else {
    AppHint->SetFontColor(FromWinColor(hintColors_[0]));
    AppHint->SetBrushColor(FromWinColor(hintColors_[1]));
    AppHint->SetHintStyle(hsRect);
  }
}

void TVRTQ_MAIN::S_HintShowClick() { AppHint->SetShowHint(S_HintShow->isChecked()); }

void TVRTQ_MAIN::S_HintNormalClick() { ChooseHintStyle(kHintStyleNormal); }
void TVRTQ_MAIN::S_HintExClick() { ChooseHintStyle(kHintStyleTranslucent); }

void TVRTQ_MAIN::ChooseHintStyle(int code) {
  ApplyHintStyle(code);
  // Switching hints off and on again shows the next one in the new style.
  S_HintShow->trigger();
  S_HintShow->trigger();
}

namespace {

bool PickColor(QWidget* owner, int* color) {
  if (qEnvironmentVariable("VORTAQ_MESSAGES") == QLatin1String("stderr")) return false;
  const QColor chosen = QColorDialog::getColor(FromWinColor(*color), owner);
  if (!chosen.isValid()) return false;
  *color = ToWinColor(chosen);
  return true;
}

}  // namespace

void TVRTQ_MAIN::S_HintNormalFontColorClick() {
  if (PickColor(this, &hintColors_[0]) && S_HintNormal->isChecked()) ApplyHintStyle(kHintStyleNormal);
}
void TVRTQ_MAIN::S_HintNormalBGColorClick() {
  if (PickColor(this, &hintColors_[1]) && S_HintNormal->isChecked()) ApplyHintStyle(kHintStyleNormal);
}
void TVRTQ_MAIN::S_HintExFontColorClick() {
  if (PickColor(this, &hintColors_[2]) && S_HintEx->isChecked()) ApplyHintStyle(kHintStyleTranslucent);
}
void TVRTQ_MAIN::S_HintExShadowColorClick() {
  if (PickColor(this, &hintColors_[3]) && S_HintEx->isChecked()) ApplyHintStyle(kHintStyleTranslucent);
}

}  // namespace vortaq
