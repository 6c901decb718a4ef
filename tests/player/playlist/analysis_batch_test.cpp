#include "playlist/analysis_batch.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <memory>

#include "player_fixture.h"
#include "playlist/own_format.h"
#include "probex_binding.h"

namespace vortaq::playlist {
namespace {

class PlaylistBatchTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(binding_.Bind({VORTAQ_PROBEX_LIB}, VORTAQ_BIN_DIR), "");
    ASSERT_TRUE(dir_.isValid());
  }

  // A copy of a fixture under the temporary folder.
  QString Copy(const QString& fixture, const QString& name) {
    const QString to = dir_.filePath(name);
    QDir().mkpath(QFileInfo(to).absolutePath());
    EXPECT_TRUE(QFile::copy(test::Fixture(fixture), to));
    return to;
  }

  // What the library says of path, as the batch must list it.
  Entry Expected(const QString& path) {
    MediaInfo info;
    EXPECT_TRUE(binding_.Detect(path, false, &info));
    const QString detail = binding_.OneLine(&info);
    return Entry(path, detail, SizeText(static_cast<qint64>(info.fileSize)));
  }

  bool Finish(AnalysisBatch& batch) {
    return test::WaitFor([&] { return !batch.busy(); }, 30000);
  }

  ProbexBinding binding_;
  QTemporaryDir dir_;
};

QStringList Paths(const PlaylistTableModel& model) {
  QStringList out;
  for (const Entry& e : model.entries()) out << e.path();
  return out;
}

TEST_F(PlaylistBatchTest, RowsComeInTheGivenOrderWithTheLibrarysTexts) {
  QStringList paths;
  for (int i = 0; i < 60; ++i) {
    paths << Copy(i % 2 ? "tone.mp3" : "clip.mp4", QString("f%1.%2").arg(i).arg(i % 2 ? "mp3" : "mp4"));
    if (i % 20 == 5) paths << dir_.filePath("missing.mp3");
  }
  const QString text = dir_.filePath("notes.txt");
  ASSERT_TRUE(test::WriteAll(text, "no media here"));
  paths << text;

  PlaylistTableModel model;
  AnalysisBatch batch(&binding_, &model, nullptr, 4);
  QSignalSpy busy(&batch, &AnalysisBatch::busyChanged);
  batch.add(paths);
  EXPECT_TRUE(batch.busy());
  ASSERT_TRUE(Finish(batch));
  ASSERT_EQ(Paths(model), paths);
  for (int i = 0; i < model.count(); ++i) {
    const Entry expected = Expected(paths[i]);
    EXPECT_EQ(model.at(i).detail(), expected.detail()) << i;
    EXPECT_EQ(model.at(i).size(), expected.size()) << i;
    EXPECT_FALSE(model.at(i).detail().isEmpty()) << i;  // the unopenable and unknown too
  }
  EXPECT_EQ(model.at(1).size(), "4,407");
  ASSERT_EQ(busy.count(), 2);
  EXPECT_TRUE(busy[0][0].toBool());
  EXPECT_FALSE(busy[1][0].toBool());
}

TEST_F(PlaylistBatchTest, DuplicatesAreSkippedByExactPath) {
  const QString a = Copy("tone.mp3", "a.mp3");
  const QString upper = Copy("tone.mp3", "A.MP3");
  struct Case {
    bool noSameFile;
    QStringList first, second;
    int rows;
  } cases[] = {
      {true, {a, a}, {}, 1},
      {false, {a, a}, {}, 2},
      {true, {a}, {a, upper}, 2},  // the case differs: a second entry
      {true, {a, upper, a}, {upper}, 2},
  };
  for (const Case& c : cases) {
    PlaylistTableModel model;
    AnalysisBatch batch(&binding_, &model);
    batch.setNoSameFile(c.noSameFile);
    batch.add(c.first);
    ASSERT_TRUE(Finish(batch));
    batch.add(c.second);
    ASSERT_TRUE(Finish(batch));
    EXPECT_EQ(model.count(), c.rows) << c.noSameFile << " " << c.first.size();
  }
}

