#include <gtest/gtest.h>

#include <string>

#include "audio/tags.h"
#include "file_reader.h"
#include "fixture.h"

namespace probex {
namespace {

using test::Bytes;
using test::TempFile;

void Append(Bytes& b, const std::string& s) { b.insert(b.end(), s.begin(), s.end()); }

Bytes Id3v2(uint32_t body) {
  Bytes b = {'I', 'D', '3', 4, 0, 0, static_cast<uint8_t>((body >> 21) & 0x7F), static_cast<uint8_t>((body >> 14) & 0x7F),
             static_cast<uint8_t>((body >> 7) & 0x7F), static_cast<uint8_t>(body & 0x7F)};
  b.resize(10 + body, 0);
  return b;
}

Bytes ApeTag(uint32_t size) {
  Bytes items(size - 32, 'i');
  Bytes footer = {'A', 'P', 'E', 'T', 'A', 'G', 'E', 'X', 0xD0, 0x07, 0, 0,
                  static_cast<uint8_t>(size), static_cast<uint8_t>(size >> 8), 0, 0};
  footer.resize(32, 0);
  items.insert(items.end(), footer.begin(), footer.end());
  return items;
}

Bytes Lyrics3(const std::string& body) {
  Bytes b;
  Append(b, "LYRICSBEGIN" + body);
  char size[7];
  std::snprintf(size, sizeof size, "%06zu", 11 + body.size());
  Append(b, std::string(size) + "LYRICS200");
  return b;
}

Bytes Id3v1() {
  Bytes b;
  Append(b, "TAG");
  b.resize(128, ' ');
  return b;
}

TagInfo Scan(const Bytes& content, uint64_t start = 0) {
  TempFile file("tags.bin", content);
  FileReader reader;
  EXPECT_TRUE(reader.Open(test::ToUtf16(file.Path()).c_str()));
  reader.Seek(static_cast<int64_t>(start), 0);
  TagInfo tags{};
  tags.searchEnd = true;
  FindTags(reader, tags);
  EXPECT_EQ(reader.Tell(), start);
  EXPECT_FALSE(reader.AtEnd());
  return tags;
}

TEST(FindTags, EndTagsInTheirUsualOrder) {
  Bytes file(1000, 0x55);
  Bytes ape = ApeTag(64), lyrics = Lyrics3("IND0000210"), v1 = Id3v1();
  file.insert(file.end(), ape.begin(), ape.end());
  uint64_t lyricsAt = file.size();
  file.insert(file.end(), lyrics.begin(), lyrics.end());
  file.insert(file.end(), v1.begin(), v1.end());
  TagInfo tags = Scan(file);
  EXPECT_TRUE(tags.scanned);
  EXPECT_TRUE(tags.hasId3v1);
  EXPECT_EQ(tags.id3v1Offset, file.size() - 128);
  EXPECT_TRUE(tags.hasLyrics3);
  EXPECT_EQ(tags.lyrics3Offset, lyricsAt);
  EXPECT_EQ(tags.lyrics3Size, lyrics.size());
  EXPECT_TRUE(tags.hasApe);
  EXPECT_EQ(tags.apeSize, 64u);
  char text[128];
  DescribeTags(text, sizeof text, tags);
  EXPECT_STREQ(text, "ID3v1 / APE / Lyrics3");
}

TEST(FindTags, ApeFooterAtTheEndIsNoId3v1) {
  Bytes file(500, 0);
  Bytes ape = ApeTag(200);
  file.insert(file.end(), ape.begin(), ape.end());
  // "TAG" 128 bytes before the end, inside the APE items.
  std::copy_n("TAG", 3, file.end() - 128);
  TagInfo tags = Scan(file);
  EXPECT_FALSE(tags.hasId3v1);
  EXPECT_TRUE(tags.hasApe);
  EXPECT_EQ(tags.apeSize, 200u);
}

TEST(FindTags, ConsecutiveId3v2TagsAndMalformedEndTags) {
  Bytes file = Id3v2(100);
  Bytes second = Id3v2(50);
  file.insert(file.end(), second.begin(), second.end());
  file.resize(file.size() + 300, 0x11);
  TagInfo tags = Scan(file);
  EXPECT_TRUE(tags.hasId3v2);
  EXPECT_EQ(tags.id3v2Count, 2);
  EXPECT_EQ(tags.id3v2Size, 110u + 60u);

  // A Lyrics3 end without its LYRICSBEGIN, and an APE footer claiming more
  // bytes than the file holds, are simply not reported.
  Bytes broken(200, 0);
  Append(broken, "000100LYRICS200");
  TagInfo t = Scan(broken);
  EXPECT_FALSE(t.hasLyrics3);
  Bytes bigApe(40, 0);
  Bytes footer = ApeTag(32);
  footer[12] = 0xFF, footer[13] = 0xFF, footer[14] = 0xFF, footer[15] = 0x7F;
  bigApe.insert(bigApe.end(), footer.begin(), footer.end());
  EXPECT_FALSE(Scan(bigApe).hasApe);
  // Files shorter than a tag.
  EXPECT_FALSE(Scan(Bytes{'T', 'A', 'G'}).hasId3v1);
}

Bytes VorbisComment(const std::string& vendor, const std::vector<std::string>& comments) {
  Bytes b;
  auto u32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  u32(static_cast<uint32_t>(vendor.size()));
  Append(b, vendor);
  u32(static_cast<uint32_t>(comments.size()));
  for (const std::string& c : comments) {
    u32(static_cast<uint32_t>(c.size()));
    Append(b, c);
  }
  return b;
}

TEST(ScanVorbisComment, FlagsCueSheetsAndChapters) {
  struct Case {
    std::vector<std::string> comments;
    const char* described;
  } cases[] = {
      {{"TITLE=x"}, "VorbisComment"},
      {{}, ""},
      {{"CHAPTER001=00:00:00.000", "CHAPTER001NAME=a", "CHAPTER002=00:01:00.000"}, "VorbisComment / Chapter(2)"},
      {{"cuesheet=FILE", "TITLE=x"}, "VorbisComment / CueSheet"},
      {{"CUE_TRACK01_TITLE=x"}, "VorbisComment / CueSheet"},
      {{"CHAPTER99999999999999=overflow"}, "VorbisComment / Chapter(2147483647)"},
  };
  for (const Case& c : cases) {
    Bytes block = VorbisComment("vendor", c.comments);
    TagInfo tags{};
    ScanVorbisComment(block.data(), block.size(), tags);
    char text[128];
    DescribeTags(text, sizeof text, tags);
    EXPECT_STREQ(text, c.described);
  }
}

TEST(ScanVorbisComment, LengthsFromTheBlockNeverReadPastIt) {
  Bytes block = VorbisComment("vendor", {"CHAPTER005=x", "TITLE=y"});
  // Claim a huge comment count and an overlong last comment.
  Bytes bad = block;
  bad[10] = 0xFF, bad[11] = 0xFF, bad[12] = 0xFF, bad[13] = 0xFF;
  TagInfo tags{};
  ScanVorbisComment(bad.data(), bad.size(), tags);
  EXPECT_TRUE(tags.hasChapters);
  EXPECT_EQ(tags.chapterNumber, 5);
  // Cut in the middle of every field.
  for (size_t n = 0; n < block.size(); ++n) {
    Bytes cut(block.begin(), block.begin() + static_cast<long>(n));
    TagInfo t{};
    ScanVorbisComment(cut.data(), cut.size(), t);
  }
  Bytes vendorTooLong = {0xF0, 0xFF, 0xFF, 0xFF, 'v'};
  TagInfo t{};
  ScanVorbisComment(vendorTooLong.data(), vendorTooLong.size(), t);
  EXPECT_FALSE(t.hasVorbisComment);
}

TEST(DescribeTags, OrderAndContainerFlags) {
  TagInfo tags{};
  tags.hasId3v2 = tags.hasApe = true;
  char text[256];
  DescribeTags(text, sizeof text, tags);
  EXPECT_STREQ(text, "ID3v2 / APE");
  TagInfo all{};
  all.hasId3v1 = all.hasId3v2 = all.hasApe = all.hasLyrics3 = all.hasInfoTag = all.hasVorbisComment = true;
  all.hasCueSheet = all.hasChapters = all.hasMetaData = all.hasChapterList = true;
  all.chapterNumber = 3;
  all.chapterListCount = 7;
  DescribeTags(text, sizeof text, all);
  EXPECT_STREQ(text,
               "ID3v1 / ID3v2 / APE / Lyrics3 / INFOTAG / VorbisComment / CueSheet / Chapter(3) / MetaData / Chapter(7)");
  char small[10];
  DescribeTags(small, sizeof small, all);
  EXPECT_STREQ(small, "ID3v1 / I");
}

}  // namespace
}  // namespace probex
