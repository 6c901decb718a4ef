#include "audio_line.h"

#include "templates.h"
#include "text.h"

namespace probex {

namespace {

void FillAudioLine(char* out, size_t size, Description& d, const AudioStream& info, bool withCodec) {
  if (withCodec) d.SetText("#codec#", info.codec);
  d.Set("#sampleratek#", "%.2f", info.sampleRate * 0.001);
  d.Set("#samplerate#", "%lld", WholeNumber(info.sampleRate));
  d.Set("#bitdepth#", "%d", info.bitDepth);
  d.Set("#channel#", "%d", info.channels);
  d.Set("#bitratek#", "%.2f", info.bitRate * 0.001);
  d.Set("#bitrate#", "%.2f", info.bitRate);
  CopyText(out, size, d.Text());
}

}  // namespace

void FormatAudioLine(char* out, size_t size, const char* section, const char* key, const AudioStream& info) {
  Description d(section, key);
  FillAudioLine(out, size, d, info, true);
}

void FormatRiffAudioText(char* out, size_t size, const AudioStream& info) {
  FormatAudioLine(out, size, "RIFF", "AUDIO", info);
}

// AIFF carries no codec: a #codec# in its template stays as written.
void FormatAiffText(char* out, size_t size, const AudioStream& info) {
  Description d("AIFF", "AUDIO");
  FillAudioLine(out, size, d, info, false);
}

void FormatPureVoiceText(char* out, size_t size, const AudioStream& info) {
  FormatAudioLine(out, size, "PUREVOICE", "AUDIO", info);
}

}  // namespace probex
