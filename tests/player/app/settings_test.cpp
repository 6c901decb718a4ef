#include "settings.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QDir>
#include <QTemporaryDir>
#include <csignal>

#include "ini_file.h"
#include "platform/atomic_file.h"
#include "player_fixture.h"

namespace vortaq {
namespace {

QByteArray Utf16File(const QString& text) {
  QByteArray out("\xFF\xFE", 2);
  for (QChar c : text) out.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
  return out;
}

TEST(IniFileTest, ReadsValuesCaseInsensitivelyWithHexAndDefaults) {
  const IniFile ini = IniFile::FromBytes(Utf16File(QStringLiteral(
      "[main]\r\nseekleftright=0x10\r\nVolume=abc\r\nMainX=-20\r\nHint=7\r\n"
      "Dir=/home/ユーザー/動画\r\nAutoStart=yes\r\n")));
  EXPECT_EQ(ini.ReadInteger("Main", "SeekLeftRight", 5), 16);
  EXPECT_EQ(ini.ReadInteger("Main", "Volume", 100), 100);
  EXPECT_EQ(ini.ReadInteger("Main", "MainX", 100), -20);
  EXPECT_TRUE(ini.ReadBool("Main", "Hint", false));
  EXPECT_TRUE(ini.ReadBool("Main", "AutoStart", true));  // not a number: default
  EXPECT_EQ(ini.ReadString("MAIN", "DIR", ""), QStringLiteral("/home/ユーザー/動画"));
  EXPECT_EQ(ini.ReadInteger("Other", "MainX", 7), 7);
}

TEST(IniFileTest, WritingKeepsOtherSectionsAndUnknownKeys) {
  IniFile ini = IniFile::FromBytes(Utf16File(QStringLiteral(
      "[PlayList]\r\nPlayListX=5\r\n\r\n[Main]\r\nMainX=1\r\nFuture=keep me\r\n")));
  ini.WriteInteger("main", "MAINX", 42);
  ini.WriteBool("Main", "Exec", true);
  ini.WriteString("Seek", "SeekX", "300");
  const QByteArray bytes = ini.ToBytes();
  ASSERT_GE(bytes.size(), 2);
  EXPECT_EQ(bytes.left(2), QByteArray("\xFF\xFE", 2));
  const IniFile back = IniFile::FromBytes(bytes);
  EXPECT_EQ(back.Sections(), (QStringList{"PlayList", "Main", "Seek"}));
  EXPECT_EQ(back.Keys("Main"), (QStringList{"MainX", "Future", "Exec"}));
  EXPECT_EQ(back.ReadInteger("Main", "MainX", 0), 42);
  EXPECT_EQ(back.ReadString("Main", "Future", ""), "keep me");
  EXPECT_EQ(back.ReadInteger("PlayList", "PlayListX", 0), 5);
  // A line break in a value must not turn into a forged entry.
  ini.WriteString("Main", "Dir", "a\r\n[Evil]\r\nx=1");
  EXPECT_FALSE(IniFile::FromBytes(ini.ToBytes()).Sections().contains("Evil"));
}

TEST(MainSettingsTest, DefaultsWhenNothingIsStored) {
  const MainSettings s = ReadMainSettings(IniFile());
  EXPECT_EQ(s.mainX, 100);
  EXPECT_EQ(s.mainY, 100);
  EXPECT_TRUE(s.autoStart);
  EXPECT_TRUE(s.autoRepeat);
  EXPECT_TRUE(s.hint);
  EXPECT_EQ(s.hintStyle, kHintStyleNormal);
  EXPECT_EQ(s.volume, 100);
  EXPECT_EQ(s.wmpRateMax, 20);
  EXPECT_EQ(s.wmpDefaultWidth, 300);
  EXPECT_EQ(s.wmpDefaultHeight, 146);
  EXPECT_EQ(s.resumeState, 6);
  EXPECT_EQ(s.seekLeftRight, 5);
  EXPECT_EQ(s.hintFontColor, 0xFFFFFF);
}

TEST(MainSettingsTest, WritesEveryExitKeyInOrderAndHintStyleAsTwoOrThree) {
  IniFile ini = IniFile::FromBytes(Utf16File(QStringLiteral("[Main]\r\nHintStyle=0\r\n")));
  MainSettings s = ReadMainSettings(ini);
  EXPECT_EQ(s.hintStyle, kHintStyleNormal);
  IniFile out;
  WriteMainSettings(out, s);
  EXPECT_EQ(out.Keys("Main"),
            (QStringList{"MainX", "MainY", "AutoStart", "AutoRepeat", "Volume", "AlwaysOnTop",
                         "HideControl", "TransWindow", "TransMain", "Hint", "HintExFontColor",
                         "HintExShadowColor", "HintFontColor", "HintBGColor", "HintStyle",
                         "Resume", "ResumeState", "ResumePos", "ResumeFileName", "CheckExt",
                         "Exec", "StopScreenSaver", "AddReadOnly", "NoTaskTray",
                         "NoTaskTrayPopup", "WATrack", "MSN", "Skype", "SeekLeftRight",
                         "PlayList", "Seek", "Dir"}));
  EXPECT_EQ(out.ReadString("Main", "HintStyle", ""), "3");
  s.hintStyle = kHintStyleTranslucent;
  s.resumeFileName = QStringLiteral("/tmp/曲.mp3");
  WriteMainSettings(out, s);
  const MainSettings back = ReadMainSettings(IniFile::FromBytes(out.ToBytes()));
  EXPECT_EQ(back.hintStyle, kHintStyleTranslucent);
  EXPECT_EQ(back.resumeFileName, QStringLiteral("/tmp/曲.mp3"));
}

TEST(MainSettingsTest, VolumePercentAndBar) {
  EXPECT_EQ(VolumeBarFromPercent(60), -2000);
  EXPECT_EQ(VolumeBarFromPercent(100), 0);
  EXPECT_EQ(PercentFromVolumeBar(-2000), 60);
  EXPECT_EQ(PercentFromVolumeBar(-4990), 0);
  EXPECT_EQ(PercentFromVolumeBar(0), 100);
}

class SettingsFileTest : public testing::Test {
 protected:
  QString Path() const { return dir_.filePath("vortaq.ini"); }
  QTemporaryDir dir_;
};

TEST_F(SettingsFileTest, MissingFileLoadsEmptyAndUpdateCreatesIt) {
  SettingsFile file(dir_.filePath("sub/vortaq.ini"));
  EXPECT_TRUE(file.Load());
  EXPECT_TRUE(file.Update([](IniFile& ini) { ini.WriteInteger("Main", "MainX", 3); }));
  const QByteArray bytes = test::ReadAll(file.path());
  EXPECT_EQ(bytes.left(2), QByteArray("\xFF\xFE", 2));
  EXPECT_EQ(IniFile::FromBytes(bytes).ReadInteger("Main", "MainX", 0), 3);
}

TEST_F(SettingsFileTest, UnreadableOrForeignFileIsNeverOverwritten) {
  // A folder in the file's place cannot be read; a file without the
  // byte-order mark is someone else's text.
  for (bool folder : {true, false}) {
    QDir(dir_.path()).rmdir("vortaq.ini");
    QFile::remove(Path());
    if (folder) {
      ASSERT_TRUE(QDir(dir_.path()).mkdir("vortaq.ini"));
    } else {
      ASSERT_TRUE(test::WriteAll(Path(), "[Main]\nMainX=5\n"));
    }
    SettingsFile file(Path());
    EXPECT_FALSE(file.Load());
    EXPECT_EQ(ReadMainSettings(file.ini()).mainX, 100);
    EXPECT_FALSE(file.Update([](IniFile& ini) { ini.WriteInteger("Main", "MainX", 1); }));
    if (!folder) {
      EXPECT_EQ(test::ReadAll(Path()), QByteArray("[Main]\nMainX=5\n"));
    }
  }
}

TEST_F(SettingsFileTest, UpdateRereadsSoOtherWritersSectionsSurvive) {
  SettingsFile file(Path());
  ASSERT_TRUE(file.Load());
  // Another owner writes its section after this one loaded.
  ASSERT_TRUE(test::WriteAll(Path(), Utf16File("[Seek]\r\nSeekX=7\r\n")));
  ASSERT_TRUE(file.Update([](IniFile& ini) { ini.WriteInteger("Main", "MainX", 9); }));
  const IniFile back = IniFile::FromBytes(test::ReadAll(Path()));
  EXPECT_EQ(back.ReadInteger("Seek", "SeekX", 0), 7);
  EXPECT_EQ(back.ReadInteger("Main", "MainX", 0), 9);
}

TEST_F(SettingsFileTest, FailedWriteKeepsThePreviousFileAndLeavesNoTemporary) {
  const QByteArray old = Utf16File("[Main]\r\nMainX=1\r\n");
  // Below and above the size that a write buffer would hold back until the commit.
  for (qsizetype size : {qsizetype{10000}, qsizetype{64 * 1024}}) {
    ASSERT_TRUE(test::WriteAll(Path(), old));
    // A file size limit makes the write fail half way, even for root.
    rlimit saved;
    getrlimit(RLIMIT_FSIZE, &saved);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved;
    limit.rlim_cur = 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    const bool written = WriteFileAtomically(Path(), QByteArray(size, 'x'));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_FALSE(written) << size;
    EXPECT_EQ(test::ReadAll(Path()), old) << size;
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"vortaq.ini"});
  }
}

TEST_F(SettingsFileTest, PortableFileBesideTheProgramWinsOverTheConfigFolder) {
  qputenv("XDG_CONFIG_HOME", dir_.filePath("config").toUtf8());
  EXPECT_EQ(SettingsPath(dir_.path()), dir_.filePath("config/vortaq/vortaq.ini"));
  ASSERT_TRUE(test::WriteAll(Path(), QByteArray("\xFF\xFE", 2)));
  EXPECT_EQ(SettingsPath(dir_.path()), Path());
  qunsetenv("XDG_CONFIG_HOME");
}

}  // namespace
}  // namespace vortaq
