// The player as the desktop sees it over MPRIS: playerctl (when installed)
// and plain D-Bus calls against a running main window.
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <memory>

#include "main_window.h"
#include "player_fixture.h"
#include "playlist/playlist_table_model.h"
#include "playlist/playlist_window.h"

namespace vortaq {
namespace {

// Runs only under the ctest entry that starts its own session bus.
class DbusWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    if (qEnvironmentVariable("VORTAQ_DBUS_TEST") != "1") GTEST_SKIP() << "needs dbus-run-session";
    playerctl_ = QStandardPaths::findExecutable("playerctl");
    if (playerctl_.isEmpty()) GTEST_SKIP() << "playerctl is not installed";
    qputenv("XDG_RUNTIME_DIR", runtime_.path().toUtf8());
  }

  TVRTQ_MAIN* Start(const QStringList& arguments) {
    EXPECT_TRUE(test::WriteAll(dir_.filePath("vortaq.ini"), test::Utf16("[Main]\r\nAutoStart=0\r\n")));
    MainWindowOptions o;
    o.programDir = QStringLiteral(VORTAQ_BIN_DIR);
    o.libraries = {QStringLiteral(VORTAQ_PROBEX_LIB)};
    o.settingsPath = dir_.filePath("vortaq.ini");
    o.arguments = arguments;
    // In real time: a file played untimed would end before the next command.
    o.engine = {QStringLiteral("null"), QStringLiteral("null"), false};
    window_ = std::make_unique<TVRTQ_MAIN>(o);
    window_->show();
    EXPECT_TRUE(test::WaitFor([&] { return window_->started(); }));
    return window_.get();
  }

  // playerctl blocks on the bus while this thread serves it: run it aside.
  QString Playerctl(const QStringList& arguments) {
    QProcess p;
    p.start(playerctl_, QStringList{"-p", "vortaq"} + arguments);
    EXPECT_TRUE(test::WaitFor([&] { return p.state() == QProcess::NotRunning; }));
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
  }

  QString playerctl_;
  QTemporaryDir dir_, runtime_;
  std::unique_ptr<TVRTQ_MAIN> window_;
};

TEST_F(DbusWindowTest, PlayerctlSeesTheTrackAndDrivesThePlayer) {
  TVRTQ_MAIN* w = Start({test::Fixture("tone.mp3"), test::Fixture("clip.mp4")});
  ASSERT_EQ(w->mpris().busName(), "org.mpris.MediaPlayer2.vortaq");
  ASSERT_TRUE(test::WaitFor([&] { return w->player()->Duration() > 0 && w->mpris().length() > 0; }));
  EXPECT_EQ(Playerctl({"metadata", "xesam:title"}), "tone.mp3");
  EXPECT_EQ(Playerctl({"status"}), "Stopped");  // loaded, not yet started

  Playerctl({"play-pause"});
  EXPECT_TRUE(test::WaitFor([&] { return Playerctl({"status"}) == "Playing"; }));
  Playerctl({"pause"});
  ASSERT_TRUE(test::WaitFor([&] { return w->player()->PlayState() == MediaPlayerControl::kPaused; }));

  QSignalSpy seeked(&w->mpris(), &MprisService::Seeked);
  Playerctl({"position", "0.5"});
  EXPECT_TRUE(test::WaitFor([&] { return std::abs(w->player()->CurrentPosition() - 0.5) < 0.05; }));
  EXPECT_NEAR(Playerctl({"position"}).toDouble(), 0.5, 0.05);
  EXPECT_TRUE(test::WaitFor([&] { return !seeked.isEmpty(); }));

  // Next and previous walk the playlist; with no entry focused, Next starts
  // at the first one.
  ASSERT_TRUE(test::WaitFor([&] { return w->playList()->model()->count() == 2; }));
  const QString firstTrack = w->mpris().trackId();
  Playerctl({"next"});
  ASSERT_TRUE(test::WaitFor([&] { return w->mpris().trackId() != firstTrack; }));
  EXPECT_EQ(w->player()->FileName(), test::Fixture("tone.mp3"));
  Playerctl({"next"});
  EXPECT_TRUE(test::WaitFor([&] { return w->player()->FileName() == test::Fixture("clip.mp4"); }));
  EXPECT_TRUE(test::WaitFor([&] { return Playerctl({"metadata", "xesam:title"}) == "clip.mp4"; }));
  Playerctl({"previous"});
  EXPECT_TRUE(test::WaitFor([&] { return w->player()->FileName() == test::Fixture("tone.mp3"); }));

  Playerctl({"stop"});
  EXPECT_TRUE(test::WaitFor([&] { return Playerctl({"status"}) == "Stopped"; }));
}

}  // namespace
}  // namespace vortaq
