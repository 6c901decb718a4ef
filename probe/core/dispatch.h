// The one table from FormatId to analyzer.
#pragma once

#include <cstddef>
#include <cstdint>

#include "probex.h"

namespace probex {

using Analyzer = void (*)(MediaInfo&);

struct AnalyzerEntry {
  int32_t formatId;
  Analyzer analyze;
};

// Every FormatId with an analyzer of its own (1 and 2 included).
const AnalyzerEntry* AnalyzerTable(size_t& count);

// Runs the analyzer for info.formatId: the default analyzer for a FormatId
// without one. Exceptions pass through.
void Dispatch(MediaInfo& info);

// Runs analyze; an exception becomes "[Exception] 例外終了(formatId)".
void RunGuarded(MediaInfo& info, Analyzer analyze);

}  // namespace probex
