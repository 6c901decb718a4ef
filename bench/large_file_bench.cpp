// Times GetFileFormat + GetFileInfo on four sparse files of about 4.3 GB, each
// built from a real fixture so the analysers find real tracks:
//   - MPEG transport stream: the fixture at the head and again at the tail
//   - MPEG program stream: the same, on pack boundaries
//   - MP4: ftyp, a 64-bit mdat holding the fixture's media then zeros, moov last
//   - Matroska: the fixture's elements with a huge Void after the last Cluster
//     (SeekHead rewritten so Cues and Tags are still found behind it)
// The holes cost no disk; reading them still costs time, so an analyser that
// reads the whole file shows up as seconds instead of milliseconds. The read
// counts come from /proc/self/io (syscr, rchar) around the first analysis, so
// they also count the template files the library reads each time.
//
//   large_file_bench [runs] [dir]
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "probex.h"

#ifndef LARGE_FILE_BENCH_SOURCE_DIR
#error "LARGE_FILE_BENCH_SOURCE_DIR must name the source tree"
#endif

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint64_t kTarget = 4'300'000'000ULL;  // past 4 GiB, so 32-bit offsets overflow

std::string Source(const char* rel) { return std::string(LARGE_FILE_BENCH_SOURCE_DIR) + "/" + rel; }

bool Load(const std::string& path, Bytes& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !out.empty();
}

uint32_t Be32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }
uint64_t Be64(const uint8_t* p) { return uint64_t(Be32(p)) << 32 | Be32(p + 4); }
void PutBe(uint8_t* p, uint64_t v, int n) {
  for (int i = n - 1; i >= 0; --i, v >>= 8) p[i] = static_cast<uint8_t>(v);
}

// Pieces written at their offsets; the gaps become holes.
struct Piece {
  uint64_t offset;
  Bytes data;
};

bool WriteSparse(const std::string& path, uint64_t size, const std::vector<Piece>& pieces) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return false;
  bool ok = ::ftruncate(fd, static_cast<off_t>(size)) == 0;
  for (const Piece& p : pieces) {
    if (!ok) break;
    ok = ::pwrite(fd, p.data.data(), p.data.size(), static_cast<off_t>(p.offset)) ==
         static_cast<ssize_t>(p.data.size());
  }
  return ::close(fd) == 0 && ok;
}

// Same stream at both ends, the tail copy on a unit boundary (188-byte packets,
// 2048-byte packs) so a scan that steps by units lands on it.
bool BuildHeadTail(const Bytes& fx, uint64_t unit, const std::string& path) {
  uint64_t tail = (kTarget - fx.size()) / unit * unit;
  return WriteSparse(path, tail + fx.size(), {{0, fx}, {tail, fx}});
}

// ftyp, then one mdat with a 64-bit size holding the fixture's media at the
// same offset as before (so stco still points at real samples), then moov.
bool BuildMp4(const Bytes& fx, const std::string& path) {
  const uint8_t *ftyp = nullptr, *moov = nullptr, *mdat = nullptr;
  uint64_t ftypSize = 0, moovSize = 0, mdatSize = 0, mdatPayload = 0, mdatAt = 0;
  for (uint64_t p = 0; p + 8 <= fx.size();) {
    uint64_t size = Be32(&fx[p]), header = 8;
    if (size == 1 && p + 16 <= fx.size()) size = Be64(&fx[p + 8]), header = 16;
    if (size < header || p + size > fx.size()) break;
    const uint8_t* box = &fx[p];
    if (!std::memcmp(box + 4, "ftyp", 4)) ftyp = box, ftypSize = size;
    if (!std::memcmp(box + 4, "moov", 4)) moov = box, moovSize = size;
    if (!std::memcmp(box + 4, "mdat", 4)) mdat = box + header, mdatSize = size - header, mdatPayload = p + header, mdatAt = p;
    p += size;
  }
  if (!ftyp || !moov || !mdat || mdatAt < ftypSize) return false;
  Bytes head(ftyp, ftyp + ftypSize);
  // Boxes between ftyp and mdat (free, wide) become a free box so the media
  // keeps its offset.
  uint64_t gap = mdatPayload - 16 - ftypSize;
  if (gap != 0 && gap < 8) return false;
  if (gap) {
    Bytes free(gap, 0);
    PutBe(free.data(), gap, 4);
    std::memcpy(&free[4], "free", 4);
    head.insert(head.end(), free.begin(), free.end());
  }
  uint64_t moovAt = kTarget - moovSize;
  Bytes box(16);
  PutBe(box.data(), 1, 4);
  std::memcpy(&box[4], "mdat", 4);
  PutBe(&box[8], moovAt - (mdatPayload - 16), 8);
  head.insert(head.end(), box.begin(), box.end());
  head.insert(head.end(), mdat, mdat + mdatSize);
  return WriteSparse(path, kTarget, {{0, head}, {moovAt, Bytes(moov, moov + moovSize)}});
}

