#include "platform/local_path.h"

#include <gtest/gtest.h>

namespace vortaq {
namespace {

TEST(LocalPathTest, EveryByteSequenceSurvivesTheRoundTrip) {
  const QByteArray cases[] = {
      "/music/plain.mp3",
      "/music/\xE6\x9B\xB2.mp3",          // valid UTF-8 (曲)
      "/music/caf\xE9.mp3",                // Latin-1 é
      "/music/\xFF\xFE\x80.mp3",           // bytes that never start UTF-8
      "/music/\xE6\x9B.mp3",               // a sequence cut short
      "/music/\xC0\xAF.mp3",               // overlong '/'
      "/music/\xED\xB2\x80.mp3",           // an encoded surrogate
      "/music/\xF0\x9F\x8E\xB5.mp3",       // outside the BMP (🎵)
      "/music/\xF0\x9F\x8E\xB5\xB5.mp3",   // the same, a stray byte after it
  };
  for (const QByteArray& bytes : cases)
    EXPECT_EQ(LocalFromPath(PathFromLocal(bytes)), bytes) << bytes.toHex().constData();
}

TEST(LocalPathTest, ValidTextIsPlainTextAndCarriedBytesShowAsReplacements) {
  EXPECT_EQ(PathFromLocal("/a/\xE6\x9B\xB2"), QStringLiteral("/a/曲"));
  const QString carried = PathFromLocal("caf\xE9");
  EXPECT_EQ(carried.size(), 4);
  EXPECT_EQ(carried.at(3).unicode(), 0xDCE9);
  EXPECT_EQ(DisplayPath(carried), QStringLiteral("caf\uFFFD"));
  // A real surrogate pair is text, not two carried bytes.
  const QString note = QStringLiteral("\U0001F3B5");
  EXPECT_EQ(DisplayPath(note), note);
  EXPECT_EQ(LocalFromPath(note), QByteArray("\xF0\x9F\x8E\xB5"));
}

}  // namespace
}  // namespace vortaq
