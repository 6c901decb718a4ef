#include "main_window.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QListView>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QMimeData>
#include <QSystemTrayIcon>
#include <QUrl>
#include <fcntl.h>
#include <unistd.h>
#include <memory>

#include "ini_file.h"
#include "open_location.h"
#include "seek_magnifier.h"
#include "message_box.h"
#include "texts.h"
#include "platform/file_ops.h"
#include "platform/local_path.h"
#include "player_fixture.h"
#include "playlist/playlist_table_model.h"
#include "playlist/playlist_window.h"
#include "ui/hint_window.h"
#include "desktop/association_dialog.h"

namespace vortaq {
namespace {

using test::Utf16;

class MainWindowTest : public testing::Test {
 protected:
  void SetUp() override { qputenv("XDG_RUNTIME_DIR", runtime_.path().toUtf8()); }

  QString SettingsPath() const { return dir_.filePath("vortaq.ini"); }

  // Creates and shows the window and waits for its start-up sequence.
  TVRTQ_MAIN* Start(const QStringList& arguments = {},
                    const QString& library = QStringLiteral(VORTAQ_PROBEX_LIB)) {
    MainWindowOptions o;
    o.programDir = QStringLiteral(VORTAQ_BIN_DIR);
    o.libraries = {library};
    o.settingsPath = SettingsPath();
    o.arguments = arguments;
    o.engine = {QStringLiteral("null"), QStringLiteral("null"), true};
    window_ = std::make_unique<TVRTQ_MAIN>(o);
    window_->show();
    EXPECT_TRUE(test::WaitFor([&] { return window_->binding().bound() || window_->fatalStart(); }));
    test::WaitFor([] { return false; }, 50);
    EXPECT_TRUE(test::WaitFor([&] { return window_->openSettled(); }));
    return window_.get();
  }

  // Opens as the user does and waits until the analysis is back and used.
  void OpenNow(const QString& path) {
    window_->Open(path);
    EXPECT_TRUE(test::WaitFor([&] { return window_->openSettled(); }));
  }

  template <typename T>
  T* Find(const char* name) {
    T* child = window_->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
  }

  bool WaitOpen() {
    return test::WaitFor([&] {
      return window_->player()->Duration() > 0 &&
             (window_->player()->ImageSourceWidth() > 0 ||
              window_->player()->FileName().endsWith(".mp3"));
    });
  }

  IniFile Written() const { return IniFile::FromBytes(test::ReadAll(SettingsPath())); }

