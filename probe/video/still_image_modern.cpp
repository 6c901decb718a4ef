#include "still_image_modern.h"

#include <cstring>
#include <vector>

#include "bits.h"
#include "file_reader.h"
#include "media_info.h"
#include "messages.h"
#include "hdr_metadata.h"
#include "vp9.h"

namespace probex {

namespace {

constexpr uint32_t kMaxChunks = 4096;

bool Is(const uint8_t* type, const char* name) { return std::memcmp(type, name, 4) == 0; }

bool WebpImageChunk(const uint8_t* type, const uint8_t* body, size_t size, WebpInfo& info) {
  if (Is(type, "VP8 ")) {
    Vp8VideoInfo vp8;
    if (!ParseVp8KeyFrame(body, size, vp8)) return false;
    info.width = vp8.width;
    info.height = vp8.height;
    info.lossless = false;
    return true;
  }
  if (Is(type, "VP8L")) {
    if (size < 5 || body[0] != 0x2F) return false;
    uint32_t bits = ReadU32LE(body + 1);  // LSB first: width-1, height-1, alpha, version
    info.width = (bits & 0x3FFF) + 1;
    info.height = (bits >> 14 & 0x3FFF) + 1;
    info.alpha = info.alpha || (bits >> 28 & 1);
    info.lossless = true;
    return (bits >> 29) == 0;
  }
  return false;
}

}  // namespace

bool ParsePng(const uint8_t* data, size_t size, PngInfo& out) {
  static const uint8_t kSignature[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  if (data == nullptr || size < 33 || std::memcmp(data, kSignature, 8) != 0) return false;
  if (ReadU32BE(data + 8) != 13 || !Is(data + 12, "IHDR")) return false;
  PngInfo info;
  info.width = ReadU32BE(data + 16);
  info.height = ReadU32BE(data + 20);
  info.bitDepth = data[24];
  info.colorType = data[25];
  info.interlaced = data[28] == 1;
  if (info.width == 0 || info.height == 0 || info.width > 0x7FFFFFFF || info.height > 0x7FFFFFFF) return false;
  bool depthOk =
      info.bitDepth == 1 || info.bitDepth == 2 || info.bitDepth == 4 || info.bitDepth == 8 || info.bitDepth == 16;
  if (!depthOk || info.colorType == 1 || info.colorType == 5 || info.colorType > 6) return false;
  size_t at = 33;
  for (uint32_t n = 0; n < kMaxChunks && size - at >= 12; ++n) {
    uint32_t length = ReadU32BE(data + at);
    const uint8_t* type = data + at + 4;
    if (length > 0x7FFFFFFF || Is(type, "IDAT")) break;
    if (Is(type, "acTL") && length >= 8 && size - at - 8 >= 8) {
      info.animated = true;
      info.frames = ReadU32BE(data + at + 8);
      info.plays = ReadU32BE(data + at + 12);
    } else if (Is(type, "tRNS")) {
      info.transparency = true;
    }
    if (length > size - at - 12) break;
    at += 12 + length;
  }
  out = info;
  return true;
}

const char* PngColorTypeName(uint8_t colorType) {
  switch (colorType) {
    case 0:
      return "Greyscale";
    case 2:
      return "RGB";
    case 3:
      return "Indexed";
    case 4:
      return "Greyscale+Alpha";
    case 6:
      return "RGBA";
    default:
      return "Unknown";
  }
}

uint32_t PngBitsPerPixel(const PngInfo& info) {
  static const uint8_t kSamples[] = {1, 0, 3, 1, 2, 0, 4};
  return info.colorType <= 6 ? kSamples[info.colorType] * uint32_t{info.bitDepth} : 0;
}

std::string PngText(const PngInfo& info) {
  std::string text = LineF("%s %ux%u %uBit %s", info.animated ? "APNG" : "PNG", info.width, info.height,
                           PngBitsPerPixel(info), PngColorTypeName(info.colorType));
  if (info.animated) text += LineF(" %uframes", info.frames);
  if (info.interlaced) text += " Interlaced";
  return text;
}

bool ParseWebp(const uint8_t* data, size_t size, WebpInfo& out) {
  if (data == nullptr || size < 20 || !Is(data, "RIFF") || !Is(data + 8, "WEBP")) return false;
  WebpInfo info;
  size_t at = 12;
  bool sized = false;
  for (uint32_t n = 0; n < kMaxChunks && size - at >= 8; ++n) {
    const uint8_t* type = data + at;
    uint32_t length = ReadU32LE(data + at + 4);
    size_t available = size - at - 8;
    const uint8_t* body = data + at + 8;
    size_t bodySize = length < available ? length : available;
    if (n == 0) {
      if (Is(type, "VP8X")) {
        if (bodySize < 10) return false;
        info.extended = true;
        info.alpha = (body[0] & 0x10) != 0;
        info.animated = (body[0] & 0x02) != 0;
        info.width = ReadU24LE(body + 4) + 1;
        info.height = ReadU24LE(body + 7) + 1;
        info.frames = 0;
        sized = true;
      } else if (WebpImageChunk(type, body, bodySize, info)) {
        sized = true;
      } else {
        return false;
      }
    } else if (Is(type, "ANIM") && bodySize >= 6) {
      info.loops = static_cast<uint16_t>(body[4] | body[5] << 8);
    } else if (Is(type, "ANMF")) {
      ++info.frames;
      // The first frame's image tells lossy from lossless.
      if (info.frames == 1 && bodySize >= 24) {
        uint32_t canvasWidth = info.width, canvasHeight = info.height;
        WebpImageChunk(body + 16, body + 24, bodySize - 24, info);
        info.width = canvasWidth;
        info.height = canvasHeight;
      }
    } else if (info.extended && !info.animated && (Is(type, "VP8 ") || Is(type, "VP8L"))) {
      uint32_t canvasWidth = info.width, canvasHeight = info.height;
      WebpImageChunk(type, body, bodySize, info);
      info.width = canvasWidth;
      info.height = canvasHeight;
      info.frames = 1;
    }
    if (length > available) break;
    at += 8 + length + (length & 1);
    if (at > size) break;
  }
  if (!sized) return false;
  if (info.frames == 0) info.frames = 1;
  out = info;
  return true;
}

std::string WebpText(const WebpInfo& info) {
  std::string text = LineF("WebP %ux%u %s", info.width, info.height, info.lossless ? "Lossless" : "Lossy");
  if (info.alpha) text += " Alpha";
  if (info.animated) text += LineF(" Animated %uframes", info.frames);
  return text;
}

namespace {

// PNG's IHDR and acTL come first; a WebP animation's frames are counted
// within this much of the file.
constexpr size_t kPngHead = 64 * 1024;
constexpr size_t kWebpHead = 1024 * 1024;

std::vector<uint8_t> ReadHead(FileReader& reader, size_t limit) {
  std::vector<uint8_t> head(reader.Size() < limit ? static_cast<size_t>(reader.Size()) : limit);
  head.resize(reader.Read(head.data(), head.size(), false));
  reader.Close();
  return head;
}

}  // namespace

void AnalyzePng(MediaInfo& info, FileReader& reader) {
  std::vector<uint8_t> head = ReadHead(reader, kPngHead);
  PngInfo png;
  if (!ParsePng(head.data(), head.size(), png)) {
    SetErrorText(info, msg::kPngNoHeader);
    return;
  }
  AddVideoText(info, PngText(png).c_str());
}

void AnalyzeWebp(MediaInfo& info, FileReader& reader) {
  std::vector<uint8_t> head = ReadHead(reader, kWebpHead);
  WebpInfo webp;
  if (!ParseWebp(head.data(), head.size(), webp)) {
    SetErrorText(info, msg::kWebpNoImage);
    return;
  }
  AddVideoText(info, WebpText(webp).c_str());
}

}  // namespace probex
