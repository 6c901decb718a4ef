#include "desktop/mpris_service.h"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QSignalSpy>
#include <unistd.h>

#include "player_fixture.h"

namespace vortaq {

// Collects PropertiesChanged of the player interface.
class ChangeLog : public QObject {
  Q_OBJECT
 public:
  QList<QVariantMap> changes;
 public slots:
  void OnChanged(const QString& interface, const QVariantMap& changed, const QStringList&) {
    if (interface == "org.mpris.MediaPlayer2.Player") changes << changed;
  }
};

namespace {

TEST(MprisNamesTest, TagsThenEngineThenFileName) {
  struct Case {
    QString tagTitle, tagArtist, engineTitle, engineArtist, path, title, artist;
  } cases[] = {
      {"T", "A", "ET", "EA", "/m/x.mp3", "T", "A"},
      {"", "A", "ET", "EA", "/m/x.mp3", "", "A"},
      {"", "", "ET", "", "/m/x.mp3", "ET", ""},
      {"", "", "", "", "/m/x y.mp3", "x y.mp3", ""},
      {"", "", "", "", "http://host/radio.ogg?a=1", "radio.ogg", ""},
  };
  for (const Case& c : cases) {
    const TrackNames n = ChooseTrackNames(c.tagTitle, c.tagArtist, c.engineTitle, c.engineArtist, c.path);
    EXPECT_EQ(n.title, c.title) << c.path.toStdString();
    EXPECT_EQ(n.artist, c.artist) << c.path.toStdString();
  }
}

// Runs only under the ctest entry that starts its own session bus.
class DbusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (qEnvironmentVariable("VORTAQ_DBUS_TEST") != "1") GTEST_SKIP() << "needs dbus-run-session";
    client_ = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "mpris-client");
    ASSERT_TRUE(client_.isConnected());
  }
  void TearDown() override { QDBusConnection::disconnectFromBus("mpris-client"); }

  QDBusMessage Call(const QString& service, const QString& interface, const QString& method,
                    const QVariantList& args = {}) {
    QDBusMessage m = QDBusMessage::createMethodCall(service, "/org/mpris/MediaPlayer2", interface, method);
    m.setArguments(args);
    // Asynchronous, since the service answers from this very thread's loop.
    QDBusPendingCall call = client_.asyncCall(m, 5000);
    EXPECT_TRUE(test::WaitFor([&] { return call.isFinished(); }));
    return call.reply();
  }
  QVariant Get(const QString& service, const QString& interface, const QString& name) {
    const QDBusMessage r = Call(service, "org.freedesktop.DBus.Properties", "Get", {interface, name});
    if (r.type() != QDBusMessage::ReplyMessage || r.arguments().isEmpty()) return {};
    return r.arguments().first().value<QDBusVariant>().variant();
  }
  QDBusConnection client_{QString()};
};

