// The vortaq program as a process: refused starts, hand-over to the running
// instance, close on SIGTERM.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <memory>
#include <unistd.h>

#include "ini_file.h"
#include "player_fixture.h"
#include "playlist/own_format.h"
#include "probex_binding.h"

namespace vortaq {
namespace {

using test::Utf16;

class ProcessTest : public testing::Test {
 protected:
  QProcessEnvironment Environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("VORTAQ_MESSAGES", "stderr");
    env.insert("XDG_CONFIG_HOME", config_.path());
    env.insert("XDG_RUNTIME_DIR", runtime_.path());
    return env;
  }
  std::unique_ptr<QProcess> Launch(const QStringList& args, const QString& program = VORTAQ_VORTAQ_EXE,
                                   const QString& workDir = QString()) {
    auto p = std::make_unique<QProcess>();
    p->setProcessEnvironment(Environment());
    p->setProgram(program);
    p->setArguments(args);
    if (!workDir.isEmpty()) p->setWorkingDirectory(workDir);
    p->start();
    EXPECT_TRUE(p->waitForStarted(5000));
    return p;
  }
  QString Settings() const { return config_.filePath("vortaq/vortaq.ini"); }
  QString Socket(const char* name) const { return runtime_.filePath(name); }
  int Stop(QProcess* p) {
    p->terminate();  // SIGTERM: the normal close
    EXPECT_TRUE(p->waitForFinished(10000));
    return p->exitCode();
  }