// EBML variable-length integers.
struct Vint {
  uint64_t value = 0;
  int length = 0;
};
Vint ReadVint(const Bytes& d, uint64_t p, bool keepMarker) {
  Vint v;
  if (p >= d.size() || d[p] == 0) return v;
  int n = 1;
  while (!(d[p] & (0x80 >> (n - 1)))) ++n;
  if (p + n > d.size()) return v;
  v.value = keepMarker ? d[p] : d[p] & (0xFF >> n);
  for (int i = 1; i < n; ++i) v.value = v.value << 8 | d[p + i];
  v.length = n;
  return v;
}
void PutSize8(uint8_t* p, uint64_t v) {  // 8-byte size field: 0x01 then 7 bytes
  PutBe(p, v, 8);
  p[0] = 0x01;
}
Bytes VoidElement(uint64_t total) {  // total >= 2, header included
  if (total < 2) return {};
  if (total <= 128) {
    Bytes v(total, 0);
    v[0] = 0xEC;
    v[1] = static_cast<uint8_t>(0x80 | (total - 2));
    return v;
  }
  Bytes v(total, 0);
  v[0] = 0xEC;
  PutSize8(&v[1], total - 9);
  return v;
}

struct Element {
  uint32_t id;
  uint64_t at;     // offset from the Segment's data start
  uint64_t total;  // header + data
};

// Keeps every byte of the fixture in place, rewrites the SeekHead into the
// Void the muxer reserved after it (8-byte positions), then puts a huge Void
// after the last Cluster and shifts what follows.
bool BuildMkv(const Bytes& fx, const std::string& path) {
  Vint id = ReadVint(fx, 0, true), size = ReadVint(fx, id.length, false);
  if (id.value != 0x1A45DFA3) return false;
  uint64_t segAt = id.length + size.length + size.value;
  Vint segId = ReadVint(fx, segAt, true), segSize = ReadVint(fx, segAt + segId.length, false);
  if (segId.value != 0x18538067 || segSize.length != 8) return false;
  uint64_t data = segAt + segId.length + segSize.length;
  std::vector<Element> kids;
  for (uint64_t p = data; p < fx.size();) {
    Vint i = ReadVint(fx, p, true), s = ReadVint(fx, p + i.length, false);
    if (!i.length || !s.length) return false;
    uint64_t total = i.length + s.length + s.value;
    if (p + total > fx.size()) return false;
    kids.push_back({static_cast<uint32_t>(i.value), p - data, total});
    p += total;
  }
  size_t seek = kids.size(), lastCluster = kids.size();
  for (size_t k = 0; k < kids.size(); ++k) {
    if (kids[k].id == 0x114D9B74 && seek == kids.size()) seek = k;
    if (kids[k].id == 0x1F43B675) lastCluster = k;
  }
  if (seek == kids.size() || lastCluster == kids.size()) return false;
  uint64_t insertAt = kids[lastCluster].at + kids[lastCluster].total;
  uint64_t room = kids[seek].total;
  if (seek + 1 < kids.size() && kids[seek + 1].id == 0xEC) room += kids[seek + 1].total;

  // One Seek per top-level element other than Cluster, Void and SeekHead,
  // first of each ID only.
  uint64_t pad = kTarget - fx.size();
  Bytes body;
  std::vector<uint32_t> seen;
  for (const Element& e : kids) {
    if (e.id == 0x1F43B675 || e.id == 0xEC || e.id == 0x114D9B74 || e.id == 0xBF) continue;
    if (std::find(seen.begin(), seen.end(), e.id) != seen.end()) continue;
    seen.push_back(e.id);
    uint64_t pos = e.at >= insertAt ? e.at + pad : e.at;
    uint8_t entry[21] = {0x4D, 0xBB, 0x80 | 18, 0x53, 0xAB, 0x84, 0, 0, 0, 0, 0x53, 0xAC, 0x88};
    PutBe(&entry[6], e.id, 4);
    PutBe(&entry[13], pos, 8);
    body.insert(body.end(), entry, entry + sizeof entry);
  }
  Bytes seekHead = {0x11, 0x4D, 0x9B, 0x74, 0x01, 0, 0, 0, 0, 0, 0, 0};
  PutSize8(&seekHead[4], body.size());
  seekHead.insert(seekHead.end(), body.begin(), body.end());
  if (seekHead.size() + 2 > room && seekHead.size() != room) return false;
  Bytes filler = VoidElement(room - seekHead.size());
  seekHead.insert(seekHead.end(), filler.begin(), filler.end());

  Bytes head(fx.begin(), fx.begin() + data + insertAt);
  PutSize8(&head[segAt + segId.length], fx.size() - data + pad);
  std::copy(seekHead.begin(), seekHead.end(), head.begin() + data + kids[seek].at);
  Bytes voidHead = VoidElement(9);  // header only; its data is the hole
  PutSize8(&voidHead[1], pad - 9);
  head.insert(head.end(), voidHead.begin(), voidHead.end());
  Bytes tail(fx.begin() + data + insertAt, fx.end());
  return WriteSparse(path, kTarget, {{0, head}, {data + insertAt + pad, tail}});
}

