// MP4 family (ISO/IEC 14496-12/14, 3GPP) and QuickTime movies: the box walk
// with the movie header, every track's sample tables, movie fragments,
// metadata, chapter lists and the brand. The track record and its two
// renderers are shared with Matroska's V_QUICKTIME / A_QUICKTIME tracks.
#pragma once

#include "../video/av1.h"
#include "../video/hevc.h"
#include "../video/vp9.h"
#include <cstddef>
#include <cstdint>
#include <vector>

#include "../audio/tags.h"
#include "../video/mpeg_video.h"
#include "probex.h"

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

struct Mp4Fragment {
  uint64_t moofSize;
  uint64_t moofPosition;
};

struct Mp4Movie {
  bool compressedHeader;  // a cmov box was met
  uint64_t moovSize;
  uint64_t moovPosition;
  uint64_t mdatSize;
  uint64_t mdatPosition;
  bool hasMdat;
  uint64_t movieDuration;  // mvhd duration in movie time units
  uint32_t timescale;      // mvhd time scale; 1,000,000 when the box holds 0
  std::vector<Mp4Track> tracks;
  std::vector<Mp4Fragment> fragments;
  uint32_t subpTrackCount;
  uint32_t subsBoxCount;
  TagInfo tags;  // hasMetaData, hasChapterList, chapterListCount
  char majorBrand[5];
  double durationSeconds;  // from mvhd alone
  // Sample durations of the fragments' reference track, in its media time
  // scale (kept apart so that the two time scales never mix).
  uint64_t fragmentDuration;
  uint32_t fragmentTimescale;
  uint32_t fragmentTrackId;
  // trex defaults (track_ID, duration, size) until the tracks know their ids.
  struct TrackDefaults {
    uint32_t trackId, duration, size;
  };
  std::vector<TrackDefaults> trackDefaults;
};

// Box header at a file position: size 1 takes the 64-bit size that follows
// (any box type), size 0 the rest of the file.
struct Mp4BoxHeader {
  uint64_t size;
  uint32_t headerSize;  // 8, or 16 with a 64-bit size
  char type[4];
};

// Peeks the header at position; false at the end of the file or when fewer
// than 8 header bytes (16 with a 64-bit size) are there.
bool ReadMp4BoxHeader(FileReader& reader, uint64_t position, Mp4BoxHeader& header);

// The walks, in the order the analyzer runs them. They never go backwards,
// never stand still and end at the first box that runs out of its parent.
void WalkMp4TopLevel(FileReader& reader, Mp4Movie& movie);
void WalkMp4Moov(FileReader& reader, Mp4Movie& movie);
void WalkMp4Track(FileReader& reader, Mp4Movie& movie, Mp4Track& track, MediaInfo* media);
void WalkMp4Fragment(FileReader& reader, Mp4Movie& movie, const Mp4Fragment& fragment);

// Section "AVC" key "VIDEO" when the profile text is set, else "QUICKTIME".
void FormatMp4VideoText(char* out, size_t size, const Mp4Track& track);
// Section "QUICKTIME", key "AUDIO".
void FormatMp4AudioText(char* out, size_t size, const Mp4Track& track);

// FormatIds 20 (QuickTime) and 21 (MP4, 3GPP).
void AnalyzeMp4(MediaInfo& info, FileReader& reader);

}  // namespace probex
