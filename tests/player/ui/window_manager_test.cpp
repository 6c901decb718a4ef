// The main window under a real window manager (openbox on Xvfb, started by
// with_window_manager.sh): frames and title bars shift client and frame
// positions apart, which no test on the offscreen platform can show.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <memory>

#include "ini_file.h"
#include "main_window.h"
#include "player_fixture.h"

namespace vortaq {
namespace {

using test::Utf16;

class WindowManagerTest : public testing::Test {
 protected:
  void SetUp() override {
    if (QGuiApplication::platformName() != QLatin1String("xcb") ||
        qEnvironmentVariableIsEmpty("VORTAQ_WINDOW_MANAGER"))
      GTEST_SKIP() << "needs an X server with a window manager";
    qputenv("XDG_RUNTIME_DIR", runtime_.path().toUtf8());
  }

  QString SettingsPath() const { return dir_.filePath("vortaq.ini"); }

  // Shows the window and waits until the manager has framed and placed it.
  TVRTQ_MAIN* Start(const QStringList& arguments = {}) {
    MainWindowOptions o;
    o.programDir = QStringLiteral(VORTAQ_BIN_DIR);
    o.libraries = {QStringLiteral(VORTAQ_PROBEX_LIB)};
    o.settingsPath = SettingsPath();
    o.arguments = arguments;
    o.engine.audioOutput = QStringLiteral("null");
    window_ = std::make_unique<TVRTQ_MAIN>(o);
    window_->show();
    EXPECT_TRUE(test::WaitFor([&] { return window_->started(); }));
    test::WaitFor([&] { return window_->frameGeometry() != window_->geometry(); }, 2000);
    test::WaitFor([] { return false; }, 300);
    return window_.get();
  }

  QPoint Saved() const {
    const IniFile ini = IniFile::FromBytes(test::ReadAll(SettingsPath()));
    return {ini.ReadInteger("Main", "MainX", -1), ini.ReadInteger("Main", "MainY", -1)};
  }

  QTemporaryDir dir_, runtime_;
  std::unique_ptr<TVRTQ_MAIN> window_;
};

TEST_F(WindowManagerTest, SevenRestartsLeaveTheWindowWhereItWas) {
  ASSERT_TRUE(test::WriteAll(SettingsPath(), Utf16("[Main]\r\nMainX=200\r\nMainY=150\r\n")));
  for (int run = 0; run < 7; ++run) {
    TVRTQ_MAIN* w = Start();
    EXPECT_EQ(w->geometry().topLeft(), QPoint(200, 150)) << run;
    w->close();
    window_.reset();
    EXPECT_EQ(Saved(), QPoint(200, 150)) << run;
  }
}

TEST_F(WindowManagerTest, APositionNoMonitorShowsComesBackOnScreen) {
  ASSERT_TRUE(test::WriteAll(SettingsPath(), Utf16("[Main]\r\nMainX=5000\r\nMainY=-3000\r\n")));
  TVRTQ_MAIN* w = Start();
  const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_GE(w->frameGeometry().top(), work.top());  // the title bar can be reached
  EXPECT_LT(w->frameGeometry().left(), work.right() - 40);
  w->close();
}

TEST_F(WindowManagerTest, FullScreenAndBackRestoresTheWindowExactly) {
  ASSERT_TRUE(test::WriteAll(SettingsPath(), Utf16("[Main]\r\nMainX=120\r\nMainY=90\r\n")));
  TVRTQ_MAIN* w = Start({test::Fixture("clip.mp4")});
  ASSERT_TRUE(test::WaitFor([&] { return w->player()->ImageSourceWidth() == 160; }));
  test::WaitFor([] { return false; }, 300);
  const QRect before = w->geometry();
  w->findChild<QComboBox*>("CB_MovieSize")->setCurrentIndex(3);  // FullScreen
  ASSERT_TRUE(test::WaitFor([&] { return w->isFullScreen(); }));
  test::WaitFor([] { return false; }, 300);
  w->player()->SetDisplaySize(MediaPlayerControl::kDefaultSize);
  EXPECT_TRUE(test::WaitFor([&] { return !w->isFullScreen() && w->geometry().topLeft() == before.topLeft(); }))
      << w->geometry().x() << "," << w->geometry().y();
  test::WaitFor([] { return false; }, 300);
  EXPECT_EQ(w->geometry().topLeft(), before.topLeft());
  EXPECT_GE(w->frameGeometry().top(), 0);
  // Full screen at the close saves the window's own place, not the screen's.
  w->findChild<QComboBox*>("CB_MovieSize")->setCurrentIndex(3);
  ASSERT_TRUE(test::WaitFor([&] { return w->isFullScreen(); }));
  w->close();
  EXPECT_EQ(Saved(), before.topLeft());
}

TEST_F(WindowManagerTest, HalfTheScreenStaysInsideTheWorkingArea) {
  TVRTQ_MAIN* w = Start({test::Fixture("clip.mp4")});
  ASSERT_TRUE(test::WaitFor([&] { return w->player()->ImageSourceWidth() == 160; }));
  w->findChild<QComboBox*>("CB_MovieSize")->setCurrentIndex(6);  // 画面1/2: 600 + 146 designed
  test::WaitFor([] { return false; }, 500);
  const QRect work = w->screen()->availableGeometry();
  EXPECT_TRUE(work.contains(w->frameGeometry())) << w->frameGeometry().height();
  const double aspect = static_cast<double>(w->player()->width()) / (w->player()->height() - 146);
  EXPECT_NEAR(aspect, 160.0 / 120, 0.02);
  w->close();
}

TEST_F(WindowManagerTest, TheWindowClassMatchesTheDesktopFile) {
  QTemporaryDir config;
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("XDG_CONFIG_HOME", config.path());
  env.insert("XDG_RUNTIME_DIR", runtime_.path());
  env.insert("VORTAQ_MESSAGES", "stderr");
  p.setProcessEnvironment(env);
  p.start(VORTAQ_VORTAQ_EXE, {});
  ASSERT_TRUE(p.waitForStarted(5000));
  QString wmClass;
  test::WaitFor([&] {
    QProcess xprop;
    xprop.start("xprop", {"-name", "Vortaq6.4 121014", "WM_CLASS"});
    xprop.waitForFinished(2000);
    wmClass = QString::fromUtf8(xprop.readAllStandardOutput());
    return wmClass.contains("WM_CLASS(STRING)");
  });
  EXPECT_TRUE(wmClass.contains("\"Vortaq\"")) << wmClass.toStdString();
  p.terminate();
  EXPECT_TRUE(p.waitForFinished(10000));
}

}  // namespace
}  // namespace vortaq
