#include "mp4.h"

#include <algorithm>

#include "../audio/tags.h"
#include "../video/mpeg_ps.h"
#include "bits.h"
#include "byte_span.h"
#include "file_reader.h"
#include "probex_formats.h"
#include "media_info.h"
#include "messages.h"
#include "mp4_sample_description.h"
#include "templates.h"
#include "text.h"

namespace probex {
namespace {

// Boxes are loaded whole to read their fields; tables beyond this are read
// only as far as it reaches (a sample table of 16 million entries).
constexpr uint64_t kMaxLoadedBox = 64ull << 20;
// Nesting of descended boxes that is tracked; deeper boxes are skipped whole.
constexpr int kMaxDepth = 16;
// Entries kept for hostile files made of nothing but tiny trak or moof boxes.
constexpr size_t kMaxTracks = 4096;
constexpr size_t kMaxFragments = 1u << 20;
// Unrecognised bytes stepped over one at a time before a walk gives up: a
// file of anything but boxes would otherwise cost a read per byte to its end.
constexpr uint64_t kMaxResync = 4ull << 20;

enum class Action { kOther, kDescend, kSkip, kRead };

using Bytes = std::vector<uint8_t>;

Bytes LoadBox(FileReader& reader, uint64_t position, uint64_t size) {
  uint64_t available = position < reader.Size() ? reader.Size() - position : 0;
  uint64_t n = std::min({size, available, kMaxLoadedBox});
  Bytes b(static_cast<size_t>(n), 0);
  if (n) {
    reader.Seek(static_cast<int64_t>(position), 0);
    size_t got = reader.Read(b.data(), b.size());
    b.resize(got);
  }
  return b;
}

// A box type as one number with ASCII letters folded to lower case: the
// walks classify every box (and, while resyncing, every byte) by these.
constexpr uint32_t FoldType(const char* t) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) {
    uint8_t c = static_cast<uint8_t>(t[i]);
    if (c >= 'A' && c <= 'Z') c = static_cast<uint8_t>(c + 32);
    v = (v << 8) | c;
  }
  return v;
}

bool Is(const char* type, const char* literal) { return FoldType(type) == FoldType(literal); }

// Box types folded once, when the library is built.
struct TypeSet {
  uint32_t types[40] = {};
  size_t count = 0;
  constexpr TypeSet(std::initializer_list<const char*> list) {
    for (const char* literal : list) types[count++] = FoldType(literal);
  }
  bool Has(const char* type) const {
    const uint32_t folded = FoldType(type);
    for (size_t i = 0; i < count; ++i)
      if (types[i] == folded) return true;
    return false;
  }
};

// The QuickTime user-data types made of the byte 0xA9 and three letters.
bool CopyrightType(const char* type, std::initializer_list<const char*> rests) {
  if (static_cast<uint8_t>(type[0]) != 0xA9) return false;
  for (const char* rest : rests)
    if (EqualNoCase(type + 1, rest, 3)) return true;
  return false;
}

// The byte-by-byte resync after an unknown type, a window at a time rather
// than a read per byte: the first offset from position, before end, whose
// type field classify knows. Each unknown offset counts towards the resync
// limit; false when the limit, end or the file's last 8 bytes come first.
template <typename Classify>
bool NextKnownBox(FileReader& reader, uint64_t position, uint64_t end, Classify classify, uint64_t& resync,
                  uint64_t& found) {
  uint8_t window[4096];
  while (position < end) {
    reader.Seek(static_cast<int64_t>(position), 0);
    size_t got = reader.Read(window, sizeof window, false);
    if (got < 8) return false;
    size_t k = 0;
    for (; k + 8 <= got && position + k < end; ++k) {
      if (classify(reinterpret_cast<const char*>(window + k + 4)) != Action::kOther) {
        found = position + k;
        return true;
      }
      if (++resync > kMaxResync) return false;
    }
    position += k;
  }
  return false;
}

