#include "dispatch.h"

#include "../audio/default_analyzer.h"
#include "../video/still_image.h"
#include "format_id.h"
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
