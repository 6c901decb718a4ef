// Reading chunks whose sizes come from the file: every read is capped by a
// buffer limit and by the file, and every skip ends inside the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace probex {

class FileReader;

// Four-character identifiers, compared without regard to ASCII case.
bool IdIs(const uint8_t* id, const char* literal);
bool IdIsAny(const uint8_t* id, std::initializer_list<const char*> literals);

// A little-endian 32-bit chunk size read with advance (0 past the end).
uint32_t ReadSizeLE(FileReader& reader);

// Absolute offset start + size, clamped to the file's size (no overflow);
// a start at or past the end stays where it is.
uint64_t ClampedEnd(const FileReader& reader, uint64_t start, uint64_t size);

// Moves the reader to the end of a payload of size bytes that begins at the
// position; a payload running past the file ends at the file's end.
void SkipPayload(FileReader& reader, uint64_t size);

// Reads at most cap bytes of a payload of size bytes into out (resized to the
// bytes read) and leaves the reader at the payload's end, as SkipPayload.
size_t ReadPayload(FileReader& reader, uint64_t size, std::vector<uint8_t>& out, size_t cap);

// Peeks at most cap bytes of a payload without moving the reader.
size_t PeekPayload(FileReader& reader, uint64_t size, std::vector<uint8_t>& out, size_t cap);

}  // namespace probex
