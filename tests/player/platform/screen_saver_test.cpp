// The screen saver switch against a stand-in org.freedesktop.ScreenSaver on
// the session bus (ctest runs this under dbus-run-session; skipped without a
// bus).
#include "platform/screen_saver.h"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QObject>
#include <QSet>
#include <QTemporaryDir>
#include <memory>

#include "main_window.h"
#include "player_fixture.h"

namespace vortaq {
namespace {

class FakeScreenSaver : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
 public:
  QSet<uint> held;

 public slots:
  uint Inhibit(const QString&, const QString&) {
    held.insert(++last_);
    return last_;
  }
  void UnInhibit(uint cookie) { held.remove(cookie); }

 private:
  uint last_ = 0;
};

class ScreenSaverTest : public testing::Test {
 protected:
  void SetUp() override {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) GTEST_SKIP() << "no session bus";
    ASSERT_TRUE(bus.registerService(QStringLiteral("org.freedesktop.ScreenSaver")));
    ASSERT_TRUE(bus.registerObject(QStringLiteral("/org/freedesktop/ScreenSaver"), &fake_,
                                   QDBusConnection::ExportAllSlots));
  }
  void TearDown() override {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    bus.unregisterObject(QStringLiteral("/org/freedesktop/ScreenSaver"));
    bus.unregisterService(QStringLiteral("org.freedesktop.ScreenSaver"));
  }
  FakeScreenSaver fake_;
};

TEST_F(ScreenSaverTest, HeldWhileWantedAndOnlyOursIsGivenBack) {
  fake_.held.insert(1000);  // someone else's
  ScreenSaverInhibitor inhibitor;
  inhibitor.Inhibit();
  ASSERT_TRUE(test::WaitFor([&] { return inhibitor.held(); }));
  EXPECT_EQ(fake_.held.size(), 2);
  inhibitor.Release();
  EXPECT_FALSE(inhibitor.held());
  EXPECT_EQ(fake_.held, QSet<uint>{1000});
  // Switched off before the answer came: the late cookie is given back too.
  inhibitor.Inhibit();
  inhibitor.Release();
  test::WaitFor([] { return false; }, 300);
  EXPECT_EQ(fake_.held, QSet<uint>{1000});
}

TEST_F(ScreenSaverTest, TheMenuTickHoldsItAndTheCloseGivesItBack) {
  QTemporaryDir dir, runtime;
  qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
  MainWindowOptions o;
  o.programDir = QStringLiteral(VORTAQ_BIN_DIR);
  o.libraries = {QStringLiteral(VORTAQ_PROBEX_LIB)};
  o.settingsPath = dir.filePath("vortaq.ini");
  o.engine = {QStringLiteral("null"), QStringLiteral("null"), true};
  auto w = std::make_unique<TVRTQ_MAIN>(o);
  w->show();
  ASSERT_TRUE(test::WaitFor([&] { return w->started(); }));
  QAction* tick = w->findChild<QAction*>(QStringLiteral("S_StopScreenSaver"));
  ASSERT_NE(tick, nullptr);
  tick->trigger();
  ASSERT_TRUE(test::WaitFor([&] { return fake_.held.size() == 1; }));
  test::WaitFor([] { return false; }, 200);  // the cookie comes back meanwhile
  tick->trigger();
  EXPECT_TRUE(fake_.held.isEmpty());
  tick->trigger();
  ASSERT_TRUE(test::WaitFor([&] { return fake_.held.size() == 1; }));
  test::WaitFor([] { return false; }, 200);
  w->close();
  EXPECT_TRUE(fake_.held.isEmpty());
}

}  // namespace
}  // namespace vortaq

#include "screen_saver_test.moc"
