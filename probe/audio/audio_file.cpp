#include "audio_file.h"

#include "../core/file_reader.h"
#include "../core/media_info.h"
#include "../core/messages.h"
#include "../core/templates.h"
#include "../core/text.h"
#include "tags.h"

namespace probex {

double SafeDivide(double a, double b) { return b > 0 ? a / b : 0.0; }

uint64_t SubtractOrZero(uint64_t a, uint64_t b) { return a > b ? a - b : 0; }

void SetSampleRate(Description& d, uint32_t rate) {
  d.Set("#sampleratek#", "%.2f", rate * 0.001);
  d.Set("#samplerate#", "%u", rate);
}

void SetBitrate(Description& d, double bitrate) {
  d.Set("#bitratek#", "%.2f", bitrate * 0.001);
  d.Set("#bitrate#", "%.2f", bitrate);
}

void SetCommonAudio(Description& d, double sampleRate, double bitRate, int channels) {
  d.Set("#sampleratek#", "%.2f", sampleRate * 0.001);
  d.Set("#samplerate#", "%lld", WholeNumber(sampleRate));
  // Xiph headers leave the rate of a VBR stream out, and a chained Ogg has
  // none of its own: no rate, no unit.
  d.SetKnown("#bitratek#", "%.2f", bitRate * 0.001);
  d.SetKnown("#bitrate#", "%.2f", bitRate);
  d.Set("#channel#", "%d", channels);
}

void AddTagText(MediaInfo& info, const TagInfo& tags) {
  char text[PROBEX_TEXT_BYTES];
  DescribeTags(text, sizeof text, tags);
  if (text[0]) AddExtraText(info, text);
}

void SkipLeadingId3v2(FileReader& reader, const TagInfo& tags) {
  if (tags.hasId3v2) reader.Seek(static_cast<int64_t>(tags.id3v2Offset + tags.id3v2Size), 0);
}

bool MakeCorrectionPath(const char16_t* path, const char* extension, char16_t (&out)[PROBEX_PATH_UNITS]) {
  size_t length = Utf16Length(path, PROBEX_PATH_UNITS);
  if (length >= PROBEX_PATH_UNITS) return false;
  // Only a dot inside the file name starts its extension.
  size_t cut = length;
  for (size_t i = length; i > 0; --i) {
    char16_t c = path[i - 1];
    if (c == u'/' || c == u'\\') break;
    if (c == u'.') {
      cut = i - 1;
      break;
    }
  }
  size_t extra = 0;
  while (extension[extra]) ++extra;
  if (cut + extra >= PROBEX_PATH_UNITS) return false;
  for (size_t i = 0; i < cut; ++i) out[i] = path[i];
  for (size_t i = 0; i < extra; ++i) out[cut + i] = static_cast<char16_t>(extension[i]);
  out[cut + extra] = u'\0';
  return true;
}

bool FileExists(const char16_t* path) {
  FileReader reader;
  return path[0] != u'\0' && reader.Open(path);
}

}  // namespace probex