TEST_F(DbusTest, PublishesTheTrackAndTakesCommands) {
  MprisService service;
  const QString name = service.Register();
  ASSERT_EQ(name, "org.mpris.MediaPlayer2.vortaq");
  qint64 now = 3'000'000;
  service.SetPositionSource([&] { return now; });
  ChangeLog log;
  ASSERT_TRUE(client_.connect(name, "/org/mpris/MediaPlayer2", "org.freedesktop.DBus.Properties",
                              "PropertiesChanged", &log, SLOT(OnChanged(QString, QVariantMap, QStringList))));

  EXPECT_EQ(Get(name, "org.mpris.MediaPlayer2", "Identity").toString(), "Vortaq");
  EXPECT_EQ(Get(name, "org.mpris.MediaPlayer2", "DesktopEntry").toString(), "vortaq");
  EXPECT_EQ(Get(name, "org.mpris.MediaPlayer2.Player", "PlaybackStatus").toString(), "Stopped");

  service.SetTrack("/music/a song.mp3", "Song", "Band", 60'000'000);
  service.SetStatus(MprisService::Status::Playing);
  service.SetCapabilities(true, false, true);
  ASSERT_TRUE(test::WaitFor([&] { return log.changes.size() >= 3; }));
  EXPECT_TRUE(log.changes[0].contains("Metadata"));
  EXPECT_EQ(log.changes[1].value("PlaybackStatus").toString(), "Playing");

  const QDBusMessage r = Call(name, "org.freedesktop.DBus.Properties", "Get",
                              {"org.mpris.MediaPlayer2.Player", "Metadata"});
  ASSERT_EQ(r.type(), QDBusMessage::ReplyMessage);
  const QVariantMap meta = qdbus_cast<QVariantMap>(r.arguments().first().value<QDBusVariant>().variant());
  EXPECT_EQ(meta.value("xesam:title").toString(), "Song");
  EXPECT_EQ(meta.value("xesam:artist").toStringList(), QStringList{"Band"});
  EXPECT_EQ(meta.value("xesam:url").toString(), "file:///music/a%20song.mp3");
  EXPECT_EQ(meta.value("mpris:length").toLongLong(), 60'000'000);
  const QString trackId = qdbus_cast<QDBusObjectPath>(meta.value("mpris:trackid")).path();
  EXPECT_EQ(trackId, service.trackId());
  EXPECT_EQ(Get(name, "org.mpris.MediaPlayer2.Player", "Position").toLongLong(), 3'000'000);

  QSignalSpy playPause(&service, &MprisService::PlayPauseRequested);
  QSignalSpy next(&service, &MprisService::NextRequested);
  QSignalSpy position(&service, &MprisService::PositionRequested);
  QSignalSpy volume(&service, &MprisService::VolumeRequested);
  Call(name, "org.mpris.MediaPlayer2.Player", "PlayPause");
  Call(name, "org.mpris.MediaPlayer2.Player", "Next");
  Call(name, "org.mpris.MediaPlayer2.Player", "SetPosition",
       {QVariant::fromValue(QDBusObjectPath(trackId)), qlonglong(10'000'000)});
  // A stale track id or a place past the end is ignored.
  Call(name, "org.mpris.MediaPlayer2.Player", "SetPosition",
       {QVariant::fromValue(QDBusObjectPath("/org/vortaq/track/0")), qlonglong(1)});
  Call(name, "org.mpris.MediaPlayer2.Player", "SetPosition",
       {QVariant::fromValue(QDBusObjectPath(trackId)), qlonglong(61'000'000)});
  Call(name, "org.mpris.MediaPlayer2.Player", "Seek", {qlonglong(-5'000'000)});
  Call(name, "org.freedesktop.DBus.Properties", "Set",
       {"org.mpris.MediaPlayer2.Player", "Volume", QVariant::fromValue(QDBusVariant(0.25))});
  EXPECT_EQ(playPause.size(), 1);
  EXPECT_EQ(next.size(), 1);
  ASSERT_EQ(position.size(), 2);
  EXPECT_EQ(position[0][0].toLongLong(), 10'000'000);
  EXPECT_EQ(position[1][0].toLongLong(), 0);
  ASSERT_EQ(volume.size(), 1);
  EXPECT_DOUBLE_EQ(volume[0][0].toDouble(), 0.25);

  // Late tags replace the names and say so.
  const int before = log.changes.size();
  service.SetNames(QStringLiteral("曲"), "Artist");
  ASSERT_TRUE(test::WaitFor([&] { return log.changes.size() > before; }));
  EXPECT_EQ(qdbus_cast<QVariantMap>(log.changes.last().value("Metadata")).value("xesam:title").toString(),
            QStringLiteral("曲"));

  service.ClearTrack();
  EXPECT_EQ(Get(name, "org.mpris.MediaPlayer2.Player", "CanSeek").toBool(), false);
}

TEST_F(DbusTest, SecondInstanceTakesItsOwnName) {
  MprisService first;
  ASSERT_EQ(first.Register(), "org.mpris.MediaPlayer2.vortaq");
  QDBusConnection other = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "second-instance");
  {
    MprisService second;
    EXPECT_EQ(second.Register(other), QStringLiteral("org.mpris.MediaPlayer2.vortaq.instance%1").arg(getpid()));
    EXPECT_EQ(Get(second.busName(), "org.mpris.MediaPlayer2", "Identity").toString(), "Vortaq");
  }
  QDBusConnection::disconnectFromBus("second-instance");
  // The name comes free when its owner goes.
  first.Unregister();
  MprisService again;
  EXPECT_EQ(again.Register(), "org.mpris.MediaPlayer2.vortaq");
}

}  // namespace
}  // namespace vortaq

#include "mpris_service_test.moc"
