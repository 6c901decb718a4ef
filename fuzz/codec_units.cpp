#include "codec_units.h"

#include <cstring>

#include "audio/alac.h"
#include "audio/caf.h"
#include "audio/dts_hd.h"
#include "audio/eac3.h"
#include "audio/musepack_sv8.h"
#include "audio/rf64.h"
#include "audio/truehd.h"
#include "video/av1.h"
#include "video/dolby_vision.h"
#include "video/hdr_metadata.h"
#include "video/hevc.h"
#include "video/still_image_modern.h"
#include "video/vp9.h"

namespace probex::fuzz {

namespace {

std::string Join(const std::string& head, const std::vector<std::string>& lines) {
  std::string all = head;
  for (const std::string& line : lines) all += "\n" + line;
  return all;
}

template <typename Info, typename Parse, typename Text, typename Details>
std::string Video(const uint8_t* data, size_t size, Parse parse, Text text, Details details) {
  Info info;
  if (!parse(data, size, info)) return std::string();
  std::vector<std::string> lines;
  details(info, lines);
  return Join(text(info), lines);
}

std::string HevcRecord(const uint8_t* d, size_t n) {
  return Video<HevcVideoInfo>(d, n, ParseHevcDecoderConfig, HevcVideoText, HevcDetailLines);
}
std::string HevcStream(const uint8_t* d, size_t n) {
  return Video<HevcVideoInfo>(d, n, FindHevcHeaders, HevcVideoText, HevcDetailLines);
}
std::string HevcNal(const uint8_t* d, size_t n) {
  HevcVideoInfo info;
  ParseHevcSps(d, n, info);
  ParseHevcSei(d, n, info.hdr);
  return HevcVideoText(info);
}
std::string Av1Record(const uint8_t* d, size_t n) {
  return Video<Av1VideoInfo>(d, n, ParseAv1Config, Av1VideoText, Av1DetailLines);
}
std::string Av1Stream(const uint8_t* d, size_t n) {
  return Video<Av1VideoInfo>(d, n, ParseAv1Obus, Av1VideoText, Av1DetailLines);
}
std::string VpRecord(const uint8_t* d, size_t n) {
  return Video<Vp9VideoInfo>(d, n, ParseVpCodecConfig, Vp9VideoText, Vp9DetailLines);
}
std::string Vp9Frame(const uint8_t* d, size_t n) {
  return Video<Vp9VideoInfo>(d, n, ParseVp9KeyFrame, Vp9VideoText, Vp9DetailLines);
}
std::string Vp8Frame(const uint8_t* d, size_t n) {
  Vp8VideoInfo info;
  return ParseVp8KeyFrame(d, n, info) ? Vp8VideoText(info) : std::string();
}
std::string DoviRecord(const uint8_t* d, size_t n) {
  return Video<DolbyVisionConfig>(d, n, ParseDolbyVisionConfig, DolbyVisionText, DolbyVisionDetailLines);
}
std::string DoviDescriptor(const uint8_t* d, size_t n) {
  return Video<DolbyVisionConfig>(d, n, ParseDolbyVisionDescriptor, DolbyVisionText, DolbyVisionDetailLines);
}
// mdcv payload, then clli from byte 24.
std::string HdrBoxes(const uint8_t* d, size_t n) {
  HdrSignals hdr;
  ParseMasteringDisplay(d, n, hdr.mastering);
  if (n > 24) ParseContentLightLevel(d + 24, n - 24, hdr.light);
  hdr.hdr10Plus = IsHdr10PlusT35(d, n);
  std::vector<std::string> lines;
  HdrDetailLines(hdr, lines);
  return Join(HdrTag(hdr), lines);
}
std::string Dac3(const uint8_t* d, size_t n) {
  Ac3Config config;
  return ParseDac3(d, n, config) ? Ac3ConfigText(config) : std::string();
}
std::string Dec3(const uint8_t* d, size_t n) {
  return Video<Eac3Config>(d, n, ParseDec3, Eac3ConfigText, Eac3DetailLines);
}
std::string Eac3Frame(const uint8_t* d, size_t n) {
  Eac3FrameHeader h;
  return ParseEac3FrameHeader(d, n, h) ? std::to_string(h.bitRate) : std::string();
}
std::string Ac3Desc(const uint8_t* d, size_t n) {
  Ac3Descriptor desc;
  return ParseAc3Descriptor(d, n, desc) ? Ac3ComponentChannels(desc.componentType) : std::string();
}

std::string TrueHd(const uint8_t* d, size_t n) {
  return Video<TrueHdInfo>(d, n, FindMlpMajorSync, TrueHdText, TrueHdDetailLines);
}
std::string DtsHd(const uint8_t* d, size_t n) {
  DtsHdInfo info;
  return FindDtsHdSubstream(d, n, info) ? DtsHdText(info) : std::string();
}
std::string Ddts(const uint8_t* d, size_t n) {
  DtsSpecificBox box;
  return ParseDdts(d, n, box) ? std::to_string(box.channels) : std::string();
}

std::string Alac(const uint8_t* d, size_t n) {
  AlacConfig config;
  return ParseAlacConfig(d, n, config) ? AlacText(config) : std::string();
}
// The input as the head of a file; the file size claimed is the input's, or
// larger when its first byte is odd.
std::string Caf(const uint8_t* d, size_t n) {
  CafInfo info;
  uint64_t fileSize = n > 0 && (d[0] & 1) ? n * uint64_t{1000} : n;
  return WalkCafChunks(d, n, fileSize, info) ? CafText(info) + std::to_string(info.duration) : std::string();
}

std::string Png(const uint8_t* d, size_t n) {
  PngInfo info;
  return ParsePng(d, n, info) ? PngText(info) : std::string();
}
std::string Webp(const uint8_t* d, size_t n) {
  WebpInfo info;
  return ParseWebp(d, n, info) ? WebpText(info) : std::string();
}
std::string Musepack(const uint8_t* d, size_t n) {
  MusepackSv8Info info;
  return ParseMusepackSv8(d, n, info) ? MusepackSv8Text(info) + std::to_string(MusepackSv8BitRate(info, n))
                                      : std::string();
}
std::string Rf64(const uint8_t* d, size_t n) {
  Ds64Info info;
  if (!ParseRf64Head(d, n, info) && !ParseDs64(d, n, info)) return std::string();
  return std::to_string(Rf64ChunkSize(info, "data", 0xFFFFFFFF) + info.table.size());
}

// Matroska Colour values taken from the bytes as they come: NaN, infinities
// and huge numbers included.
std::string MatroskaColourUnit(const uint8_t* d, size_t n) {
  MatroskaColour colour;
  int64_t* integers[] = {&colour.matrix, &colour.range, &colour.transfer, &colour.primaries, &colour.maxCll,
                         &colour.maxFall};
  double* reals[] = {&colour.redX,   &colour.redY,   &colour.greenX,       &colour.greenY,      &colour.blueX,
                     &colour.blueY,  &colour.whiteX, &colour.whiteY,       &colour.luminanceMax, &colour.luminanceMin};
  size_t at = 0;
  for (int64_t* v : integers) {
    if (n - at < 8) break;
    std::memcpy(v, d + at, 8);
    at += 8;
  }
  for (double* v : reals) {
    if (n - at < 8) break;
    std::memcpy(v, d + at, 8);
    at += 8;
  }
  HdrSignals hdr;
  ApplyMatroskaColour(colour, hdr);
  std::vector<std::string> lines;
  HdrDetailLines(hdr, lines);
  return Join(HdrTag(hdr), lines);
}

}  // namespace

const std::vector<CodecUnit>& CodecUnits() {
  static const std::vector<CodecUnit> kUnits = {
      {"hevc record", ".hvcc", HevcRecord},
      {"hevc stream", ".hevc", HevcStream},
      {"hevc nal", ".hevcnal", HevcNal},
      {"av1 record", ".av1c", Av1Record},
      {"av1 obus", ".obu", Av1Stream},
      {"vp record", ".vpcc", VpRecord},
      {"vp9 frame", ".vp9", Vp9Frame},
      {"vp8 frame", ".vp8", Vp8Frame},
      {"dolby vision record", ".dvcc", DoviRecord},
      {"dolby vision descriptor", ".dvdesc", DoviDescriptor},
      {"hdr boxes", ".mdcv", HdrBoxes},
      {"dac3", ".dac3", Dac3},
      {"dec3", ".dec3", Dec3},
      {"e-ac-3 frame", ".eac3", Eac3Frame},
      {"ac-3 descriptor", ".ac3desc", Ac3Desc},
      {"truehd", ".thd", TrueHd},
      {"mlp", ".mlp", TrueHd},
      {"dts-hd substream", ".dtshd", DtsHd},
      {"ddts", ".ddts", Ddts},
      {"alac", ".alac", Alac},
      {"caf", ".caf", Caf},
      {"png", ".png", Png},
      {"webp", ".webp", Webp},
      {"musepack sv8", ".mpc", Musepack},
      {"rf64", ".wav", Rf64},
      {"matroska colour", ".mkvcolour", MatroskaColourUnit},
  };
  return kUnits;
}

}  // namespace probex::fuzz
