// Apple Core Audio Format: the chunk walk over the head of a file (`desc`,
// `kuki`, `pakt`, `data` ...), the AudioStreamBasicDescription of `desc` and
// the packet table header of `pakt`.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "alac.h"
#include "probex.h"

namespace probex {

class FileReader;

struct CafDescription {
  double sampleRate = 0;
  char formatId[5] = {};  // "lpcm", "alac", "aac " ...
  uint32_t formatFlags = 0;
  uint32_t bytesPerPacket = 0;
  uint32_t framesPerPacket = 0;
  uint32_t channels = 0;
  uint32_t bitsPerChannel = 0;
};

struct CafPacketTable {
  int64_t packets = 0;
  int64_t validFrames = 0;
  int32_t primingFrames = 0;
  int32_t remainderFrames = 0;
};

struct CafChunk {
  char type[5] = {};
  uint64_t offset = 0;  // of the payload, in the file
  int64_t size = 0;     // -1: runs to the end of the file (data only)
};

struct CafInfo {
  CafDescription description;
  bool descriptionSeen = false;
  CafPacketTable packetTable;
  bool packetTableSeen = false;
  AlacConfig alac;  // from `kuki` when the format is ALAC
  bool alacSeen = false;
  std::vector<CafChunk> chunks;  // in file order, at most 64
  uint64_t dataOffset = 0;
  uint64_t dataSize = 0;  // to the end of the file when the chunk says -1
  double duration = 0;    // seconds, 0 when unknown
};

// The 32-byte payload of `desc`. false when short, the rate is not positive
// and finite, or there are no channels.
bool ParseCafDescription(const uint8_t* data, size_t size, CafDescription& out);
// The 24-byte head of `pakt`. false when short or a count is negative.
bool ParseCafPacketTable(const uint8_t* data, size_t size, CafPacketTable& out);
// head: the first bytes of a file of fileSize bytes. Chunks whose headers lie
// in head are listed; those whose payloads lie in it are decoded. The walk
// ends at the first chunk that leaves the file. false unless "caff" version 1
// with a `desc` chunk first.
bool WalkCafChunks(const uint8_t* head, size_t headSize, uint64_t fileSize, CafInfo& out);

// "ALAC", "PCM", "AAC" ... or the format id itself.
std::string CafFormatName(const CafDescription& description);
// "CAF ALAC 44.10kHz 16bit 2ch"
std::string CafText(const CafInfo& info);

// FormatId kCaf.
void AnalyzeCaf(MediaInfo& info, FileReader& reader);

}  // namespace probex
