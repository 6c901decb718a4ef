// Building container files byte by byte in tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fixture.h"

namespace probex::test {

class ByteWriter {
 public:
  ByteWriter& Text(const std::string& s) {
    bytes_.insert(bytes_.end(), s.begin(), s.end());
    return *this;
  }
  ByteWriter& Raw(const Bytes& b) {
    bytes_.insert(bytes_.end(), b.begin(), b.end());
    return *this;
  }
  ByteWriter& Zeros(size_t n) {
    bytes_.insert(bytes_.end(), n, 0);
    return *this;
  }
  ByteWriter& U8(uint32_t v) {
    bytes_.push_back(static_cast<uint8_t>(v));
    return *this;
  }
  ByteWriter& LE(uint64_t v, int n) {
    for (int i = 0; i < n; ++i) bytes_.push_back(static_cast<uint8_t>(v >> (8 * i)));
    return *this;
  }
  ByteWriter& BE(uint64_t v, int n) {
    for (int i = n - 1; i >= 0; --i) bytes_.push_back(static_cast<uint8_t>(v >> (8 * i)));
    return *this;
  }
  ByteWriter& LE16(uint32_t v) { return LE(v, 2); }
  ByteWriter& LE32(uint32_t v) { return LE(v, 4); }
  ByteWriter& LE64(uint64_t v) { return LE(v, 8); }
  ByteWriter& BE16(uint32_t v) { return BE(v, 2); }
  ByteWriter& BE24(uint32_t v) { return BE(v, 3); }
  ByteWriter& BE32(uint32_t v) { return BE(v, 4); }
  ByteWriter& DoubleBE(double d) {
    uint64_t v;
    std::memcpy(&v, &d, sizeof v);
    return BE(v, 8);
  }
  // A little-endian RIFF chunk: id, 32-bit size, payload (no pad byte).
  ByteWriter& Chunk(const std::string& id, const Bytes& payload) {
    return Text(id).LE32(static_cast<uint32_t>(payload.size())).Raw(payload);
  }
  ByteWriter& List(const std::string& type, const Bytes& content) {
    return Text("LIST").LE32(static_cast<uint32_t>(content.size() + 4)).Text(type).Raw(content);
  }
  size_t Size() const { return bytes_.size(); }
  const Bytes& Get() const { return bytes_; }
  operator Bytes() const { return bytes_; }

 private:
  Bytes bytes_;
};

// A RIFF file of the given form type around content.
inline Bytes Riff(const std::string& form, const Bytes& content) {
  return ByteWriter().Text("RIFF").LE32(static_cast<uint32_t>(content.size() + 4)).Text(form).Raw(content);
}

// A 16-byte WAVEFORMAT.
inline Bytes WaveFormatBytes(uint16_t tag, uint16_t channels, uint32_t rate, uint32_t avg, uint16_t align,
                             uint16_t bits) {
  return ByteWriter().LE16(tag).LE16(channels).LE32(rate).LE32(avg).LE16(align).LE16(bits);
}

// An MPEG-1 Layer III frame header (128 kbit/s, 44.1 kHz, stereo) and its body.
inline Bytes MpegAudioFrame() {
  Bytes frame(417, 0);
  frame[0] = 0xFF, frame[1] = 0xFB, frame[2] = 0x90, frame[3] = 0x00;
  return frame;
}

// A DTS core frame header, 16-bit big-endian words: 48 kHz, 5.1, 768 kbit/s.
inline Bytes DtsFrame() {
  std::string bits;
  auto put = [&](uint32_t v, int n) {
    for (int i = n - 1; i >= 0; --i) bits += ((v >> i) & 1) ? '1' : '0';
  };
  put(0x7FFE8001, 32);
  put(1, 1), put(31, 5), put(0, 1), put(15, 7), put(1005, 14), put(9, 6), put(13, 4), put(15, 5);
  put(0, 5), put(0, 3), put(0, 1), put(0, 1), put(2, 2), put(0, 1), put(0, 1), put(7, 4), put(0, 2), put(0, 3);
  while (bits.size() % 8) bits += '0';
  Bytes b(bits.size() / 8, 0);
  for (size_t i = 0; i < bits.size(); ++i)
    if (bits[i] == '1') b[i / 8] |= static_cast<uint8_t>(0x80 >> (i % 8));
  b.resize(1006, 0);
  return b;
}

}  // namespace probex::test
