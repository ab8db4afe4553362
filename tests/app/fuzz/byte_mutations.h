// Seeded mutations of byte strings for the fuzz tests: bit flips, odd bytes and tokens, cut,
// repeated and spliced ranges, swapped lines, long runs of one byte. The same seed gives the same
// mutation, so a failing case is made again from its number alone.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

using FuzzRandom = std::mt19937_64;

// The random source of case `index` of a run seeded with `seed`, independent of every other case.
FuzzRandom random_for_case(std::uint64_t seed, std::uint64_t index);

// A whole number from `lowest` to `highest`, both included.
std::uint64_t pick(FuzzRandom& random, std::uint64_t lowest, std::uint64_t highest);

// Applies one to `most` mutations to `bytes`; `others` lends pieces for splicing and `tokens`
// words worth inserting (numbers at their limits, the format's words).
void mutate(std::string& bytes, FuzzRandom& random, int most,
            const std::vector<std::string>& others, const std::vector<std::string>& tokens);

// A long run of the cases, by hand: VELMAR_FUZZ_CASES and VELMAR_FUZZ_SECONDS override `cases`
// and `seconds`, VELMAR_FUZZ_SEED the seed.
struct FuzzBudget {
  std::uint64_t cases;
  double seconds;
  std::uint64_t seed;
};
FuzzBudget fuzz_budget(std::uint64_t cases, double seconds);

// One case's check: counts its outcome in `outcomes` and returns what went wrong, with the case
// shown, or nothing when it held.
using FuzzCaseCheck =
    std::function<std::string(std::uint64_t index, std::map<std::string, int>& outcomes)>;

struct FuzzReport {
  std::string failure;  // "case N of seed S: ..." for the first case that went wrong, or empty
  std::string summary;  // cases run, seconds, and how many cases had each outcome
};

// Checks cases 0, 1, ... until `budget`'s case count or time runs out, or a case goes wrong.
FuzzReport run_fuzz_cases(const FuzzBudget& budget, const FuzzCaseCheck& check);