  QTemporaryDir config_, runtime_;
};

TEST_F(ProcessTest, RefusesToStartWithoutFormatIni) {
  QTemporaryDir bin;
  const QString exe = bin.filePath("vortaq");
  ASSERT_TRUE(QFile::copy(VORTAQ_VORTAQ_EXE, exe));
  QFile(exe).setPermissions(QFile::ExeOwner | QFile::ReadOwner | QFile::WriteOwner);
  auto p = Launch({}, exe);
  ASSERT_TRUE(p->waitForFinished(10000));
  EXPECT_EQ(p->exitCode(), 255);
  EXPECT_TRUE(QString::fromUtf8(p->readAllStandardError())
                  .contains(QStringLiteral("FORMAT.INIが見つからないので詳細の表示ができません。")));
  EXPECT_FALSE(QFileInfo::exists(Settings()));
}

TEST_F(ProcessTest, WarnsWithoutCodecsIniAndRunsAllTheSame) {
  QTemporaryDir bin;
  const QString exe = bin.filePath("vortaq");
  ASSERT_TRUE(QFile::copy(VORTAQ_VORTAQ_EXE, exe));
  QFile(exe).setPermissions(QFile::ExeOwner | QFile::ReadOwner | QFile::WriteOwner);
  ASSERT_TRUE(QFile::copy(VORTAQ_BIN_DIR "FORMAT.INI", bin.filePath("FORMAT.INI")));
  ASSERT_TRUE(QFile::copy(VORTAQ_PROBEX_LIB, bin.filePath("libprobex.so")));
  auto p = Launch({}, exe);
  ASSERT_TRUE(test::WaitFor([&] { return QFileInfo::exists(Socket("VRTQ_NoMultiRun")); }));
  EXPECT_EQ(Stop(p.get()), 0);
  const QString err = QString::fromUtf8(p->readAllStandardError());
  EXPECT_TRUE(err.contains(QStringLiteral("無くても動きますが: CODECS.INIが見つからないのでCodec名の表示ができません。")))
      << err.toStdString();
  EXPECT_TRUE(QFileInfo::exists(Settings()));
}

TEST_F(ProcessTest, SecondStartHandsItsFirstFileOverAndExitsWithOne) {
  QDir().mkpath(config_.filePath("vortaq"));
  ASSERT_TRUE(test::WriteAll(Settings(), Utf16("[Main]\r\nResume=1\r\nAutoStart=0\r\n")));
  auto first = Launch({});
  ASSERT_TRUE(test::WaitFor([&] { return QFileInfo::exists(Socket("VRTQ_NoMultiRun")); }));

  // Nothing to hand over: ends with 1 all the same.
  auto empty = Launch({});
  ASSERT_TRUE(empty->waitForFinished(10000));
  EXPECT_EQ(empty->exitCode(), 1);

  // A relative path means the sender's folder; only the first file goes.
  auto second = Launch({"clip.mp4", "tone.mp3"}, VORTAQ_VORTAQ_EXE, test::Fixture(""));
  ASSERT_TRUE(second->waitForFinished(15000));
  EXPECT_EQ(second->exitCode(), 1);

  EXPECT_EQ(Stop(first.get()), 0);
  const IniFile ini = IniFile::FromBytes(test::ReadAll(Settings()));
  EXPECT_EQ(ini.ReadString("Main", "ResumeFileName", ""),
            QFileInfo(test::Fixture("clip.mp4")).absoluteFilePath());
  EXPECT_FALSE(QFileInfo::exists(Socket("VRTQ_NoMultiRun")));
}

TEST_F(ProcessTest, AnInstanceThatAllowsOthersIsNotLookedFor) {
  QDir().mkpath(config_.filePath("vortaq"));
  ASSERT_TRUE(test::WriteAll(Settings(), Utf16("[Main]\r\nExec=1\r\n")));
  auto first = Launch({});
  ASSERT_TRUE(test::WaitFor([&] { return QFileInfo::exists(Socket("VRTQ")); }));
  auto second = Launch({});
  EXPECT_FALSE(second->waitForFinished(1500));  // a full instance of its own
  EXPECT_EQ(Stop(second.get()), 0);
  EXPECT_EQ(Stop(first.get()), 0);
}

TEST_F(ProcessTest, HelpAndVersionAnswerWithoutAWindowOrADisplay) {
  struct Case {
    QStringList args;
    const char* expected;
  } cases[] = {
      {{"--help"}, "--version"},
      {{"-h", "clip.mp4"}, "[--] [FILE...]"},
      {{"--version"}, "Vortaq6.4 121014"},
  };
  for (const Case& c : cases) {
    auto p = std::make_unique<QProcess>();
    QProcessEnvironment env = Environment();
    env.remove("QT_QPA_PLATFORM");
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    p->setProcessEnvironment(env);
    p->start(VORTAQ_VORTAQ_EXE, c.args);
    ASSERT_TRUE(p->waitForFinished(10000)) << c.args.join(' ').toStdString();
    EXPECT_EQ(p->exitCode(), 0) << c.args.join(' ').toStdString();
    EXPECT_TRUE(QString::fromUtf8(p->readAllStandardOutput()).contains(c.expected))
        << c.args.join(' ').toStdString();
    EXPECT_FALSE(QFileInfo::exists(Settings()));
  }
}

// "--" ends the options: a file whose name begins with '-' is a file.
TEST_F(ProcessTest, NamesAfterTheDoubleDashAreFiles) {
  QTemporaryDir media;
  ASSERT_TRUE(QFile::copy(test::Fixture("tone.mp3"), media.filePath("-h.mp3")));
  QDir().mkpath(config_.filePath("vortaq"));
  ASSERT_TRUE(test::WriteAll(Settings(), Utf16("[Main]\r\nResume=1\r\nAutoStart=0\r\n")));
  // The engine's log names the file once the analysis let it through.
  const QString log = media.filePath("engine.log");
  qputenv("VORTAQ_ENGINE_LOG", log.toUtf8());
  auto p = Launch({"--", "-h.mp3"}, VORTAQ_VORTAQ_EXE, media.path());
  qunsetenv("VORTAQ_ENGINE_LOG");
  ASSERT_TRUE(test::WaitFor([&] { return QFileInfo::exists(Socket("VRTQ_NoMultiRun")); }));
  ASSERT_TRUE(test::WaitFor([&] { return test::ReadAll(log).contains("-h.mp3"); }));
  EXPECT_EQ(Stop(p.get()), 0);
  const IniFile ini = IniFile::FromBytes(test::ReadAll(Settings()));
  EXPECT_EQ(ini.ReadString("Main", "ResumeFileName", ""), media.filePath("-h.mp3"));
}

// What the library says of path, as the playlist lists it.
std::pair<QString, QString> Described(const QString& path) {
  static ProbexBinding binding;
  if (!binding.bound()) binding.Bind({VORTAQ_PROBEX_LIB}, VORTAQ_BIN_DIR);
  MediaInfo info;
  binding.Detect(path, false, &info);
  const QString detail = binding.OneLine(&info);
  return {detail, SizeText(info.fileSize)};
}

playlist::Entries Autosaved(const QString& list) {
  return playlist::ParseOwnList(test::ReadAll(list), QFileInfo(list).absolutePath());
}

TEST_F(ProcessTest, SeveralFilesPlayTheFirstAndListEveryOneWithItsAnalysis) {
  const QStringList files = {test::Fixture("clip.mp4"), test::Fixture("tone.mp3"),
                             test::Fixture("anamorphic.mp4"), test::Fixture("make_fixtures.sh")};
  auto p = Launch(files);
  ASSERT_TRUE(test::WaitFor([&] { return QFileInfo::exists(Socket("VRTQ_NoMultiRun")); }));
  test::WaitFor([] { return false; }, 1500);  // the batch lists them meanwhile
  EXPECT_EQ(Stop(p.get()), 0);
  const playlist::Entries entries = Autosaved(config_.filePath("vortaq/vortaq.vrtql"));
  ASSERT_EQ(entries.size(), static_cast<size_t>(files.size()));
  for (size_t i = 0; i < entries.size(); ++i) {
    EXPECT_EQ(entries[i].path(), files[i]);
    const auto [detail, size] = Described(files[i]);
    EXPECT_EQ(entries[i].detail(), detail) << i;
    EXPECT_EQ(entries[i].size(), size) << i;
  }
  const IniFile ini = IniFile::FromBytes(test::ReadAll(Settings()));
  EXPECT_EQ(ini.ReadString("Main", "PlayList", ""), "1");  // shown for the batch
  EXPECT_EQ(ini.ReadString("Main", "ResumeFileName", ""), QString());
}

TEST_F(ProcessTest, SigtermInTheMiddleOfALongBatchKeepsWhatWasListedInOrder) {
  QTemporaryDir media;
  QStringList files;
  const QByteArray source = QFile::encodeName(test::Fixture("tone.mp3"));
  for (int i = 0; i < 3000; ++i) {
    const QString path = media.filePath(QStringLiteral("t%1.mp3").arg(i, 5, 10, QLatin1Char('0')));
    ASSERT_EQ(::link(source.constData(), QFile::encodeName(path).constData()), 0);
    files << path;
  }
  auto p = Launch(files);
  ASSERT_TRUE(test::WaitFor([&] { return QFileInfo::exists(Socket("VRTQ_NoMultiRun")); }));
  test::WaitFor([] { return false; }, 300);  // the batch is under way
  QElapsedTimer timer;
  timer.start();
  p->terminate();
  ASSERT_TRUE(p->waitForFinished(10000));
  EXPECT_LT(timer.elapsed(), 5000);
  EXPECT_EQ(p->exitCode(), 0);
  const playlist::Entries entries = Autosaved(config_.filePath("vortaq/vortaq.vrtql"));
  ASSERT_LE(entries.size(), static_cast<size_t>(files.size()));
  EXPECT_GT(entries.size(), 0u);
  const auto [detail, size] = Described(files.first());
  for (size_t i = 0; i < entries.size(); ++i) {
    ASSERT_EQ(entries[i].path(), files[i]) << i;
    EXPECT_EQ(entries[i].detail(), detail) << i;
  }
}

// Lists of other players on the command line are read where they stand, the
// first one included, once each.
TEST_F(ProcessTest, ListsOnTheCommandLineAreReadOnceInTheirPlace) {
  QTemporaryDir dir;
  QDir().mkpath(dir.filePath("sub"));
  const QString clip = test::Fixture("clip.mp4"), tone = test::Fixture("tone.mp3");
  ASSERT_TRUE(test::WriteAll(dir.filePath("a.pls"),
                             ("[playlist]\r\nFile1=" + clip + "\r\nTitle1=Clip\r\nNumberOfEntries=1\r\n").toUtf8()));
  ASSERT_TRUE(test::WriteAll(dir.filePath("sub/b.m3u8"),
                             ("\xEF\xBB\xBF#EXTM3U\n#EXTINF:1,Tone\n" + tone + "\nfile://" + clip + "\n\n").toUtf8()));
  auto p = Launch({dir.filePath("a.pls"), dir.filePath("sub/b.m3u8"), tone});
  ASSERT_TRUE(test::WaitFor([&] { return QFileInfo::exists(Socket("VRTQ_NoMultiRun")); }));
  test::WaitFor([] { return false; }, 1500);
  EXPECT_EQ(Stop(p.get()), 0);
  const playlist::Entries entries = Autosaved(config_.filePath("vortaq/vortaq.vrtql"));
  QStringList paths;
  for (const auto& e : entries) paths << e.path();
  EXPECT_EQ(paths, (QStringList{clip, tone, clip, tone}));
}

}  // namespace
}  // namespace vortaq
