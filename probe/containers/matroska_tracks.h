// Matroska track descriptions: one line per track chosen by its CodecID,
// through the parsers of the codec's own family where there is one, and one
// summary line for chapters and subtitle tracks.
#pragma once

#include <cstddef>
#include <cstdint>

#include "../audio/audio_line.h"
#include "../video/video_line.h"
#include "probex.h"

namespace probex {

class FileReader;
struct MatroskaInfo;

// Lines for every track of info (read again from its TrackEntry) through the
// open reader, then the chapter and subtitle summary.
void DescribeMatroskaTracks(FileReader& reader, const MatroskaInfo& info, MediaInfo& media);

// Section "MATROSKA", keys "VIDEO" and "AUDIO" (no bit rate).
void FormatMatroskaVideoText(char* out, size_t size, const VideoStream& info);
void FormatMatroskaAudioText(char* out, size_t size, const AudioStream& info);

// Offsets of the packets of a Xiph-laced CodecPrivate (Vorbis, Theora):
// count byte, sizes as runs of 255, then the packets. false when the lacing
// does not fit in length.
bool XiphPacket(const uint8_t* bytes, size_t length, size_t index, size_t& offset, size_t& packetLength);

}  // namespace probex