// Walks the boxes of [start, end). handle(header, position, size) is called
// for read boxes with the size cut to the parent; false from it ends the
// walk. Every step moves forward: unknown types by one byte, boxes by their
// size, descended boxes by their header.
template <typename Classify, typename Handle>
void WalkBoxes(FileReader& reader, uint64_t start, uint64_t end, bool topLevel, Classify classify,
               Handle handle) {
  uint64_t limits[kMaxDepth];
  int depth = 0;
  limits[0] = std::min(end, reader.Size());
  uint64_t position = start;
  uint64_t resync = 0;
  while (position < limits[0]) {
    while (depth > 0 && position >= limits[depth]) --depth;
    uint64_t parentEnd = limits[depth];
    Mp4BoxHeader header;
    if (!ReadMp4BoxHeader(reader, position, header)) break;
    Action action = classify(header.type);
    if (action == Action::kOther) {
      if (++resync > kMaxResync) break;
      uint64_t next = 0;
      if (!NextKnownBox(reader, position + 1, limits[0], classify, resync, next)) break;
      position = next;
      continue;
    }
    resync = 0;
    uint64_t size = header.size;
    bool last = false;
    if (size == 0) {
      // Only a top-level box may run to the end of the file.
      if (!topLevel || depth != 0) break;
      size = reader.Size() - position;
      last = true;
    }
    if (size < header.headerSize) break;
    bool outside = size > parentEnd - position;
    if (action == Action::kDescend) {
      if (depth + 1 < kMaxDepth) {
        limits[depth + 1] = outside ? parentEnd : position + size;
        ++depth;
        position += header.headerSize;
        continue;
      }
      action = Action::kSkip;
    }
    if (outside) {
      if (action == Action::kRead) handle(header, position, parentEnd - position);
      break;
    }
    if (action == Action::kRead && !handle(header, position, size)) break;
    if (last) break;
    position += size;
  }
}

constexpr TypeSet kTopSkip{"free", "wide", "pnot", "PICT", "uuid", "mfra", "____",
                           // Common in DASH and streaming files; walking them a
                           // byte at a time costs a read per byte.
                           "skip", "sidx", "styp", "pdin", "prft", "emsg"};
constexpr TypeSet kTopRead{"ftyp", "moov", "moof", "mdat"};
constexpr TypeSet kMoovDescend{"moov", "udta", "tseg", "fulm", "mvex", "____"};
constexpr TypeSet kMoovRead{"cmov", "mvhd", "meta", "chpl", "trak", "trex"};
constexpr TypeSet kMoovSkip{"iods", "ctab", "drm ", "cprt", "auth", "titl", "dscp", "tags", "ndrm", "WLOC",
                            "@PRM", "@PRQ", "TAGS", "free", "OleS", "FllA", "fmif", "fmsp", "fmji", "fmli",
                            "uuid", "hnti", "mehd", "CNCV", "hinv", "Xtra", "AMBA", "albm"};
constexpr TypeSet kTrakDescend{"trak", "mdia", "minf", "dinf", "stbl", "udta", "meta", "gmhd", "____"};
constexpr TypeSet kTrakRead{"tkhd", "mdhd", "hdlr", "stts", "stsz", "stco", "co64", "stsd", "subs"};
constexpr TypeSet kTrakSkip{"alis", "cslg", "ctts", "dref", "edts", "elst", "free", "gmin", "hinf", "hnti",
                            "ilst", "iods", "keys", "load", "mdat", "mvex", "name", "nmhd", "sbgp", "sdtp",
                            "sgpd", "smhd", "stps", "stss", "stsc", "tapt", "text", "tref", "uuid", "vmhd"};
constexpr TypeSet kMoofDescend{"moof", "traf", "____"};
constexpr TypeSet kMoofRead{"tfhd", "trun"};
constexpr TypeSet kMoofSkip{"mfhd"};

Action ClassifyTopLevel(const char* type) {
  if (kTopSkip.Has(type)) return Action::kSkip;
  if (kTopRead.Has(type)) return Action::kRead;
  return Action::kOther;
}

