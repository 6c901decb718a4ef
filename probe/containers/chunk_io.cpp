#include "chunk_io.h"

#include <algorithm>

#include "../core/bits.h"
#include "../core/file_reader.h"
#include "../core/text.h"

namespace probex {

bool IdIs(const uint8_t* id, const char* literal) { return EqualNoCase(id, literal, 4); }

bool IdIsAny(const uint8_t* id, std::initializer_list<const char*> literals) {
  for (const char* literal : literals)
    if (IdIs(id, literal)) return true;
  return false;
}

uint32_t ReadSizeLE(FileReader& reader) {
  uint8_t b[4] = {};
  reader.Read(b, 4);
  return ReadU32LE(b);
}

uint64_t ClampedEnd(const FileReader& reader, uint64_t start, uint64_t size) {
  uint64_t fileSize = reader.Size();
  if (start >= fileSize) return start;  // never backwards
  return size > fileSize - start ? fileSize : start + size;
}

void SkipPayload(FileReader& reader, uint64_t size) {
  reader.Seek(static_cast<int64_t>(ClampedEnd(reader, reader.Tell(), size)), 0);
}

size_t PeekPayload(FileReader& reader, uint64_t size, std::vector<uint8_t>& out, size_t cap) {
  uint64_t end = ClampedEnd(reader, reader.Tell(), size);
  uint64_t available = end > reader.Tell() ? end - reader.Tell() : 0;
  size_t want = static_cast<size_t>(std::min<uint64_t>(available, cap));
  out.assign(want, 0);
  size_t got = want ? reader.Read(out.data(), want, false) : 0;
  out.resize(got);
  return got;
}

size_t ReadPayload(FileReader& reader, uint64_t size, std::vector<uint8_t>& out, size_t cap) {
  size_t got = PeekPayload(reader, size, out, cap);
  SkipPayload(reader, size);
  return got;
}

}  // namespace probex
