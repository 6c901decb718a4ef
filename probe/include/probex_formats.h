// FormatId: what detection recognised; selects the analyzer. Public: the
// player names these too.
#pragma once

#include <cstdint>

namespace probex::format {

inline constexpr int32_t kUnknown = 1;
inline constexpr int32_t kUnopenable = 2;
inline constexpr int32_t kAvi = 12;
inline constexpr int32_t kMpeg1 = 13;
inline constexpr int32_t kCdxa = 14;
inline constexpr int32_t kOggOther = 15;
inline constexpr int32_t kMpeg2Ps = 16;
inline constexpr int32_t kMpeg2Ts = 17;
inline constexpr int32_t kAsfVideo = 18;
inline constexpr int32_t kRealMedia = 19;
inline constexpr int32_t kQuickTime = 20;
inline constexpr int32_t kMp4 = 21;
inline constexpr int32_t kMatroska = 25;
inline constexpr int32_t kFlashVideo = 26;
inline constexpr int32_t kBmp = 51;
inline constexpr int32_t kJpeg = 52;
inline constexpr int32_t kGif = 53;
inline constexpr int32_t kWave = 101;
inline constexpr int32_t kMidi = 102;
inline constexpr int32_t kRmid = 103;
inline constexpr int32_t kSunAudio = 104;
inline constexpr int32_t kAiff = 105;
inline constexpr int32_t kMpegAudio = 106;
inline constexpr int32_t kCdda = 107;
inline constexpr int32_t kRmp3 = 108;
inline constexpr int32_t kOggVorbis = 109;
inline constexpr int32_t kOggSpeex = 110;
inline constexpr int32_t kOggFlac = 111;
inline constexpr int32_t kAsfAudio = 112;
inline constexpr int32_t kAc3 = 113;
inline constexpr int32_t kMonkeysAudio = 114;
inline constexpr int32_t kMusePack = 115;
inline constexpr int32_t kFlac = 116;
inline constexpr int32_t kAac = 117;
inline constexpr int32_t kRealAudio = 118;
inline constexpr int32_t kTta = 119;
inline constexpr int32_t kDts14Le = 120;
inline constexpr int32_t kDts14Be = 121;
inline constexpr int32_t kDts16Le = 122;
inline constexpr int32_t kDts16Be = 123;
inline constexpr int32_t kWavPack = 124;
inline constexpr int32_t kOptimFrog = 125;
inline constexpr int32_t kTwinVq = 126;
inline constexpr int32_t kShockwaveAudio = 127;
inline constexpr int32_t kQlcm = 128;
inline constexpr int32_t kS98 = 129;
// Formats of today's files, after the first set.
inline constexpr int32_t kPng = 130;
inline constexpr int32_t kWebp = 131;
inline constexpr int32_t kCaf = 132;
inline constexpr int32_t kPlaylistVrtql = 301;
inline constexpr int32_t kPlaylistPls = 302;
inline constexpr int32_t kPlaylistLst = 303;
inline constexpr int32_t kPlaylistZpl = 304;
inline constexpr int32_t kPlaylistBsl = 305;
inline constexpr int32_t kPlaylistM3u = 306;
inline constexpr int32_t kPlaylistM3u8 = 307;

}  // namespace probex::format