Action ClassifyMoov(const char* type) {
  if (kMoovDescend.Has(type)) return Action::kDescend;
  if (kMoovRead.Has(type)) return Action::kRead;
  if (kMoovSkip.Has(type) ||
      CopyrightType(type, {"fmt", "inf", "REQ", "ENC", "nam", "TIM", "mod", "swr", "day", "mak"}))
    return Action::kSkip;
  return Action::kOther;
}

Action ClassifyTrak(const char* type) {
  if (kTrakDescend.Has(type)) return Action::kDescend;
  if (kTrakRead.Has(type)) return Action::kRead;
  if (kTrakSkip.Has(type) || CopyrightType(type, {"SEP"})) return Action::kSkip;
  return Action::kOther;
}

Action ClassifyMoof(const char* type) {
  if (kMoofDescend.Has(type)) return Action::kDescend;
  if (kMoofRead.Has(type)) return Action::kRead;
  if (kMoofSkip.Has(type)) return Action::kSkip;
  return Action::kOther;
}

void CopyType(char (&out)[5], const uint8_t* bytes) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<char>(bytes[i]);
  out[4] = '\0';
}

Mp4Track* FindTrack(Mp4Movie& movie, uint32_t trackId) {
  for (Mp4Track& t : movie.tracks)
    if (t.trackId == trackId) return &t;
  return movie.tracks.empty() ? nullptr : &movie.tracks.front();
}

// State of one fragment walk: the current track and its defaults.
struct FragmentState {
  bool walking = true;
  uint32_t trackId = 0;
  uint32_t defaultDuration = 0;
  uint32_t defaultSize = 0;
};

}  // namespace

namespace {
// Position of the first child of the box at position.
uint64_t Inside(FileReader& reader, uint64_t position) {
  Mp4BoxHeader header;
  return ReadMp4BoxHeader(reader, position, header) ? position + header.headerSize : position + 8;
}
}  // namespace

bool ReadMp4BoxHeader(FileReader& reader, uint64_t position, Mp4BoxHeader& header) {
  if (position >= reader.Size()) return false;
  uint8_t b[16] = {};
  reader.Seek(static_cast<int64_t>(position), 0);
  size_t got = reader.Read(b, sizeof b, false);
  if (got < 8) return false;
  header.size = ReadU32BE(b, 0);
  header.headerSize = 8;
  for (int i = 0; i < 4; ++i) header.type[i] = static_cast<char>(b[4 + i]);
  if (header.size == 1) {
    if (got < 16) return false;
    header.size = ReadU64BE(b, 8);
    header.headerSize = 16;
    // A 64-bit size of 0 is not "to the end of the file": it is too small.
    if (header.size == 0) header.size = 1;
  }
  return true;
}

void WalkMp4TopLevel(FileReader& reader, Mp4Movie& movie) {
  WalkBoxes(reader, 0, reader.Size(), true, ClassifyTopLevel,
            [&](const Mp4BoxHeader& h, uint64_t position, uint64_t size) {
              if (Is(h.type, "ftyp")) {
                Bytes box = LoadBox(reader, position, std::min<uint64_t>(size, 64));
                ByteSpan b(box);
                if (b.Size() >= 12) CopyType(movie.majorBrand, b.Data() + 8);
              } else if (Is(h.type, "moov")) {
                movie.moovPosition = position;
                movie.moovSize = size;
              } else if (Is(h.type, "moof")) {
                if (movie.fragments.size() < kMaxFragments) movie.fragments.push_back({size, position});
              } else if (Is(h.type, "mdat")) {
                movie.hasMdat = true;
                movie.mdatPosition = position;
                movie.mdatSize = size;
              }
              return true;
            });
}

