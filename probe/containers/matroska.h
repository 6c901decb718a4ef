// Matroska and WebM: the EBML walk for the segment's time scale and
// duration, the track entries with their content compression, the visible
// chapters and the first block of every track. The tracks are described by
// matroska_tracks.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "probex.h"

namespace probex {

class FileReader;

inline constexpr size_t kMatroskaMaxTracks = 30;

struct MatroskaTrack {
  uint64_t number;  // TrackNumber
  uint64_t start;   // offset of the TrackEntry payload
  uint64_t size;    // payload size, cut to the file
  uint32_t type;    // TrackType: 1 video, 2 audio, 3 complex
  bool encoded;     // any content encoding element
  uint32_t compressionAlgorithm;
  std::vector<uint8_t> compressionSettings;  // ContentCompSettings
  // First Block or SimpleBlock of the track: payload position (0: none yet)
  // and size. Kept with the track, so any track number finds its block.
  uint64_t firstBlockPosition;
  uint64_t firstBlockSize;
};

struct MatroskaInfo {
  uint64_t fileSize;
  double duration;         // Segment Info Duration in timecode units; 0 when absent
  uint32_t timecodeScale;  // 0 when absent
  std::vector<MatroskaTrack> tracks;  // at most kMatroskaMaxTracks, in TrackEntry order
  uint32_t firstBlockCount;
  uint32_t chapterCount;  // visible ChapterAtoms
  char16_t correctionPath[PROBEX_PATH_UNITS];  // the path with ".wvc" for WavPack
};

// EBML element IDs (with their length-marker bits) of the walk.
namespace ebml {
inline constexpr uint32_t kEbml = 0x1A45DFA3;
inline constexpr uint32_t kSegment = 0x18538067;
inline constexpr uint32_t kInfo = 0x1549A966;
inline constexpr uint32_t kTimecodeScale = 0x2AD7B1;
inline constexpr uint32_t kDuration = 0x4489;
inline constexpr uint32_t kTracks = 0x1654AE6B;
inline constexpr uint32_t kTrackEntry = 0xAE;
inline constexpr uint32_t kTrackNumber = 0xD7;
inline constexpr uint32_t kTrackType = 0x83;
inline constexpr uint32_t kContentEncodings = 0x6D80;
inline constexpr uint32_t kContentEncoding = 0x6240;
inline constexpr uint32_t kContentCompression = 0x5034;
inline constexpr uint32_t kContentCompAlgo = 0x4254;
inline constexpr uint32_t kContentCompSettings = 0x4255;
inline constexpr uint32_t kChapters = 0x1043A770;
inline constexpr uint32_t kEditionEntry = 0x45B9;
inline constexpr uint32_t kChapterAtom = 0xB6;
inline constexpr uint32_t kChapterFlagHidden = 0x98;
inline constexpr uint32_t kCluster = 0x1F43B675;
inline constexpr uint32_t kBlockGroup = 0xA0;
inline constexpr uint32_t kBlock = 0xA1;
inline constexpr uint32_t kSimpleBlock = 0xA3;
inline constexpr uint32_t kCues = 0x1C53BB6B;
inline constexpr uint32_t kCodecId = 0x86;
inline constexpr uint32_t kCodecPrivate = 0x63A2;
inline constexpr uint32_t kVideo = 0xE0;
inline constexpr uint32_t kPixelWidth = 0xB0;
inline constexpr uint32_t kPixelHeight = 0xBA;
inline constexpr uint32_t kFrameRate = 0x2383E3;
inline constexpr uint32_t kDefaultDuration = 0x23E383;
inline constexpr uint32_t kAudio = 0xE1;
inline constexpr uint32_t kSamplingFrequency = 0xB5;
inline constexpr uint32_t kChannels = 0x9F;
inline constexpr uint32_t kBitDepth = 0x6264;
inline constexpr uint32_t kColour = 0x55B0;
inline constexpr uint32_t kMatrixCoefficients = 0x55B1;
inline constexpr uint32_t kRange = 0x55B9;
inline constexpr uint32_t kTransferCharacteristics = 0x55BA;
inline constexpr uint32_t kPrimaries = 0x55BB;
inline constexpr uint32_t kMaxCll = 0x55BC;
inline constexpr uint32_t kMaxFall = 0x55BD;
inline constexpr uint32_t kMasteringMetadata = 0x55D0;
inline constexpr uint32_t kPrimaryRChromaticityX = 0x55D1;  // to 0x55D8: R, G, B, white point x/y
inline constexpr uint32_t kLuminanceMax = 0x55D9;
inline constexpr uint32_t kLuminanceMin = 0x55DA;
inline constexpr uint32_t kBlockAdditionMapping = 0x41E4;
inline constexpr uint32_t kBlockAddIdType = 0x41E7;
inline constexpr uint32_t kBlockAddIdExtraData = 0x41ED;
}  // namespace ebml

// One element ID (1 to 4 bytes, marker bits kept) or size (1 to 8 bytes,
// marker cleared) at the reader's position, which moves past it. false
// without a length marker in the first byte, for an ID longer than 4 bytes,
// or at the end of the data; the reader then has not moved.
bool ReadElementId(FileReader& reader, uint32_t& id);
bool ReadElementSize(FileReader& reader, uint64_t& size);
// A variable-length integer in memory (as a size); its length in bytes, or
// 0 without a length marker or when it does not fit in length.
size_t ReadVint(const uint8_t* bytes, size_t length, uint64_t& value);
// Unsigned integer element of size bytes; values longer than 8 bytes read
// as 0. Float element of 4 or 8 bytes; other sizes read as 0. The reader
// moves past the element either way.
uint64_t ReadElementUInt(FileReader& reader, uint64_t size);
double ReadElementFloat(FileReader& reader, uint64_t size);

// Length of the Block header (track number, timecode, flags and lacing) at
// the start of a block payload of length bytes; 0 when the header does not
// fit in the block.
size_t BlockHeaderLength(const uint8_t* block, size_t length);

// The first-block search ends this far past the start of the first Cluster.
inline constexpr uint64_t kMaxFirstBlockSearch = 32ull << 20;

// The three passes (header, track entries, first blocks).
void ReadMatroskaHeader(FileReader& reader, MatroskaInfo& info);
void ReadMatroskaTrackEntries(FileReader& reader, MatroskaInfo& info);
void FindMatroskaFirstBlocks(FileReader& reader, MatroskaInfo& info);

// The first block's frame data with stripped header bytes put back; empty
// when the track has no block or the block is smaller than its header.
std::vector<uint8_t> ReadFirstFrame(FileReader& reader, const MatroskaInfo& info, const MatroskaTrack& track);
// The whole first block payload, header included; empty when none.
std::vector<uint8_t> ReadFirstBlock(FileReader& reader, const MatroskaTrack& track);

// FormatId 25.
void AnalyzeMatroska(MediaInfo& info, FileReader& reader);

}  // namespace probex
