// RF64/BW64 WAVE: the `ds64` chunk that carries the 64-bit sizes the 32-bit
// RIFF fields cannot hold (files over 4 GiB), and its table of other large
// chunks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace probex {

struct Ds64Entry {
  char id[5] = {};
  uint64_t size = 0;
};

struct Ds64Info {
  uint64_t riffSize = 0;
  uint64_t dataSize = 0;
  uint64_t sampleCount = 0;
  std::vector<Ds64Entry> table;  // at most 64 entries are read
};

// The chunk payload. false when shorter than 28 bytes or the table runs past
// the bytes.
bool ParseDs64(const uint8_t* data, size_t size, Ds64Info& out);
// The head of a file: "RF64" or "BW64", "WAVE", then the ds64 chunk.
bool ParseRf64Head(const uint8_t* data, size_t size, Ds64Info& out);
// The size of a chunk as stored in 32 bits, 0xFFFFFFFF meaning "see ds64":
// data from dataSize, others from the table; the stored value otherwise.
uint64_t Rf64ChunkSize(const Ds64Info& info, const char id[4], uint32_t stored);

}  // namespace probex