void WalkMp4Moov(FileReader& reader, Mp4Movie& movie) {
  if (movie.moovSize == 0) return;
  // From inside the moov: its size is known, even when the box said 0.
  WalkBoxes(reader, Inside(reader, movie.moovPosition), movie.moovPosition + movie.moovSize, false, ClassifyMoov,
            [&](const Mp4BoxHeader& h, uint64_t position, uint64_t size) {
              if (Is(h.type, "cmov")) {
                movie.compressedHeader = true;
                return false;
              }
              if (Is(h.type, "mvhd")) {
                Bytes box = LoadBox(reader, position, size);
                ByteSpan b(box);
                bool v1 = b.U8(h.headerSize) == 1;
                size_t at = h.headerSize + (v1 ? 20 : 12);
                movie.timescale = b.U32BE(at);
                movie.movieDuration = v1 ? b.U64BE(at + 4) : b.U32BE(at + 4);
                if (movie.timescale == 0) movie.timescale = 1000000;
                movie.durationSeconds = static_cast<double>(movie.movieDuration) / movie.timescale;
              } else if (Is(h.type, "meta")) {
                movie.tags.hasMetaData = true;
              } else if (Is(h.type, "chpl")) {
                Bytes box = LoadBox(reader, position, std::min<uint64_t>(size, 64));
                ByteSpan b(box);
                movie.tags.hasChapterList = true;
                movie.tags.chapterListCount = static_cast<int32_t>(b.U8(h.headerSize + 8));
              } else if (Is(h.type, "trak")) {
                if (movie.tracks.size() < kMaxTracks) {
                  Mp4Track track{};
                  track.boxSize = size;
                  track.boxPosition = position;
                  movie.tracks.push_back(track);
                }
              } else if (Is(h.type, "trex")) {
                Bytes box = LoadBox(reader, position, std::min<uint64_t>(size, 64));
                ByteSpan b(box);
                size_t at = h.headerSize + 4;
                if (movie.trackDefaults.size() < kMaxTracks) movie.trackDefaults.push_back({b.U32BE(at), b.U32BE(at + 8), b.U32BE(at + 12)});
              }
              return true;
            });
}

void WalkMp4Track(FileReader& reader, Mp4Movie& movie, Mp4Track& track, MediaInfo* media) {
  Bytes stsd;
  bool haveStsd = false;
  WalkBoxes(reader, track.boxPosition, track.boxPosition + track.boxSize, false, ClassifyTrak,
            [&](const Mp4BoxHeader& h, uint64_t position, uint64_t size) {
              const size_t at = h.headerSize;  // version and flags of a full box
              if (Is(h.type, "subs")) {
                ++movie.subsBoxCount;
                return true;
              }
              if (Is(h.type, "stsd")) {
                stsd = LoadBox(reader, position, size);
                haveStsd = true;
                return true;
              }
              Bytes box = LoadBox(reader, position, size);
              ByteSpan b(box);
              if (Is(h.type, "tkhd")) {
                track.trackId = b.U32BE(at + (b.U8(at) == 1 ? 20 : 12));
              } else if (Is(h.type, "mdhd")) {
                track.mediaTimescale = b.U32BE(at + (b.U8(at) == 1 ? 20 : 12));
              } else if (Is(h.type, "hdlr")) {
                if (track.handler[0] == '\0') {
                  if (b.Size() >= at + 12) CopyType(track.handler, b.Data() + at + 8);
                  if (Is(track.handler, "mpeg") && movie.hasMdat && media && movie.mdatSize > 8) {
                    // The whole movie is one MPEG-1 system stream in the mdat.
                    Mp4BoxHeader mdat;
                    uint32_t skip = ReadMp4BoxHeader(reader, movie.mdatPosition, mdat) ? mdat.headerSize : 8;
                    AnalyzeMpegSystemStream(reader, *media, movie.mdatPosition + skip,
                                            movie.mdatPosition + movie.mdatSize, MpegSystemVariant::kMpeg1);
                  }
                }
              } else if (Is(h.type, "stts")) {
                uint64_t n = b.Entries(b.U32BE(at + 4), at + 8, 8);
                for (uint64_t i = 0; i < n; ++i) track.sampleCount += b.U32BE(at + 8 + i * 8);
              } else if (Is(h.type, "stsz")) {
                uint32_t sampleSize = b.U32BE(at + 4);
                uint32_t count = b.U32BE(at + 8);
                if (sampleSize == 0) {
                  uint64_t n = b.Entries(count, at + 12, 4);
                  for (uint64_t i = 0; i < n; ++i) track.totalBytes += b.U32BE(at + 12 + i * 4);
                  if (n) track.firstSampleSize = b.U32BE(at + 12);
                } else {
                  track.totalBytes += uint64_t{sampleSize} * count;
                  track.firstSampleSize = sampleSize;
                }
              } else if (Is(h.type, "stco")) {
                if (b.U32BE(at + 4)) track.firstChunkOffset = b.U32BE(at + 8);
              } else if (Is(h.type, "co64")) {
                if (b.U32BE(at + 4)) track.firstChunkOffset = b.U64BE(at + 8);
              }
              return true;
            });
  double seconds = movie.durationSeconds;
  track.bitRate = seconds > 0 ? static_cast<double>(track.totalBytes) * 8 / seconds : 0;
  track.frameRate = seconds > 0 ? static_cast<double>(track.sampleCount) / seconds : 0;
  if (!haveStsd) return;
  if (Is(track.handler, "vide")) {
    ParseMp4SampleDescription(stsd.data(), stsd.size(), kMp4Video, track, &reader);
  } else if (Is(track.handler, "soun")) {
    ParseMp4SampleDescription(stsd.data(), stsd.size(), kMp4Audio, track, &reader);
  } else if (Is(track.handler, "subp")) {
    ++movie.subpTrackCount;
  }
}

