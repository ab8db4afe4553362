#include "byte_mutations.h"

#include <algorithm>
#include <chrono>
#include <sstream>
#include <cstdlib>

FuzzRandom random_for_case(std::uint64_t seed, std::uint64_t index) {
  std::seed_seq sequence{static_cast<std::uint32_t>(seed), static_cast<std::uint32_t>(seed >> 32),
                         static_cast<std::uint32_t>(index),
                         static_cast<std::uint32_t>(index >> 32)};
  return FuzzRandom(sequence);
}

// Written out rather than std::uniform_int_distribution, whose results the standard leaves to
// each library: a case number must make the same case everywhere.
std::uint64_t pick(FuzzRandom& random, std::uint64_t lowest, std::uint64_t highest) {
  return lowest + random() % (highest - lowest + 1);
}

namespace {

const char kOddBytes[] = {'\0', '\n', '\r', ' ', '\t', '#', '-', '0', '9', '\x7f', '\x80', '\x9b', '\xc2',
                          '\xff'};

// Where a position falls: any byte, or the start of a line.
std::size_t any_place(const std::string& bytes, FuzzRandom& random) {
  return pick(random, 0, bytes.size());
}

std::size_t line_start(const std::string& bytes, FuzzRandom& random) {
  const std::size_t at = any_place(bytes, random);
  const std::size_t newline = bytes.rfind('\n', at == 0 ? 0 : at - 1);
  return at == 0 || newline == std::string::npos ? 0 : newline + 1;
}

void swap_lines(std::string& bytes, FuzzRandom& random) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < bytes.size()) {
    const std::size_t end = std::min(bytes.find('\n', at), bytes.size());
    lines.push_back(bytes.substr(at, end - at));
    at = end + 1;
  }
  if (lines.size() < 2) return;
  const std::size_t first = pick(random, 0, lines.size() - 1);
  std::swap(lines[first], lines[pick(random, 0, lines.size() - 1)]);
  std::string joined;
  for (const std::string& line : lines) joined += line + '\n';
  bytes = joined;
}

void mutate_once(std::string& bytes, FuzzRandom& random, const std::vector<std::string>& others,
                 const std::vector<std::string>& tokens) {
  switch (pick(random, 0, 9)) {
    case 0:
      if (!bytes.empty()) {
        bytes[pick(random, 0, bytes.size() - 1)] ^= static_cast<char>(1 << pick(random, 0, 7));
      }
      break;
    case 1:
      if (!bytes.empty()) {
        bytes[pick(random, 0, bytes.size() - 1)] = kOddBytes[pick(random, 0, sizeof kOddBytes - 1)];
      }
      break;
    case 2: {
      const std::size_t at = any_place(bytes, random);
      bytes.insert(at, tokens[pick(random, 0, tokens.size() - 1)]);
      break;
    }
    case 3: {
      const std::size_t at = any_place(bytes, random);
      bytes.erase(at, pick(random, 1, 16));
      break;
    }
    case 4: {  // a range repeated, now and then many times: long lines, large files
      const std::size_t at = any_place(bytes, random);
      const std::string range = bytes.substr(at, pick(random, 1, 64));
      const std::uint64_t times =
          pick(random, 0, 7) == 0 ? pick(random, 10, 200) : pick(random, 1, 3);
      std::string repeated;
      for (std::uint64_t k = 0; k < times; ++k) repeated += range;
      bytes.insert(at, repeated);
      break;
    }
    case 5:
      bytes.resize(any_place(bytes, random));
      break;
    case 6: {
      const std::string& other = others[pick(random, 0, others.size() - 1)];
      const std::size_t kept = any_place(bytes, random);
      bytes = bytes.substr(0, kept) + other.substr(any_place(other, random));
      break;
    }
    case 7:
      swap_lines(bytes, random);
      break;
    case 8: {  // picks one at a time: the order of a call's arguments is the compiler's choice
      const std::size_t at = line_start(bytes, random);
      const std::size_t length = pick(random, 1, 300);
      bytes.insert(at, length, kOddBytes[pick(random, 0, sizeof kOddBytes - 1)]);
      break;
    }
    case 9:  // a token in place of a word
    {
      const std::size_t at = line_start(bytes, random);
      const std::size_t end = std::min(bytes.find_first_of(" \n", at), bytes.size());
      bytes.replace(at, end - at, tokens[pick(random, 0, tokens.size() - 1)]);
      break;
    }
  }
}

std::uint64_t number_from_environment(const char* name, std::uint64_t fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? std::strtoull(value, nullptr, 10) : fallback;
}

}  // namespace

void mutate(std::string& bytes, FuzzRandom& random, int most,
            const std::vector<std::string>& others, const std::vector<std::string>& tokens) {
  const std::uint64_t count = pick(random, 1, static_cast<std::uint64_t>(most));
  for (std::uint64_t k = 0; k < count; ++k) mutate_once(bytes, random, others, tokens);
}

FuzzBudget fuzz_budget(std::uint64_t cases, double seconds) {
  const char* time_limit = std::getenv("VELMAR_FUZZ_SECONDS");
  return {number_from_environment("VELMAR_FUZZ_CASES", cases),
          time_limit != nullptr && *time_limit != '\0' ? std::strtod(time_limit, nullptr) : seconds,
          number_from_environment("VELMAR_FUZZ_SEED", 19)};
}

FuzzReport run_fuzz_cases(const FuzzBudget& budget, const FuzzCaseCheck& check) {
  const auto start = std::chrono::steady_clock::now();
  const auto elapsed = [&] {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  };
  FuzzReport report;
  std::map<std::string, int> outcomes;
  std::uint64_t index = 0;
  for (; index < budget.cases && elapsed() < budget.seconds; ++index) {
    const std::string wrong = check(index, outcomes);
    if (!wrong.empty()) {
      report.failure = "case " + std::to_string(index) + " of seed " +
                       std::to_string(budget.seed) + ": " + wrong;
      break;
    }
  }
  std::ostringstream summary;
  summary << index << " cases in " << elapsed() << " s;";
  for (const auto& [outcome, count] : outcomes) summary << "\n  " << count << " " << outcome;
  report.summary = summary.str();
  return report;
}
