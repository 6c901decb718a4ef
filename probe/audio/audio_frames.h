// Bare audio frames inside a container's payload (a first block, a first
// sample, the data chunk's head): the first sync word of the family whose
// header parses, described by the family's own line.
#pragma once

#include <cstddef>
#include <cstdint>

namespace probex {

enum class AudioFrames { kMpegAudio, kAc3, kDts };

// false when no sync word in bytes starts a header that parses.
bool DescribeAudioFrames(AudioFrames family, const uint8_t* bytes, size_t length, char* out, size_t size);

// The parts of the search, for walks that bound it themselves: the next
// sync word from from (-1 for none), and the line of the header at bytes.
int64_t FindAudioFrameSync(AudioFrames family, const uint8_t* bytes, size_t length, size_t from);
bool DescribeAudioFrame(AudioFrames family, const uint8_t* bytes, size_t length, char* out, size_t size);

// The family whose frames a WAVE format tag's payload may hold (PCM may be
// DTS in disguise); false for the tags whose payload is not looked into.
bool WaveTagFrames(uint32_t formatTag, AudioFrames& family);

}  // namespace probex
