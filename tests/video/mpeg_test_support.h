// Helpers shared by the MPEG video and systems tests: a template folder whose
// lines show every placeholder, and a bit writer for building headers.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fixture.h"
#include "templates.h"

namespace probex::mpegtest {

using test::Bytes;

// Every section these analyzers and the audio parsers they call render, with
// placeholders separated by '|' so that expected lines are exact.
inline const char kMpegFormatIni[] =
    "[MPEG1/2]\r\n"
    "MPEG1\tM1|#codec#|#width#x#height#|#aspect#|#framerate#|#bitratek#|#bitrate#|#bitratemode#|#interlace#\r\n"
    "MPEG2\tM2|#codec#|#profile#|#width#x#height#|#aspect#|#framerate#|#bitratek#|#bitrate#|#bitratemode#|"
    "#interlace#\r\n"
    "LPCM\tLPCM|#codec#|#sampleratek#|#samplerate#|#bitdepth#|#channel#|#bitratek#|#bitrate#\r\n"
    "\r\n"
    "[MPEG2-TS]\r\n"
    "LPCM\tBD|#codec#|#sampleratek#|#samplerate#|#bitdepth#|#channel#|#channelconfig#|#channelorder#|"
    "#bitratek#|#bitrate#\r\n"
    "\r\n"
    "[AVC]\r\n"
    "VIDEO\tAVC|#codec#|#profile#|#width#x#height#|#bitdepth#|#aspect#|#interlace#|#framerate#|#frame#|"
    "#bitratek#|#bitrate#\r\n"
    "\r\n"
    "[MP3]\r\n"
    "CBR1\tMP3|#version#|#layer#|#samplerate#|#bitratek#|#channel#\r\n"
    "CBR2\tMP3|#version#|#layer#|#samplerate#|#bitratek#|#channel#\r\n"
    "\r\n"
    "[AAC]\r\n"
    "AUDIO1\tAAC|#profile#|#samplerate#|#channel#|#bitratek#\r\n"
    "\r\n"
    "[AC3]\r\n"
    "AUDIO\tAC3|#codec#|#samplerate#|#channel#|#bitratek#\r\n"
    "\r\n"
    "[DTS]\r\n"
    "AUDIO1\tDTS|#samplerate#|#channel#|#bitratek#\r\n"
    "AUDIO2\tDTS|#samplerate#|#channel#|#bitratek#\r\n"
    "\r\n";

// A template folder of our own for the life of the object.
class MpegTemplates {
 public:
  MpegTemplates() {
    char pattern[] = "/tmp/probex-mpeg-XXXXXX";
    const char* made = mkdtemp(pattern);
    dir_ = made ? made : "/tmp";
    std::ofstream(dir_ + "/FORMAT.INI", std::ios::binary) << kMpegFormatIni;
    SetTemplateDirectory(test::ToUtf16(dir_ + "/").c_str());
  }
  ~MpegTemplates() {
    std::filesystem::remove_all(dir_);
    SetTemplateDirectory(u"");
  }

 private:
  std::string dir_;
};

// MSB-first bit writer with Exp-Golomb codes.
class BitWriter {
 public:
  void Put(uint64_t value, int bits) {
    for (int i = bits - 1; i >= 0; --i) PutBit((value >> i) & 1);
  }
  void Ue(uint64_t value) {
    uint64_t v = value + 1;
    int length = 0;
    while ((v >> length) > 1) ++length;
    Put(0, length);
    Put(v, length + 1);
  }
  void Se(int64_t value) { Ue(value > 0 ? 2 * static_cast<uint64_t>(value) - 1 : 2 * static_cast<uint64_t>(-value)); }
  // rbsp_trailing_bits: a 1 and zeros to the byte boundary.
  void Trailing() {
    PutBit(1);
    while (bit_ != 0) PutBit(0);
  }
  void Align() {
    while (bit_ != 0) PutBit(0);
  }
  const Bytes& Data() const { return data_; }

 private:
  void PutBit(uint64_t b) {
    if (bit_ == 0) data_.push_back(0);
    if (b) data_.back() |= static_cast<uint8_t>(0x80 >> bit_);
    bit_ = (bit_ + 1) & 7;
  }
  Bytes data_;
  int bit_ = 0;
};

inline void Append(Bytes& out, const Bytes& more) { out.insert(out.end(), more.begin(), more.end()); }

// 00 00 01 B3 and the 8 bytes of a sequence header.
inline Bytes SequenceHeader(uint32_t width, uint32_t height, uint32_t aspect, uint32_t rateCode,
                            uint32_t bitRateValue) {
  BitWriter w;
  w.Put(0x000001B3, 32);
  w.Put(width, 12);
  w.Put(height, 12);
  w.Put(aspect, 4);
  w.Put(rateCode, 4);
  w.Put(bitRateValue, 18);
  w.Put(1, 1);     // marker
  w.Put(112, 10);  // vbv_buffer_size_value
  w.Put(0, 3);     // constrained, no matrices
  return w.Data();
}

// 00 00 01 B5 and a sequence extension (identifier 1), 10 bytes.
inline Bytes SequenceExtension(uint32_t profile, uint32_t level, bool progressive, uint32_t identifier = 1) {
  BitWriter w;
  w.Put(0x000001B5, 32);
  w.Put(identifier, 4);
  w.Put(0, 1);
  w.Put(profile, 3);
  w.Put(level, 4);
  w.Put(progressive, 1);
  w.Put(1, 2);  // 4:2:0
  w.Put(0, 2 + 2 + 12 + 1 + 8 + 1 + 2 + 5);
  return w.Data();
}

// 00 00 01 B8 and a group-of-pictures header.
inline Bytes GroupHeader(uint32_t hours, uint32_t minutes, uint32_t seconds, uint32_t pictures) {
  BitWriter w;
  w.Put(0x000001B8, 32);
  w.Put(0, 1);
  w.Put(hours, 5);
  w.Put(minutes, 6);
  w.Put(1, 1);
  w.Put(seconds, 6);
  w.Put(pictures, 6);
  w.Put(1, 1);  // closed_gop
  w.Put(0, 1);
  w.Align();
  return w.Data();
}

inline Bytes PictureHeader() { return {0x00, 0x00, 0x01, 0x00, 0x00, 0x0F, 0xFF, 0xF8}; }

// 00 00 01 BA and an MPEG-1 (12 bytes) or MPEG-2 (14 bytes) pack header.
inline Bytes PackHeader(uint64_t clock, bool mpeg2) {
  BitWriter w;
  w.Put(0x000001BA, 32);
  w.Put(mpeg2 ? 1 : 2, mpeg2 ? 2 : 4);
  w.Put(clock >> 30, 3);
  w.Put(1, 1);
  w.Put((clock >> 15) & 0x7FFF, 15);
  w.Put(1, 1);
  w.Put(clock & 0x7FFF, 15);
  w.Put(1, 1);
  if (mpeg2) {
    w.Put(0, 9);  // clock extension
    w.Put(1, 1);
    w.Put(25200, 22);
    w.Put(3, 2);
    w.Put(0x1F, 5);
    w.Put(0, 3);  // no stuffing
  } else {
    w.Put(1, 1);
    w.Put(2520, 22);
    w.Put(1, 1);
  }
  return w.Data();
}

}  // namespace probex::mpegtest
