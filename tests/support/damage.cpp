#include "damage.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <iterator>
#include <random>

namespace probex::test {

std::vector<Bytes> Truncations(const Bytes& file, std::initializer_list<size_t> extraCuts) {
  std::vector<size_t> cuts = {0, 1, 2, 3, 4, 7, 8, 11, 12, 16, 24, 32, 64, 128, 512, 4096};
  cuts.insert(cuts.end(), extraCuts.begin(), extraCuts.end());
  for (size_t k = 1; k < 16; ++k) cuts.push_back(file.size() * k / 16);
  cuts.push_back(file.size() > 0 ? file.size() - 1 : 0);
  std::sort(cuts.begin(), cuts.end());
  cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
  std::vector<Bytes> out;
  for (size_t cut : cuts)
    if (cut < file.size()) out.emplace_back(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(cut));
  return out;
}

int Depth() {
  const char* depth = std::getenv("PROBEX_SWEEP_DEPTH");
  int n = depth ? std::atoi(depth) : 1;
  return n >= 1 && n <= 1000 ? n : 1;
}

std::vector<Bytes> Flips(const Bytes& file, const std::string& name) {
  std::vector<Bytes> out;
  if (file.empty()) return out;
  std::mt19937 random(static_cast<uint32_t>(std::hash<std::string>{}(name)));
  for (int round = 0; round < 12 * Depth(); ++round) {
    Bytes copy = file;
    size_t changes = size_t{1} << (round % 6);
    for (size_t i = 0; i < changes; ++i) {
      size_t span = (i % 2 == 0) ? std::min<size_t>(copy.size(), 4096) : copy.size();
      size_t at = random() % span;
      switch (random() % 4) {
        case 0: copy[at] = 0x00; break;
        case 1: copy[at] = 0xFF; break;
        case 2: copy[at] ^= static_cast<uint8_t>(1u << (random() % 8)); break;
        default: copy[at] = static_cast<uint8_t>(random()); break;
      }
    }
    out.push_back(std::move(copy));
  }
  return out;
}

std::vector<Bytes> Splices(const Bytes& file, const std::string& name) {
  std::vector<Bytes> out;
  if (file.size() < 16) return out;
  std::mt19937 random(static_cast<uint32_t>(std::hash<std::string>{}(name) ^ 0x5eed));
  for (int round = 0; round < 4 * Depth(); ++round) {
    size_t from = random() % file.size();
    size_t length = std::min<size_t>(file.size() - from, 1 + random() % 2048);
    size_t to = random() % file.size();
    Bytes repeated = file;
    repeated.insert(repeated.begin() + static_cast<std::ptrdiff_t>(to), file.begin() + static_cast<std::ptrdiff_t>(from),
                    file.begin() + static_cast<std::ptrdiff_t>(from + length));
    out.push_back(std::move(repeated));
    Bytes cut = file;
    cut.erase(cut.begin() + static_cast<std::ptrdiff_t>(from), cut.begin() + static_cast<std::ptrdiff_t>(from + length));
    out.push_back(std::move(cut));
  }
  Bytes rotated(file.begin() + static_cast<std::ptrdiff_t>(file.size() / 2), file.end());
  rotated.insert(rotated.end(), file.begin(), file.begin() + static_cast<std::ptrdiff_t>(file.size() / 2));
  out.push_back(std::move(rotated));
  return out;
}

std::vector<Bytes> Scrambles(const Bytes& file, const std::string& name) {
  std::vector<Bytes> out;
  uint32_t seed = static_cast<uint32_t>(std::hash<std::string>{}(name) ^ 0x5c4a);
  for (size_t step : {size_t{5}, size_t{7}}) {
    Bytes copy = file;
    for (size_t i = 0; i < copy.size(); i += step) {
      seed = seed * 1103515245 + 12345;
      if ((seed >> 16) % 3 == 0) copy[i] = static_cast<uint8_t>(seed >> 24);
    }
    out.push_back(std::move(copy));
  }
  return out;
}

std::vector<Bytes> DamagedCopies(const Bytes& file, const std::string& name, std::initializer_list<size_t> extraCuts,
                                 int flipSeeds) {
  std::vector<Bytes> out = Truncations(file, extraCuts);
  auto add = [&](std::vector<Bytes> more) { std::move(more.begin(), more.end(), std::back_inserter(out)); };
  for (int i = 0; i < flipSeeds; ++i) add(Flips(file, name + "#" + std::to_string(i)));
  add(Splices(file, name));
  add(Scrambles(file, name));
  return out;
}

}  // namespace probex::test
