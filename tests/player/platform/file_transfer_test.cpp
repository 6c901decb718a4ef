#include "platform/file_transfer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include "player_fixture.h"

namespace vortaq {
namespace {

class FileTransferTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    ASSERT_TRUE(QDir(dir_.path()).mkpath("src"));
    ASSERT_TRUE(QDir(dir_.path()).mkpath("dst"));
  }
  QString Make(const QString& relative, const QByteArray& content) {
    const QString path = dir_.filePath(relative);
    EXPECT_TRUE(test::WriteAll(path, content));
    return path;
  }
  // Names in folder, the temporary copies included.
  QStringList Names(const QString& folder) const {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
  }
  QTemporaryDir dir_;
};

TEST_F(FileTransferTest, CollisionsAreAskedAndNeverReplacedSilently) {
  const QString a = Make("src/a", "new a"), b = Make("src/b", "new b"), c = Make("src/c", "new c");
  Make("dst/a", "old a");
  Make("dst/b", "old b");
  const QString dst = dir_.filePath("dst");
  for (bool move : {false, true}) {
    SCOPED_TRACE(move);
    QStringList asked;
    TransferHooks hooks;
    hooks.collision = [&](const QString& target, bool several) {
      asked << QFileInfo(target).fileName() + (several ? "+" : "");
      return asked.size() == 1 ? Collision::kSkip : Collision::kOverwrite;
    };
    const auto results = TransferFiles({a, b, c}, dst, move, hooks);
    ASSERT_EQ(results.size(), 3u);
    EXPECT_EQ(asked, QStringList({"a+", "b+"}));
    EXPECT_EQ(results[0].outcome, TransferResult::kSkipped);
    EXPECT_EQ(results[1].outcome, TransferResult::kDone);
    EXPECT_EQ(results[2].outcome, TransferResult::kDone);
    EXPECT_EQ(results[2].target, dst + "/c");
    EXPECT_EQ(test::ReadAll(dst + "/a"), "old a");
    EXPECT_EQ(test::ReadAll(dst + "/b"), "new b");
    EXPECT_EQ(test::ReadAll(dst + "/c"), "new c");
    EXPECT_EQ(QFileInfo::exists(b), !move);
    EXPECT_TRUE(QFileInfo::exists(a));
    EXPECT_EQ(Names(dst), QStringList({"a", "b", "c"}));
    // Set up the second round: the copies are in place, the sources again.
    Make("dst/b", "old b");
    QFile::remove(dst + "/c");
    Make("src/b", "new b");
    Make("src/c", "new c");
  }
  // Cancel at a collision: nothing after it happens.
  TransferHooks cancel;
  cancel.collision = [](const QString&, bool) { return Collision::kCancel; };
  const auto results = TransferFiles({c, a}, dst, true, cancel);
  EXPECT_EQ(results[0].outcome, TransferResult::kDone);
  EXPECT_EQ(results[1].outcome, TransferResult::kCancelled);
  EXPECT_TRUE(QFileInfo::exists(a));
}

TEST_F(FileTransferTest, CancelledCopyLeavesNoPartialFile) {
  const QString big = Make("src/big", QByteArray(3 << 20, 'x'));
  const QString small = Make("src/small", "s");
  int calls = 0;
  TransferHooks hooks;
  qint64 lastTotal = 0;
  hooks.progress = [&](qint64, qint64 total, int, int) {
    lastTotal = total;
    return ++calls < 2;  // cancel after the first chunk
  };
  const auto results = TransferFiles({big, small}, dir_.filePath("dst"), false, hooks);
  EXPECT_EQ(results[0].outcome, TransferResult::kCancelled);
  EXPECT_EQ(results[1].outcome, TransferResult::kCancelled);
  EXPECT_EQ(lastTotal, (3 << 20) + 1);
  EXPECT_TRUE(Names(dir_.filePath("dst")).isEmpty());
  EXPECT_EQ(QFileInfo(big).size(), 3 << 20);
}

// Across file systems a move copies, then removes: /dev/shm is a tmpfs on most
// systems.
TEST_F(FileTransferTest, MoveAcrossFileSystems) {
  struct stat a, b;
  if (stat("/dev/shm", &b) != 0 || stat(QFile::encodeName(dir_.path()).constData(), &a) != 0 || a.st_dev == b.st_dev)
    GTEST_SKIP() << "no second file system at /dev/shm";
  QTemporaryDir other("/dev/shm/vortaq-transfer-XXXXXX");
  ASSERT_TRUE(other.isValid());
  const QString one = Make("src/one", QByteArray(2 << 20, 'o')), two = Make("src/two", QByteArray(2 << 20, 't'));
  ::chmod(QFile::encodeName(one).constData(), 0640);
  // Cancelled part way through the second file: the first is moved, the
  // second stays whole where it was, and no partial copy is left.
  int chunks = 0;
  TransferHooks hooks;
  hooks.progress = [&](qint64 done, qint64, int, int) { return !(done > (2 << 20) && ++chunks == 1); };
  auto results = TransferFiles({one, two}, other.path(), true, hooks);
  EXPECT_EQ(results[0].outcome, TransferResult::kDone);
  EXPECT_EQ(results[1].outcome, TransferResult::kCancelled);
  EXPECT_FALSE(QFileInfo::exists(one));
  EXPECT_EQ(QFileInfo(other.filePath("one")).size(), 2 << 20);
  struct stat moved;
  ASSERT_EQ(stat(QFile::encodeName(other.filePath("one")).constData(), &moved), 0);
  EXPECT_EQ(moved.st_mode & 0777, 0640u);
  EXPECT_EQ(QFileInfo(two).size(), 2 << 20);
  EXPECT_EQ(Names(other.path()), QStringList{"one"});
  // A destination that cannot take the file: the source stays.
  results = TransferFiles({two}, other.filePath("missing"), true, {});
  EXPECT_EQ(results[0].outcome, TransferResult::kFailed);
  EXPECT_FALSE(results[0].error.isEmpty());
  EXPECT_EQ(QFileInfo(two).size(), 2 << 20);
}

}  // namespace
}  // namespace vortaq
