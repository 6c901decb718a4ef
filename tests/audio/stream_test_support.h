// Shared by the MPEG audio, AAC, AC-3/DTS and Shockwave Audio tests: a bit
// writer for headers built field by field, and a template directory of our
// own so that expected lines do not depend on the shipped wording.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "fixture.h"
#include "templates.h"

namespace probex::test {

class BitWriter {
 public:
  // width may exceed 64: the bits above the value are zeros.
  BitWriter& Put(uint64_t value, int width) {
    for (int bit = width - 1; bit >= 0; --bit) {
      if (used_ % 8 == 0) bytes_.push_back(0);
      if (bit < 64 && ((value >> bit) & 1)) bytes_.back() |= static_cast<uint8_t>(0x80 >> (used_ % 8));
      ++used_;
    }
    return *this;
  }
  Bytes Take() const { return bytes_; }
  // Zero bytes up to n in all.
  Bytes Padded(size_t n) const {
    Bytes b = bytes_;
    if (b.size() < n) b.resize(n, 0);
    return b;
  }

 private:
  Bytes bytes_;
  size_t used_ = 0;
};

inline void Append(Bytes& to, const Bytes& from) { to.insert(to.end(), from.begin(), from.end()); }

// Every placeholder each key may fill, in a fixed order.
inline void UseStreamTemplates() {
  static const std::string dir = [] {
    char pattern[] = "/tmp/probex-stream-templates-XXXXXX";
    const char* made = mkdtemp(pattern);
    std::string d = made ? made : "/tmp";
    std::ofstream ini(d + "/FORMAT.INI", std::ios::binary);
    ini << "[MP3]\r\n"
           "VBRI\tMPEG#version# L#layer# #sampleratek#kHz #samplerate# #bitratek#k #bitrate# #bitratemode# "
           "#channel# #vbrformat# #frame# Q#vbri-qr#\r\n"
           "LAME\tMPEG#version# L#layer# #samplerate# #bitratek#k #bitratemode# #channel# #vbrformat# #frame# "
           "#lame-version# #lame-vbrmode# #lame-bitratek#k #lame-bitrate# #lame-channel# [#encname#]\r\n"
           "XING\tMPEG#version# L#layer# #samplerate# #bitratek#k #bitratemode# #channel# #vbrformat# #frame# "
           "[#encname#]\r\n"
           "CBR1\tMPEG#version# L#layer# #sampleratek#kHz #samplerate# #bitratek#k #bitrate# #bitratemode# "
           "#channel# #frame#\r\n"
           "CBR2\tMPEG#version# L#layer# #samplerate# #bitratek#k #bitratemode# #channel#\r\n"
           "\r\n"
           "[AAC]\r\n"
           "AUDIO1\tAAC #profile# #sampleratek#kHz #samplerate# #channel# #channelconfig# #channelorder# "
           "#bitratek#k #bitrate#\r\n"
           "AUDIO2\tADTS #profile# #sampleratek#kHz #samplerate# #channel# #channelconfig# #channelorder# "
           "#bitratek#k #bitrate# #frame#f\r\n"
           "\r\n"
           "[AC3]\r\n"
           "AUDIO\t#codec# #sampleratek#kHz #samplerate# #channel# #channelconfig# #channelorder# #servicetype# "
           "#bitratek#k #bitrate#\r\n"
           "\r\n"
           "[DTS]\r\n"
           "AUDIO1\t#version# #endian# #sampleratek#kHz #samplerate# #bitdepth#bit #channel# #channelorder# "
           "#bitratek#k #bitrate#\r\n"
           "AUDIO2\t#version# #endian# #samplerate# #bitdepth#bit #channel# #channelorder# #bitratek# #bitrate# "
           "(special)\r\n"
           "\r\n";
    return d + "/";
  }();
  SetTemplateDirectory(ToUtf16(dir).c_str());
}

}  // namespace probex::test
