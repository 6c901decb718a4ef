// A bounded MSB-first bit reader for the codec headers (HEVC/AV1/VP9 and the
// audio configuration records): bits past the end read as 0 and set
// Exhausted(), so a cut header yields zeros instead of a read past its bytes.
// Kept beside the units that use it; BitText's one-character-per-bit copy is
// too slow for headers read from every frame of a stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace probex {

class NalBits {
 public:
  NalBits(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  // n of 0..32.
  uint32_t Bits(unsigned n) {
    uint32_t value = 0;
    for (unsigned i = 0; i < n; ++i) value = value << 1 | Bit();
    return value;
  }
  uint64_t Bits64(unsigned n) {
    uint64_t value = 0;
    for (unsigned i = 0; i < n && i < 64; ++i) value = value << 1 | Bit();
    return value;
  }
  bool Flag() { return Bit() != 0; }
  void Skip(size_t n) {
    if (n > Remaining()) {
      pos_ = size_ * 8;
      exhausted_ = true;
    } else {
      pos_ += n;
    }
  }
  void ByteAlign() { Skip((8 - pos_ % 8) % 8); }
  // Exp-Golomb; more than 31 leading zeros or a cut code give 0 and exhaust.
  uint32_t Ue() {
    unsigned zeros = 0;
    while (Bit() == 0) {
      if (exhausted_ || ++zeros > 31) {
        exhausted_ = true;
        return 0;
      }
    }
    uint64_t value = (uint64_t{1} << zeros) - 1 + Bits(zeros);
    return exhausted_ || value > UINT32_MAX ? 0 : static_cast<uint32_t>(value);
  }
  int32_t Se() {
    uint32_t k = Ue();
    return k & 1 ? static_cast<int32_t>((k + 1) / 2) : -static_cast<int32_t>(k / 2);
  }
  size_t Position() const { return pos_; }
  size_t Remaining() const { return size_ * 8 - pos_; }
  bool Exhausted() const { return exhausted_; }

 private:
  uint32_t Bit() {
    if (pos_ >= size_ * 8) {
      exhausted_ = true;
      return 0;
    }
    uint32_t bit = data_[pos_ / 8] >> (7 - pos_ % 8) & 1;
    ++pos_;
    return bit;
  }

  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
  bool exhausted_ = false;
};

// The NAL unit payload with its emulation-prevention bytes (the 03 of
// 00 00 03) removed, at most limit bytes of it.
inline std::vector<uint8_t> UnescapeNal(const uint8_t* data, size_t size, size_t limit) {
  std::vector<uint8_t> out;
  out.reserve(size < limit ? size : limit);
  size_t zeros = 0;
  for (size_t i = 0; i < size && out.size() < limit; ++i) {
    if (zeros >= 2 && data[i] == 3) {
      zeros = 0;
      continue;
    }
    zeros = data[i] == 0 ? zeros + 1 : 0;
    out.push_back(data[i]);
  }
  return out;
}

// Unsigned LEB128 of at most 8 bytes: the value, and *used the bytes it took;
// false when the bytes end first or the value runs past 8 bytes.
inline bool ReadLeb128(const uint8_t* data, size_t size, uint64_t& value, size_t& used) {
  value = 0;
  for (size_t i = 0; i < 8 && i < size; ++i) {
    value |= uint64_t{data[i] & 0x7Fu} << (7 * i);
    if ((data[i] & 0x80) == 0) {
      used = i + 1;
      return true;
    }
  }
  return false;
}

}  // namespace probex