void WalkMp4Fragment(FileReader& reader, Mp4Movie& movie, const Mp4Fragment& fragment) {
  FragmentState state;
  WalkBoxes(reader, Inside(reader, fragment.moofPosition), fragment.moofPosition + fragment.moofSize, false, ClassifyMoof,
            [&](const Mp4BoxHeader& h, uint64_t position, uint64_t size) {
              Bytes box = LoadBox(reader, position, size);
              ByteSpan b(box);
              const size_t at = h.headerSize;
              uint32_t flags = b.U24BE(at + 1);
              if (Is(h.type, "tfhd")) {
                state.trackId = b.U32BE(at + 4);
                Mp4Track* track = FindTrack(movie, state.trackId);
                state.defaultDuration = track ? track->defaultSampleDuration : 0;
                state.defaultSize = track ? track->defaultSampleSize : 0;
                // Optional fields in flag order: base data offset, sample
                // description index, duration, size, flags.
                size_t off = at + 8;
                if (flags & 0x000001) off += 8;
                if (flags & 0x000002) off += 4;
                if (flags & 0x000008) state.defaultDuration = b.U32BE(off), off += 4;
                if (flags & 0x000010) state.defaultSize = b.U32BE(off), off += 4;
                if (movie.fragmentTimescale == 0 && track) {
                  // The first track met is the one whose durations count.
                  movie.fragmentTimescale = track->mediaTimescale ? track->mediaTimescale : movie.timescale;
                  movie.fragmentTrackId = track->trackId;
                }
                return true;
              }
              // trun
              Mp4Track* track = FindTrack(movie, state.trackId);
              if (!track) return false;
              bool reference = track->trackId == movie.fragmentTrackId;
              uint32_t count = b.U32BE(at + 4);
              size_t off = at + 8;
              if (flags & 0x001) off += 4;
              if (flags & 0x004) off += 4;
              size_t recordSize = 4 * (((flags >> 8) & 1) + ((flags >> 9) & 1) + ((flags >> 10) & 1) + ((flags >> 11) & 1));
              track->sampleCount += count;
              if (recordSize == 0) {
                if (reference) movie.fragmentDuration += uint64_t{count} * state.defaultDuration;
                track->totalBytes += uint64_t{count} * state.defaultSize;
                return true;
              }
              uint64_t n = b.Entries(count, off, recordSize);
              for (uint64_t i = 0; i < n; ++i, off += recordSize) {
                size_t field = off;
                uint32_t duration = state.defaultDuration, sampleSize = state.defaultSize;
                if (flags & 0x100) duration = b.U32BE(field), field += 4;
                if (flags & 0x200) sampleSize = b.U32BE(field), field += 4;
                if (reference) movie.fragmentDuration += duration;
                track->totalBytes += sampleSize;
              }
              return true;
            });
}

