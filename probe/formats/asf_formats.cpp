// Windows Media: video or audio only, as the header's streams say.
#include "../containers/asf.h"
#include "../core/file_reader.h"
#include "probex_formats.h"
#include "registry.h"

namespace probex {

namespace {

int32_t Asf(const SignatureBlock& b, const char16_t* path) {
  if (!BytesAt(b, 0, {0x30, 0x26, 0xB2, 0x75})) return 0;
  FileReader reader;
  if (!reader.Open(path)) return format::kUnopenable;
  return ScanAsfStreams(reader);
}

constexpr FormatRecord kRecords[] = {
    {format::kAsfVideo, "ASF video", "", 120, Asf, AnalyzeAsf, false},
    {format::kAsfAudio, "ASF audio", "", 120, Asf, AnalyzeAsf, false},
};

}  // namespace

std::span<const FormatRecord> AsfFormats() { return kRecords; }

}  // namespace probex
