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

namespace probex::test {

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
    SetTemplateDirectory(ToUtf16(dir_ + "/").c_str());
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

}  // namespace probex::test
