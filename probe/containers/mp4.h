// MP4 family (ISO/IEC 14496-12/14, 3GPP) and QuickTime movies: the box walk
// with the movie header, every track's sample tables, movie fragments,
// metadata, chapter lists and the brand. The track record is filled by the
// sample description unit, which Matroska's QuickTime tracks use too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "../audio/tags.h"
#include "mp4_sample_description.h"
#include "probex.h"

namespace probex {

class FileReader;

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

// FormatIds 20 (QuickTime) and 21 (MP4, 3GPP).
void AnalyzeMp4(MediaInfo& info, FileReader& reader);

}  // namespace probex
