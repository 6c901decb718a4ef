// Shared by the tests of the bare audio file analyzers: a private template
// directory whose lines show every placeholder, and byte builders.
#pragma once

#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "fixture.h"
#include "templates.h"

namespace probex::test {

inline constexpr char kAudioFormatIni[] =
    "[FLAC]\r\nAUDIO\tFLAC #sampleratek#kHz #samplerate# #bitdepth#bit #channel#ch #bitratek#kbps #bitrate#\r\n\r\n"
    "[APE]\r\nAUDIO\tAPE #sampleratek#kHz #samplerate# #bitdepth#bit #channel#ch #comptype# #bitratek#kbps "
    "#bitrate# #frame#f\r\n\r\n"
    "[MUSEPACK]\r\nAUDIO\tMPC SV#version# #sampleratek#kHz #samplerate# #bitratek#kbps #bitrate# #channel#\r\n\r\n"
    "[TTA]\r\nAUDIO\tTTA v#version# #sampleratek#kHz #samplerate# #bitdepth#bit #channel#ch #bitratek#kbps "
    "#bitrate#\r\n\r\n"
    "[WAVPACK]\r\nAUDIO\tWavPack #version# #hybrid# #codec# #sampleratek#kHz #samplerate# #bitdepth#bit "
    "#channel#ch #bitratek#kbps #bitrate#\r\n\r\n"
    "[OPTIMFROG]\r\nAUDIO\tOFR #hybrid# #sampleratek#kHz #samplerate# #bitdepth#bit #channel#ch #bitratek#kbps "
    "#bitrate# #comptype# #compspeed#\r\n\r\n"
    "[MIDI]\r\nAUDIO1\tMIDI #format# #track# #delta# \"#title#\"\r\nAUDIO2\tMIDI #format# #track# #delta#\r\n\r\n"
    "[AU]\r\nAUDIO\tAU #codec# #sampleratek#kHz #samplerate# #bitdepth#bit #channel#ch #bitratek#kbps "
    "#bitrate#\r\n\r\n"
    "[VQ]\r\nAUDIO\tVQ #codec# #sampleratek#kHz #samplerate# #channel#ch #bitratek#kbps #bitrate#\r\n\r\n"
    "[S98]\r\nAUDIO\tS98 #device# #clock#\r\n\r\n";

inline constexpr char kAudioCodecsIni[] =
    "[WAV]\r\n0001\tPCM\r\nFFFE\tExtensible\r\n\r\n"
    "[AU]\r\n01\tmu-law\r\n03\tPCM16\r\n\r\n"
    "[VQ]\r\n97012000\tTwinVQ\r\n\r\n";

// Writes the two files once into a private folder and points the template
// store at it; call from every test's SetUp (other tests may move it).
inline void UseAudioTestTemplates() {
  static const std::string dir = [] {
    char pattern[] = "/tmp/probex-audio-templates-XXXXXX";
    const char* made = mkdtemp(pattern);
    std::string d = std::string(made ? made : "/tmp") + "/";
    for (auto [name, text] : {std::pair{"FORMAT.INI", kAudioFormatIni}, std::pair{"CODECS.INI", kAudioCodecsIni}}) {
      FILE* f = std::fopen((d + name).c_str(), "wb");
      if (f) {
        std::fputs(text, f);
        std::fclose(f);
      }
    }
    return d;
  }();
  SetTemplateDirectory(ToUtf16(dir).c_str());
}

inline void PutText(Bytes& b, const std::string& text) { b.insert(b.end(), text.begin(), text.end()); }
inline void PutU16LE(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
inline void PutU24LE(Bytes& b, uint32_t v) {
  PutU16LE(b, v);
  b.push_back(static_cast<uint8_t>(v >> 16));
}
inline void PutU32LE(Bytes& b, uint32_t v) {
  PutU16LE(b, v);
  PutU16LE(b, v >> 16);
}
inline void PutU16BE(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v >> 8));
  b.push_back(static_cast<uint8_t>(v));
}
inline void PutU24BE(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v >> 16));
  PutU16BE(b, v);
}
inline void PutU32BE(Bytes& b, uint32_t v) {
  PutU16BE(b, v >> 16);
  PutU16BE(b, v);
}
inline void PutZeros(Bytes& b, size_t n) { b.insert(b.end(), n, 0); }
inline void Append(Bytes& b, const Bytes& more) { b.insert(b.end(), more.begin(), more.end()); }

// An ID3v2.3 tag of body bytes of padding, for files that start with one.
inline Bytes Id3v2Tag(uint32_t body) {
  Bytes b;
  PutText(b, "ID3");
  b.push_back(3);
  b.push_back(0);
  b.push_back(0);
  for (int shift = 21; shift >= 0; shift -= 7) b.push_back(static_cast<uint8_t>((body >> shift) & 0x7F));
  PutZeros(b, body);
  return b;
}

// A minimal APEv2 tag (header, one item, footer) as at the end of a file.
inline Bytes ApeTag() {
  Bytes item;
  PutU32LE(item, 4);
  PutU32LE(item, 0);
  PutText(item, "Title");
  item.push_back(0);
  PutText(item, "Test");
  auto frame = [&](uint32_t flags) {
    Bytes f;
    PutText(f, "APETAGEX");
    PutU32LE(f, 2000);
    PutU32LE(f, static_cast<uint32_t>(item.size() + 32));
    PutU32LE(f, 1);
    PutU32LE(f, flags);
    PutZeros(f, 8);
    return f;
  };
  Bytes tag = frame(0xA0000000);
  Append(tag, item);
  Append(tag, frame(0x80000000));
  return tag;
}

inline Bytes Id3v1Tag() {
  Bytes b;
  PutText(b, "TAG");
  PutZeros(b, 125);
  return b;
}

inline std::string Text(const char* cp932) { return Utf8(cp932); }

}  // namespace probex::test
