#include "still_image.h"

#include <cstdint>

#include "../core/bits.h"
#include "../core/file_reader.h"
#include "../core/media_info.h"
#include "../core/messages.h"
#include "../core/text.h"

namespace probex {

namespace {

constexpr size_t kHeadBytes = 100;
constexpr size_t kJpegWindow = 5120;

bool IsStartOfFrame(uint8_t code) {
  return code >= 0xC0 && code <= 0xCF && code != 0xC4 && code != 0xC8 && code != 0xCC;
}

// Walks the JPEG segments by their lengths through the file, so that a frame
// header inside an APPn segment (an Exif or JFXX thumbnail) is never taken for
// the picture's, and one behind long APPn segments (thumbnails, ICC profiles)
// is still reached. Long segments are seeked over, not read.
bool FindFrameSize(FileReader& reader, uint32_t& width, uint32_t& height) {
  constexpr int kMaxSegments = 64;
  constexpr int kMaxStray = 64 * 1024;  // damaged bytes and fill between segments
  reader.Seek(2, 0);  // past the start-of-image marker
  int segments = 0, stray = 0;
  while (segments < kMaxSegments && stray < kMaxStray) {
    uint8_t b[9] = {};
    size_t got = reader.Read(b, sizeof b, false);
    if (got < 2) return false;
    uint8_t code = b[1];
    if (b[0] != 0xFF || code == 0xFF) {  // damage, or a fill byte: slide on
      reader.Seek(1, 1);
      ++stray;
      continue;
    }
    if (code == 0x01 || code == 0xD8 || (code >= 0xD0 && code <= 0xD7) || code == 0x00) {
      reader.Seek(2, 1);
      stray += 2;
      continue;
    }
    if (code == 0xD9 || code == 0xDA) return false;  // no frame header before the scan
    if (got < 4) return false;
    uint32_t length = ReadU16BE(b, 2);
    if (IsStartOfFrame(code) && got == sizeof b) {
      height = ReadU16BE(b, 5);
      width = ReadU16BE(b, 7);
      if (width != 0 || height != 0) return true;
    }
    reader.Seek(2 + (length < 2 ? 2 : length), 1);
    ++segments;
  }
  return false;
}

// Windows info headers that begin with the 40-byte layout (V2, V3, V4, V5).
bool IsWindowsInfoHeader(uint32_t size) {
  return size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

// Byte order of the TIFF header after "Exif\0\0": most cameras write "II".
bool ExifIsLittleEndian(const uint8_t* b) { return b[12] == 'I' && b[13] == 'I'; }

// Exif dimension tag (A002 width, A003 height) in an IFD entry: tag, type,
// count, value. SHORT values sit in the first two bytes of the value field.
bool FindExifDimension(const uint8_t* b, size_t n, bool little, uint8_t tagLow, uint32_t& value) {
  uint8_t first = little ? tagLow : 0xA0, second = little ? 0xA0 : tagLow;
  for (size_t i = 0; i + 12 <= n; ++i) {
    if (b[i] != first || b[i + 1] != second) continue;
    uint32_t type = little ? ReadU16LE(b, i + 2) : ReadU16BE(b, i + 2);
    if (type == 3)
      value = little ? ReadU16LE(b, i + 8) : ReadU16BE(b, i + 8);
    else
      value = little ? ReadU32LE(b, i + 8) : ReadU32BE(b, i + 8);
    return true;
  }
  return false;
}

void DescribeJfif(MediaInfo& info, const uint8_t* b, FileReader& reader) {
  const char* units = b[13] == 1 ? "inch" : b[13] == 2 ? "cm" : "normal";
  uint32_t width = 0, height = 0;
  char line[PROBEX_TEXT_BYTES];
  if (FindFrameSize(reader, width, height))
    FormatText(line, sizeof line, "JFIF 24Bit %ux%u %s", width, height, units);
  else
    CopyText(line, sizeof line, msg::kJpegNoMarker);
  AddVideoText(info, line);
}

void DescribeExif(MediaInfo& info, const uint8_t* b, size_t n) {
  uint32_t width = 0, height = 0;
  bool little = ExifIsLittleEndian(b);
  char line[PROBEX_TEXT_BYTES];
  if (!FindExifDimension(b, n, little, 0x02, width))
    CopyText(line, sizeof line, msg::kExifNoWidth);
  else if (!FindExifDimension(b, n, little, 0x03, height))
    CopyText(line, sizeof line, msg::kExifNoHeight);
  else
    FormatText(line, sizeof line, "Exif 24Bit %ux%u", width, height);
  AddVideoText(info, line);
}

}  // namespace

void AnalyzeBmp(MediaInfo& info, FileReader& reader) {
  uint8_t b[kHeadBytes] = {};
  reader.Read(b, sizeof b);
  reader.Close();
  if (!IsWindowsInfoHeader(ReadU32LE(b, 14))) {
    SetErrorText(info, msg::kBmpUnknownFormat);
    return;
  }
  int32_t width = static_cast<int32_t>(ReadU32LE(b, 18));
  int32_t height = static_cast<int32_t>(ReadU32LE(b, 22));
  uint32_t bits = ReadU16LE(b, 28);
  char line[PROBEX_TEXT_BYTES];
  FormatText(line, sizeof line, "Windows %uBit %dx%d %s", bits == 0 ? 32 : bits, width, height,
             ReadU32LE(b, 30) != 0 ? "RLE" : "RAW");
  AddVideoText(info, line);
}

void AnalyzeGif(MediaInfo& info, FileReader& reader) {
  uint8_t b[kHeadBytes] = {};
  reader.Read(b, sizeof b);
  reader.Close();
  char line[PROBEX_TEXT_BYTES];
  FormatText(line, sizeof line, "GIF%c%c%c %ux%u", b[3], b[4], b[5], ReadU16LE(b, 6), ReadU16LE(b, 8));
  AddVideoText(info, line);
}

void AnalyzeJpeg(MediaInfo& info, FileReader& reader) {
  uint8_t head[16] = {};
  reader.Read(head, sizeof head, false);
  bool jfif = EqualNoCase(head + 6, "JFIF", 4);
  bool exif = EqualNoCase(head + 6, "Exif", 4);
  if (!jfif && !exif) {
    SetErrorText(info, msg::kJpegNotJfifExif);
    return;
  }
  uint8_t window[kJpegWindow] = {};  // bytes past the file read as zero
  reader.Read(window, kJpegWindow, false);
  if (jfif)
    DescribeJfif(info, window, reader);
  else
    DescribeExif(info, window, kJpegWindow);
  reader.Close();
}

}  // namespace probex
