#include "auto_rename.h"

#include <cstring>

#include "platform/file_ops.h"
#include "probex.h"
#include "probex_formats.h"
#include "app/probex_binding.h"

namespace vortaq {

namespace {

struct FormatExtension {
  int first, last;
  const char* extension;
};

using namespace probex::format;

constexpr FormatExtension kExtensions[] = {
    {kAvi, kAvi, ".avi"},           {kMpeg1, kMpeg1, ".mpg"},
    {kCdxa, kCdxa, ".dat"},         {kOggOther, kOggOther, ".ogm"},
    {kMpeg2Ps, kMpeg2Ps, ".mpg"},   {kMpeg2Ts, kMpeg2Ts, ".ts"},
    {kAsfVideo, kAsfVideo, ".wmv"}, {kRealMedia, kRealMedia, ".rm"},
    {kQuickTime, kQuickTime, ".qt"}, {kMp4, kMp4, ".mp4"},
    {kMatroska, kMatroska, ".mkv"}, {kFlashVideo, kFlashVideo, ".flv"},
    {kBmp, kBmp, ".bmp"},           {kJpeg, kJpeg, ".jpg"},
    {kGif, kGif, ".gif"},           {kWave, kWave, ".wav"},
    {kMidi, kMidi, ".mid"},         {kRmid, kRmid, ".rmi"},
    {kSunAudio, kSunAudio, ".au"},  {kAiff, kAiff, ".aiff"},
    {kMpegAudio, kMpegAudio, ".mp3"}, {kCdda, kCdda, ".cda"},
    {kRmp3, kRmp3, ".rmp"},         {kOggVorbis, kOggVorbis, ".ogg"},
    {kOggSpeex, kOggSpeex, ".spx"}, {kAsfAudio, kAsfAudio, ".wma"},
    {kAc3, kAc3, ".ac3"},           {kMonkeysAudio, kMonkeysAudio, ".ape"},
    {kMusePack, kMusePack, ".mpc"}, {kFlac, kFlac, ".flac"},
    {kAac, kAac, ".aac"},           {kRealAudio, kRealAudio, ".ra"},
    {kTta, kTta, ".tta"},           {kDts14Le, kDts16Be, ".dts"},
    {kWavPack, kWavPack, ".wv"},    {kOptimFrog, kOptimFrog, ".ofr"},
    {kTwinVq, kTwinVq, ".vqf"},     {kShockwaveAudio, kShockwaveAudio, ".swa"},
    {kPng, kPng, ".png"},           {kWebp, kWebp, ".webp"},
    {kCaf, kCaf, ".caf"},
};
}  // namespace

QString ExtensionForFormat(int formatId) {
  for (const FormatExtension& e : kExtensions)
    if (e.first <= formatId && formatId <= e.last) return QString::fromLatin1(e.extension);
  return QString();
}

QString RenameTarget(const QString& path, int formatId) {
  const QString extension = ExtensionForFormat(formatId);
  if (extension.isEmpty()) return QString();
  const qsizetype nameStart = path.lastIndexOf(QLatin1Char('/')) + 1;
  const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
  // A leading dot marks a hidden file, not an extension.
  const QString target =
      (dot > nameStart ? path.left(dot) : path) + extension;
  if (target.toUpper() == path.toUpper()) return QString();
  return target;
}

void AutoRename(MediaInfo* info) {
  const QString path = PathOfRecord(*info);
  const QString target = RenameTarget(path, info->formatId);
  if (target.isEmpty() || !FitsRecord(target)) return;
  if (!RenameNoReplace(path, target)) return;
  StorePath(info, target);
}

}  // namespace vortaq
