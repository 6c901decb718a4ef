// AVC/H.264 (ISO/IEC 14496-10) sequence parameter sets: picture size after
// cropping, bit depth, profile and level, sample aspect, interlacing, frame
// rate and the HRD bit rate, and the video line.
#pragma once

#include <cstddef>
#include <cstdint>

namespace probex {

class BitText;

// One stream; zero-fill before use.
struct AvcVideoInfo {
  int32_t width;   // luma, after cropping
  int32_t height;
  uint8_t bitDepth;  // 8 unless the profile carries bit_depth_luma_minus8
  char codec[32];    // "AVC/H.264" once parsed
  char profile[40];  // "High@4.1"
  char aspect[32];   // sample aspect text
  bool interlaced;   // frame_mbs_only_flag 0
  double frameRate;  // from the VUI timing, 0 when absent
  int32_t frameCount;  // left to the container that owns the record
  double bitRate;      // bit/s from the first NAL HRD entry, 0 when absent
};

// Exp-Golomb codes. A code with more than 31 leading zeros, or one cut by the
// end of the bits, yields 0 and leaves the bits exhausted.
uint32_t ReadUe(BitText& bits);
int32_t ReadSe(BitText& bits);

// bytes: at the NAL header byte of a sequence parameter set, length bytes
// (the parse stops before a following start code). Emulation-prevention
// bytes are removed first. Fields the bytes do not reach stay as they were.
void ParseAvcSps(const uint8_t* bytes, size_t length, AvcVideoInfo& info);
// First NAL unit of type 7 after a 00 00 01 prefix: parsed, true; false when
// there is none.
bool FindAvcSps(const uint8_t* bytes, size_t length, AvcVideoInfo& info);
// An AVCDecoderConfigurationRecord (MP4 avcC, Matroska V_MPEG4/ISO/AVC):
// the first sequence parameter set it holds. false when it holds none.
bool ParseAvcDecoderConfig(const uint8_t* bytes, size_t length, AvcVideoInfo& info);

// "%s@%s" of the profile name and the level: "High@4.1".
void AvcProfileLevelText(char* out, size_t size, uint32_t profileIdc, uint32_t levelIdc);
// aspect_ratio_idc 0..13 to "Unspecified", "1:1" ... "160:99"; "Unknown(%d)".
void AvcAspectText(char* out, size_t size, uint32_t aspectRatioIdc);

// The line from section "AVC", key "VIDEO".
void FormatAvcVideoText(char* out, size_t size, const AvcVideoInfo& info);

}  // namespace probex
