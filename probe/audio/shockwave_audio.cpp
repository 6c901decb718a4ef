#include "shockwave_audio.h"

#include <vector>

#include "../core/bits.h"
#include "../core/file_reader.h"
#include "../core/media_info.h"
#include "../core/messages.h"
#include "../core/text.h"
#include "mpeg_audio.h"

namespace probex {

namespace {

constexpr size_t kSyncWindow = 2048;
constexpr char kFormatName[] = "Shockwave Audio";

}  // namespace

void AnalyzeShockwaveAudio(MediaInfo& media, FileReader& reader) {
  SetFormatName(media, kFormatName);

  uint8_t lengthBytes[4] = {};
  reader.Read(lengthBytes, sizeof lengthBytes);
  uint64_t audioStart = uint64_t{ReadU32BE(lengthBytes)} + 4;
  reader.Seek(static_cast<int64_t>(audioStart), 0);

  MpegAudioInfo info{};
  info.tags.searchEnd = true;
  FindTags(reader, info.tags);
  if (info.tags.hasId3v2) audioStart = info.tags.id3v2Offset + info.tags.id3v2Size;
  reader.Seek(static_cast<int64_t>(audioStart), 0);

  std::vector<uint8_t> window(kSyncWindow, 0);
  size_t got = reader.Read(window.data(), window.size(), false);
  int64_t offset = FindMpegAudioSync(window.data(), got, 0);
  if (offset < 0) {
    SetErrorText(media, msg::kSwaNoHeader);
    return;
  }
  info.firstFrameOffset = static_cast<uint32_t>(offset);
  info.computeDuration = true;
  info.streamSize = media.fileSize;

  // AnalyzeMpegAudioStream seeks past ID3v2 tags itself; without any it
  // starts where the header ends.
  reader.Seek(static_cast<int64_t>(info.tags.hasId3v2 ? info.tags.id3v2Offset : audioStart), 0);
  if (!AnalyzeMpegAudioStream(info, reader)) {
    SetErrorText(media, msg::kSwaBadHeader);
    return;
  }
  AddMpegAudioDescription(media, info);
}

}  // namespace probex