TEST_F(PlaylistBatchTest, ABatchStartedWhileOneRunsIsQueuedBehindIt) {
  QStringList first, second;
  for (int i = 0; i < 200; ++i) first << Copy("tone.mp3", QString("a%1.mp3").arg(i));
  for (int i = 0; i < 50; ++i) second << Copy("clip.mp4", QString("b%1.mp4").arg(i));
  PlaylistTableModel model;
  AnalysisBatch batch(&binding_, &model, nullptr, 2);
  QSignalSpy busy(&batch, &AnalysisBatch::busyChanged);
  batch.add(first);
  // The second one arrives from an event while the first delivers rows.
  bool added = false;
  QObject::connect(&model, &PlaylistTableModel::countChanged, [&](int count) {
    if (!added && count > 0) {
      added = true;
      batch.add(second);
    }
  });
  ASSERT_TRUE(Finish(batch));
  EXPECT_EQ(Paths(model), first + second);
  EXPECT_EQ(busy.count(), 2);
}

TEST_F(PlaylistBatchTest, StopEndsEveryQueuedBatchBeforeTheNextFile) {
  QStringList paths;
  for (int i = 0; i < 400; ++i) paths << Copy("tone.mp3", QString("s%1.mp3").arg(i));
  PlaylistTableModel model;
  AnalysisBatch batch(&binding_, &model, nullptr, 2);
  batch.add(paths.mid(0, 200));
  batch.add(paths.mid(200));
  QObject::connect(&model, &PlaylistTableModel::countChanged, [&](int count) {
    if (count >= 10) batch.stop();
  });
  ASSERT_TRUE(Finish(batch));
  // What was listed is the start of the given order, and far from all of it.
  ASSERT_GE(model.count(), 10);
  EXPECT_LT(model.count(), 200);
  EXPECT_EQ(Paths(model), paths.mid(0, model.count()));
  // A batch after the stop runs normally.
  batch.add({paths[0]});
  ASSERT_TRUE(Finish(batch));
  EXPECT_EQ(model.entries().back().path(), paths[0]);
}

TEST_F(PlaylistBatchTest, DestructionDuringABatchIsSafe) {
  QStringList paths;
  for (int i = 0; i < 300; ++i) paths << Copy("clip.mp4", QString("d%1.mp4").arg(i));
  for (int round = 0; round < 3; ++round) {
    auto model = std::make_unique<PlaylistTableModel>();
    auto batch = std::make_unique<AnalysisBatch>(&binding_, model.get(), nullptr, 4);
    batch->add(paths);
    test::WaitFor([&] { return model->count() > round * 20; }, 5000);
    batch.reset();
    const int kept = model->count();
    // Nothing reaches the model after the batch is gone.
    test::WaitFor([] { return false; }, 100);
    EXPECT_EQ(model->count(), kept);
    EXPECT_EQ(Paths(*model), paths.mid(0, kept));
  }
  // The model going first is survived as well.
  auto model = std::make_unique<PlaylistTableModel>();
  AnalysisBatch batch(&binding_, model.get(), nullptr, 4);
  batch.add(paths);
  model.reset();
  ASSERT_TRUE(Finish(batch));
}

TEST_F(PlaylistBatchTest, ShutdownListsTheFilesBeingAnalysedAtOnce) {
  QStringList paths;
  for (int i = 0; i < 300; ++i) paths << Copy("tone.mp3", QString("t%1.mp3").arg(i));
  PlaylistTableModel model;
  AnalysisBatch batch(&binding_, &model, nullptr, 2);
  batch.add(paths);
  batch.shutdown();
  EXPECT_FALSE(batch.busy());
  EXPECT_EQ(Paths(model), paths.mid(0, model.count()));
  const int kept = model.count();
  test::WaitFor([] { return false; }, 100);
  EXPECT_EQ(model.count(), kept);
}