void AnalyzeMp4(MediaInfo& info, FileReader& reader) {
  SetFormatName(info, info.formatId == format::kQuickTime ? "QuickTime" : "MPEG4");

  Mp4Movie movie{};
  movie.timescale = 1000000;
  WalkMp4TopLevel(reader, movie);
  WalkMp4Moov(reader, movie);
  if (movie.compressedHeader) {
    SetErrorText(info, msg::kQtCompressedHeader);
    return;
  }
  if (movie.tracks.empty()) {
    SetErrorText(info, msg::kQtNoTrak);
    return;
  }
  for (Mp4Track& track : movie.tracks) {
    WalkMp4Track(reader, movie, track, &info);
    for (const Mp4Movie::TrackDefaults& t : movie.trackDefaults) {
      if (t.trackId == track.trackId) {
        track.defaultSampleDuration = t.duration;
        track.defaultSampleSize = t.size;
      }
    }
  }
  for (const Mp4Fragment& fragment : movie.fragments) WalkMp4Fragment(reader, movie, fragment);

  double seconds = static_cast<double>(movie.movieDuration) / movie.timescale;
  if (movie.fragmentTimescale) seconds += static_cast<double>(movie.fragmentDuration) / movie.fragmentTimescale;
  for (Mp4Track& track : movie.tracks) {
    if (seconds > 0) {
      track.bitRate = static_cast<double>(track.totalBytes) * 8 / seconds;
      track.frameRate = static_cast<double>(track.sampleCount) / seconds;
    }
  }

  char line[kLineBytes];
  if (movie.majorBrand[0]) {
    LookupCodec(line, sizeof line, "QT-BRAND", movie.majorBrand);
    AddExtraText(info, line);
  }
  if (!movie.fragments.empty()) {
    FormatText(line, sizeof line, "MovieFragment(%zu)", movie.fragments.size());
    AddExtraText(info, line);
  }
  DescribeTags(line, sizeof line, movie.tags);
  if (line[0]) AddExtraText(info, line);
  info.duration = seconds;

  for (Mp4Track& track : movie.tracks) {
    if (Is(track.handler, "vide")) {
      track.videoFrameRate = track.frameRate;
      track.frameCount = static_cast<int64_t>(track.sampleCount);
      track.videoBitRate = track.bitRate;
      FormatMp4VideoText(line, sizeof line, track);
      AddVideoText(info, line);
    } else if (Is(track.handler, "soun")) {
      if (track.audioText[0]) {
        AddAudioText(info, track.audioText);
      } else {
        track.audioBitRate = track.bitRate;
        FormatMp4AudioText(line, sizeof line, track);
        AddAudioText(info, line);
      }
    }
  }
  if (movie.subpTrackCount) {
    FormatText(line, sizeof line, "SubTitle/subp(%u)", movie.subpTrackCount);
    AddExtraText(info, line);
  }
  if (movie.subsBoxCount) {
    FormatText(line, sizeof line, "SubTitle/subs(%u)", movie.subsBoxCount);
    AddExtraText(info, line);
  }
  for (const Mp4Track& track : movie.tracks) {
    if (!Is(track.handler, "vide")) continue;
    if (track.hasHevc) AddHdrExtra(info, track.hevc.hdr);
    if (track.hasAv1) AddHdrExtra(info, track.av1.hdr);
    if (track.hasVp9) AddHdrExtra(info, track.vp9.hdr);
  }
}

}  // namespace probex
