#include "rf64.h"

#include <cstring>

#include "bits.h"
namespace probex {

namespace {

constexpr uint32_t kMaxEntries = 64;

}  // namespace

bool ParseDs64(const uint8_t* data, size_t size, Ds64Info& out) {
  if (data == nullptr || size < 28) return false;
  Ds64Info info;
  info.riffSize = ReadU64LE(data);
  info.dataSize = ReadU64LE(data + 8);
  info.sampleCount = ReadU64LE(data + 16);
  uint32_t entries = ReadU32LE(data + 24);
  if (entries > (size - 28) / 12) return false;
  for (uint32_t i = 0; i < entries && i < kMaxEntries; ++i) {
    Ds64Entry entry;
    std::memcpy(entry.id, data + 28 + 12 * i, 4);
    entry.size = ReadU64LE(data + 28 + 12 * i + 4);
    info.table.push_back(entry);
  }
  out = info;
  return true;
}

bool ParseRf64Head(const uint8_t* data, size_t size, Ds64Info& out) {
  if (data == nullptr || size < 20) return false;
  if ((std::memcmp(data, "RF64", 4) != 0 && std::memcmp(data, "BW64", 4) != 0) ||
      std::memcmp(data + 8, "WAVE", 4) != 0 || std::memcmp(data + 12, "ds64", 4) != 0) {
    return false;
  }
  uint32_t length = ReadU32LE(data + 16);
  if (length > size - 20) return false;
  return ParseDs64(data + 20, length, out);
}

uint64_t Rf64ChunkSize(const Ds64Info& info, const char id[4], uint32_t stored) {
  if (stored != 0xFFFFFFFF) return stored;
  if (std::memcmp(id, "data", 4) == 0) return info.dataSize;
  for (const Ds64Entry& entry : info.table) {
    if (std::memcmp(entry.id, id, 4) == 0) return entry.size;
  }
  return stored;
}

}  // namespace probex
