// MPEG program and transport streams.
#include "../video/mpeg_ps.h"
#include "../video/mpeg_ts.h"
#include "probex_formats.h"
#include "registry.h"

namespace probex {

namespace {

// A pack header decides alone: its version bits name MPEG-1 or MPEG-2, any
// other value is no stream we know.
int32_t Pack(const SignatureBlock& b, const char16_t*) {
  if (!BytesAt(b, 0, {0x00, 0x00, 0x01, 0xBA})) return 0;
  switch (b[4] >> 6) {
    case 0: return format::kMpeg1;
    case 1: return format::kMpeg2Ps;
    default: return format::kUnknown;
  }
}

// Two sync bytes a packet apart, in 188-byte packets or in 192-byte ones
// with a time stamp before each.
int32_t Transport(const SignatureBlock& b, const char16_t*) {
  return (b[0] == 0x47 && b[188] == 0x47) || (b[4] == 0x47 && b[196] == 0x47) ? format::kMpeg2Ts : 0;
}

constexpr FormatRecord kRecords[] = {
    {format::kMpeg1, "MPEG-1", ".mpeg .m1v .mpg", 60, Pack, AnalyzeMpeg1, false},
    {format::kMpeg2Ps, "MPEG-2 PS", ".m2v .vob", 60, Pack, AnalyzeMpeg2, false},
    // ".ts" whole: ".tsx" is no stream.
    {format::kMpeg2Ts, "MPEG-2 TS", ".m2t .ts$", 340, Transport, AnalyzeMpegTs, false},
};

}  // namespace

std::span<const FormatRecord> MpegSystemFormats() { return kRecords; }

}  // namespace probex