  QTemporaryDir dir_, runtime_;
  std::unique_ptr<TVRTQ_MAIN> window_;
};

TEST_F(MainWindowTest, FirstStartUsesDefaultsAndWritesEveryMainKey) {
  TVRTQ_MAIN* w = Start();
  EXPECT_EQ(w->geometry().topLeft(), QPoint(100, 100));
  EXPECT_TRUE(Find<QAction>("PM_AutoStart")->isChecked());
  EXPECT_TRUE(Find<QAction>("PM_AutoRepeat")->isChecked());
  EXPECT_TRUE(Find<QAction>("S_HintShow")->isChecked());
  EXPECT_TRUE(Find<QAction>("S_HintNormal")->isChecked());
  EXPECT_EQ(TAppHint::Current()->HintStyle(), hsRect);
  EXPECT_EQ(Find<QScrollBar>("SC_Volume")->value(), 0);
  EXPECT_EQ(Find<QScrollBar>("SC_Rate")->maximum(), 20);
  EXPECT_EQ(w->player()->size(), QSize(300, 146));
  EXPECT_EQ(w->windowTitle(), "Vortaq6.4 121014");
  Find<QScrollBar>("SC_Volume")->setValue(-4990);
  w->close();
  const QByteArray bytes = test::ReadAll(SettingsPath());
  ASSERT_GE(bytes.size(), 2);
  EXPECT_EQ(bytes.left(2), QByteArray("\xFF\xFE", 2));
  const IniFile ini = Written();
  EXPECT_EQ(ini.Keys("Main").size(), 32);
  EXPECT_EQ(ini.ReadString("Main", "Volume", ""), "0");
  EXPECT_EQ(ini.ReadString("Main", "HintStyle", ""), "3");
  EXPECT_EQ(ini.ReadString("Main", "AutoStart", ""), "1");
}

TEST_F(MainWindowTest, StoredSettingsAreAppliedAndOtherSectionsSurvive) {
  ASSERT_TRUE(test::WriteAll(SettingsPath(), Utf16(
      "[Seek]\r\nSeekX=1\r\n[Main]\r\nVolume=60\r\nHintStyle=2\r\nAutoRepeat=0\r\n"
      "WMPRateMax=30\r\nHideControl=1\r\nSeekLeftRight=0x10\r\nFuture=1\r\n")));
  TVRTQ_MAIN* w = Start();
  EXPECT_EQ(Find<QScrollBar>("SC_Volume")->value(), -2000);
  EXPECT_EQ(Find<QLabel>("L_Volume")->text(), "Volume(60%)");
  EXPECT_EQ(TAppHint::Current()->HintStyle(), hsLineString);
  EXPECT_FALSE(Find<QAction>("PM_AutoRepeat")->isChecked());
  EXPECT_EQ(Find<QScrollBar>("SC_Rate")->maximum(), 30);
  EXPECT_TRUE(Find<QGroupBox>("GB")->isHidden());
  w->close();
  const IniFile ini = Written();
  EXPECT_EQ(ini.ReadString("Main", "Volume", ""), "60");
  EXPECT_EQ(ini.ReadString("Main", "HintStyle", ""), "2");
  EXPECT_EQ(ini.ReadString("Main", "SeekLeftRight", ""), "16");
  EXPECT_EQ(ini.ReadString("Main", "Future", ""), "1");
  EXPECT_EQ(ini.ReadString("Seek", "SeekX", ""), "1");
  EXPECT_FALSE(ini.Keys("Main").contains("WMPRateMax", Qt::CaseInsensitive) &&
               ini.ReadString("Main", "WMPRateMax", "") != "30");
}

TEST_F(MainWindowTest, AnUnusableLibraryEndsTheStartAndSavesNothing) {
  const QByteArray old = Utf16("[Main]\r\nMainX=5\r\n");
  ASSERT_TRUE(test::WriteAll(SettingsPath(), old));
  TVRTQ_MAIN* w = Start({}, QStringLiteral(VORTAQ_FAKES "libfake_probex_ansi.so"));
  EXPECT_TRUE(w->fatalStart());
  EXPECT_EQ(LastMessage(), QStringLiteral("ANSI版のlibprobex.soは使えません。"));
  EXPECT_TRUE(test::WaitFor([&] { return !w->isVisible(); }));
  w->close();
  EXPECT_EQ(test::ReadAll(SettingsPath()), old);
}

TEST_F(MainWindowTest, OpenLaysOutForThePictureAndCloseRestores) {
  TVRTQ_MAIN* w = Start();
  auto* sizes = Find<QComboBox>("CB_MovieSize");
  sizes->setCurrentIndex(1);  // x0.5
  OpenNow(test::Fixture("clip.mp4"));
  EXPECT_EQ(w->windowTitle(), "clip.mp4");
  EXPECT_TRUE(w->toolTip().startsWith("[clip.mp4]\r\n")) << w->toolTip().toStdString();
  EXPECT_TRUE(w->toolTip().contains("13,831"));
  ASSERT_TRUE(WaitOpen());
  EXPECT_TRUE(test::WaitFor([&] { return w->player()->size() == QSize(80, 60 + 146); }));
  EXPECT_EQ(Find<QGroupBox>("GB")->x(), 88);
  sizes->setCurrentIndex(2);  // x2
  EXPECT_EQ(w->player()->size(), QSize(320, 240 + 146));
  EXPECT_EQ(Find<QGroupBox>("GB")->x(), 328);
  sizes->setCurrentIndex(4);  // 1/16 of the offscreen monitor
  const QRect screen = w->screen()->geometry();
  EXPECT_EQ(w->player()->width(), screen.width() / 4);

  w->S_CopyDetailClick();
  const QString copied = QGuiApplication::clipboard()->text();
  EXPECT_TRUE(copied.startsWith("[clip.mp4]\n")) << copied.toStdString();
  EXPECT_TRUE(copied.endsWith("\n\nclip.mp4 / DLL 130101 Unicode\n")) << copied.toStdString();

  w->Close();
  EXPECT_EQ(w->windowTitle(), "Vortaq6.4 121014");
  EXPECT_EQ(w->toolTip(), "");
  EXPECT_EQ(w->applicationTitle(), "clip.mp4");
  EXPECT_EQ(w->player()->FileName(), "");
  w->Close();  // nothing open: nothing happens
  EXPECT_EQ(w->windowTitle(), "Vortaq6.4 121014");

  OpenNow(test::Fixture("tone.mp3"));
  ASSERT_TRUE(WaitOpen());
  test::WaitFor([] { return false; }, 100);
  EXPECT_EQ(w->player()->size(), QSize(300, 146));
}

TEST_F(MainWindowTest, FullScreenChoiceShowsTheControlFullAndComesBackAtAQuarter) {
  TVRTQ_MAIN* w = Start({test::Fixture("clip.mp4")});
  ASSERT_TRUE(WaitOpen());
  auto* sizes = Find<QComboBox>("CB_MovieSize");
  sizes->setCurrentIndex(3);  // FullScreen
  EXPECT_EQ(w->player()->DisplaySize(), MediaPlayerControl::kFullScreen);
  EXPECT_EQ(sizes->currentIndex(), 5);  // 画面1/4, chosen without its handler
  EXPECT_TRUE(Find<QGroupBox>("GB")->isHidden());
  EXPECT_TRUE(w->player()->findChild<QWidget*>("Strip")->isHidden());  // the picture alone
  w->ApplicationIdle();  // the watch leaves a laid-out full screen alone
  EXPECT_EQ(sizes->currentIndex(), 5);
  w->player()->SetDisplaySize(MediaPlayerControl::kDefaultSize);
  EXPECT_FALSE(Find<QGroupBox>("GB")->isHidden());
  EXPECT_FALSE(w->player()->findChild<QWidget*>("Strip")->isHidden());
  const QRect screen = w->screen()->geometry();
  EXPECT_EQ(w->player()->width(), screen.width() / 2);  // the quarter-screen layout
  // The control asking for full screen by itself gets the same layout.
  w->player()->SetDisplaySize(MediaPlayerControl::kFullScreen);
  EXPECT_EQ(sizes->currentIndex(), 5);
  EXPECT_TRUE(Find<QGroupBox>("GB")->isHidden());
  w->close();
  EXPECT_EQ(w->player()->DisplaySize(), MediaPlayerControl::kDefaultSize);
}

TEST_F(MainWindowTest, ClosedBeforeTheStartUpRanSavesNothing) {
  const QByteArray old = Utf16("[Main]\r\nMainX=5\r\n");
  ASSERT_TRUE(test::WriteAll(SettingsPath(), old));
  MainWindowOptions o;
  o.programDir = QStringLiteral(VORTAQ_BIN_DIR);
  o.libraries = {QStringLiteral(VORTAQ_PROBEX_LIB)};
  o.settingsPath = SettingsPath();
  o.engine = {QStringLiteral("null"), QStringLiteral("null"), true};
  TVRTQ_MAIN w(o);
  w.show();
  w.close();  // a signal can come this early
  test::WaitFor([] { return false; }, 100);
  EXPECT_FALSE(w.started());
  EXPECT_EQ(test::ReadAll(SettingsPath()), old);
}

TEST_F(MainWindowTest, BarsDriveTheControlAndTheirLabels) {
  Start();
  auto* rate = Find<QScrollBar>("SC_Rate");
  rate->setValue(15);
  EXPECT_EQ(Find<QLabel>("L_Rate")->text(), "Speed(150%)");
  Find<QScrollBar>("SC_Balance")->setValue(-2550);
  EXPECT_EQ(Find<QLabel>("L_Balance")->text(), "Balance(L:25%)");
  EXPECT_EQ(window_->player()->Balance(), -2550);
  Find<QScrollBar>("SC_Volume")->setValue(-2500);
  EXPECT_EQ(Find<QLabel>("L_Volume")->text(), "Volume(50%)");
  EXPECT_EQ(window_->player()->Volume(), -2500);
  window_->L_RateDblClick();
  window_->L_BalanceDblClick();
  window_->L_VolumeDblClick();
  EXPECT_EQ(rate->value(), 10);
  EXPECT_EQ(Find<QLabel>("L_Balance")->text(), "Balance(Center)");
  EXPECT_EQ(Find<QLabel>("L_Volume")->text(), "Volume(100%)");
}

TEST_F(MainWindowTest, SectionRepeatResetsWhenStartIsAfterEnd) {
  TVRTQ_MAIN* w = Start();
  Find<QAction>("PM_AutoStart")->trigger();  // off: positions stay put
  OpenNow(test::Fixture("clip.mp4"));
  ASSERT_TRUE(WaitOpen());
  w->player()->SetCurrentPosition(1.5);
  ASSERT_TRUE(test::WaitFor([&] { return w->player()->CurrentPosition() > 1.4; }));
  Find<QPushButton>("B_RepeatStart")->click();
  EXPECT_EQ(Find<QPushButton>("B_RepeatStart")->text(), "1.50");
  w->player()->SetCurrentPosition(1.0);
  ASSERT_TRUE(test::WaitFor([&] { return w->player()->CurrentPosition() < 1.1; }));
  Find<QPushButton>("B_RepeatEnd")->click();
  auto* repeat = Find<QCheckBox>("C_Repeat");
  repeat->click();
  EXPECT_FALSE(repeat->isChecked());
  EXPECT_EQ(Find<QPushButton>("B_RepeatStart")->text(), "0");
  EXPECT_EQ(Find<QPushButton>("B_RepeatEnd")->text(), "0");
}

TEST_F(MainWindowTest, ReadOnlyMarksAreTakenBackAtExitButNotFromFilesThatHadThem) {
  QTemporaryDir media;
  const QString mine = media.filePath("mine.mp3"), theirs = media.filePath("theirs.mp3");
  ASSERT_TRUE(QFile::copy(test::Fixture("tone.mp3"), mine));
  ASSERT_TRUE(QFile::copy(test::Fixture("tone.mp3"), theirs));
  ASSERT_TRUE(SetReadOnly(mine, false));
  ASSERT_TRUE(QFile::setPermissions(mine, QFile::permissions(mine) | QFile::WriteGroup));
  ASSERT_TRUE(SetReadOnly(theirs, true));
  ASSERT_TRUE(test::WriteAll(SettingsPath(), Utf16("[Main]\r\nAddReadOnly=1\r\n")));
  TVRTQ_MAIN* w = Start();
  OpenNow(mine);
  EXPECT_TRUE(IsReadOnly(mine));
  OpenNow(theirs);
  EXPECT_EQ(w->readOnlyList(), QStringList{mine});
  w->close();
  EXPECT_FALSE(IsReadOnly(mine));
  EXPECT_TRUE(QFile::permissions(mine) & QFile::WriteGroup);  // given back as it was
  EXPECT_TRUE(IsReadOnly(theirs));
}

TEST_F(MainWindowTest, ExtensionCorrectionRenamesBeforePlayingButNeverOverAnotherFile) {
  QTemporaryDir media;
  const QString wrong = media.filePath("song.wav"), upper = media.filePath("loud.MP3");
  const QString taken = media.filePath("other.wav");
  for (const QString& p : {wrong, upper, taken, media.filePath("other.mp3")})
    ASSERT_TRUE(QFile::copy(test::Fixture("tone.mp3"), p));
  ASSERT_TRUE(test::WriteAll(SettingsPath(), Utf16("[Main]\r\nCheckExt=1\r\n")));
  TVRTQ_MAIN* w = Start();
  ASSERT_TRUE(Find<QAction>("S_CheckExt")->isChecked());

  OpenNow(wrong);
  const QString renamed = media.filePath("song.mp3");
  EXPECT_TRUE(QFileInfo::exists(renamed));
  EXPECT_FALSE(QFileInfo::exists(wrong));
  EXPECT_EQ(w->player()->FileName(), renamed);
  EXPECT_EQ(w->windowTitle(), "song.mp3");
  EXPECT_TRUE(w->toolTip().startsWith("[song.mp3]\r\n"));

  OpenNow(taken);  // other.mp3 is there: played under its old name
  EXPECT_TRUE(QFileInfo::exists(taken));
  EXPECT_EQ(w->player()->FileName(), taken);

  OpenNow(upper);  // a change of case alone is never made
  EXPECT_TRUE(QFileInfo::exists(upper));
  EXPECT_EQ(w->player()->FileName(), upper);

  Find<QAction>("S_CheckExt")->trigger();  // off: names stay as they are
  const QString plain = media.filePath("plain.wav");
  ASSERT_TRUE(QFile::copy(test::Fixture("tone.mp3"), plain));
  OpenNow(plain);
  EXPECT_EQ(w->player()->FileName(), plain);
  w->close();
  EXPECT_FALSE(Written().ReadBool("Main", "CheckExt", true));
}

TEST_F(MainWindowTest, TranslucencyLevelsFollowTheMenuAndTheMainWindowOnlyWhenTicked) {
  ASSERT_TRUE(test::WriteAll(SettingsPath(), Utf16("[Main]\r\nTransWindow=2\r\nTransMain=1\r\n")));
  TVRTQ_MAIN* w = Start();
  QList<int> others;
  QObject::connect(w, &TVRTQ_MAIN::TranslucencyChange, [&](int opacity) { others << opacity; });
  EXPECT_TRUE(Find<QAction>("S_Trans50")->isChecked());
  EXPECT_TRUE(Find<QAction>("S_TransMain")->isChecked());
  EXPECT_NEAR(w->windowOpacity(), 128 / 255.0, 0.01);

  Find<QAction>("S_Trans50")->trigger();  // the ticked level again: nothing
  EXPECT_TRUE(Find<QAction>("S_Trans50")->isChecked());
  EXPECT_TRUE(others.isEmpty());
  Find<QAction>("S_Trans75")->trigger();
  EXPECT_NEAR(w->windowOpacity(), 64 / 255.0, 0.01);
  EXPECT_FALSE(Find<QAction>("S_Trans50")->isChecked());
  Find<QAction>("S_TransOff")->trigger();  // opaque, and the main window's tick goes
  EXPECT_EQ(w->windowOpacity(), 1.0);
  EXPECT_FALSE(Find<QAction>("S_TransMain")->isChecked());
  Find<QAction>("S_Trans25")->trigger();  // without the tick only the others change
  EXPECT_EQ(w->windowOpacity(), 1.0);
  EXPECT_EQ(others, (QList<int>{64, 255, 192}));
  w->close();
  EXPECT_EQ(Written().ReadInteger("Main", "TransWindow", -1), 1);
  EXPECT_EQ(Written().ReadInteger("Main", "TransMain", -1), 0);
}

TEST_F(MainWindowTest, HintStyleChoiceKeepsHintsAsTheyWere) {
  TVRTQ_MAIN* w = Start();
  QAction* show = Find<QAction>("S_HintShow");
  Find<QAction>("S_HintEx")->trigger();
  EXPECT_TRUE(Find<QAction>("S_HintEx")->isChecked());
  EXPECT_FALSE(Find<QAction>("S_HintNormal")->isChecked());
  EXPECT_EQ(TAppHint::Current()->HintStyle(), hsLineString);
  EXPECT_TRUE(show->isChecked());
  EXPECT_TRUE(TAppHint::Current()->ShowHint());
  show->trigger();  // hints off stay off across a style change
  Find<QAction>("S_HintNormal")->trigger();
  EXPECT_EQ(TAppHint::Current()->HintStyle(), hsRect);
  EXPECT_FALSE(show->isChecked());
  EXPECT_FALSE(TAppHint::Current()->ShowHint());
  Find<QAction>("S_HintEx")->trigger();
  w->close();
  EXPECT_EQ(Written().ReadInteger("Main", "HintStyle", -1), 2);
  EXPECT_EQ(Written().ReadInteger("Main", "Hint", -1), 0);
}

TEST_F(MainWindowTest, KeysNeverReachTheSizeList) {
  TVRTQ_MAIN* w = Start();
  w->activateWindow();
  auto* sizes = Find<QComboBox>("CB_MovieSize");
  EXPECT_NE(w->focusWidget(), sizes);
  for (Qt::Key key : {Qt::Key_Down, Qt::Key_Up, Qt::Key_End, Qt::Key_X, Qt::Key_Space})
    QTest::keyClick(w, key);
  EXPECT_EQ(sizes->currentIndex(), 0);
  EXPECT_FALSE(sizes->view()->isVisible());
  for (QWidget* control : Find<QGroupBox>("GB")->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
    EXPECT_EQ(control->focusPolicy(), Qt::NoFocus) << control->objectName().toStdString();
}

TEST_F(MainWindowTest, AnamorphicVideoIsLaidOutAtItsDisplaySize) {
  TVRTQ_MAIN* w = Start({test::Fixture("anamorphic.mp4")});
  EXPECT_TRUE(test::WaitFor([&] { return w->player()->size() == QSize(213, 120 + 146); }))
      << w->player()->width() << "x" << w->player()->height();
}

TEST_F(MainWindowTest, NamesThatAreNoUtf8AreAnalysedPlayedAndShownWithReplacements) {
  QTemporaryDir media;
  const QByteArray local = QFile::encodeName(media.path()) + "/tone\xE9.mp3";
  const QByteArray data = test::ReadAll(test::Fixture("tone.mp3"));
  const int fd = ::open(local.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, data.constData(), data.size()), data.size());
  ::close(fd);
  TVRTQ_MAIN* w = Start();
  OpenNow(PathFromLocal(local));
  EXPECT_EQ(w->windowTitle(), QStringLiteral("tone\uFFFD.mp3"));
  EXPECT_TRUE(w->toolTip().contains("4,407")) << w->toolTip().toStdString();  // the analysis
  ASSERT_TRUE(WaitOpen());
  EXPECT_EQ(LocalFromPath(w->player()->FileName()), local);
}

TEST_F(MainWindowTest, APathTooLongToAnalyseSaysSoAndStillPlays) {
  QTemporaryDir media;
  QString folder = media.path();
  while (folder.size() < 260) folder += QStringLiteral("/a-rather-long-folder-name");
  ASSERT_TRUE(QDir().mkpath(folder));
  const QString path = folder + QStringLiteral("/tone.mp3");
  ASSERT_TRUE(QFile::copy(test::Fixture("tone.mp3"), path));
  TVRTQ_MAIN* w = Start();
  OpenNow(path);
  EXPECT_TRUE(w->toolTip().contains(QStringLiteral("パスが長すぎる"))) << w->toolTip().toStdString();
  w->S_CopyDetailClick();
  EXPECT_TRUE(QGuiApplication::clipboard()->text().contains(QStringLiteral("パスが長すぎる")));
  ASSERT_TRUE(WaitOpen());
}

// The tone with an ID3v2.3 tag of its own in place of the encoder's.
QString TaggedTone(const QTemporaryDir& dir, const QByteArray& title, const QByteArray& artist) {
  const QString path = dir.filePath("tagged.mp3");
  QByteArray tone = test::ReadAll(test::Fixture("tone.mp3"));
  if (tone.startsWith("ID3")) {
    const int size = (tone[6] & 0x7F) << 21 | (tone[7] & 0x7F) << 14 | (tone[8] & 0x7F) << 7 | (tone[9] & 0x7F);
    tone.remove(0, 10 + size);
  }
  QByteArray frames;
  for (const auto& [id, text] : {std::pair{"TIT2", title}, std::pair{"TPE1", artist}}) {
    const QByteArray body = '\0' + text;  // ISO-8859-1
    frames += id;
    for (int shift : {24, 16, 8, 0}) frames += char(body.size() >> shift & 0xFF);
    frames += QByteArray(2, '\0') + body;
  }
  QByteArray tag("ID3\x03\0\0", 6);
  for (int shift : {21, 14, 7, 0}) tag += char(frames.size() >> shift & 0x7F);
  EXPECT_TRUE(test::WriteAll(path, tag + frames + tone));
  return path;
}

TEST_F(MainWindowTest, MessengerLinksStartFromTheSettingsAndTheirItemsOnlyChangeTheNextStart) {
  ASSERT_TRUE(test::WriteAll(SettingsPath(), Utf16("[Main]\r\nWATrack=1\r\nMSN=1\r\nSkype=1\r\n")));
  ShowInformation(nullptr, QString(), QString());
  TVRTQ_MAIN* w = Start();
  for (const char* item : {"S_WATrack", "S_MSN", "S_Skype"}) EXPECT_TRUE(Find<QAction>(item)->isChecked()) << item;
  ASSERT_NE(w->nowPlaying().watrackWindow(), nullptr);
  EXPECT_EQ(w->nowPlaying().watrackWindow()->windowTitle(), "MusicCubeOne - ");
  EXPECT_FALSE(w->nowPlaying().watrackWindow()->isVisible());
  // No Skype on Linux: said once, the rest of the start goes on.
  EXPECT_EQ(LastMessage(), "Skype is not installed!");
  EXPECT_TRUE(w->nowPlaying().active());
  EXPECT_TRUE(w->nowPlaying().tagsBound());

  // The tags are read off the GUI thread and name the track for the desktop.
  OpenNow(TaggedTone(dir_, "Song", "Band"));
  ASSERT_TRUE(test::WaitFor([&] { return w->mpris().metadata().value("xesam:title").toString() == "Song"; }));
  EXPECT_EQ(w->mpris().metadata().value("xesam:artist").toStringList(), QStringList{"Band"});
  w->Close();
  EXPECT_FALSE(w->mpris().hasTrack());

  Find<QAction>("S_MSN")->trigger();
  EXPECT_TRUE(w->nowPlaying().active());  // fixed until the next start
  w->close();
  EXPECT_EQ(w->nowPlaying().watrackWindow(), nullptr);
  const IniFile ini = Written();
  EXPECT_EQ(ini.ReadString("Main", "WATrack", ""), "1");
  EXPECT_EQ(ini.ReadString("Main", "MSN", ""), "0");
  EXPECT_EQ(ini.ReadString("Main", "Skype", ""), "1");
}

TEST_F(MainWindowTest, WithoutThePlugInTheEngineNamesTheTrackElseTheFileName) {
  TVRTQ_MAIN* w = Start();
  EXPECT_FALSE(w->nowPlaying().tagsBound());  // no link, no plug-in
  OpenNow(TaggedTone(dir_, "Engine title", "Engine artist"));
  ASSERT_TRUE(test::WaitFor([&] { return w->mpris().metadata().value("xesam:title") == "Engine title"; }));
  EXPECT_EQ(w->mpris().metadata().value("xesam:artist").toStringList(), QStringList{"Engine artist"});
  ASSERT_TRUE(WaitOpen());
  EXPECT_TRUE(test::WaitFor([&] { return w->mpris().length() > 900'000; }));
  OpenNow(test::Fixture("clip.mp4"));
  EXPECT_EQ(w->mpris().metadata().value("xesam:title").toString(), "clip.mp4");
}

TEST_F(MainWindowTest, TheAssociationItemOpensItsDialog) {
  TVRTQ_MAIN* w = Start();
  Find<QAction>("S_Kanren")->trigger();
  auto* dialog = w->findChild<AssociationDialog*>("TVRTQ_KANREN");
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(dialog->isVisible());
  dialog->close();
}

// A file on a hung mount must not freeze the window: the analysis runs aside,
// and only the last of several opens in a row plays.
TEST_F(MainWindowTest, OpenAnalysesOffTheGuiThreadAndOnlyTheLastOpenPlays) {
  TVRTQ_MAIN* w = Start();
  w->Open(test::Fixture("tone.mp3"));
  EXPECT_EQ(w->windowTitle(), "Checking...");  // back to the loop before the analysis is used
  w->Open(test::Fixture("clip.mp4"));
  ASSERT_TRUE(test::WaitFor([&] { return w->openSettled(); }));
  EXPECT_EQ(w->player()->FileName(), test::Fixture("clip.mp4"));
  EXPECT_EQ(w->windowTitle(), "clip.mp4");
  // A close while the analysis runs wins over it.
  w->Open(test::Fixture("tone.mp3"));
  w->Close();
  ASSERT_TRUE(test::WaitFor([&] { return w->openSettled(); }));
  EXPECT_EQ(w->player()->FileName(), "");
  EXPECT_NE(w->windowTitle(), "Checking...");
}

TEST_F(MainWindowTest, AnOpenErrorNamesItsOwnFileInJapaneseWithTheEnginesReason) {
  Start();
  ShowInformation(nullptr, QString(), QString());  // forget earlier messages
  OpenNow(test::Fixture("make_fixtures.sh"));
  ASSERT_TRUE(test::WaitFor([] { return !LastMessage().isEmpty(); }));
  EXPECT_TRUE(LastMessage().startsWith("make_fixtures.sh\nを開けませんでした。\n\n(mpv: "))
      << LastMessage().toStdString();
}

TEST_F(MainWindowTest, TwoOrMoreArgumentsPlayTheFirstAndListThemAll) {
  TVRTQ_MAIN* w = Start({test::Fixture("clip.mp4"), test::Fixture("tone.mp3")});
  ASSERT_NE(w->playList(), nullptr);
  EXPECT_TRUE(w->playList()->isVisible());
  EXPECT_TRUE(Find<QAction>("S_PlayList")->isChecked());
  EXPECT_EQ(w->player()->FileName(), test::Fixture("clip.mp4"));
  ASSERT_TRUE(test::WaitFor([&] { return w->playList()->model()->rowCount() == 2; }))
      << w->playList()->model()->rowCount();
  Find<QAction>("S_PlayList")->trigger();  // Ctrl+P hides it, the tick follows
  EXPECT_FALSE(w->playList()->isVisible());
  w->close();
  EXPECT_EQ(Written().ReadString("Main", "PlayList", ""), "0");
}

TEST_F(MainWindowTest, TheDesignedKeysDriveSizePlaybackAndPosition) {
  TVRTQ_MAIN* w = Start();
  Find<QAction>("PM_AutoStart")->trigger();  // off: the file waits to be started
  OpenNow(test::Fixture("clip.mp4"));
  ASSERT_TRUE(WaitOpen());
  struct Case {
    Qt::Key key;
    Qt::KeyboardModifiers mods;
    int size;  // the choice, by index
  } sizes[] = {{Qt::Key_3, Qt::NoModifier, 1}, {Qt::Key_2, Qt::NoModifier, 2},
               {Qt::Key_1, Qt::KeypadModifier, 0}, {Qt::Key_4, Qt::NoModifier, 4},
               {Qt::Key_5, Qt::NoModifier, 5}, {Qt::Key_6, Qt::NoModifier, 6},
               {Qt::Key_3, Qt::NoModifier, 1}};
  for (const Case& c : sizes) {
    QTest::keyClick(w, c.key, c.mods);
    EXPECT_EQ(Find<QComboBox>("CB_MovieSize")->currentIndex(), c.size) << c.key;
  }
  EXPECT_EQ(w->player()->size(), QSize(80, 60 + 146));  // x0.5 of 160 × 120

  EXPECT_EQ(w->player()->PlayState(), MediaPlayerControl::kStopped);
  QTest::keyClick(w, Qt::Key_Space);
  EXPECT_EQ(w->player()->PlayState(), MediaPlayerControl::kPlaying);
  QTest::keyClick(w, Qt::Key_Space);
  EXPECT_EQ(w->player()->PlayState(), MediaPlayerControl::kPaused);

  // Left from 1 s with the step of 5 stops at 0; Right stops at the end, so the
  // engine does not end the file by accident.
  w->player()->SetCurrentPosition(1.0);
  ASSERT_TRUE(test::WaitFor([&] { return std::abs(w->player()->CurrentPosition() - 1.0) < 0.1; }));
  QTest::keyClick(w, Qt::Key_Left);
  EXPECT_TRUE(test::WaitFor([&] { return w->player()->CurrentPosition() < 0.05; }));
  QTest::keyClick(w, Qt::Key_Right);
  EXPECT_TRUE(test::WaitFor([&] { return w->player()->CurrentPosition() > 1.5; }));
  EXPECT_LE(w->player()->CurrentPosition(), w->player()->Duration() + 0.01);
  EXPECT_EQ(w->focusWidget(), Find<QPushButton>("B_Dummy"));
}

TEST_F(MainWindowTest, ADropPlaysItsFirstFileOnly) {
  TVRTQ_MAIN* w = Start();
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(test::Fixture("tone.mp3")), QUrl::fromLocalFile(test::Fixture("clip.mp4")),
                QUrl::fromLocalFile(test::Fixture("anamorphic.mp4"))});
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(w, &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(w, &drop);
  ASSERT_TRUE(test::WaitFor([&] { return w->openSettled(); }));
  EXPECT_EQ(w->player()->FileName(), test::Fixture("tone.mp3"));
  EXPECT_EQ(w->playList()->model()->rowCount(), 0);
}

TEST_F(MainWindowTest, WithoutASystemTrayMinimisingKeepsTheWindowReachable) {
  TVRTQ_MAIN* w = Start();
  ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());  // offscreen has none
  w->showMinimized();
  test::WaitFor([] { return false; }, 100);
  EXPECT_TRUE(w->isVisible());
  EXPECT_FALSE(w->tray()->isVisible());
}

TEST_F(MainWindowTest, TheMagnifierFollowsPlaybackAndSeeksWhenMoved) {
  TVRTQ_MAIN* w = Start({test::Fixture("clip.mp4")});
  ASSERT_TRUE(WaitOpen());
  Find<QAction>("S_Seek")->trigger();
  ASSERT_TRUE(w->seek()->isVisible());
  w->player()->Pause();
  w->player()->SetCurrentPosition(1.2);
  ASSERT_TRUE(test::WaitFor([&] { return w->seek()->bar()->value() == 1; }));
  EXPECT_EQ(w->seek()->bar()->maximum(), 2);
  EXPECT_EQ(w->seek()->windowTitle(), "拡大鏡 [00:00:01 1f] -> [00:00:02 2f]");
  w->seek()->bar()->setSliderDown(true);
  w->seek()->bar()->setValue(0);
  w->seek()->bar()->setSliderDown(false);
  EXPECT_TRUE(test::WaitFor([&] { return w->player()->CurrentPosition() < 0.05; }));
  w->seek()->close();  // closing hides it and clears the tick
  EXPECT_FALSE(Find<QAction>("S_Seek")->isChecked());
  w->close();
  EXPECT_EQ(Written().ReadInteger("Seek", "SeekW", 0), w->seek()->width());
  EXPECT_FALSE(Written().ReadBool("Main", "Seek", true));
}

TEST_F(MainWindowTest, AnAddressIsPlayedAsTypedAndKeptInTheHistory) {
  TVRTQ_MAIN* w = Start();
  Find<QAction>("S_OpenURL")->trigger();
  auto* dialog = w->findChild<TVRTQ_OPENURL*>();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->windowTitle(), "ファイル以外を開く");
  EXPECT_EQ(dialog->urlBox()->count(), 5);
  EXPECT_EQ(dialog->urlBox()->currentText(), "http://");
  const QString address = test::Fixture("clip.mp4");
  dialog->urlBox()->setEditText(address);
  dialog->B_OkClick();
  EXPECT_EQ(w->windowTitle(), "[" + address + "] Streaming");
  EXPECT_EQ(w->toolTip(), address + "\r\nStreaming");
  EXPECT_EQ(w->player()->FileName(), address);
  EXPECT_EQ(ReadUrlHistory(Written()), (QStringList{"", "", "", "", address}));

  // An address the engine cannot open says why and leaves no "Streaming" window.
  ShowInformation(nullptr, QString(), QString());
  Find<QAction>("S_OpenURL")->trigger();
  dialog = w->findChild<TVRTQ_OPENURL*>();
  ASSERT_NE(dialog, nullptr);
  dialog->urlBox()->setEditText(QStringLiteral("/nowhere/stream"));
  dialog->B_OkClick();
  ASSERT_TRUE(test::WaitFor([] { return !LastMessage().isEmpty(); }));
  EXPECT_EQ(w->windowTitle(), "Vortaq6.4 121014");
}

TEST_F(MainWindowTest, TheStepInputTakesADayAtMostAndNothingNegative) {
  TVRTQ_MAIN* w = Start();
  EXPECT_TRUE(w->SetStepFromText(" 7 "));
  EXPECT_EQ(w->step(), 7);
  for (const char* bad : {"-5", "86401", "abc", "", "1.5"}) {
    EXPECT_FALSE(w->SetStepFromText(QString::fromLatin1(bad))) << bad;
    EXPECT_EQ(w->step(), 7) << bad;
  }
  EXPECT_TRUE(LastMessage().contains(QStringLiteral("有効な整数値ではありません")));
  EXPECT_TRUE(w->SetStepFromText("86400"));
  w->close();
  EXPECT_EQ(Written().ReadInteger("Main", "SeekLeftRight", 0), 86400);
}

TEST(SeekCaptionTest, TheDesignedTimeSplit) {
  struct Case {
    int position;
    double duration;
    const char* caption;
  } cases[] = {
      {61, 3723.6, "拡大鏡 [00:01:01 61f] -> [01:02:04 3723f]"},
      {0, 59.4, "拡大鏡 [00:00:00 0f] -> [00:00:59 59f]"},
      {3600, 3600.5, "拡大鏡 [01:00:00 3600f] -> [01:00:01 3600f]"},
      {0, 0, "拡大鏡 [00:00:00 0f] -> [00:00:00 0f]"},
  };
  for (const Case& c : cases) EXPECT_EQ(SeekCaption(c.position, c.duration), QString::fromUtf8(c.caption));
  TVRTQ_SEEK seek;
  seek.Update(59.4, 12.7);
  EXPECT_EQ(seek.bar()->maximum(), 59);
  EXPECT_EQ(seek.bar()->pageStep(), 5);
  EXPECT_EQ(seek.bar()->value(), 12);
}

TEST(UrlHistoryTest, FiveItemsAlwaysOldestFirst) {
  IniFile empty;
  EXPECT_EQ(ReadUrlHistory(empty), (QStringList{"", "", "", "", ""}));
  QStringList h = PushUrl(ReadUrlHistory(empty), "http://a/");
  h = PushUrl(h, "http://a/");  // the same address twice takes two places
  EXPECT_EQ(h, (QStringList{"", "", "", "http://a/", "http://a/"}));
  EXPECT_EQ(PushUrl({"1"}, "2"), (QStringList{"", "", "", "1", "2"}));  // short: padded
  EXPECT_EQ(PushUrl({"1", "2", "3", "4", "5", "6"}, "7"), (QStringList{"3", "4", "5", "6", "7"}));
  IniFile ini;
  WriteUrlHistory(ini, PushUrl(ReadUrlHistory(ini), QStringLiteral("http://例え.jp/曲")));
  EXPECT_EQ(ini.ReadString("OpenURL", "URLHistory05", ""), QStringLiteral("http://例え.jp/曲"));
}

TEST(OpenDialogTest, ShowsTheDesignedFilterNamesAndListsFilesWithoutADot) {
  QFileDialog dialog(nullptr, texts::kOpenDialogTitle);
  dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::HideNameFilterDetails);
  dialog.setNameFilter(texts::kOpenDialogFilter);
  auto* types = dialog.findChild<QComboBox*>("fileTypeCombo");
  ASSERT_NE(types, nullptr);
  ASSERT_EQ(types->count(), 2);
  EXPECT_EQ(types->itemText(0), "再生できそうなもの (*.*)");
  EXPECT_EQ(types->itemText(1), "PlayList File (*.vrtql)");
  QTemporaryDir folder;
  ASSERT_TRUE(test::WriteAll(folder.filePath("noextension"), "x"));
  ASSERT_TRUE(test::WriteAll(folder.filePath("a.mp3"), "x"));
  dialog.setDirectory(folder.path());
  auto* list = dialog.findChild<QListView*>("listView");
  ASSERT_NE(list, nullptr);
  EXPECT_TRUE(test::WaitFor([&] { return list->model()->rowCount(list->rootIndex()) == 2; }));
}

TEST_F(MainWindowTest, VersionDialogSwitchesAlwaysOnTopOffForGood) {
  TVRTQ_MAIN* w = Start();
  QAction* top = Find<QAction>("S_AlwaysOnTop");
  top->trigger();
  ASSERT_TRUE(w->windowFlags() & Qt::WindowStaysOnTopHint);
  w->S_VersionClick();
  EXPECT_FALSE(top->isChecked());
  EXPECT_FALSE(w->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_TRUE(w->isVisible());
  EXPECT_TRUE(LastMessage().startsWith("Vortaq6.4 121014"));
}

TEST_F(MainWindowTest, ResumeReopensAtTheStoredSecondAndPlaysOnlyWhenItWasPlaying) {
  for (int state : {2, 1}) {
    ASSERT_TRUE(test::WriteAll(SettingsPath(), Utf16(QStringLiteral(
        "[Main]\r\nResume=1\r\nResumePos=1\r\nAutoRepeat=1\r\nResumeState=%1\r\nResumeFileName=%2\r\n")
        .arg(state).arg(test::Fixture("clip.mp4")))));
    TVRTQ_MAIN* w = Start();
    ASSERT_TRUE(WaitOpen());
    EXPECT_TRUE(Find<QAction>("PM_AutoStart")->isChecked());  // put back after the resume
    if (state == 2) {
      EXPECT_EQ(w->player()->PlayState(), MediaPlayerControl::kPlaying);
    } else {
      EXPECT_NE(w->player()->PlayState(), MediaPlayerControl::kPlaying);
      EXPECT_TRUE(test::WaitFor([&] { return std::abs(w->player()->CurrentPosition() - 1.0) < 0.1; }));
    }
    w->close();
    const IniFile ini = Written();
    EXPECT_EQ(ini.ReadString("Main", "ResumeFileName", ""), test::Fixture("clip.mp4"));
    window_.reset();
  }
}

}  // namespace
}  // namespace vortaq
