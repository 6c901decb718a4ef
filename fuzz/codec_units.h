// The codec units as the codec fuzzer, its seeds and the unit sweep test
// reach them: each runs one parser on bytes and returns the texts it built.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace probex::fuzz {

struct CodecUnit {
  const char* name;
  // File name endings of the fixtures that are this unit's input.
  const char* extension;
  std::string (*run)(const uint8_t* data, size_t size);
};

// In selector order: the selector byte of an input is the index (mod size).
const std::vector<CodecUnit>& CodecUnits();

}  // namespace probex::fuzz