TEST_F(PlaylistBatchTest, FoldersListTheirFilesBeforeSubfolders) {
  ASSERT_TRUE(test::WriteAll(dir_.filePath("music/b.txt"), "text") ||
              (QDir().mkpath(dir_.filePath("music")) && test::WriteAll(dir_.filePath("music/b.txt"), "text")));
  const QString a = Copy("tone.mp3", "music/a.mp3");
  const QString c = Copy("clip.mp4", "music/sub/c.mp4");
  const QString hidden = Copy("tone.mp3", "music/.hidden.mp3");
  // A link back up must not scan forever.
  ASSERT_TRUE(QFile::link(dir_.filePath("music"), dir_.filePath("music/sub/loop")));

  const QStringList flat = ScanFolder(dir_.filePath("music"), false);
  EXPECT_EQ(flat.size(), 3);
  EXPECT_TRUE(flat.contains(a) && flat.contains(hidden) && flat.contains(dir_.filePath("music/b.txt")));
  const QStringList deep = ScanFolder(dir_.filePath("music"), true);
  ASSERT_EQ(deep.size(), 4);
  EXPECT_EQ(deep.last(), c);

  PlaylistTableModel model;
  AnalysisBatch batch(&binding_, &model);
  const QString before = Copy("tone.mp3", "before.mp3");
  const QString after = Copy("tone.mp3", "after.mp3");
  batch.add({before});
  batch.addFolder(dir_.filePath("music"), true);
  batch.add({after});
  ASSERT_TRUE(Finish(batch));
  EXPECT_EQ(Paths(model), QStringList{before} + deep + QStringList{after});
  EXPECT_EQ(model.at(1 + static_cast<int>(deep.indexOf(dir_.filePath("music/b.txt")))).detail(),
            Expected(dir_.filePath("music/b.txt")).detail());
}

TEST_F(PlaylistBatchTest, ListsNamingEachOtherAreReadOnce) {
  const QString song = Copy("tone.mp3", "song.mp3");
  const QString a = dir_.filePath("a.m3u"), b = dir_.filePath("b.m3u8");
  ASSERT_TRUE(test::WriteAll(a, "b.m3u8\r\nsong.mp3\r\n"));
  ASSERT_TRUE(test::WriteAll(b, "a.m3u\n"));
  PlaylistTableModel model;
  AnalysisBatch batch(&binding_, &model);
  batch.add({a});
  ASSERT_TRUE(Finish(batch));
  EXPECT_EQ(Paths(model), QStringList{song});
}

TEST_F(PlaylistBatchTest, OwnListsMetInABatchAddTheirEntriesInPlace) {
  const QString first = Copy("tone.mp3", "first.mp3");
  const QString last = Copy("tone.mp3", "last.mp3");
  Entries stored;
  stored.emplace_back(dir_.filePath("lists/../gone.mp3"), "stored detail", "12,345");
  stored.emplace_back(dir_.filePath("elsewhere/x.mp4"), "", "junk");
  QDir().mkpath(dir_.filePath("lists"));
  const QString list = dir_.filePath("lists/keep.vrtql");
  ASSERT_EQ(WriteOwnList(list, stored), "");
  const QString pls = dir_.filePath("other.pls");
  ASSERT_TRUE(test::WriteAll(pls, "[playlist]\r\nFile1=" + first.toUtf8() + "\r\n"));

  PlaylistTableModel model;
  AnalysisBatch batch(&binding_, &model);
  batch.add({first, list, pls, last});
  ASSERT_TRUE(Finish(batch));
  // The list files themselves are not listed; the files a .pls names are
  // analysed where it stood.
  EXPECT_EQ(Paths(model), QStringList({first, dir_.filePath("gone.mp3"), dir_.filePath("elsewhere/x.mp4"),
                                       first, last}));
  EXPECT_EQ(model.at(3).detail(), model.at(0).detail());
  EXPECT_EQ(model.at(1).detail(), "stored detail");
  EXPECT_EQ(model.at(1).size(), "12,345");
  EXPECT_EQ(model.at(2).size(), "junk");
}

