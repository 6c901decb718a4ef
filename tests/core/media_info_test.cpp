#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "fixture.h"
#include "media_info.h"

namespace probex {
namespace {

TEST(MediaInfoRecord, ListsStopAtTheirLimitsAndKeepEntries) {
  MediaInfo info = test::MakeRecord("x");
  struct List {
    void (*add)(MediaInfo&, const char*);
    int32_t MediaInfo::*count;
    int limit;
  } lists[] = {{AddVideoText, &MediaInfo::videoCount, 10},
               {AddAudioText, &MediaInfo::audioCount, 10},
               {AddExtraText, &MediaInfo::extraCount, 5}};
  for (const List& list : lists) {
    for (int i = 0; i < list.limit; ++i) list.add(info, std::to_string(i).c_str());
    list.add(info, "dropped");
    EXPECT_EQ(info.*list.count, list.limit);
  }
  EXPECT_STREQ(info.videoText[9], "9");
  EXPECT_STREQ(info.audioText[0], "0");
  EXPECT_STREQ(info.extraText[4], "4");
}

TEST(MediaInfoRecord, OverlongTextsAreCutInsideTheirFields) {
  MediaInfo info = test::MakeRecord("x");
  std::string huge(2000, 'x');
  // Guard: the byte after the first entry belongs to the second.
  info.videoText[1][0] = 'G';
  AddVideoText(info, huge.c_str());
  EXPECT_EQ(std::strlen(info.videoText[0]), 511u);
  EXPECT_EQ(info.videoText[1][0], 'G');
  SetErrorText(info, huge.c_str());
  EXPECT_EQ(std::strlen(info.errorText), 511u);
  SetFormatName(info, huge.c_str());
  EXPECT_EQ(std::strlen(info.formatName), 31u);
  SetErrorFormat(info, "%s%s", huge.c_str(), huge.c_str());
  EXPECT_EQ(std::strlen(info.errorText), 511u);
}

TEST(MediaInfoRecord, CountsOutsideTheirRangeAddNothing) {
  MediaInfo info = test::MakeRecord("x");
  info.audioCount = -3;
  AddAudioText(info, "a");
  EXPECT_EQ(info.audioCount, -3);
  info.extraCount = 99;
  AddExtraText(info, "e");
  EXPECT_EQ(info.extraCount, 99);
}

}  // namespace
}  // namespace probex
