#include "probex_binding.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cstring>

#include "player_fixture.h"

namespace vortaq {
namespace {

QString Fake(const char* name) { return QStringLiteral(VORTAQ_FAKES "libfake_probex_%1.so").arg(name); }

TEST(ProbexBindingTest, RefusesBrokenLibrariesWithTheirMessages) {
  struct Case {
    QString file;
    QString message;
  } cases[] = {
      {Fake("no_version"), QStringLiteral("libprobex.soが異常です。")},
      {Fake("no_unicode"), QStringLiteral("Unicode対応前のlibprobex.soは使えません。")},
      {Fake("ansi"), QStringLiteral("ANSI版のlibprobex.soは使えません。")},
      {Fake("no_convert_one"), QStringLiteral("libprobex.soが異常です。")},
  };
  for (const Case& c : cases) {
    ProbexBinding binding;
    EXPECT_EQ(binding.Bind({c.file}, "/tmp/"), c.message) << c.file.toStdString();
    EXPECT_FALSE(binding.bound());
    MediaInfo info;
    EXPECT_FALSE(binding.Detect("/tmp/x", false, &info));
  }
}

TEST(ProbexBindingTest, MissingLibraryNamesTheLoaderError) {
  ProbexBinding binding;
  const QString message = binding.Bind({"/nonexistent/libprobex.so", "/nowhere/libprobex.so"}, "/");
  EXPECT_TRUE(message.startsWith(QStringLiteral("libprobex.soの読み込みに失敗しました(")));
  EXPECT_TRUE(message.contains("/nonexistent/libprobex.so")) << message.toStdString();
  EXPECT_FALSE(binding.bound());
}

TEST(ProbexBindingTest, AnalysesThroughTheRealLibrary) {
  ProbexBinding binding;
  // The first existing candidate is taken.
  ASSERT_EQ(binding.Bind({"/nonexistent/libprobex.so", VORTAQ_PROBEX_LIB}, VORTAQ_BIN_DIR), "");
  EXPECT_EQ(binding.version(), 130101);
  MediaInfo info;
  ASSERT_TRUE(binding.Detect(test::Fixture("tone.mp3"), false, &info));
  EXPECT_EQ(info.fileSize, 4407u);
  const QString report = binding.FullReport(&info);
  EXPECT_TRUE(report.contains("4,407")) << report.toStdString();
  EXPECT_FALSE(binding.OneLine(&info).isEmpty());
  // A path that does not fit the record is not analysed under a cut name.
  EXPECT_FALSE(binding.Detect("/" + QString(300, 'a'), false, &info));
  EXPECT_EQ(info.path[0], 0);
}

TEST(ProbexBindingTest, TextHelpers) {
  EXPECT_EQ(SizeText(999), "999");
  EXPECT_EQ(SizeText(1000), "1,000");
  EXPECT_EQ(SizeText(1234567), "1,234,567");
  EXPECT_EQ(SizeText(0), "0");
  EXPECT_EQ(SizeText(-1234), "-1,234");
  // 0x81 0x60 is the CP932 wave dash that strict Shift_JIS refuses.
  EXPECT_EQ(Cp932ToUnicode("\x83\x65\x83\x58\x83\x67\x81\x60\x87\x40"), QStringLiteral("テスト～①"));
  EXPECT_EQ(Cp932ToUnicode("ab\x82"), QStringLiteral("ab\uFFFD"));
  EXPECT_TRUE(FitsRecord(QString(255, 'a')));
  EXPECT_FALSE(FitsRecord(QString(256, 'a')));
}

}  // namespace
}  // namespace vortaq
