#include "desktop/associations.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QListWidget>
#include <QLineEdit>
#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "desktop/association_dialog.h"
#include "message_box.h"
#include "player_fixture.h"

namespace vortaq {
namespace {

const QByteArray kList =
    "# kept as it is\r\n"
    "[Added Associations]\r\n"
    "audio/mpeg=other.desktop;\r\n"
    "\r\n"
    "[Default Applications]\r\n"
    "audio/mpeg = other.desktop;vlc.desktop;\r\n"
    "# a comment inside\r\n"
    "text/plain=editor.desktop;\r\n"
    "\r\n"
    "[Removed Associations]\r\n"
    "video/mp4=bad.desktop;\r\n";

TEST(MimeAppsListTest, ChangesOnlyTheKeysLine) {
  EXPECT_EQ(DefaultApplication(kList, "audio/mpeg"), QByteArray("other.desktop;vlc.desktop;"));
  EXPECT_EQ(DefaultApplication(kList, "video/mp4"), std::nullopt);  // another group's key

  struct Case {
    const char* name;
    QByteArray list, mime;
    std::optional<QByteArray> value;
    QByteArray want;
  } cases[] = {
      {"replace in place", kList, "audio/mpeg", "vortaq.desktop;",
       QByteArray(kList).replace("audio/mpeg = other.desktop;vlc.desktop;\r\n", "audio/mpeg=vortaq.desktop;\r\n")},
      {"add after the group's last key", kList, "audio/flac", "vortaq.desktop;",
       QByteArray(kList).replace("text/plain=editor.desktop;\r\n",
                                 "text/plain=editor.desktop;\r\naudio/flac=vortaq.desktop;\r\n")},
      {"remove", kList, "audio/mpeg", std::nullopt,
       QByteArray(kList).replace("audio/mpeg = other.desktop;vlc.desktop;\r\n", "")},
      {"remove a missing key", kList, "audio/ogg", std::nullopt, kList},
      {"no group yet", "[Added Associations]\na=b;", "audio/flac", "v;",
       "[Added Associations]\na=b;\n\n[Default Applications]\naudio/flac=v;\n"},
      {"empty file", "", "audio/flac", "v;", "[Default Applications]\naudio/flac=v;\n"},
      {"empty group", "[Default Applications]\n[Other]\nx=y\n", "a/b", "v;",
       "[Default Applications]\na/b=v;\n[Other]\nx=y\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(WithDefaultApplication(c.list, c.mime, c.value), c.want) << c.name;

  const QList<AssociationRecord> records = {{"audio/mpeg", QByteArray("a.desktop;b.desktop;")},
                                            {"audio/flac", std::nullopt},
                                            {"video/mp4", QByteArray("")}};
  EXPECT_EQ(ParseAssociationRecord(FormatAssociationRecord(records)), records);
}

class AssociationsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    paths_ = {dir_.filePath("config/mimeapps.list"), dir_.filePath("data/applications"),
              dir_.filePath("settings/vortaq-associations.list")};
    QDir().mkpath(dir_.filePath("config"));
    ASSERT_TRUE(test::WriteAll(paths_.mimeappsList, kList));
    mpeg_ = MimeTypeOfExtension(".mp3");
    flac_ = MimeTypeOfExtension(".flac");
    ASSERT_EQ(mpeg_, "audio/mpeg");
    ASSERT_EQ(flac_, "audio/flac");
  }
  QByteArray List() { return test::ReadAll(paths_.mimeappsList); }
  QTemporaryDir dir_;
  AssociationPaths paths_;
  QByteArray mpeg_, flac_;
};

TEST_F(AssociationsTest, RestoreGivesBackExactlyWhatWasThere) {
  Associations a(paths_, "/opt/my \"player\"/vortaq");
  ASSERT_TRUE(a.Register({".mp3", ".flac"}));
  EXPECT_EQ(DefaultApplication(List(), mpeg_), QByteArray("vortaq.desktop;"));
  EXPECT_EQ(DefaultApplication(List(), flac_), QByteArray("vortaq.desktop;"));
  const QByteArray entry = test::ReadAll(paths_.applications + "/vortaq.desktop");
  EXPECT_TRUE(entry.contains("Exec=\"/opt/my \\\\\"player\\\\\"/vortaq\" %F\n")) << entry.constData();
  EXPECT_TRUE(entry.contains("audio/mpeg;")) << entry.constData();
  const QString validate = QStandardPaths::findExecutable("desktop-file-validate");
  if (!validate.isEmpty()) {
    QProcess p;
    p.start(validate, {paths_.applications + "/vortaq.desktop"});
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardOutput().constData();
  }
  // As the desktop's own tool reads it.
  const QString xdgMime = QStandardPaths::findExecutable("xdg-mime");
  const auto queryDefault = [&](const QString& mime) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", dir_.path());
    env.insert("XDG_CONFIG_HOME", dir_.filePath("config"));
    env.insert("XDG_DATA_HOME", dir_.filePath("data"));
    env.insert("XDG_DATA_DIRS", dir_.filePath("none"));
    env.remove("XDG_CURRENT_DESKTOP");
    env.remove("DESKTOP_SESSION");
    p.setProcessEnvironment(env);
    p.start(xdgMime, {"query", "default", mime});
    EXPECT_TRUE(p.waitForFinished(30000));
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
  };
  // xdg-mime takes a default only when its program exists, else it falls
  // back to the desktop database cache, which a background refresh rewrites.
  Associations real(paths_, QCoreApplication::applicationFilePath());
  ASSERT_TRUE(real.Register({".mp3"}));
  if (!xdgMime.isEmpty()) {
    EXPECT_EQ(queryDefault("audio/mpeg"), "vortaq.desktop");
  }
  // A second registration keeps the first one's record.
  ASSERT_TRUE(a.Register({".mp3"}));
  ASSERT_TRUE(a.Restore({".mp3", ".flac", ".wav"}));
  EXPECT_EQ(List(), kList);
  // Nothing left to restore: nothing changes.
  ASSERT_TRUE(a.Restore({".mp3"}));
  EXPECT_EQ(List(), kList);
}

TEST_F(AssociationsTest, RestoreLeavesADefaultTheUserChanged) {
  Associations a(paths_, "/usr/bin/vortaq");
  ASSERT_TRUE(a.Register({".mp3", ".flac"}));
  const QByteArray changed = WithDefaultApplication(List(), flac_, QByteArray("mine.desktop;"));
  ASSERT_TRUE(test::WriteAll(paths_.mimeappsList, changed));
  ASSERT_TRUE(a.Restore({".mp3", ".flac"}));
  EXPECT_EQ(DefaultApplication(List(), flac_), QByteArray("mine.desktop;"));
  EXPECT_EQ(DefaultApplication(List(), mpeg_), QByteArray("other.desktop;vlc.desktop;"));
  // The record forgot both: a later Restore does not undo the user's choice.
  EXPECT_EQ(ParseAssociationRecord(test::ReadAll(paths_.record)), QList<AssociationRecord>{});
}

TEST_F(AssociationsTest, DialogRegistersTheSelection) {
  AssociationDialog dialog(Associations(paths_, "/usr/bin/vortaq"));
  QStringList asked;
  bool answer = false;
  dialog.SetConfirm([&](const QString& q) {
    asked << q;
    return answer;
  });
  EXPECT_EQ(dialog.list()->count(), 38);
  EXPECT_TRUE(dialog.list()->selectedItems().isEmpty());
  dialog.edit()->setText("mp3");  // the first character is taken for the dot
  dialog.Add();
  EXPECT_EQ(dialog.list()->item(38)->text(), "mp3");
  EXPECT_TRUE(dialog.edit()->text().isEmpty());
  dialog.SelectAll(true);
  dialog.SelectAll(false);
  dialog.list()->findItems(".mp3", Qt::MatchExactly).first()->setSelected(true);
  dialog.RegisterSelected();  // answered No
  EXPECT_EQ(List(), kList);
  answer = true;
  dialog.RegisterSelected();
  EXPECT_EQ(asked.last(), QStringLiteral("選択を纏めて関連付けを実行します。よろしいですか?"));
  EXPECT_EQ(LastMessage(), QStringLiteral("関連付けしました。"));
  EXPECT_EQ(DefaultApplication(List(), mpeg_), QByteArray("vortaq.desktop;"));
  dialog.RestoreSelected();
  EXPECT_EQ(asked.last(), QStringLiteral("Vortaqで関連付けたものを元に戻します。宜しいですか?"));
  EXPECT_EQ(LastMessage(), QStringLiteral("元に戻しました。"));
  EXPECT_EQ(List(), kList);
}

}  // namespace
}  // namespace vortaq
