#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "bits.h"
#include "file_reader.h"
#include "fixture.h"
#include "text.h"

namespace probex {
namespace {

using test::Bytes;
using test::TempFile;

TEST(ByteOrder, ReadsEveryWidthInBothOrders) {
  const uint8_t b[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09};
  EXPECT_EQ(ReadU16LE(b), 0x0201u);
  EXPECT_EQ(ReadU16BE(b, 1), 0x0203u);
  EXPECT_EQ(ReadU24LE(b), 0x030201u);
  EXPECT_EQ(ReadU24BE(b), 0x010203u);
  EXPECT_EQ(ReadU32LE(b), 0x04030201u);
  EXPECT_EQ(ReadU32BE(b, 1), 0x02030405u);
  EXPECT_EQ(ReadU64LE(b), 0x0807060504030201ull);
  EXPECT_EQ(ReadU64BE(b, 1), 0x0203040506070809ull);
  EXPECT_EQ(ReadUIntBE(b, 3), 0x010203u);
  EXPECT_EQ(ReadUIntLE(b, 5), 0x0504030201ull);
  EXPECT_EQ(ReadUIntBE(b, 0), 0u);
  EXPECT_EQ(ReadUIntLE(b, 9), 0u);
  const uint8_t high[] = {0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(ReadU32BE(high), 0xFFFFFFFFu);
}

TEST(BitText, BitStringAndValue) {
  char text[64] = {};
  const uint8_t a5 = 0xA5;
  ToBitString(text, &a5, 1);
  EXPECT_STREQ(text, "10100101");
  ToBitString(text, &a5, 1);  // appends
  EXPECT_STREQ(text, "1010010110100101");
  EXPECT_EQ(BitValue("0101", 4), 5.0);
  EXPECT_EQ(BitValue("0101", 0), 0.0);
  EXPECT_EQ(BitValue("1x1", 3), 5.0);
  // A slice past the text's end counts zero bits and reads nothing beyond it.
  EXPECT_EQ(BitValue("11", 4), 12.0);

  const uint8_t bytes[] = {0xF0, 0x0F};
  BitText bits(bytes, 2);
  EXPECT_EQ(bits.Take(4), 0xFu);
  EXPECT_EQ(bits.Take(8), 0x00u);
  EXPECT_FALSE(bits.Exhausted());
  EXPECT_EQ(bits.Take(8), 0xF0u);  // 4 real bits, then zeros
  EXPECT_TRUE(bits.Exhausted());
}

TEST(FloatBE, DecodesIeeeAndExtended) {
  struct Case {
    Bytes bytes;
    double expected;
  } cases[] = {
      {{0x3F, 0x80, 0x00, 0x00}, 1.0},
      {{0x00, 0x00, 0x00, 0x00}, 0.0},
      {{0xFF, 0x80, 0x00, 0x00}, -INFINITY},
      {{0x7F, 0x80, 0x00, 0x00}, INFINITY},
      {{0xC0, 0x00, 0x00, 0x00}, -2.0},
      {{0x00, 0x00, 0x00, 0x01}, std::ldexp(1.0, -149)},
      {{0x40, 0x09, 0x21, 0xFB, 0x54, 0x44, 0x2D, 0x18}, 3.141592653589793},
      {{0x40, 0x0E, 0xAC, 0x44, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, 44100.0},
      {{0x40, 0x0D, 0xFA, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, 32000.0},
  };
  for (const Case& c : cases) EXPECT_EQ(ReadFloatBE(c.bytes.data(), static_cast<int>(c.bytes.size())), c.expected);
  const uint8_t nan32[] = {0x7F, 0xC0, 0x00, 0x00};
  EXPECT_TRUE(std::isnan(ReadFloatBE(nan32, 4)));
  const uint8_t nan64[] = {0xFF, 0xF0, 0, 0, 0, 0, 0, 1};
  EXPECT_TRUE(std::isnan(ReadFloatBE(nan64, 8)));
  EXPECT_EQ(ReadFloatBE(nan32, 3), 0.0);
}

TEST(Guid, FormatsWindowsByteOrder) {
  const uint8_t asf[] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                         0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
  char text[40];
  FormatGuid(asf, text, sizeof text);
  EXPECT_STREQ(text, "75B22630-668E-11CF-A6D9-00AA0062CE6C");
  char small[9];
  FormatGuid(asf, small, sizeof small);
  EXPECT_STREQ(small, "75B22630");
}

TEST(TakeEveryNth, Utf16ToPlainTextCuttingTheTail) {
  const uint8_t utf16[] = {'T', 0, 'i', 0, 't', 0, ' ', 0, 0x01, 0, 0x90, 0};
  char out[8] = {};
  TakeEveryNth(utf16, out, sizeof utf16, 2);
  EXPECT_STREQ(out, "Tit");
  char none[4] = {};
  TakeEveryNth(utf16, none, sizeof utf16, 0);
  EXPECT_STREQ(none, "");
}

TEST(FileReader, PositionEndFlagAndPeek) {
  Bytes content(100);
  for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<uint8_t>(i);
  TempFile file("reader.bin", content);
  FileReader reader;
  ASSERT_TRUE(reader.Open(test::ToUtf16(file.Path()).c_str()));
  EXPECT_EQ(reader.Size(), 100u);

  reader.Seek(99, 0);
  EXPECT_FALSE(reader.AtEnd());
  reader.Seek(100, 0);
  EXPECT_TRUE(reader.AtEnd());
  reader.Seek(-10, 2);
  EXPECT_EQ(reader.Tell(), 90u);
  EXPECT_FALSE(reader.AtEnd());

  uint8_t buffer[16] = {};
  EXPECT_EQ(reader.Read(buffer, 10, false), 10u);  // peek of the last 10 bytes
  EXPECT_EQ(buffer[0], 90);
  EXPECT_FALSE(reader.AtEnd());
  EXPECT_EQ(reader.Tell(), 90u);
  EXPECT_EQ(reader.Read(buffer, 16, true), 10u);  // short read at the end
  EXPECT_TRUE(reader.AtEnd());
  EXPECT_EQ(reader.Tell(), 100u);

  reader.Seek(5, 1);  // past the end: reads nothing
  EXPECT_EQ(reader.Read(buffer, 4), 0u);
  reader.Seek(-1000, 1);  // before the start wraps to an unreadable position
  EXPECT_EQ(reader.Read(buffer, 4), 0u);
  EXPECT_TRUE(reader.AtEnd());
  reader.Seek(50, 7);  // unknown origin leaves the position, clears the flag
  EXPECT_FALSE(reader.AtEnd());

  reader.Rewind();
  EXPECT_EQ(reader.ReadByte(), 0);
  EXPECT_EQ(reader.ReadByte(), 1);
  EXPECT_EQ(reader.Tell(), 2u);
}

TEST(FileReader, ReadAheadServesScatteredReadsCorrectly) {
  // Larger than the read-ahead buffer, so reads cross its refills.
  Bytes content(FileReader::kBufferSize * 3 + 123);
  for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
  TempFile file("readahead.bin", content);
  FileReader reader;
  ASSERT_TRUE(reader.Open(test::ToUtf16(file.Path()).c_str()));
  const uint64_t offsets[] = {0, 1, FileReader::kBufferSize - 3, FileReader::kBufferSize * 2 + 5, 17,
                              content.size() - 2, FileReader::kBufferSize - 1};
  for (uint64_t at : offsets) {
    reader.Seek(static_cast<int64_t>(at), 0);
    uint8_t got[8] = {};
    size_t n = reader.Read(got, sizeof got);
    size_t expected = std::min<size_t>(8, content.size() - at);
    ASSERT_EQ(n, expected) << at;
    EXPECT_EQ(std::memcmp(got, content.data() + at, n), 0) << at;
  }
  Bytes all(content.size());
  reader.Rewind();
  EXPECT_EQ(reader.Read(all.data(), all.size()), content.size());
  EXPECT_EQ(all, content);

  // A walk from the start in steps of every size: the read-ahead grows from
  // a few KiB to its full size, and no step may see a seam between fills.
  ASSERT_TRUE(reader.Open(test::ToUtf16(file.Path()).c_str()));
  Bytes walked;
  for (size_t step = 1; walked.size() < content.size(); step = step * 3 % 9973 + 1) {
    uint8_t chunk[9973];
    size_t n = reader.Read(chunk, step);
    ASSERT_GT(n, 0u) << walked.size();
    walked.insert(walked.end(), chunk, chunk + n);
  }
  EXPECT_EQ(walked, content);
  EXPECT_TRUE(reader.AtEnd());
}

TEST(FileReader, RefusesMissingFilesFoldersAndUnterminatedPaths) {
  FileReader reader;
  EXPECT_FALSE(reader.Open(u"/nonexistent/probex/file.mp3"));
  EXPECT_FALSE(reader.Open(u"/tmp"));
  EXPECT_FALSE(reader.Open(u""));
  std::u16string longPath(300, u'a');
  EXPECT_FALSE(reader.Open(longPath.c_str()));
}

TEST(SkipId3v2, SeeksPastTheSynchsafeSize) {
  Bytes content(400, 0);
  const uint8_t header[] = {'I', 'D', '3', 3, 0, 0, 0x00, 0x00, 0x02, 0x01};
  std::copy(std::begin(header), std::end(header), content.begin());
  TempFile file("id3.bin", content);
  FileReader reader;
  ASSERT_TRUE(reader.Open(test::ToUtf16(file.Path()).c_str()));
  SkipId3v2(reader);
  EXPECT_EQ(reader.Tell(), 267u);
}

}  // namespace
}  // namespace probex

// Rates from damaged headers (80-bit floats, 32-bit fields as doubles) reach
// "%lld" through WholeNumber; a plain cast of them would be undefined.
TEST(WholeNumber, TruncatesAndHoldsEveryDoubleInRange) {
  struct Case {
    double value;
    long long whole;
  } cases[] = {
      {44100.0, 44100},
      {44100.9, 44100},
      {-1.5, -1},
      {4294967295.0, 4294967295LL},
      {2.72226e42, 9200000000000000000LL},
      {-std::numeric_limits<double>::infinity(), -9200000000000000000LL},
      {std::numeric_limits<double>::infinity(), 9200000000000000000LL},
      {std::nan(""), 0},
  };
  for (const Case& c : cases) EXPECT_EQ(probex::WholeNumber(c.value), c.whole) << c.value;
}