struct Io {
  unsigned long long syscr = 0, rchar = 0;
};
Io ReadIo() {
  Io io;
  if (FILE* f = std::fopen("/proc/self/io", "r")) {
    char key[32];
    unsigned long long value;
    while (std::fscanf(f, "%31s %llu", key, &value) == 2) {
      if (!std::strcmp(key, "syscr:")) io.syscr = value;
      if (!std::strcmp(key, "rchar:")) io.rchar = value;
    }
    std::fclose(f);
  }
  return io;
}

void SetInfoPath(MediaInfo& info, const std::string& path) {
  std::memset(&info, 0, sizeof info);
  for (size_t i = 0; i < path.size() && i + 1 < PROBEX_PATH_UNITS; ++i) info.path[i] = static_cast<unsigned char>(path[i]);
}

void Print(const MediaInfo& info) {
  std::printf("  format %d (%s), %llu bytes, duration %.3f s\n", info.formatId, info.formatName,
              static_cast<unsigned long long>(info.fileSize), info.duration);
  if (info.errorText[0]) std::printf("  error: %s\n", info.errorText);
  for (int i = 0; i < std::min(info.videoCount, PROBEX_MAX_VIDEO); ++i) std::printf("  video: %s\n", info.videoText[i]);
  for (int i = 0; i < std::min(info.audioCount, PROBEX_MAX_AUDIO); ++i) std::printf("  audio: %s\n", info.audioText[i]);
  for (int i = 0; i < std::min(info.extraCount, PROBEX_MAX_EXTRA); ++i) std::printf("  extra: %s\n", info.extraText[i]);
}

struct Case {
  const char* name;
  const char* fixture;
  const char* suffix;
  bool (*build)(const Bytes&, const std::string&);
};

bool BuildTs(const Bytes& fx, const std::string& path) { return BuildHeadTail(fx, 188, path); }
bool BuildPs(const Bytes& fx, const std::string& path) { return BuildHeadTail(fx, 2048, path); }

// Returns false when the case could not be built.
bool Run(const Case& c, int runs, const std::string& dir) {
  std::printf("== %s (from %s)\n", c.name, c.fixture);
  Bytes fx;
  if (!Load(Source(c.fixture), fx)) {
    std::printf("  cannot read the fixture\n");
    return false;
  }
  MediaInfo* info = new MediaInfo;
  // The fixture alone, for comparison.
  SetInfoPath(*info, Source(c.fixture));
  GetFileFormat(info);
  GetFileInfo(info);
  std::printf(" fixture (%zu bytes):\n", fx.size());
  Print(*info);

  std::string path = dir + "large_file_bench_" + std::to_string(getpid()) + c.suffix;
  if (!c.build(fx, path)) {
    std::printf("  cannot build %s\n", path.c_str());
    std::remove(path.c_str());
    delete info;
    return false;
  }
  std::vector<double> times;
  Io first{};
  for (int r = 0; r < runs; ++r) {
    SetInfoPath(*info, path);
    Io before = ReadIo();
    auto start = std::chrono::steady_clock::now();
    GetFileFormat(info);
    GetFileInfo(info);
    auto end = std::chrono::steady_clock::now();
    Io after = ReadIo();
    if (r == 0) first = {after.syscr - before.syscr, after.rchar - before.rchar};
    times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
  }
  std::remove(path.c_str());
  std::printf(" large file:\n");
  Print(*info);
  std::sort(times.begin(), times.end());
  std::printf("  best %.2f ms, median %.2f ms, worst %.2f ms over %d runs; %llu read calls, %.1f KB read per run\n",
              times.front(), times[times.size() / 2], times.back(), runs, first.syscr, first.rchar / 1024.0);
  delete info;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  std::string dir = argc > 2 ? argv[2] : "/tmp";
  if (dir.back() != '/') dir += '/';
  std::string data = Source("data/");
  std::u16string wide(data.begin(), data.end());
  if (SetPath(wide.c_str()) != 0) {
    std::fprintf(stderr, "SetPath failed for %s\n", data.c_str());
    return 1;
  }
  const Case cases[] = {
      {"MPEG-TS", "tests/fixtures/mpeg/ts_h264_aac.ts", ".ts", BuildTs},
      {"MPEG-PS", "tests/fixtures/mpeg/mpeg2_ac3.vob", ".vob", BuildPs},
      {"MP4, moov at the end", "tests/fixtures/containers/mp4_h264_aac.mp4", ".mp4", BuildMp4},
      {"Matroska", "tests/fixtures/containers/mkv_mkvmerge.mkv", ".mkv", BuildMkv},
  };
  int failed = 0;
  for (const Case& c : cases) failed += !Run(c, runs, dir);
  return failed ? 1 : 0;
}
