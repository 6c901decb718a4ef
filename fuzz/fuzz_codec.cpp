// Input: one selector byte picking a codec unit, then that unit's input (a
// configuration record, a header or the head of a stream). Each unit's text
// and report lines are built from whatever it decoded.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "codec_units.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::vector<probex::fuzz::CodecUnit>& units = probex::fuzz::CodecUnits();
  const probex::fuzz::CodecUnit& unit = units[data[0] % units.size()];
  // A copy of exactly the input's length, so a read past it is caught.
  std::vector<uint8_t> input(data + 1, data + size);
  std::string text = unit.run(input.data(), input.size());
  return text.size() > (1u << 20) ? -1 : 0;
}
