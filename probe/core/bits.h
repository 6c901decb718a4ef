// Byte-order helpers, the bit-text reader, IEEE float decoding and GUID text.
//
// Header bit fields are read as text: ToBitString turns bytes into '0'/'1'
// characters, BitValue reads a slice of them. BitValue stops at the text's
// terminator, so a slice running past the header reads as zero bits and never
// past the buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace probex {

class FileReader;

inline uint32_t ReadU16LE(const uint8_t* b, size_t i = 0) { return b[i] | (b[i + 1] << 8); }
inline uint32_t ReadU16BE(const uint8_t* b, size_t i = 0) { return (b[i] << 8) | b[i + 1]; }
uint32_t ReadU24LE(const uint8_t* b, size_t i = 0);
uint32_t ReadU24BE(const uint8_t* b, size_t i = 0);
inline uint32_t ReadU32LE(const uint8_t* b, size_t i = 0) {
  return uint32_t{b[i]} | uint32_t{b[i + 1]} << 8 | uint32_t{b[i + 2]} << 16 | uint32_t{b[i + 3]} << 24;
}
inline uint32_t ReadU32BE(const uint8_t* b, size_t i = 0) {
  return uint32_t{b[i]} << 24 | uint32_t{b[i + 1]} << 16 | uint32_t{b[i + 2]} << 8 | uint32_t{b[i + 3]};
}
inline uint64_t ReadU64LE(const uint8_t* b, size_t i = 0) { return uint64_t{ReadU32LE(b, i + 4)} << 32 | ReadU32LE(b, i); }
inline uint64_t ReadU64BE(const uint8_t* b, size_t i = 0) { return uint64_t{ReadU32BE(b, i)} << 32 | ReadU32BE(b, i + 4); }
// n of 1 to 8 bytes; other n yield 0.
uint64_t ReadUIntBE(const uint8_t* b, size_t n);
uint64_t ReadUIntLE(const uint8_t* b, size_t n);

// Appends 8 * n characters ('1'/'0', most significant bit first) to text,
// which must have room for them and a terminator.
void ToBitString(char* text, const uint8_t* bytes, size_t n);
// The first n characters as an unsigned binary number; stops at the text's end.
double BitValue(const char* text, size_t n);

// Bit text owned by value with a read position: the form most parsers want.
class BitText {
 public:
  BitText(const uint8_t* bytes, size_t n);
  // Next n bits as a number; bits past the end read as 0 and set Exhausted().
  uint64_t Take(size_t n);
  void Skip(size_t n);
  size_t Position() const { return pos_; }
  size_t Length() const { return text_.size(); }
  bool Exhausted() const { return exhausted_; }
  const char* Text() const { return text_.c_str(); }

 private:
  std::string text_;
  size_t pos_ = 0;
  bool exhausted_ = false;
};

// Width 4, 8 (binary32/64) or 10 (80-bit extended); other widths yield 0.
double ReadFloatBE(const uint8_t* bytes, int width);

// "%08X-%04X-%04X-%04X-%012X" of a GUID in Windows byte order.
void FormatGuid(const uint8_t* bytes, char* out, size_t size);

// Reader at the start of a file that begins with "ID3": skips that tag.
void SkipId3v2(FileReader& reader);
// 28-bit synchsafe size at bytes 6..9 of an ID3v2 header.
uint32_t Id3v2BodySize(const uint8_t* header);

// Copies every step-th byte of src (length bytes) into dst, then cuts after
// the last byte above the space; dst is zero-filled by the caller and holds
// length / step + 1 bytes.
void TakeEveryNth(const uint8_t* src, char* dst, size_t length, size_t step);

}  // namespace probex
