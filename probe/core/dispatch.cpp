#include "dispatch.h"

#include "../audio/aac.h"
#include "../audio/ac3.h"
#include "../audio/default_analyzer.h"
#include "../audio/dts.h"
#include "../audio/mpeg_audio.h"
#include "../audio/shockwave_audio.h"
#include "../containers/matroska.h"
#include "../containers/mp4.h"
#include "../audio/flac.h"
#include "../audio/midi.h"
#include "../audio/monkeys_audio.h"
#include "../audio/musepack.h"
#include "../audio/optimfrog.h"
#include "../audio/s98.h"
#include "../audio/sun_audio.h"
#include "../audio/tta.h"
#include "../audio/twinvq.h"
#include "../audio/wavpack.h"
#include "../containers/asf.h"
#include "../containers/flash_video.h"
#include "../containers/ogg.h"
#include "../containers/realmedia.h"
#include "../containers/riff.h"
#include "../video/mpeg_ps.h"
#include "../video/mpeg_ts.h"
#include "../video/still_image.h"
#include "probex_formats.h"
#include "media_info.h"
#include "messages.h"

namespace probex {

namespace {

using namespace format;

void ReportUnopenable(MediaInfo& info) { SetErrorText(info, msg::kOpenFailed); }

// FormatIds whose analyzers have not been written yet are absent and reach
// the default analyzer.
constexpr AnalyzerEntry kAnalyzers[] = {
    {kUnknown, AnalyzeDefault},
    {kUnopenable, ReportUnopenable},
    {kBmp, AnalyzeBmp},
    {kJpeg, AnalyzeJpeg},
    {kGif, AnalyzeGif},
    {kMpeg1, AnalyzeMpeg1},
    {kMpeg2Ps, AnalyzeMpeg2},
    {kMpeg2Ts, AnalyzeMpegTs},
    {kMpegAudio, AnalyzeMpegAudio},
    {kAc3, AnalyzeAc3},
    {kAac, AnalyzeAac},
    {kDts14Le, AnalyzeDts},
    {kDts14Be, AnalyzeDts},
    {kDts16Le, AnalyzeDts},
    {kDts16Be, AnalyzeDts},
    {kShockwaveAudio, AnalyzeShockwaveAudio},
    {kQuickTime, AnalyzeMp4},
    {kMp4, AnalyzeMp4},
    {kMatroska, AnalyzeMatroska},
    {kMidi, AnalyzeMidi},
    {kSunAudio, AnalyzeSunAudio},
    {kMonkeysAudio, AnalyzeMonkeysAudio},
    {kMusePack, AnalyzeMusePack},
    {kFlac, AnalyzeFlac},
    {kTta, AnalyzeTta},
    {kWavPack, AnalyzeWavPack},
    {kOptimFrog, AnalyzeOptimFrog},
    {kTwinVq, AnalyzeTwinVq},
    {kS98, AnalyzeS98},
    {kAvi, AnalyzeRiff},
    {kCdxa, AnalyzeRiff},
    {kWave, AnalyzeRiff},
    {kRmid, AnalyzeRiff},
    {kAiff, AnalyzeRiff},
    {kCdda, AnalyzeRiff},
    {kRmp3, AnalyzeRiff},
    {kQlcm, AnalyzeRiff},
    {kOggOther, AnalyzeOgg},
    {kOggVorbis, AnalyzeOgg},
    {kOggSpeex, AnalyzeOgg},
    {kOggFlac, AnalyzeOgg},
    {kFlashVideo, AnalyzeFlashVideo},
    {kAsfVideo, AnalyzeAsf},
    {kAsfAudio, AnalyzeAsf},
    {kRealMedia, AnalyzeRealMedia},
    {kRealAudio, AnalyzeRealAudio},
};

}  // namespace

const AnalyzerEntry* AnalyzerTable(size_t& count) {
  count = sizeof kAnalyzers / sizeof kAnalyzers[0];
  return kAnalyzers;
}

void Dispatch(MediaInfo& info) {
  for (const AnalyzerEntry& entry : kAnalyzers) {
    if (entry.formatId == info.formatId) {
      entry.analyze(info);
      return;
    }
  }
  AnalyzeDefault(info);
}

void RunGuarded(MediaInfo& info, Analyzer analyze) {
  try {
    analyze(info);
  } catch (...) {
    SetErrorFormat(info, msg::kException, info.formatId);
  }
}

}  // namespace probex
