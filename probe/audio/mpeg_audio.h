// MPEG-1/2/2.5 audio, Layers I to III: frame headers, the Xing/Info/VBRI
// variable-bit-rate headers and the LAME tag. Bare streams are analysed from a
// file; containers call the header operations on bytes they hold.
#pragma once

#include <cstddef>
#include <cstdint>

#include "probex.h"
#include "tags.h"

namespace probex {

class FileReader;

// One stream; zero-fill before use.
struct MpegAudioInfo {
  int16_t version;  // 1, 2, or 25 for MPEG-2.5
  int16_t layer;    // 1, 2 or 3
  double sampleRate;
  int32_t padding;   // of the first frame
  double bitrate;    // kbit/s: the first frame's, or the average with a VBR header
  char bitrateMode[16];    // "CBR", "VBR" or empty
  char channelMode[16];    // "Stereo", "JointStereo", "DualChannel", "Mono"
  char modeExtension[16];  // joint stereo only: "4-31".."16-31", "I", "MS", "I+MS"
  uint32_t frameLength;    // bytes of the first frame
  bool hasXing;
  bool hasLame;
  bool hasVbri;
  char vbrHeaderName[16];  // "VBRI", "Xing" or "LAME-Info"
  uint32_t cbrFrameCount;  // estimate when no VBR header was found
  uint32_t vbriQuality;
  uint32_t vbriFrames;
  uint32_t xingFrames;
  char lameVersion[10];    // "LAME3.100"
  uint32_t lameRevision;
  char lameVbrMethod[16];  // method text, "VBR-NEW/MTRH" ...
  char lameStereoMode[16];
  uint32_t lameAbrBitrate;  // kbit/s
  uint32_t lameMinBitrate;  // kbit/s
  TagInfo tags;
  uint32_t firstFrameOffset;  // bytes between the ID3v2 tags and the first frame
  char encoderName[21];
  double duration;           // seconds
  uint64_t streamSize;       // input: audio bytes; replaced by a VBR header's byte count
  bool computeDuration;      // input
};

// First offset from start (while 5 bytes still follow) of a plausible frame
// header or of the text "ID3"; -1 when there is none.
int64_t FindMpegAudioSync(const uint8_t* buffer, size_t length, size_t start);

// Decodes the four header bytes into version .. modeExtension (frameLength
// included). false for fewer than 4 bytes or a reserved or free-format header.
bool ParseMpegAudioHeader(const uint8_t* bytes, size_t length, MpegAudioInfo& info);

// The bytes of the first frame (ID3v2 tags in front are skipped): re-parses
// the header and fills the Xing/Info/VBRI and LAME fields, bitrateMode,
// cbrFrameCount and the average bit rate. false when the frame is unusable.
bool ParseMpegAudioVbrHeader(MpegAudioInfo& info, const uint8_t* frame, size_t length);

// info.streamSize, computeDuration, firstFrameOffset and tags set by the
// caller; the reader at the start of the ID3v2 tags (or of the audio when
// there are none). Finds the tags unless tags.scanned, leaves their bytes out
// of streamSize, parses the first frame and sets duration. false on an
// invalid header.
bool AnalyzeMpegAudioStream(MpegAudioInfo& info, FileReader& reader);

// Bytes of a frame and samples per frame for the parsed header; 0 when unknown.
uint32_t MpegAudioFrameLength(const MpegAudioInfo& info);
uint32_t MpegAudioSamplesPerFrame(const MpegAudioInfo& info);
// streamSize · 8 / bit rate in seconds; 0 when either is 0.
double MpegAudioDuration(const MpegAudioInfo& info);

// The line from section "MP3" of FORMAT.INI (key VBRI, LAME, XING, CBR1 or CBR2).
void DescribeMpegAudio(char* out, size_t size, const MpegAudioInfo& info);

// FormatId 106.
// The stream's line, its tag line and its duration into the record.
void AddMpegAudioDescription(MediaInfo& media, const MpegAudioInfo& info);

void AnalyzeMpegAudio(MediaInfo& info, FileReader& reader);

}  // namespace probex
