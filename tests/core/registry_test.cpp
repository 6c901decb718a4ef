#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "dispatch.h"
#include "file_reader.h"
#include "fixture.h"
#include "media_info.h"
#include "probex_formats.h"
#include "registry.h"

namespace probex {
namespace {

using test::Bytes;
using test::TempFile;

constexpr int32_t kTestFormat = 900;

int32_t TestProbe(const SignatureBlock& b, const char16_t*) { return SignatureAt(b, 0, "TSTF") ? kTestFormat : 0; }

void TestAnalyze(MediaInfo& info, FileReader& reader) {
  uint8_t head[4] = {};
  reader.Read(head, sizeof head);
  SetFormatName(info, "Test");
  AddVideoText(info, head[0] == 'T' ? "read from the open reader" : "reader not at the start");
}

FormatRegistry WithTestFormat(uint16_t order) {
  std::vector<FormatRecord> records(Formats().Records().begin(), Formats().Records().end());
  records.push_back({kTestFormat, "Test", ".tstf", order, TestProbe, TestAnalyze, false});
  return FormatRegistry(records);
}

Bytes Content(const std::string& text, size_t size = 300) {
  Bytes b(text.begin(), text.end());
  b.resize(size, 0);
  return b;
}

// A new format is one record: detection by signature, by extension and the
// dispatch to its analyzer follow from it alone, in the order it names.
TEST(Registry, AFormatIsOneRecord) {
  const FormatRegistry first = WithTestFormat(5), last = WithTestFormat(1000);
  struct Case {
    const FormatRegistry* registry;
    const char* name;
    Bytes content;
    int32_t expected;
  } cases[] = {
      {&first, "a.bin", Content("TSTF"), kTestFormat},
      {&first, "a.tstf", Content("none"), kTestFormat},            // the extension fall-back
      {&first, "a.bin", Content(std::string("TSTF\0\0JFIF", 10)), kTestFormat},  // before the JPEG rule
      {&last, "a.bin", Content(std::string("TSTF\0\0JFIF", 10)), format::kJpeg},
      {&Formats(), "a.tstf", Content("TSTF"), format::kUnknown},  // the library's own registry is untouched
  };
  for (const Case& c : cases) {
    TempFile file(c.name, c.content);
    MediaInfo info = test::MakeRecord(file.Path());
    c.registry->Detect(info);
    EXPECT_EQ(info.formatId, c.expected) << c.name;
  }

  TempFile file("b.bin", Content("TSTF", 1234));
  MediaInfo info = test::MakeRecord(file.Path());
  first.Detect(info);
  info.fileSize = 0;
  first.Dispatch(info);
  EXPECT_STREQ(info.formatName, "Test");
  ASSERT_EQ(info.videoCount, 1);
  EXPECT_STREQ(info.videoText[0], "read from the open reader");
  EXPECT_EQ(info.fileSize, 1234u);
}

// Every public FormatId has one record; records that share a rule share its
// probe, so the rule runs once and decides for all of them.
TEST(Registry, OneRecordPerFormatIdAndOneProbePerRule) {
  std::set<int32_t> ids;
  std::map<uint16_t, SignatureProbe> probes;
  for (const FormatRecord& record : Formats().Records()) {
    EXPECT_TRUE(ids.insert(record.formatId).second) << record.formatId;
    EXPECT_EQ(record.playlist, record.formatId >= format::kPlaylistVrtql) << record.formatId;
    if (!record.probe) continue;
    auto [at, added] = probes.emplace(record.order, record.probe);
    EXPECT_TRUE(added || at->second == record.probe) << "order " << record.order << " has two probes";
  }
  for (int32_t id : {format::kUnknown, format::kUnopenable, format::kAvi, format::kMpeg2Ts, format::kAsfAudio,
                     format::kGif, format::kS98, format::kOggFlac, format::kPlaylistM3u8})
    EXPECT_TRUE(ids.count(id)) << id;
}

// The dispatcher opens the file once for every analyzer: each stores the
// file size and reports an unopenable file the same way.
TEST(Dispatch, EveryAnalyzerGetsTheOpenFileAndItsSize) {
  TempFile file("zeros.bin", Bytes(4321, 0));
  MediaInfo unterminated = test::MakeRecord(file.Path());
  for (size_t i = 0; i < PROBEX_PATH_UNITS; ++i)
    if (unterminated.path[i] == 0) unterminated.path[i] = u'x';
  for (const FormatRecord& record : Formats().Records()) {
    if (record.playlist) continue;
    SCOPED_TRACE(record.formatId);
    MediaInfo info = test::MakeRecord(file.Path());
    info.formatId = record.formatId;
    Dispatch(info);
    if (record.formatId != format::kUnopenable) {
      EXPECT_EQ(info.fileSize, 4321u);
    }

    MediaInfo missing = test::MakeRecord("/nonexistent/folder/file.bin");
    missing.formatId = record.formatId;
    Dispatch(missing);
    EXPECT_EQ(test::Utf8(missing.errorText), "ファイルのオープンに失敗");
    EXPECT_EQ(missing.videoCount + missing.audioCount + missing.extraCount, 0);

    MediaInfo endless = unterminated;
    endless.formatId = record.formatId;
    Dispatch(endless);
    EXPECT_EQ(test::Utf8(endless.errorText), "ファイルのオープンに失敗");
    EXPECT_EQ(endless.fileSize, 0u);
  }
}

}  // namespace
}  // namespace probex
