// Colour signalling and HDR metadata shared by the video units: the colour
// description (H.273 code points) of an HEVC VUI, an AV1 colour config, a VP9
// record or Matroska's Colour element; SMPTE ST 2086 mastering display and
// content light level from SEI, MP4 `mdcv`/`clli` or Matroska
// MasteringMetadata; and the one short HDR tag the video line carries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "probex.h"

namespace probex {

struct ColourDescription {
  bool present = false;
  uint8_t primaries = 2;  // 2: unspecified
  uint8_t transfer = 2;
  uint8_t matrix = 2;
  bool fullRange = false;
};

// Chromaticities as CIE 1931 x/y, luminance in cd/m2.
struct MasteringDisplay {
  bool present = false;
  double redX = 0, redY = 0, greenX = 0, greenY = 0, blueX = 0, blueY = 0;
  double whiteX = 0, whiteY = 0;
  double maxLuminance = 0, minLuminance = 0;
};

struct ContentLightLevel {
  bool present = false;
  uint32_t maxCll = 0;   // cd/m2
  uint32_t maxFall = 0;  // cd/m2
};

// Everything known about one video stream's HDR form, gathered from the
// codec headers and the container.
struct HdrSignals {
  ColourDescription colour;
  MasteringDisplay mastering;
  ContentLightLevel light;
  bool hdr10Plus = false;     // ST 2094-40 seen
  char dolbyVision[40] = {};  // "DV 8.1 (HDR10)" when a record was seen
};

// The 24-byte ST 2086 payload (SEI 137, MP4 `mdcv`, AV1 metadata type 2 uses
// its own scaling, see av1.h): primaries in G, B, R order, 0.00002 units;
// luminance in 0.0001 cd/m2. false when short.
bool ParseMasteringDisplay(const uint8_t* data, size_t size, MasteringDisplay& out);
// The 4-byte MaxCLL/MaxFALL payload (SEI 144, MP4 `clli`). false when short.
bool ParseContentLightLevel(const uint8_t* data, size_t size, ContentLightLevel& out);
// The ITU-T T.35 payload from its country code on: true when it is ST 2094-40
// (HDR10+): country 0xB5, provider 0x003C, oriented code 0x0001, application 4.
bool IsHdr10PlusT35(const uint8_t* data, size_t size);

// Matroska's Colour element and its MasteringMetadata as the track parser
// reads them: -1 for an element that is absent.
struct MatroskaColour {
  int64_t matrix = -1;
  int64_t range = -1;  // 0 unspecified, 1 broadcast, 2 full, 3 from matrix/transfer
  int64_t transfer = -1;
  int64_t primaries = -1;
  int64_t maxCll = -1;
  int64_t maxFall = -1;
  double redX = -1, redY = -1, greenX = -1, greenY = -1, blueX = -1, blueY = -1;
  double whiteX = -1, whiteY = -1;
  double luminanceMax = -1, luminanceMin = -1;
};
// Fills what the element gives into hdr: the colour description when any of
// matrix, transfer or primaries is there (the others unspecified), mastering
// data when the primaries or the luminance are, light levels when either is.
void ApplyMatroskaColour(const MatroskaColour& colour, HdrSignals& hdr);

// "HDR10+", "HDR10", "PQ", "HLG", the Dolby Vision text, "BT.2020" for wide
// gamut without an HDR transfer, or "" for nothing of note. Dolby Vision
// comes first and HDR10+ is appended to it: "DV 8.1 (HDR10) HDR10+".
std::string HdrTag(const HdrSignals& hdr);
// A video line through the VIDEO template of section (HEVC, AV1): profile is
// "profile@Llevel@tier"; a frame rate or bit rate of 0 leaves its field out,
// and a line without an HDR tag ends at the chroma format.
void FormatHdrVideoLine(char* out, size_t size, const char* section, const std::string& profile, uint32_t width,
                        uint32_t height, unsigned bitDepth, const char* chroma, double frameRate, double bitRate,
                        const HdrSignals& hdr);

// H.273 names: "BT.709", "BT.2020", "PQ", "HLG", "BT.2020 non-constant"...;
// "Unknown(%d)" for code points without a name.
std::string ColourPrimariesName(uint32_t code);
std::string TransferName(uint32_t code);
std::string MatrixName(uint32_t code);

// Full-report lines: colour description, mastering display, MaxCLL/MaxFALL,
// HDR format. Appends to lines.
void HdrDetailLines(const HdrSignals& hdr, std::vector<std::string>& lines);

// The numbers behind a video line's HDR tag, on one line for the extra list
// of the full report: colour, mastering display, light levels. "" without a
// tag, or without mastering data or light levels to add.
std::string HdrSummary(const HdrSignals& hdr);
// HdrSummary as an extra entry of media, when there is one.
void AddHdrExtra(MediaInfo& media, const HdrSignals& hdr);

// printf into a string; lines of the reports.
std::string LineF(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace probex
