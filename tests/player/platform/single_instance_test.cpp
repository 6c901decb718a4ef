#include "platform/single_instance.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QFileInfo>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <cstring>

#include "player_fixture.h"

namespace vortaq {
namespace {

class SingleInstanceTest : public testing::Test {
 protected:
  void SetUp() override { qputenv("XDG_RUNTIME_DIR", runtime_.path().toUtf8()); }
  QTemporaryDir runtime_;
};

TEST_F(SingleInstanceTest, MessageCarriesTagLengthAndUtf16Path) {
  const QByteArray m = EncodeHandOver(QStringLiteral("/動画/a.mp4"));
  ASSERT_EQ(m.size(), 8 + 2 * 9);
  EXPECT_EQ(m.left(8), QByteArray("\xD2\x25\x00\x00\x12\x00\x00\x00", 8));
  quint32 tag = 0;
  QString path;
  EXPECT_EQ(DecodeHandOver(m, &tag, &path), HandOverParse::kComplete);
  EXPECT_EQ(tag, kHandOverTag);
  EXPECT_EQ(path, QStringLiteral("/動画/a.mp4"));
  EXPECT_EQ(DecodeHandOver(m.left(7), &tag, &path), HandOverParse::kIncomplete);
  EXPECT_EQ(DecodeHandOver(m.left(12), &tag, &path), HandOverParse::kIncomplete);
  EXPECT_EQ(DecodeHandOver(m + "x", &tag, &path), HandOverParse::kInvalid);
  QByteArray odd = m;
  odd[4] = 3;
  EXPECT_EQ(DecodeHandOver(odd, &tag, &path), HandOverParse::kInvalid);
  QByteArray huge = m.left(4) + QByteArray("\x00\x00\x10\x00", 4);  // 1 MiB announced
  EXPECT_EQ(DecodeHandOver(huge, &tag, &path), HandOverParse::kInvalid);
}

TEST_F(SingleInstanceTest, HandOverReachesTheHandlerAndOtherTagsAreIgnored) {
  QStringList opened;
  InstanceServer server([&](const QString& p) { opened << p; });
  ASSERT_TRUE(server.Listen("VRTQ_NoMultiRun"));
  EXPECT_EQ(InstanceSocketPath("VRTQ_NoMultiRun"), runtime_.filePath("VRTQ_NoMultiRun"));
  EXPECT_EQ(QFileInfo(runtime_.filePath("VRTQ_NoMultiRun")).permissions() &
                (QFile::ReadOther | QFile::WriteOther | QFile::ReadGroup | QFile::WriteGroup),
            QFile::Permissions());

  // The sender blocks; the server answers from this thread's event loop.
  bool answered = false;
  QLocalSocket socket;
  socket.connectToServer(InstanceSocketPath("VRTQ_NoMultiRun"));
  ASSERT_TRUE(socket.waitForConnected(1000));
  socket.write(EncodeHandOver("/x/other", 1234));
  ASSERT_TRUE(test::WaitFor([&] { return socket.bytesAvailable() > 0 || socket.state() != QLocalSocket::ConnectedState; }));
  EXPECT_TRUE(opened.isEmpty());

  QLocalSocket second;
  second.connectToServer(InstanceSocketPath("VRTQ_NoMultiRun"));
  ASSERT_TRUE(second.waitForConnected(1000));
  const QByteArray message = EncodeHandOver("/x/film.mkv");
  second.write(message.left(5));  // split messages are put together
  second.flush();
  test::WaitFor([] { return false; }, 50);
  second.write(message.mid(5));
  answered = test::WaitFor([&] { return second.bytesAvailable() > 0; });
  EXPECT_TRUE(answered);
  EXPECT_EQ(second.read(1), QByteArray("\x01"));
  EXPECT_EQ(opened, QStringList{"/x/film.mkv"});
  server.Close();
  EXPECT_FALSE(QFileInfo::exists(runtime_.filePath("VRTQ_NoMultiRun")));
}

TEST_F(SingleInstanceTest, StaleSocketIsNoInstanceAndIsRemoved) {
  const QByteArray path = runtime_.filePath("VRTQ_NoMultiRun").toUtf8();
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address = {};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.constData(), sizeof address.sun_path - 1);
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  close(fd);  // what a crashed instance leaves behind
  ASSERT_TRUE(QFileInfo::exists(path));
  EXPECT_FALSE(InstanceRunning("VRTQ_NoMultiRun"));
  EXPECT_FALSE(QFileInfo::exists(path));
  EXPECT_FALSE(SendHandOver("VRTQ_NoMultiRun", "/x", 1000));
}

}  // namespace
}  // namespace vortaq
