#include "caf.h"

#include <cmath>
#include <cstring>

#include "../video/hdr_metadata.h"
#include "audio_file.h"
#include "bits.h"
#include "file_reader.h"
#include "media_info.h"
#include "messages.h"
#include "templates.h"

namespace probex {

namespace {

constexpr size_t kMaxChunks = 64;

}  // namespace

bool ParseCafDescription(const uint8_t* data, size_t size, CafDescription& out) {
  if (data == nullptr || size < 32) return false;
  CafDescription d;
  uint64_t bits = ReadU64BE(data);
  std::memcpy(&d.sampleRate, &bits, sizeof d.sampleRate);
  std::memcpy(d.formatId, data + 8, 4);
  d.formatFlags = ReadU32BE(data + 12);
  d.bytesPerPacket = ReadU32BE(data + 16);
  d.framesPerPacket = ReadU32BE(data + 20);
  d.channels = ReadU32BE(data + 24);
  d.bitsPerChannel = ReadU32BE(data + 28);
  if (!std::isfinite(d.sampleRate) || d.sampleRate <= 0 || d.channels == 0) return false;
  out = d;
  return true;
}

bool ParseCafPacketTable(const uint8_t* data, size_t size, CafPacketTable& out) {
  if (data == nullptr || size < 24) return false;
  CafPacketTable t;
  t.packets = static_cast<int64_t>(ReadU64BE(data));
  t.validFrames = static_cast<int64_t>(ReadU64BE(data + 8));
  t.primingFrames = static_cast<int32_t>(ReadU32BE(data + 16));
  t.remainderFrames = static_cast<int32_t>(ReadU32BE(data + 20));
  if (t.packets < 0 || t.validFrames < 0 || t.primingFrames < 0 || t.remainderFrames < 0) return false;
  out = t;
  return true;
}

bool WalkCafChunks(const uint8_t* head, size_t headSize, uint64_t fileSize, CafInfo& out) {
  if (head == nullptr || headSize < 8 || std::memcmp(head, "caff", 4) != 0 || head[4] != 0 || head[5] != 1) {
    return false;
  }
  CafInfo info;
  uint64_t at = 8;
  while (info.chunks.size() < kMaxChunks && at + 12 <= headSize && at + 12 <= fileSize) {
    CafChunk chunk;
    std::memcpy(chunk.type, head + at, 4);
    chunk.size = static_cast<int64_t>(ReadU64BE(head + at + 4));
    chunk.offset = at + 12;
    bool toEnd = chunk.size == -1 && std::memcmp(chunk.type, "data", 4) == 0;
    if (!toEnd && (chunk.size < 0 || static_cast<uint64_t>(chunk.size) > fileSize - chunk.offset)) break;
    uint64_t payload = toEnd ? fileSize - chunk.offset : static_cast<uint64_t>(chunk.size);
    info.chunks.push_back(chunk);
    bool inHead = chunk.offset + payload <= headSize;
    const uint8_t* body = head + chunk.offset;
    if (info.chunks.size() == 1 && std::memcmp(chunk.type, "desc", 4) != 0) return false;
    if (std::memcmp(chunk.type, "desc", 4) == 0 && inHead) {
      info.descriptionSeen = ParseCafDescription(body, payload, info.description);
    } else if (std::memcmp(chunk.type, "pakt", 4) == 0 && inHead) {
      info.packetTableSeen = ParseCafPacketTable(body, payload, info.packetTable);
    } else if (std::memcmp(chunk.type, "kuki", 4) == 0 && inHead) {
      info.alacSeen = ParseAlacConfig(body, payload, info.alac);
    } else if (std::memcmp(chunk.type, "data", 4) == 0) {
      info.dataOffset = chunk.offset;
      info.dataSize = payload;
    }
    if (toEnd) break;
    at = chunk.offset + payload;
  }
  if (!info.descriptionSeen) return false;
  const CafDescription& d = info.description;
  if (info.packetTableSeen && info.packetTable.validFrames > 0) {
    info.duration = static_cast<double>(info.packetTable.validFrames) / d.sampleRate;
  } else if (d.bytesPerPacket > 0 && d.framesPerPacket > 0 && info.dataSize > 4) {
    // The data chunk begins with a 4-byte edit count.
    info.duration = static_cast<double>((info.dataSize - 4) / d.bytesPerPacket) * d.framesPerPacket / d.sampleRate;
  }
  out = info;
  return true;
}

std::string CafFormatName(const CafDescription& description) {
  static const struct {
    const char* id;
    const char* name;
  } kNames[] = {{"lpcm", "PCM"},          {"alac", "ALAC"},        {"aac ", "AAC"},
                {"ulaw", "G.711 mu-law"}, {"alaw", "G.711 A-law"}, {"ima4", "IMA ADPCM"},
                {"opus", "Opus"},         {"flac", "FLAC"},        {".mp3", "MPEG Audio Layer 3"},
                {"ac-3", "AC-3"}};
  for (const auto& n : kNames) {
    if (std::memcmp(description.formatId, n.id, 4) == 0) return n.name;
  }
  std::string id;
  for (char c : description.formatId) {
    if (c == '\0') break;
    id += c >= 0x20 && c < 0x7F ? c : '?';
  }
  return id;
}

std::string CafText(const CafInfo& info) {
  const CafDescription& d = info.description;
  uint32_t bits = info.alacSeen ? info.alac.bitDepth : d.bitsPerChannel;
  std::string text = "CAF " + CafFormatName(d) + LineF(" %.2fkHz", d.sampleRate / 1000.0);
  if (bits > 0) text += LineF(" %ubit", bits);
  text += LineF(" %uch", d.channels);
  return text;
}

namespace {

constexpr size_t kCafHead = 64 * 1024;
constexpr int kTailChunks = 16;

// ffmpeg and Apple's tools write the packet table after the audio data when
// the packet count was not known up front; look for it there.
void FindTrailingPacketTable(FileReader& reader, CafInfo& caf) {
  uint64_t at = caf.dataOffset + caf.dataSize;
  for (int i = 0; i < kTailChunks && at + 12 <= reader.Size(); ++i) {
    uint8_t header[12] = {};
    reader.Seek(static_cast<int64_t>(at), 0);
    if (reader.Read(header, sizeof header, false) != sizeof header) return;
    int64_t size = static_cast<int64_t>(ReadU64BE(header + 4));
    if (size < 0 || static_cast<uint64_t>(size) > reader.Size() - at - 12) return;
    if (std::memcmp(header, "pakt", 4) == 0) {
      uint8_t body[24] = {};
      reader.Seek(static_cast<int64_t>(at + 12), 0);
      if (size >= 24 && reader.Read(body, sizeof body, false) == sizeof body &&
          ParseCafPacketTable(body, sizeof body, caf.packetTable)) {
        caf.packetTableSeen = true;
        if (caf.packetTable.validFrames > 0)
          caf.duration = static_cast<double>(caf.packetTable.validFrames) / caf.description.sampleRate;
      }
      return;
    }
    at += 12 + static_cast<uint64_t>(size);
  }
}

}  // namespace

void AnalyzeCaf(MediaInfo& info, FileReader& reader) {
  SetFormatName(info, "CAF");
  std::vector<uint8_t> head(reader.Size() < kCafHead ? static_cast<size_t>(reader.Size()) : kCafHead);
  head.resize(reader.Read(head.data(), head.size(), false));
  CafInfo caf;
  if (!WalkCafChunks(head.data(), head.size(), reader.Size(), caf)) {
    reader.Close();
    SetErrorText(info, msg::kCafNoDescription);
    return;
  }
  if (!caf.packetTableSeen && caf.dataOffset > 0) FindTrailingPacketTable(reader, caf);
  reader.Close();
  info.duration = caf.duration;
  const CafDescription& d = caf.description;
  Description line("CAF", "AUDIO");
  line.SetText("#codec#", CafFormatName(d).c_str());
  // The data chunk opens with a 4-byte edit count.
  const double audioBytes = caf.dataSize > 4 ? static_cast<double>(caf.dataSize - 4) : 0.0;
  SetCommonAudio(line, d.sampleRate, SafeDivide(audioBytes * 8.0, caf.duration), static_cast<int>(d.channels));
  line.SetKnown("#bitdepth#", "%.0f", caf.alacSeen ? caf.alac.bitDepth : d.bitsPerChannel);
  AddAudioText(info, line.Text());
}

}  // namespace probex
