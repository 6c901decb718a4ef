#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "byte_span.h"

namespace probex {
namespace {

const std::vector<uint8_t> kBytes = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09};

// Every width in both byte orders: inside, ending exactly at the end, and
// one byte past it, where the value is 0 and the span says it overran.
TEST(ByteSpan, ReadsInsideAndPastTheEnd) {
  struct Case {
    uint64_t (*read)(const ByteSpan&, size_t);
    size_t at;
    uint64_t expected;
    bool overran;
  } cases[] = {
      {[](const ByteSpan& s, size_t at) -> uint64_t { return s.U8(at); }, 8, 0x09, false},
      {[](const ByteSpan& s, size_t at) -> uint64_t { return s.U8(at); }, 9, 0, true},
      {[](const ByteSpan& s, size_t at) -> uint64_t { return s.U16BE(at); }, 7, 0x0809, false},
      {[](const ByteSpan& s, size_t at) -> uint64_t { return s.U16LE(at); }, 7, 0x0908, false},
      {[](const ByteSpan& s, size_t at) -> uint64_t { return s.U16LE(at); }, 8, 0, true},
      {[](const ByteSpan& s, size_t at) -> uint64_t { return s.U24BE(at); }, 6, 0x070809, false},
      {[](const ByteSpan& s, size_t at) -> uint64_t { return s.U24LE(at); }, 7, 0, true},
      {[](const ByteSpan& s, size_t at) -> uint64_t { return s.U32BE(at); }, 5, 0x06070809, false},
      {[](const ByteSpan& s, size_t at) -> uint64_t { return s.U32LE(at); }, 0, 0x04030201, false},
      {[](const ByteSpan& s, size_t at) -> uint64_t { return s.U32BE(at); }, 6, 0, true},
      {[](const ByteSpan& s, size_t at) -> uint64_t { return s.U64BE(at); }, 1, 0x0203040506070809, false},
      {[](const ByteSpan& s, size_t at) -> uint64_t { return s.U64LE(at); }, 0, 0x0807060504030201, false},
      {[](const ByteSpan& s, size_t at) -> uint64_t { return s.U64LE(at); }, 2, 0, true},
      // Offsets near the top of size_t must not wrap round into the bytes.
      {[](const ByteSpan& s, size_t at) -> uint64_t { return s.U32BE(at); }, SIZE_MAX - 1, 0, true},
  };
  for (const Case& c : cases) {
    ByteSpan span(kBytes);
    EXPECT_EQ(c.read(span, c.at), c.expected) << c.at;
    EXPECT_EQ(span.Overran(), c.overran) << c.at;
  }
}

TEST(ByteSpan, PartsAndCountsStayInside) {
  ByteSpan span(kBytes);
  EXPECT_TRUE(span.Has(9, 0));
  EXPECT_FALSE(span.Has(2, SIZE_MAX));
  EXPECT_EQ(span.Sub(7).Size(), 2u);
  EXPECT_EQ(span.Sub(2, 3).U8(0), 0x03u);
  EXPECT_EQ(span.Sub(2, 3).Size(), 3u);
  EXPECT_TRUE(span.Sub(9).Empty());
  EXPECT_TRUE(span.Sub(100, 4).Empty());
  EXPECT_EQ(span.At(10), nullptr);
  EXPECT_EQ(span.Entries(100, 1, 4), 2u);  // a count from the file above what the bytes hold
  EXPECT_EQ(span.Entries(1, 1, 4), 1u);
  EXPECT_EQ(span.Entries(5, 20, 4), 0u);
  EXPECT_EQ(span.Entries(5, 0, 0), 0u);
  EXPECT_FALSE(span.Overran());
  ByteSpan none(nullptr, 100);  // no bytes, whatever size is claimed
  EXPECT_EQ(none.Size(), 0u);
  EXPECT_EQ(none.U32LE(0), 0u);
}

}  // namespace
}  // namespace probex