TEST_F(PlaylistBatchTest, RenamedFilesAreListedUnderTheirNewPath) {
  const QString wrong = Copy("tone.mp3", "song.mp4");
  PlaylistTableModel model;
  AnalysisBatch batch(&binding_, &model);
  QSignalSpy renamed(&batch, &AnalysisBatch::renamed);
  batch.setCheckExt(true);
  batch.add({wrong});
  ASSERT_TRUE(Finish(batch));
  const QString right = dir_.filePath("song.mp3");
  EXPECT_EQ(Paths(model), QStringList{right});
  EXPECT_EQ(model.at(0).name(), "song.mp3");
  EXPECT_TRUE(QFile::exists(right));
  ASSERT_EQ(renamed.count(), 1);
  EXPECT_EQ(renamed[0][0].toString(), wrong);
  EXPECT_EQ(renamed[0][1].toString(), right);
}

TEST_F(PlaylistBatchTest, RecheckAndReportsFollowTheirEntries) {
  const QString a = Copy("tone.mp3", "a.mp3");
  const QString b = Copy("tone.mp3", "b.mp3");
  PlaylistTableModel model;
  AnalysisBatch batch(&binding_, &model);
  batch.add({a, b});
  ASSERT_TRUE(Finish(batch));
  ASSERT_EQ(model.at(1).size(), "4,407");

  // b becomes a video under an audio name; the rows swap before the re-check.
  ASSERT_TRUE(QFile::remove(b));
  ASSERT_TRUE(QFile::copy(test::Fixture("clip.mp4"), b));
  batch.recheck({1});
  model.edit([](Entries& e) { std::swap(e[0], e[1]); });
  ASSERT_TRUE(Finish(batch));
  EXPECT_EQ(model.at(0).path(), b);
  EXPECT_EQ(model.at(0).size(), Expected(b).size());
  EXPECT_EQ(model.at(0).detail(), Expected(b).detail());
  EXPECT_EQ(model.at(1).size(), "4,407");

  // The report renames under the extension correction; the texts stay.
  QSignalSpy details(&batch, &AnalysisBatch::detailsReady);
  const QString oldDetail = model.at(0).detail();
  batch.setCheckExt(true);
  batch.report({0, 1});
  ASSERT_TRUE(Finish(batch));
  const QString moved = dir_.filePath("b.mp4");
  EXPECT_EQ(model.at(0).path(), moved);
  EXPECT_EQ(model.at(0).detail(), oldDetail);
  ASSERT_EQ(details.count(), 1);
  MediaInfo info;
  ASSERT_TRUE(binding_.Detect(a, false, &info));
  const QString report = binding_.FullReport(&info);
  EXPECT_TRUE(details[0][0].toString().endsWith("[a.mp3]\r\n" + report + "\r\n\r\n"));
  EXPECT_TRUE(details[0][0].toString().startsWith("[b.mp4]\r\n"));
}

TEST_F(PlaylistBatchTest, PublicMediaListAsTheLibraryDescribesThem) {
  const QString folder = QStringLiteral("/work/shared/public-media");
  if (!QFileInfo(folder).isDir()) GTEST_SKIP() << "no public media";
  const QStringList paths = ScanFolder(folder, true);
  ASSERT_FALSE(paths.isEmpty());
  PlaylistTableModel model;
  AnalysisBatch batch(&binding_, &model);
  batch.addFolder(folder, true);
  ASSERT_TRUE(Finish(batch));
  // List files among them are never listed themselves.
  QStringList expected;
  const QStringList lists = {"vrtql", "pls", "lst", "zpl", "bsl", "m3u", "m3u8"};
  for (const QString& p : paths)
    if (!lists.contains(QFileInfo(p).suffix().toLower())) expected << p;
  ASSERT_EQ(Paths(model), expected);
  for (int i = 0; i < model.count(); ++i) {
    const Entry e = Expected(expected[i]);
    EXPECT_EQ(model.at(i).detail(), e.detail()) << expected[i].toStdString();
    EXPECT_EQ(model.at(i).size(), e.size()) << expected[i].toStdString();
  }
}

}  // namespace
}  // namespace vortaq::playlist
