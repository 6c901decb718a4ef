// The plain audio line that containers without a codec unit of their own
// share: one stream description and its renderers over the templates.
#pragma once

#include <cstddef>
#include <cstdint>

namespace probex {

// One audio stream as the plain audio lines show it, whatever the container
// or codec; zero-fill before use.
struct AudioStream {
  char codec[256];
  double sampleRate;  // Hz
  uint16_t bitDepth;
  uint16_t channels;
  double bitRate;  // bit/s
};

// The template of (section, key) filled with #codec#, #sampleratek#,
// #samplerate#, #bitdepth#, #channel#, #bitratek#, #bitrate#, in that order:
// the audio line of RIFF, PureVoice, Flash Video, ASF and Matroska.
void FormatAudioLine(char* out, size_t size, const char* section, const char* key, const AudioStream& info);

// Section "RIFF" key "AUDIO"; "AIFF"/"AUDIO" (no codec); "PUREVOICE"/"AUDIO".
void FormatRiffAudioText(char* out, size_t size, const AudioStream& info);
void FormatAiffText(char* out, size_t size, const AudioStream& info);
void FormatPureVoiceText(char* out, size_t size, const AudioStream& info);

}  // namespace probex
