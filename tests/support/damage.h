// Damaged copies of a file, the same for every test that wants them: the
// corruption sweep and the analyzers' own damage tests.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <vector>

#include "fixture.h"

namespace probex::test {

// The file cut at small sizes (where headers end), at every sixteenth and one
// byte short of its end; extraCuts adds the sizes a format cares about.
std::vector<Bytes> Truncations(const Bytes& file, std::initializer_list<size_t> extraCuts = {});

// PROBEX_SWEEP_DEPTH=N makes N times as many damaged copies, for deeper runs by hand.
int Depth();

// Deterministic damage, seeded by name: half the changes land in the first
// 4 KiB, where the headers are; some bytes become 00 or FF, the values sizes
// like least.
std::vector<Bytes> Flips(const Bytes& file, const std::string& name);

// Pieces of the file moved about: a stretch repeated elsewhere, a stretch cut
// out, the tail put first. Headers then meet data they do not describe.
std::vector<Bytes> Splices(const Bytes& file, const std::string& name);

// Damage all through the file (a third of every fifth or seventh byte):
// no header or payload is left whole.
std::vector<Bytes> Scrambles(const Bytes& file, const std::string& name);

// All of the above in one list: the truncations (with extraCuts), the flips
// under flipSeeds different seeds, the splices and the scrambles.
std::vector<Bytes> DamagedCopies(const Bytes& file, const std::string& name, std::initializer_list<size_t> extraCuts = {},
                                 int flipSeeds = 3);

}  // namespace probex::test
