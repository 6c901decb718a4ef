// PNG (with APNG's acTL) and WebP (VP8, VP8L, VP8X with ANIM/ANMF) from the
// head of the file: a chunk walk inside the bytes given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "probex.h"

namespace probex {

class FileReader;

struct PngInfo {
  uint32_t width = 0;
  uint32_t height = 0;
  uint8_t bitDepth = 0;   // per sample
  uint8_t colorType = 0;  // 0 grey, 2 RGB, 3 indexed, 4 grey+alpha, 6 RGBA
  bool interlaced = false;
  bool transparency = false;  // tRNS before the image data
  bool animated = false;      // acTL
  uint32_t frames = 1;
  uint32_t plays = 0;  // 0: endless
};

// From the signature on; the walk stops at the image data or the end of the
// bytes. false without the signature and a valid IHDR first.
bool ParsePng(const uint8_t* data, size_t size, PngInfo& out);
// "Greyscale", "RGB", "Indexed", "Greyscale+Alpha", "RGBA".
const char* PngColorTypeName(uint8_t colorType);
// Bits per pixel: samples x bit depth.
uint32_t PngBitsPerPixel(const PngInfo& info);
// "PNG 320x240 32Bit RGBA", "APNG 320x240 24Bit RGB 3frames", "... Interlaced"
std::string PngText(const PngInfo& info);

struct WebpInfo {
  uint32_t width = 0;
  uint32_t height = 0;
  bool lossless = false;  // VP8L image (first frame for animations)
  bool alpha = false;
  bool animated = false;
  uint32_t frames = 1;    // ANMF chunks in the bytes given
  uint16_t loops = 0;     // ANIM loop count, 0: endless
  bool extended = false;  // VP8X
};

// From "RIFF" on. false unless RIFF/WEBP with a VP8, VP8L or VP8X chunk first
// and a size from it.
bool ParseWebp(const uint8_t* data, size_t size, WebpInfo& out);
// "WebP 320x240 Lossy", "WebP 320x240 Lossless Alpha", "WebP 320x240 Lossy Animated 3frames"
std::string WebpText(const WebpInfo& info);

// FormatIds kPng and kWebp: one video line from the head of the file.
void AnalyzePng(MediaInfo& info, FileReader& reader);
void AnalyzeWebp(MediaInfo& info, FileReader& reader);

}  // namespace probex
