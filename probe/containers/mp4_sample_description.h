// The first sample description of an MP4/QuickTime track (stsd): the codec
// name from CODECS.INI, picture or sound parameters, and the esds (MPEG-4
// elementary stream descriptor) and avcC (AVC configuration) boxes inside it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace probex {

class FileReader;
struct Mp4Track;

enum Mp4TrackKind { kMp4Video = 0, kMp4Audio = 1 };

// stsd: the whole box as loaded, header included, size bytes. kind 0 video,
// 1 audio; other kinds do nothing. reader may be null (no sample data is
// read then), otherwise the track's first sample may be probed.
void ParseMp4SampleDescription(const uint8_t* stsd, size_t size, int kind, Mp4Track& track,
                               FileReader* reader);
// payload: the bytes of an esds box after its 8-byte header; size bytes.
void ParseEsds(const uint8_t* payload, size_t size, int kind, Mp4Track& track, FileReader* reader);
// payload: the bytes of an avcC box after its header.
void ParseAvcC(const uint8_t* payload, size_t size, Mp4Track& track);
// HEVC from its decoder configuration record; leaves the track alone when malformed.
void ParseHvcC(const uint8_t* payload, size_t size, Mp4Track& track);
// The four-character codec key at stsd offset 20: upper case, NUL bytes as
// blanks unless it starts with "MS" (whose bytes 2-3 are a WAVE format tag).
void Mp4CodecKey(const uint8_t* stsd, size_t size, char (&key)[5]);

}  // namespace probex
