// What detection answers when nothing else does.
#include "../audio/default_analyzer.h"
#include "probex_formats.h"
#include "registry.h"

namespace probex {

namespace {

// Unopenable files never reach an analyzer: the dispatcher reports them.
constexpr FormatRecord kRecords[] = {
    {format::kUnknown, "Unknown", "", 0, nullptr, AnalyzeDefault, false},
    {format::kUnopenable, "Unopenable", "", 0, nullptr, nullptr, false},
};

}  // namespace

std::span<const FormatRecord> FallbackFormats() { return kRecords; }

}  // namespace probex
