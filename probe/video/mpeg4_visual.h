// MPEG-4 Visual (ISO/IEC 14496-2) decoder configuration: the profile and
// level of the visual object sequence and the pixel aspect ratio of the first
// video object layer, as containers show them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace probex {

inline constexpr size_t kMpeg4ProfileTextBytes = 256;
inline constexpr size_t kMpeg4AspectTextBytes = 32;

// profile_and_level_indication to "Simple@L1", "Adv Simple@L5" ...;
// "UnknownProfile(%d)" otherwise.
void Mpeg4ProfileLevelText(char* out, size_t size, uint32_t code);
// aspect_ratio_info to "1:1", "12:11", "10:11", "16:11", "40:33", "reserved".
void Mpeg4AspectText(char* out, size_t size, uint32_t code);

// Scans length bytes of decoder-specific information (the configuration in
// an esds descriptor, Matroska codec private data or the start of a raw
// stream) and writes the profile and aspect texts it finds; a text whose
// header is absent is left as it was. Never reads past length; ends after
// the first video object layer header.
void ParseMpeg4VisualConfig(const uint8_t* bytes, size_t length, char* profileText, size_t profileSize,
                            char* aspectText, size_t aspectSize);

// Encoder names from the user data of MPEG-4 Visual streams.
// Search one video frame for DivX or XviD encoder user data; on a find write
// the CODECS.INI ("AVI-DIVX" / "AVI-XVID") label, or a label built from the
// found text, into codec and return true. false leaves codec unchanged.
bool FindDivxCodecName(char* codec, size_t size, const uint8_t* frame, size_t length);

bool FindXvidCodecName(char* codec, size_t size, const uint8_t* frame, size_t length);

// The search AVI, OGM and Matroska run on a first frame: DivX user data when
// codec is a "DivX 5" label, then XviD's when it is (or became) an "XviD"
// label. true when either was found.
bool RefineMpeg4VisualName(char* codec, size_t size, const uint8_t* frame, size_t length);

}  // namespace probex
