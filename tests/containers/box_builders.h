// Byte builders for the MP4 and Matroska tests: boxes, full boxes, EBML
// elements and a small movie whose parts each test can change.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fixture.h"

namespace probex::test {

inline void PutBE(Bytes& b, uint64_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) b.push_back(static_cast<uint8_t>(value >> (8 * i)));
}
inline Bytes BE16(uint32_t v) { Bytes b; PutBE(b, v, 2); return b; }
inline Bytes BE32(uint32_t v) { Bytes b; PutBE(b, v, 4); return b; }
inline Bytes BE64(uint64_t v) { Bytes b; PutBE(b, v, 8); return b; }
inline Bytes Str(const std::string& s) { return Bytes(s.begin(), s.end()); }
inline Bytes Zeros(size_t n) { return Bytes(n, 0); }
inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// ---- MP4 ----

inline Bytes Box(const char* type, const Bytes& payload) {
  Bytes b;
  PutBE(b, payload.size() + 8, 4);
  b.insert(b.end(), type, type + 4);
  b.insert(b.end(), payload.begin(), payload.end());
  return b;
}
// size 1 and a 64-bit size after the type.
inline Bytes Box64(const char* type, const Bytes& payload) {
  Bytes b;
  PutBE(b, 1, 4);
  b.insert(b.end(), type, type + 4);
  PutBE(b, payload.size() + 16, 8);
  b.insert(b.end(), payload.begin(), payload.end());
  return b;
}
inline Bytes FullBox(const char* type, uint8_t version, uint32_t flags, const Bytes& payload) {
  Bytes body;
  body.push_back(version);
  PutBE(body, flags, 3);
  body.insert(body.end(), payload.begin(), payload.end());
  return Box(type, body);
}

inline Bytes Ftyp(const char* brand) { return Box("ftyp", Cat({Str(brand), BE32(0), Str(brand), Str("isom")})); }
inline Bytes Mvhd(uint32_t timescale, uint32_t duration) {
  return FullBox("mvhd", 0, 0, Cat({BE32(0), BE32(0), BE32(timescale), BE32(duration), Zeros(80)}));
}
inline Bytes Mvhd1(uint32_t timescale, uint64_t duration) {
  return FullBox("mvhd", 1, 0, Cat({BE64(0), BE64(0), BE32(timescale), BE64(duration), Zeros(80)}));
}
inline Bytes Tkhd(uint32_t id) { return FullBox("tkhd", 0, 3, Cat({BE32(0), BE32(0), BE32(id), Zeros(68)})); }
inline Bytes Tkhd1(uint32_t id) { return FullBox("tkhd", 1, 3, Cat({BE64(0), BE64(0), BE32(id), Zeros(72)})); }
inline Bytes Mdhd(uint32_t timescale, uint32_t duration) {
  return FullBox("mdhd", 0, 0, Cat({BE32(0), BE32(0), BE32(timescale), BE32(duration), BE32(0)}));
}
inline Bytes Mdhd1(uint32_t timescale, uint64_t duration) {
  return FullBox("mdhd", 1, 0, Cat({BE64(0), BE64(0), BE32(timescale), BE64(duration), BE32(0)}));
}
inline Bytes Hdlr(const char* handler) { return FullBox("hdlr", 0, 0, Cat({BE32(0), Str(handler), Zeros(13)})); }
inline Bytes Stts(std::initializer_list<std::pair<uint32_t, uint32_t>> entries, uint32_t declared = 0) {
  Bytes p = BE32(declared ? declared : static_cast<uint32_t>(entries.size()));
  for (auto e : entries) p = Cat({p, BE32(e.first), BE32(e.second)});
  return FullBox("stts", 0, 0, p);
}
inline Bytes Stsz(uint32_t constant, std::initializer_list<uint32_t> sizes, uint32_t declared = 0) {
  Bytes p = Cat({BE32(constant), BE32(declared ? declared : static_cast<uint32_t>(sizes.size()))});
  for (uint32_t s : sizes) p = Cat({p, BE32(s)});
  return FullBox("stsz", 0, 0, p);
}
inline Bytes Stco(uint32_t first) { return FullBox("stco", 0, 0, Cat({BE32(1), BE32(first)})); }

// A visual sample entry (78 bytes of fields) followed by children.
inline Bytes VisualEntry(const char* format, uint16_t width, uint16_t height, const Bytes& children,
                         int16_t colourTable = -1, uint16_t depth = 24) {
  Bytes e = Cat({Zeros(6), BE16(1), Zeros(16), BE16(width), BE16(height), BE32(0x00480000), BE32(0x00480000),
                 BE32(0), BE16(1), Zeros(32), BE16(depth), BE16(static_cast<uint16_t>(colourTable)), children});
  return Box(format, e);
}
// A version-0 sound sample entry followed by children.
inline Bytes SoundEntry(const char* format, uint16_t channels, uint16_t bits, uint32_t rate, const Bytes& children) {
  Bytes e = Cat({Zeros(6), BE16(1), BE16(0), BE16(0), BE32(0), BE16(channels), BE16(bits), BE16(0), BE16(0),
                 BE32(rate << 16), children});
  return Box(format, e);
}
inline Bytes Stsd(const Bytes& entry) { return FullBox("stsd", 0, 0, Cat({BE32(1), entry})); }

inline Bytes Trak(uint32_t id, const char* handler, const Bytes& stsd, const Bytes& tables,
                  const Bytes& mdhd = Bytes()) {
  Bytes stbl = Box("stbl", Cat({stsd, tables}));
  Bytes minf = Box("minf", stbl);
  Bytes mdia = Box("mdia", Cat({mdhd.empty() ? Mdhd(1000, 0) : mdhd, Hdlr(handler), minf}));
  return Box("trak", Cat({Tkhd(id), mdia}));
}

// ---- EBML ----

inline Bytes EbmlId(uint32_t id) {
  Bytes b;
  int n = id > 0xFFFFFF ? 4 : id > 0xFFFF ? 3 : id > 0xFF ? 2 : 1;
  PutBE(b, id, n);
  return b;
}
// Size as an 8-byte vint unless small.
inline Bytes EbmlSize(uint64_t size) {
  Bytes b;
  if (size < 0x7F) {
    b.push_back(static_cast<uint8_t>(0x80 | size));
  } else {
    b.push_back(0x01);
    PutBE(b, size, 7);
  }
  return b;
}
inline Bytes El(uint32_t id, const Bytes& payload) { return Cat({EbmlId(id), EbmlSize(payload.size()), payload}); }
inline Bytes ElUInt(uint32_t id, uint64_t value) {
  Bytes p;
  int n = 1;
  while (n < 8 && (value >> (8 * n))) ++n;
  PutBE(p, value, n);
  return El(id, p);
}
inline Bytes ElFloat(uint32_t id, double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, 8);
  return El(id, BE64(bits));
}
inline Bytes ElStr(uint32_t id, const std::string& s) { return El(id, Str(s)); }

// A SimpleBlock for track (one-byte number) with frame data, no lacing.
inline Bytes SimpleBlock(uint8_t track, const Bytes& frame) {
  return El(0xA3, Cat({Bytes{static_cast<uint8_t>(0x80 | track), 0, 0, 0x80}, frame}));
}

// An MPEG-1 Layer III frame header (128 kbit/s, 44.1 kHz, joint stereo)
// with a zero body: 417 bytes.
inline Bytes Mp3Frame() {
  Bytes f = {0xFF, 0xFB, 0x90, 0x44};
  f.resize(417, 0);
  return f;
}

}  // namespace probex::test
