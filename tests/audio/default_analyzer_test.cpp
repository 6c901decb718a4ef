#include <gtest/gtest.h>

#include "fixture.h"
#include "probex_formats.h"

namespace probex {
namespace {

using test::Bytes;
using test::TempFile;

TEST(DefaultAnalyzer, HexDumpOfTheFirstBytes) {
  struct Case {
    Bytes content;
    const char* video;
  } cases[] = {
      {{'H', 'e', 'l', 'l', 'o'}, "[48 65 6C 6C 6F] : Hello"},
      {{'A', 0x01, ' ', 0x7F, 0x80, 'z'}, "[41 01 20 7F 80 7A] : A    z"},
      {Bytes(50, 'x'), "[78 78 78 78 78 78 78 78 78 78 78 78 78 78 78 78] : xxxxxxxxxxxxxxxx"},
  };
  for (const Case& c : cases) {
    TempFile file("unknown.dat", c.content);
    MediaInfo info = test::AnalyzeFile(file.Path());
    EXPECT_EQ(info.formatId, format::kUnknown);
    ASSERT_EQ(info.videoCount, 1);
    EXPECT_STREQ(info.videoText[0], c.video);
    EXPECT_EQ(test::Utf8(info.formatName), "未対応形式");
    EXPECT_EQ(info.duration, -1.0);
    EXPECT_EQ(info.fileSize, c.content.size());
  }
}

TEST(DefaultAnalyzer, EmptyFileAndPlaylists) {
  TempFile empty("empty.dat", Bytes{});
  MediaInfo info = test::AnalyzeFile(empty.Path());
  EXPECT_EQ(test::Utf8(info.errorText), "未対応形式");
  EXPECT_EQ(info.fileSize, 0u);

  // Playlists have no analyzer of their own: the default one describes them.
  TempFile playlist("list.m3u", std::string("#EXTM3U\n/a.mp3\n"));
  MediaInfo list = test::AnalyzeFile(playlist.Path());
  EXPECT_EQ(list.formatId, format::kPlaylistM3u);
  ASSERT_EQ(list.videoCount, 1);
  EXPECT_STREQ(list.videoText[0], "[23 45 58 54 4D 33 55 0A 2F 61 2E 6D 70 33 0A] : #EXTM3U /a.mp3 ");
}

}  // namespace
}  // namespace probex
