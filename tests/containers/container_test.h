// Shared by the container tests: a template folder of their own (every
// placeholder of the container templates in a plain order, so expected lines
// are exact) and the outcome of one analysis in readable form.
#pragma once

#include <stdlib.h>

#include <fstream>
#include <string>
#include <vector>

#include "audio/mpeg_audio.h"
#include "byte_writer.h"
#include "detect.h"
#include "dispatch.h"
#include "file_reader.h"
#include "registry.h"
#include "fixture.h"
#include "templates.h"

namespace probex::test {

inline constexpr char kContainerFormatIni[] =
    "[RIFF]\r\n"
    "VIDEO\tV #width#x#height# #bitdepth#bit [#codec#] #framerate#fps #frame#f #bitratek#kbps #bitrate#\r\n"
    "AUDIO\tA [#codec#] #sampleratek#kHz #samplerate# #bitdepth#bit #channel#ch #bitratek#kbps #bitrate#\r\n"
    "\r\n"
    "[AIFF]\r\n"
    "AUDIO\tAIFF #sampleratek#kHz #samplerate# #bitdepth#bit #channel#ch #bitratek#kbps #bitrate#\r\n"
    "COMPRESSED\tAIFC #codec# #sampleratek#kHz #bitdepth#bit #channel#ch #bitratek#kbps\r\n"
    "\r\n"
    "[PUREVOICE]\r\n"
    "AUDIO\tQCP [#codec#] #sampleratek#kHz #samplerate# #bitdepth#bit #channel#ch #bitratek#kbps #bitrate#\r\n"
    "\r\n"
    "[MIDI]\r\n"
    "AUDIO1\tMIDI #format# #track# #delta# #title#\r\n"
    "AUDIO2\tMIDI #format# #track# #delta#\r\n"
    "\r\n"
    "[MP3]\r\n"
    "VBRI\tMPEG#version# L#layer# #samplerate# #bitratek#kbps VBRI\r\n"
    "LAME\tMPEG#version# L#layer# #samplerate# #bitratek#kbps LAME\r\n"
    "XING\tMPEG#version# L#layer# #samplerate# #bitratek#kbps XING\r\n"
    "CBR1\tMPEG#version# L#layer# #samplerate# #bitratek#kbps CBR\r\n"
    "CBR2\tMPEG#version# L#layer# #samplerate# #bitratek#kbps CBR2\r\n"
    "\r\n"
    "[AC3]\r\n"
    "AUDIO\t#codec# #samplerate# #channel#ch #bitratek#kbps\r\n"
    "\r\n"
    "[DTS]\r\n"
    "AUDIO1\tDTS #samplerate# #channel#ch #bitratek#kbps\r\n"
    "AUDIO2\tDTS #samplerate# #channel#ch\r\n"
    "\r\n"
    "[AAC]\r\n"
    "AUDIO1\tAAC #profile# #samplerate# #channel#ch\r\n"
    "AUDIO2\tAAC #profile# #samplerate# #channel#ch\r\n"
    "\r\n"
    "[AVC]\r\n"
    "VIDEO\tAVC #width#x#height# #profile#\r\n"
    "\r\n"
    "[MPEG1/2]\r\n"
    "MPEG1\tMPEG1 #width#x#height#\r\n"
    "MPEG2\tMPEG2 #width#x#height#\r\n"
    "LPCM\tLPCM #samplerate#\r\n"
    "\r\n"
    "[FLASHVIDEO]\r\n"
    "FLV\tFLV #width#x#height# [#codec#] #framerate#fps #bitratek#kbps #bitrate#\r\n"
    "FLL\tFLL #width#x#height# [#codec#] #profile# #framerate#fps #bitratek#kbps #bitrate#\r\n"
    "AUDIO\tFA [#codec#] #sampleratek#kHz #samplerate# #bitdepth#bit #channel#ch #bitratek#kbps #bitrate#\r\n"
    "\r\n"
    "[OGG]\r\n"
    "VIDEO\tOGM #width#x#height# #bitdepth#bit [#codec#] #framerate#fps #frame#f\r\n"
    "THEORA\tTHEORA #width#x#height# [#codec#] #framerate#fps #aspect# #bitratek#kbps #bitrate# #frame#f\r\n"
    "VORBIS\tVORBIS #sampleratek#kHz #samplerate# #bitratek#kbps #bitrate# #bitratemode# #channel#ch\r\n"
    "SPEEX\tSPEEX #sampleratek#kHz #samplerate# #bitratek#kbps #bitrate# #bitratemode# #channel#ch #comptype#\r\n"
    "OPUS\tOPUS #sampleratek#kHz #samplerate# #bitratek#kbps #channel#ch\r\n"
    "\r\n"
    "[FLAC]\r\n"
    "AUDIO\tFLAC #sampleratek#kHz #samplerate# #bitdepth#bit #channel#ch\r\n"
    "\r\n"
    "[WINDOWSMEDIA]\r\n"
    "VIDEO1\tWMV1 #width#x#height# #bitdepth#bit [#codec#] #framerate#fps #bitratek#kbps #bitrate#\r\n"
    "VIDEO2\tWMV2 #width#x#height# #bitdepth#bit [#codec#] #bitratek#kbps #bitrate#\r\n"
    "AUDIO\tWMA [#codec#] #sampleratek#kHz #samplerate# #bitdepth#bit #channel#ch #bitratek#kbps #bitrate#\r\n"
    "\r\n"
    "[REAL]\r\n"
    "VIDEO\tRV #width#x#height# #bitdepth#bit [#codec#] #framerate#fps #bitratek#kbps #bitrate#\r\n"
    "AUDIO\tRA [#codec#] #sampleratek#kHz #samplerate# #bitdepth#bit #channel#ch #bitratek#kbps #bitrate#\r\n";

inline constexpr char kContainerCodecsIni[] =
    "[WAV]\r\n"
    "0001\tPCM\r\n"
    "0003\tIEEE Float\r\n"
    "0011\tIMA ADPCM\r\n"
    "0055\tMPEG Layer-3\r\n"
    "0161\tWMA2\r\n"
    "2000\tAC-3\r\n"
    "FFFE\tExtensible\r\n"
    "\r\n"
    "[AVI]\r\n"
    "FMP4\tFFmpeg MPEG-4\r\n"
    "XVID\tXviD MPEG-4\r\n"
    "DX50\tDivX 5.0\r\n"
    "MJPG\tMotion JPEG\r\n"
    "H264\tH.264\r\n"
    "WMV2\tWMV8\r\n"
    "dvsd\tDV\r\n"
    "\r\n"
    "[AVI-DIVX]\r\n"
    "DivX503b1393p\tDivX 5.0.3 Pro\r\n"
    "DivXXviD0050\tXviD in a DivX tag\r\n"
    "\r\n"
    "[AVI-XVID]\r\n"
    "XviD0050\tXviD 1.1.0\r\n"
    "\r\n"
    "[REAL-VIDEO]\r\n"
    "RV10\tRealVideo 1\r\n"
    "RV40\tRealVideo 4\r\n"
    "\r\n"
    "[REAL-AUDIO]\r\n"
    "DNET\tDolby AC-3 (dnet)\r\n"
    "COOK\tCook\r\n"
    "28_8\t28.8\r\n";

// Writes the two files once into a private folder and makes it the template
// directory.
inline void UseContainerTemplates() {
  static const std::string dir = [] {
    char pattern[] = "/tmp/probex-containers-XXXXXX";
    const char* made = mkdtemp(pattern);
    std::string d = made ? made : "/tmp";
    std::ofstream(d + "/FORMAT.INI", std::ios::binary) << kContainerFormatIni;
    std::ofstream(d + "/CODECS.INI", std::ios::binary) << kContainerCodecsIni;
    return d + "/";
  }();
  SetTemplateDirectory(ToUtf16(dir).c_str());
}

struct Outcome {
  int32_t formatId;
  std::string formatName;
  std::string error;
  std::vector<std::string> video;
  std::vector<std::string> audio;
  std::vector<std::string> extra;
  double duration;
  uint64_t fileSize;
};

inline Outcome Describe(const MediaInfo& info) {
  Outcome o{info.formatId, Utf8(info.formatName), Utf8(info.errorText), {}, {}, {}, info.duration, info.fileSize};
  for (int i = 0; i < info.videoCount && i < PROBEX_MAX_VIDEO; ++i) o.video.push_back(Utf8(info.videoText[i]));
  for (int i = 0; i < info.audioCount && i < PROBEX_MAX_AUDIO; ++i) o.audio.push_back(Utf8(info.audioText[i]));
  for (int i = 0; i < info.extraCount && i < PROBEX_MAX_EXTRA; ++i) o.extra.push_back(Utf8(info.extraText[i]));
  return o;
}

// Detection and analysis of a file, as GetFileInfoAuto runs them.
inline Outcome AnalyzePath(const std::string& path) {
  UseContainerTemplates();
  return Describe(AnalyzeFile(path));
}

inline Outcome AnalyzeBytes(const std::string& name, const Bytes& content) {
  TempFile file(name, content);
  return AnalyzePath(file.Path());
}

// The MPEG audio analyzer's own line for MpegAudioFrame().
inline std::string MpegAudioLine() {
  UseContainerTemplates();
  Bytes frame = MpegAudioFrame();
  MpegAudioInfo mpeg{};
  ParseMpegAudioVbrHeader(mpeg, frame.data(), frame.size());
  char line[512] = {};
  DescribeMpegAudio(line, sizeof line, mpeg);
  return Utf8(line);
}

// One analyzer run directly, whatever detection would say.
// One analyzer on the file whatever detection would say, opened as the
// dispatcher opens it.
inline Outcome RunAnalyzer(const std::string& name, const Bytes& content, Analyzer analyze) {
  TempFile file(name, content);
  UseContainerTemplates();
  MediaInfo info = MakeRecord(file.Path());
  FileReader reader;
  if (reader.Open(info.path)) {
    info.fileSize = reader.Size();
    analyze(info, reader);
  }
  return Describe(info);
}

}  // namespace probex::test
