// A bounded view of bytes loaded from a file: every read checks the bounds,
// reads past the end give 0 and leave Overran() set, so a parser can read its
// fields plainly and ask once whether the bytes held them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "bits.h"

namespace probex {

class ByteSpan {
 public:
  ByteSpan() = default;
  ByteSpan(const uint8_t* data, size_t size) : data_(data), size_(data ? size : 0) {}
  ByteSpan(const std::vector<uint8_t>& bytes) : data_(bytes.data()), size_(bytes.size()) {}  // NOLINT: a view

  const uint8_t* Data() const { return data_; }
  size_t Size() const { return size_; }
  bool Empty() const { return size_ == 0; }
  // Whether n bytes from at lie inside (without overflow for any at, n).
  bool Has(size_t at, size_t n) const { return at <= size_ && n <= size_ - at; }
  // Pointer to byte at (the end itself included); nullptr beyond it.
  const uint8_t* At(size_t at) const { return at <= size_ ? data_ + at : nullptr; }
  // The bytes [at, at + n) cut to what the span holds.
  ByteSpan Sub(size_t at, size_t n = SIZE_MAX) const {
    if (at >= size_) return {};
    return {data_ + at, n < size_ - at ? n : size_ - at};
  }
  // Entries of entrySize bytes from at that the span really holds, at most count.
  uint64_t Entries(uint64_t count, size_t at, size_t entrySize) const {
    if (at >= size_ || entrySize == 0) return 0;
    uint64_t held = (size_ - at) / entrySize;
    return count < held ? count : held;
  }

  uint32_t U8(size_t at) const { return Fits(at, 1) ? data_[at] : 0; }
  uint32_t U16BE(size_t at) const { return Fits(at, 2) ? ReadU16BE(data_, at) : 0; }
  uint32_t U24BE(size_t at) const { return Fits(at, 3) ? ReadU24BE(data_, at) : 0; }
  uint32_t U32BE(size_t at) const { return Fits(at, 4) ? ReadU32BE(data_, at) : 0; }
  uint64_t U64BE(size_t at) const { return Fits(at, 8) ? ReadU64BE(data_, at) : 0; }
  uint32_t U16LE(size_t at) const { return Fits(at, 2) ? ReadU16LE(data_, at) : 0; }
  uint32_t U24LE(size_t at) const { return Fits(at, 3) ? ReadU24LE(data_, at) : 0; }
  uint32_t U32LE(size_t at) const { return Fits(at, 4) ? ReadU32LE(data_, at) : 0; }
  uint64_t U64LE(size_t at) const { return Fits(at, 8) ? ReadU64LE(data_, at) : 0; }

  // A read since construction ran past the end.
  bool Overran() const { return overran_; }

 private:
  bool Fits(size_t at, size_t n) const {
    if (Has(at, n)) return true;
    overran_ = true;
    return false;
  }

  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
  mutable bool overran_ = false;
};

}  // namespace probex
