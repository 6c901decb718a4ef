#include "tags.h"

#include <climits>
#include <cstring>

#include "../core/bits.h"
#include "../core/file_reader.h"
#include "../core/text.h"

namespace probex {

namespace {

void FindId3v2(FileReader& reader, TagInfo& tags) {
  uint8_t header[16] = {};
  if (reader.Read(header, sizeof header, false) < 10 || !EqualNoCase(header, "ID3", 3)) return;
  tags.hasId3v2 = true;
  tags.id3v2Offset = reader.Tell();
  tags.id3v2Size = Id3v2BodySize(header) + 10;
  tags.id3v2Count = 1;
  for (;;) {
    reader.Seek(static_cast<int64_t>(tags.id3v2Offset + tags.id3v2Size), 0);
    std::memset(header, 0, sizeof header);
    if (reader.Read(header, sizeof header, false) < 10 || !EqualNoCase(header, "ID3", 3)) break;
    tags.id3v2Size += Id3v2BodySize(header) + 10;
    ++tags.id3v2Count;
  }
}

// Reads n bytes that end at offset end; false when they are not all there.
bool ReadBefore(FileReader& reader, uint64_t end, uint8_t* out, size_t n) {
  if (end < n || end > reader.Size()) return false;
  reader.Seek(static_cast<int64_t>(end - n), 0);
  return reader.Read(out, n) == n;
}

bool ParseDecimal(const uint8_t* text, size_t n, uint32_t& value) {
  value = 0;
  for (size_t i = 0; i < n; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
  }
  return true;
}

void FindEndTags(FileReader& reader, TagInfo& tags) {
  uint64_t size = reader.Size();
  uint64_t searchAt = size;

  uint8_t last[128];
  uint8_t footer[32];
  bool apeAtEnd = ReadBefore(reader, size, footer, sizeof footer) && EqualNoCase(footer, "APETAGEX", 8);
  if (!apeAtEnd && ReadBefore(reader, size, last, sizeof last) && EqualNoCase(last, "TAG", 3)) {
    tags.hasId3v1 = true;
    tags.id3v1Size = 128;
    tags.id3v1Offset = size - 128;
    searchAt = tags.id3v1Offset;
  }

  uint8_t lyricsEnd[15];
  uint32_t n = 0;
  if (ReadBefore(reader, searchAt, lyricsEnd, sizeof lyricsEnd) && EqualNoCase(lyricsEnd + 6, "LYRICS200", 9) &&
      ParseDecimal(lyricsEnd, 6, n) && searchAt >= uint64_t{n} + 15) {
    uint64_t start = searchAt - n - 15;
    uint8_t begin[11] = {};
    reader.Seek(static_cast<int64_t>(start), 0);
    if (reader.Read(begin, sizeof begin) == sizeof begin && EqualNoCase(begin, "LYRICSBEGIN", 11)) {
      tags.hasLyrics3 = true;
      tags.lyrics3Size = n + 15;
      tags.lyrics3Offset = start;
      searchAt = start;
    }
  }

  if (ReadBefore(reader, searchAt, footer, sizeof footer) && EqualNoCase(footer, "APETAGEX", 8)) {
    uint32_t apeSize = ReadU32LE(footer, 12);
    uint64_t footerStart = searchAt - 32;
    // The offset allows for a 32-byte header; a tag larger than what precedes
    // its footer is malformed and not reported.
    if (apeSize <= footerStart) {
      tags.hasApe = true;
      tags.apeSize = apeSize;
      tags.apeOffset = footerStart - apeSize;
    }
  }
}

}  // namespace

void FindTags(FileReader& reader, TagInfo& tags) {
  FileReader::State saved = reader.Save();
  FindId3v2(reader, tags);
  if (tags.searchEnd) FindEndTags(reader, tags);
  tags.scanned = true;
  reader.Restore(saved);
}

void DescribeTags(char* out, size_t size, const TagInfo& tags) {
  if (size == 0) return;
  out[0] = '\0';
  auto add = [&](const char* name) {
    if (out[0] != '\0') AppendText(out, size, " / ");
    AppendText(out, size, name);
  };
  char chapters[32];
  if (tags.hasId3v1) add("ID3v1");
  if (tags.hasId3v2) add("ID3v2");
  if (tags.hasApe) add("APE");
  if (tags.hasLyrics3) add("Lyrics3");
  if (tags.hasInfoTag) add("INFOTAG");
  if (tags.hasVorbisComment) add("VorbisComment");
  if (tags.hasCueSheet) add("CueSheet");
  if (tags.hasChapters) {
    FormatText(chapters, sizeof chapters, "Chapter(%d)", tags.chapterNumber);
    add(chapters);
  }
  if (tags.hasMetaData) add("MetaData");
  if (tags.hasChapterList) {
    FormatText(chapters, sizeof chapters, "Chapter(%d)", tags.chapterListCount);
    add(chapters);
  }
}

void ScanVorbisComment(const uint8_t* block, size_t length, TagInfo& tags) {
  if (!block || length < 4) return;
  uint64_t p = 4 + uint64_t{ReadU32LE(block, 0)};
  if (p + 4 > length) return;
  uint32_t count = ReadU32LE(block, static_cast<size_t>(p));
  p += 4;
  if (count != 0) tags.hasVorbisComment = true;
  // Each comment costs at least its 4-byte length: the block bounds the count.
  for (uint32_t i = 0; i < count && p + 4 <= length; ++i) {
    uint64_t n = ReadU32LE(block, static_cast<size_t>(p));
    p += 4;
    if (n > length - p) n = length - p;
    const uint8_t* text = block + p;
    if (StartsWithNoCase(text, n, "CUE_TRACK") || StartsWithNoCase(text, n, "CUESHEET")) tags.hasCueSheet = true;
    if (StartsWithNoCase(text, n, "CHAPTER")) {
      tags.hasChapters = true;
      int64_t number = 0;
      for (uint64_t k = 7; k < n && text[k] >= '0' && text[k] <= '9'; ++k)
        if (number < INT32_MAX) number = number * 10 + (text[k] - '0');
      tags.chapterNumber = number > INT32_MAX ? INT32_MAX : static_cast<int32_t>(number);
    }
    p += n;
  }
}

}  // namespace probex
