#include "matroska.h"

#include <algorithm>
#include <cmath>

#include "../audio/audio_file.h"
#include "bits.h"
#include "file_reader.h"
#include "matroska_tracks.h"
#include "media_info.h"
#include "messages.h"
#include "text.h"

namespace probex {
namespace {

// Buffers sized by the file are cut to the bytes that remain and to this.
constexpr uint64_t kMaxElementBuffer = 16ull << 20;

int LengthFromMarker(uint8_t first) {
  for (int n = 1; n <= 8; ++n)
    if (first & (0x80 >> (n - 1))) return n;
  return 0;  // no marker in the first byte
}

uint64_t Remaining(const FileReader& reader, uint64_t position) {
  return position < reader.Size() ? reader.Size() - position : 0;
}

// Moves past an element payload; false when it runs past the end of data.
bool SkipPayload(FileReader& reader, uint64_t position, uint64_t size) {
  if (size > Remaining(reader, position)) return false;
  reader.Seek(static_cast<int64_t>(position + size), 0);
  return true;
}

// Past the payload, or to the end of the data when it runs out there.
void SkipOrEnd(FileReader& reader, uint64_t position, uint64_t size) {
  if (!SkipPayload(reader, position, size)) reader.Seek(0, 2);
}

std::vector<uint8_t> ReadBytes(FileReader& reader, uint64_t position, uint64_t size) {
  uint64_t n = std::min({size, Remaining(reader, position), kMaxElementBuffer});
  std::vector<uint8_t> bytes(static_cast<size_t>(n), 0);
  reader.Seek(static_cast<int64_t>(position), 0);
  if (n) bytes.resize(reader.Read(bytes.data(), bytes.size()));
  return bytes;
}

bool AllTracksHaveBlocks(const MatroskaInfo& info) {
  for (const MatroskaTrack& t : info.tracks)
    if (t.type >= 1 && t.type <= 3 && t.firstBlockPosition == 0) return false;
  return true;
}

}  // namespace

bool ReadElementId(FileReader& reader, uint32_t& id) {
  uint8_t b[4] = {};
  size_t got = reader.Read(b, sizeof b, false);
  if (got == 0) return false;
  int n = LengthFromMarker(b[0]);
  if (n == 0 || n > 4 || static_cast<size_t>(n) > got) return false;
  id = static_cast<uint32_t>(ReadUIntBE(b, n));
  reader.Seek(n, 1);
  return true;
}

bool ReadElementSize(FileReader& reader, uint64_t& size) {
  uint8_t b[8] = {};
  size_t got = reader.Read(b, sizeof b, false);
  if (ReadVint(b, got, size) == 0) return false;
  reader.Seek(LengthFromMarker(b[0]), 1);
  return true;
}

size_t ReadVint(const uint8_t* bytes, size_t length, uint64_t& value) {
  if (length == 0) return 0;
  int n = LengthFromMarker(bytes[0]);
  if (n == 0 || static_cast<size_t>(n) > length) return 0;
  value = bytes[0] & (0xFF >> n);
  for (int i = 1; i < n; ++i) value = (value << 8) | bytes[i];
  return static_cast<size_t>(n);
}

uint64_t ReadElementUInt(FileReader& reader, uint64_t size) {
  uint64_t position = reader.Tell();
  uint64_t value = 0;
  if (size >= 1 && size <= 8) {
    uint8_t b[8] = {};
    size_t got = reader.Read(b, static_cast<size_t>(size), false);
    if (got == size) value = ReadUIntBE(b, got);
  }
  SkipOrEnd(reader, position, size);
  return value;
}

double ReadElementFloat(FileReader& reader, uint64_t size) {
  uint64_t position = reader.Tell();
  double value = 0;
  if (size == 4 || size == 8) {
    uint8_t b[8] = {};
    if (reader.Read(b, static_cast<size_t>(size), false) == size) value = ReadFloatBE(b, static_cast<int>(size));
  }
  SkipOrEnd(reader, position, size);
  return value;
}

size_t BlockHeaderLength(const uint8_t* block, size_t length) {
  uint64_t number;
  size_t n = ReadVint(block, length, number);
  if (n == 0 || n + 3 > length) return 0;
  uint8_t flags = block[n + 2];
  size_t at = n + 3;
  int lacing = (flags >> 1) & 3;
  if (lacing == 0) return at;
  if (at >= length) return 0;
  unsigned count = block[at++];
  if (lacing == 2) return at;
  for (unsigned i = 0; i < count; ++i) {
    if (lacing == 1) {
      // Xiph: a run of 255 bytes ended by a smaller one.
      while (at < length && block[at] == 255) ++at;
      if (at >= length) return 0;
      ++at;
    } else {
      uint64_t ignored;
      size_t k = ReadVint(block + at, length - at, ignored);
      if (k == 0) return 0;
      at += k;
    }
  }
  return at <= length ? at : 0;
}

void ReadMatroskaHeader(FileReader& reader, MatroskaInfo& info) {
  using namespace ebml;
  reader.Seek(0, 0);
  while (reader.Tell() < info.fileSize) {
    uint32_t id;
    uint64_t size;
    if (!ReadElementId(reader, id) || !ReadElementSize(reader, size)) return;
    uint64_t position = reader.Tell();
    switch (id) {
      case kCluster:
        return;
      case kEbml: case kSegment: case kTracks: case kInfo: case kChapters: case kEditionEntry:
        continue;
      case kChapterAtom:
        ++info.chapterCount;
        continue;
      case kChapterFlagHidden:
        if (ReadElementUInt(reader, size) == 1 && info.chapterCount) --info.chapterCount;
        continue;
      case kTimecodeScale:
        info.timecodeScale = static_cast<uint32_t>(ReadElementUInt(reader, size));
        continue;
      case kDuration:
        info.duration = ReadElementFloat(reader, size);
        continue;
      case kTrackEntry:
        if (info.tracks.size() < kMatroskaMaxTracks) {
          MatroskaTrack track{};
          track.start = position;
          track.size = std::min(size, Remaining(reader, position));
          info.tracks.push_back(std::move(track));
        }
        break;
      default:
        break;
    }
    if (!SkipPayload(reader, position, size)) return;
  }
}

void ReadMatroskaTrackEntries(FileReader& reader, MatroskaInfo& info) {
  using namespace ebml;
  for (MatroskaTrack& track : info.tracks) {
    reader.Seek(static_cast<int64_t>(track.start), 0);
    uint64_t end = track.start + track.size;
    while (reader.Tell() < end) {
      uint32_t id;
      uint64_t size;
      if (!ReadElementId(reader, id) || !ReadElementSize(reader, size)) break;
      uint64_t position = reader.Tell();
      if (id == kContentEncodings || id == kContentEncoding || id == kContentCompression) {
        track.encoded = true;
        continue;
      }
      if (id == kTrackType) {
        track.type = static_cast<uint32_t>(ReadElementUInt(reader, size));
      } else if (id == kTrackNumber) {
        track.number = ReadElementUInt(reader, size);
      } else if (id == kContentCompAlgo) {
        track.compressionAlgorithm = static_cast<uint32_t>(ReadElementUInt(reader, size));
      } else if (id == kContentCompSettings) {
        track.compressionSettings = ReadBytes(reader, position, std::min(size, end - std::min(end, position)));
        if (!SkipPayload(reader, position, size)) break;
      } else if (!SkipPayload(reader, position, size)) {
        break;
      }
    }
  }
}

void FindMatroskaFirstBlocks(FileReader& reader, MatroskaInfo& info) {
  using namespace ebml;
  reader.Seek(0, 0);
  bool seenCluster = false;
  uint64_t searchEnd = info.fileSize;
  while (reader.Tell() < searchEnd) {
    uint32_t id;
    uint64_t size;
    if (!ReadElementId(reader, id) || !ReadElementSize(reader, size)) return;
    uint64_t position = reader.Tell();
    // mkvmerge may write the Cues ahead of the clusters; only Cues after
    // them mark the end of the blocks.
    if (id == kCues && seenCluster) return;
    // Muxers interleave every track within the first seconds; a track whose
    // blocks never come must not make the search read a whole film.
    if (id == kCluster && !seenCluster) searchEnd = std::min(info.fileSize, position + kMaxFirstBlockSearch);
    if (id == kCluster) seenCluster = true;
    if (id == kEbml || id == kSegment || id == kCluster || id == kBlockGroup) continue;
    if (id == kBlock || id == kSimpleBlock) {
      uint8_t head[8] = {};
      size_t got = reader.Read(head, static_cast<size_t>(std::min<uint64_t>(size, sizeof head)), false);
      uint64_t number;
      if (ReadVint(head, got, number)) {
        for (MatroskaTrack& track : info.tracks) {
          if (track.number == number && track.firstBlockPosition == 0) {
            track.firstBlockPosition = position;
            track.firstBlockSize = std::min(size, Remaining(reader, position));
            ++info.firstBlockCount;
            break;
          }
        }
      }
    }
    if (!SkipPayload(reader, position, size)) return;
    if (AllTracksHaveBlocks(info)) return;
  }
}

std::vector<uint8_t> ReadFirstBlock(FileReader& reader, const MatroskaTrack& track) {
  if (track.firstBlockPosition == 0) return {};
  return ReadBytes(reader, track.firstBlockPosition, track.firstBlockSize);
}

std::vector<uint8_t> ReadFirstFrame(FileReader& reader, const MatroskaInfo&, const MatroskaTrack& track) {
  std::vector<uint8_t> block = ReadFirstBlock(reader, track);
  size_t header = BlockHeaderLength(block.data(), block.size());
  if (header == 0) return {};
  // Header stripping (algorithm 3) removed these bytes from every frame.
  bool stripped = track.encoded && track.compressionAlgorithm == 3;
  std::vector<uint8_t> frame;
  if (stripped) frame = track.compressionSettings;
  frame.insert(frame.end(), block.begin() + static_cast<std::ptrdiff_t>(header), block.end());
  return frame;
}

void AnalyzeMatroska(MediaInfo& media, FileReader& reader) {
  MatroskaInfo info{};
  info.fileSize = reader.Size();
  SetFormatName(media, "Matroska");
  if (!MakeCorrectionPath(media.path, ".wvc", info.correctionPath)) info.correctionPath[0] = u'\0';

  ReadMatroskaHeader(reader, info);
  ReadMatroskaTrackEntries(reader, info);
  FindMatroskaFirstBlocks(reader, info);
  if (info.tracks.empty()) {
    SetErrorText(media, msg::kMatroskaNoTrack);
    return;
  }
  DescribeMatroskaTracks(reader, info, media);
  double scale = info.timecodeScale ? info.timecodeScale : 1000000.0;
  // A damaged Duration (negative, NaN, infinite, or too large for the scale)
  // is as good as none.
  double seconds = scale * info.duration * 0.000000001;
  media.duration = std::isfinite(seconds) && seconds > 0 ? seconds : 0.0;
}

}  // namespace probex
