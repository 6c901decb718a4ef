// Tag blocks around audio data (ID3v1, ID3v2, APE, Lyrics3) and the tag-like
// blocks containers report (RIFF INFO, Vorbis comments, MP4 metadata).
// Tags are located, not shown: analyzers leave their bytes out of bit rates.
#pragma once

#include <cstddef>
#include <cstdint>

namespace probex {

class FileReader;

struct TagInfo {
  bool searchEnd;  // input: look at the end of the file too
  bool scanned;
  bool hasId3v1;
  uint64_t id3v1Offset;
  uint32_t id3v1Size;
  bool hasId3v2;
  uint64_t id3v2Offset;
  uint64_t id3v2Size;  // all consecutive tags, headers included
  int32_t id3v2Count;
  bool hasApe;
  uint64_t apeOffset;
  uint32_t apeSize;
  bool hasLyrics3;
  uint64_t lyrics3Offset;
  uint32_t lyrics3Size;
  bool hasInfoTag;
  bool hasVorbisComment;
  bool hasCueSheet;
  bool hasChapters;
  int32_t chapterNumber;
  bool hasMetaData;
  bool hasChapterList;
  int32_t chapterListCount;
};

// Looks for ID3v2 tags at the reader's position and, with searchEnd, for
// ID3v1, Lyrics3 v2 and APE tags at the end. The reader is left as it was.
void FindTags(FileReader& reader, TagInfo& tags);

// "ID3v1 / ID3v2 / APE ..." of the kinds present; empty when none.
void DescribeTags(char* out, size_t size, const TagInfo& tags);

// A Vorbis comment block of length bytes (FLAC block or Ogg packet body).
void ScanVorbisComment(const uint8_t* block, size_t length, TagInfo& tags);

}  // namespace probex
