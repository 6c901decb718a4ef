// The first sample description of an MP4/QuickTime track (stsd): the codec
// name from CODECS.INI, picture or sound parameters, the configuration boxes
// inside it (esds, avcC, hvcC, av1C, vpcC, dOps, dec3 ...), and the track's
// two lines. Matroska's V_QUICKTIME / A_QUICKTIME tracks carry such an entry.
#pragma once

#include <cstddef>
#include <cstdint>

#include "../video/av1.h"
#include "../video/hevc.h"
#include "../video/mpeg_video.h"
#include "../video/vp9.h"

namespace probex {

class FileReader;

// One trak box; zero-fill (value-initialise) before use.
struct Mp4Track {
  uint64_t boxSize;
  uint64_t boxPosition;
  uint32_t trackId;
  uint64_t sampleCount;  // stts counts plus fragment sample counts
  char handler[5];       // "vide", "soun", "subp", "text" ...
  int32_t width;
  int32_t height;
  uint16_t depth;
  char videoCodec[128];
  char profile[256];
  char aspect[32];
  bool interlaced;
  double videoFrameRate;
  int64_t frameCount;
  double videoBitRate;
  char audioCodec[128];
  double sampleRate;
  uint16_t bitsPerSample;
  uint16_t channels;
  double audioBitRate;
  char audioText[256];  // a finished description; used as it stands when set
  uint64_t firstChunkOffset;
  uint32_t firstSampleSize;
  uint64_t totalBytes;  // stsz and fragment sample sizes
  double bitRate;       // bit/s over the movie duration
  double frameRate;     // samples per second over the movie duration
  // Time scale of the track's media (mdhd); fragment durations count in it.
  uint32_t mediaTimescale;
  // trex defaults for fragments of this track.
  uint32_t defaultSampleDuration;
  uint32_t defaultSampleSize;
  // MPEG-1/2 video (object types 60 to 65, 6A): described by its sequence
  // header instead of the fields above.
  bool hasMpegVideo;
  MpegVideoInfo mpegVideo;
  // HEVC (hvcC), with the HDR signals of its SEI and of the sample entry's
  // mdcv, clli and Dolby Vision boxes.
  bool hasHevc;
  HevcVideoInfo hevc;
  bool hasAv1;
  Av1VideoInfo av1;
  bool hasVp9;
  Vp9VideoInfo vp9;  // its size is the sample entry's
};

enum Mp4TrackKind { kMp4Video = 0, kMp4Audio = 1 };

// stsd: the whole box as loaded, header included, size bytes. kind 0 video,
// 1 audio; other kinds do nothing. reader may be null (no sample data is
// read then), otherwise the track's first sample may be probed.
void ParseMp4SampleDescription(const uint8_t* stsd, size_t size, int kind, Mp4Track& track,
                               FileReader* reader);
// payload: the bytes of an esds box after its 8-byte header; size bytes.
void ParseEsds(const uint8_t* payload, size_t size, int kind, Mp4Track& track, FileReader* reader);
// payload: the bytes of an avcC box after its header.
void ParseAvcC(const uint8_t* payload, size_t size, Mp4Track& track);
// HEVC from its decoder configuration record; leaves the track alone when malformed.
void ParseHvcC(const uint8_t* payload, size_t size, Mp4Track& track);
// The four-character codec key at stsd offset 20: upper case, NUL bytes as
// blanks unless it starts with "MS" (whose bytes 2-3 are a WAVE format tag).
void Mp4CodecKey(const uint8_t* stsd, size_t size, char (&key)[5]);

// Section "AVC" key "VIDEO" when the profile text is set, else "QUICKTIME".
void FormatMp4VideoText(char* out, size_t size, const Mp4Track& track);

// Section "QUICKTIME", key "AUDIO".
void FormatMp4AudioText(char* out, size_t size, const Mp4Track& track);

}  // namespace probex
