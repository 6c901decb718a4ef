#include "bits.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "file_reader.h"
#include "text.h"

namespace probex {

uint32_t ReadU24LE(const uint8_t* b, size_t i) { return b[i] | (b[i + 1] << 8) | (b[i + 2] << 16); }
uint32_t ReadU24BE(const uint8_t* b, size_t i) { return (b[i] << 16) | (b[i + 1] << 8) | b[i + 2]; }

uint64_t ReadUIntBE(const uint8_t* b, size_t n) {
  if (n < 1 || n > 8) return 0;
  uint64_t v = 0;
  for (size_t i = 0; i < n; ++i) v = (v << 8) | b[i];
  return v;
}

uint64_t ReadUIntLE(const uint8_t* b, size_t n) {
  if (n < 1 || n > 8) return 0;
  uint64_t v = 0;
  for (size_t i = n; i > 0; --i) v = (v << 8) | b[i - 1];
  return v;
}

void ToBitString(char* text, const uint8_t* bytes, size_t n) {
  size_t at = 0;
  while (text[at] != '\0') ++at;
  for (size_t i = 0; i < n; ++i)
    for (int bit = 7; bit >= 0; --bit) text[at++] = ((bytes[i] >> bit) & 1) ? '1' : '0';
  text[at] = '\0';
}

double BitValue(const char* text, size_t n) {
  double v = 0;
  for (size_t i = 0; i < n && text[i] != '\0'; ++i) v = v * 2 + (text[i] == '1' ? 1 : 0);
  // Characters past the terminator count as zero bits, keeping the weight.
  size_t len = 0;
  while (len < n && text[len] != '\0') ++len;
  for (size_t i = len; i < n; ++i) v *= 2;
  return v;
}

BitText::BitText(const uint8_t* bytes, size_t n) {
  text_.reserve(n * 8);
  for (size_t i = 0; i < n; ++i)
    for (int bit = 7; bit >= 0; --bit) text_ += ((bytes[i] >> bit) & 1) ? '1' : '0';
}

uint64_t BitText::Take(size_t n) {
  uint64_t v = 0;
  for (size_t i = 0; i < n; ++i) {
    v <<= 1;
    if (pos_ < text_.size()) {
      v |= text_[pos_] == '1';
      ++pos_;
    } else {
      exhausted_ = true;
    }
  }
  return v;
}

void BitText::Skip(size_t n) {
  if (n > text_.size() - pos_) {
    pos_ = text_.size();
    exhausted_ = true;
  } else {
    pos_ += n;
  }
}

double ReadFloatBE(const uint8_t* bytes, int width) {
  if (width == 10) {
    double e = static_cast<double>(ReadU16BE(bytes) & 0x7FFF);
    double m = static_cast<double>(ReadU64BE(bytes, 2));
    return std::ldexp(m, static_cast<int>(e) - 16382 - 64);
  }
  int e_bits, f_bits;
  uint64_t raw;
  if (width == 4) {
    e_bits = 8, f_bits = 23, raw = ReadU32BE(bytes);
  } else if (width == 8) {
    e_bits = 11, f_bits = 52, raw = ReadU64BE(bytes);
  } else {
    return 0;
  }
  bool negative = (raw >> (e_bits + f_bits)) & 1;
  uint64_t e_max = (uint64_t{1} << e_bits) - 1;
  uint64_t e = (raw >> f_bits) & e_max;
  uint64_t f = raw & ((uint64_t{1} << f_bits) - 1);
  int bias = (1 << (e_bits - 1)) - 1;
  double v;
  if (e == e_max) {
    // An all-ones exponent with a fraction is NaN, not an infinity.
    if (f != 0) return std::numeric_limits<double>::quiet_NaN();
    v = std::numeric_limits<double>::infinity();
  } else if (e == 0) {
    v = f == 0 ? 0.0 : std::ldexp(static_cast<double>(f), 1 - bias - f_bits);
  } else {
    v = std::ldexp(1.0 + std::ldexp(static_cast<double>(f), -f_bits), static_cast<int>(e) - bias);
  }
  return negative ? -v : v;
}

void FormatGuid(const uint8_t* b, char* out, size_t size) {
  FormatText(out, size, "%08X-%04X-%04X-%04X-%012llX", ReadU32LE(b), ReadU16LE(b, 4), ReadU16LE(b, 6),
             ReadU16BE(b, 8), static_cast<unsigned long long>(ReadUIntBE(b + 10, 6)));
}

uint32_t Id3v2BodySize(const uint8_t* h) {
  return ((h[6] & 0x7Fu) << 21) | ((h[7] & 0x7Fu) << 14) | ((h[8] & 0x7Fu) << 7) | (h[9] & 0x7Fu);
}

void SkipId3v2(FileReader& reader) {
  uint8_t header[16] = {};
  reader.Read(header, sizeof header, true);
  reader.Seek(static_cast<int64_t>(Id3v2BodySize(header)) + 10, 0);
}

void TakeEveryNth(const uint8_t* src, char* dst, size_t length, size_t step) {
  if (step == 0) return;
  size_t n = 0;
  for (size_t i = 0; i < length; i += step) dst[n++] = static_cast<char>(src[i]);
  // Trailing spaces, control bytes and bytes from 80 on are cut.
  while (n > 0 && (static_cast<uint8_t>(dst[n - 1]) <= 0x20 || static_cast<uint8_t>(dst[n - 1]) >= 0x80)) --n;
  dst[n] = '\0';
}

}  // namespace probex
