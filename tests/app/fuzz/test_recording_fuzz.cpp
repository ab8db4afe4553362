// The recording reader against many thousands of mutated recordings, made from the checked-in
// ones in recordings/, delivered in pieces of any size, some repeating forever as a device or a
// runaway generator would. Small limits keep each case cheap; the program's own limits are
// pinned in test_recording_limits.cpp. For every case:
// - the reader never asks for more than one byte past the limit in all;
// - a line over the limit, or bytes past the limit in all, are refused at their line, unless a
//   fault before them was refused first;
// - a fault reads "NAME:LINE: ..." on one line, without control characters;
// - a recording within the limits reads the same in any pieces as in one;
// - accepted settings and events are in range, events in frame order, and all read back the
//   same once written out.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "byte_mutations.h"
#include "terminal_safe.h"
#include "frame_limits.h"
#include "recording_format.h"

namespace {

constexpr ReadLimits kSmall{.longest_line = 64, .most_bytes = 2048};
const std::string kName = "fuzz.rec";

const std::vector<std::string> kTokens = {
    "velmar-recording 1", "velmar-recording", "key", "mouse", "motion", "reshape", "#", "\n", " ",
    "\t", "\r\n", "0", "-0", "+1", "-1", "255", "256", "2147483647", "2147483648", "-2147483648",
    "-2147483649", "999999999999", "1000000000000", "99999999999999999999", "1e9", "0x10", "1.5",
    "nan", "inf", "-inf", std::string(1, '\0'), "\xef\xbb\xbf", "27", "#velmar-settings", "grid",
    "dt", "diff", "visc", "254", "1022", "0.2", "1e-45", "3.4028235e+38", "-0", "\x9b" "31m", "\xc2\x85", "\xe2\x82\xac", "\xed\xa0\x80"};

std::vector<std::string> checked_in_recordings() {
  std::vector<std::filesystem::path> paths;
  for (const auto& entry : std::filesystem::directory_iterator(VELMAR_RECORDING_CORPUS)) {
    paths.push_back(entry.path());
  }
  std::sort(paths.begin(), paths.end());
  std::vector<std::string> recordings;
  for (const auto& path : paths) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    recordings.push_back(bytes.str());
  }
  return recordings;
}

struct FuzzCase {
  std::string bytes;
  bool endless = false;  // after `bytes`, its part from `repeat_from` on, forever
  std::size_t repeat_from = 0;
  std::size_t piece = 0;  // the most bytes one read delivers; 0: as many as asked for
};

// Where a runaway generator would start repeating: the start of a line, most often the last.
std::size_t repeated_part(const std::string& bytes, FuzzRandom& random) {
  const std::size_t end = bytes.back() == '\n' ? bytes.size() - 1 : bytes.size();
  const std::size_t last = bytes.rfind('\n', end == 0 ? 0 : end - 1);
  if (pick(random, 0, 1) == 0) {
    return last == std::string::npos || last + 1 >= bytes.size() ? 0 : last + 1;
  }
  return pick(random, 0, bytes.size() - 1);
}

FuzzCase make_case(const std::vector<std::string>& corpus, std::uint64_t seed,
                   std::uint64_t index) {
  FuzzRandom random = random_for_case(seed, index);
  FuzzCase made;
  made.bytes = corpus[pick(random, 0, corpus.size() - 1)];
  mutate(made.bytes, random, 8, corpus, kTokens);
  made.endless = pick(random, 0, 3) == 0 && !made.bytes.empty();
  if (made.endless) made.repeat_from = repeated_part(made.bytes, random);
  const std::uint64_t pieces = pick(random, 0, 2);
  made.piece = pieces == 0 ? 0 : pieces == 1 ? 1 : pick(random, 2, 97);
  return made;
}

// Delivers a case and keeps what it delivered. Past far more than the reader may ask for, it
// ends the input, so that a reader without its limit fails a check instead of hanging.
struct Delivery {
  const FuzzCase& fuzz_case;
  std::string delivered;
  bool asked_too_much = false;

  std::ptrdiff_t operator()(char* buffer, std::size_t capacity) {
    if (delivered.size() + capacity > kSmall.most_bytes + 1) asked_too_much = true;
    if (delivered.size() > 4 * kSmall.most_bytes) return 0;
    const std::size_t total = fuzz_case.endless ? SIZE_MAX : fuzz_case.bytes.size();
    std::size_t count = std::min(capacity, total - delivered.size());
    if (fuzz_case.piece != 0) count = std::min(count, fuzz_case.piece);
    const std::string& bytes = fuzz_case.bytes;
    const std::size_t repeated = bytes.size() - fuzz_case.repeat_from;
    for (std::size_t k = 0, at = delivered.size(); k < count; ++k, ++at) {
      buffer[k] = at < bytes.size() ? bytes[at]
                                    : bytes[fuzz_case.repeat_from + (at - bytes.size()) % repeated];
    }
    delivered.append(buffer, count);
    return static_cast<std::ptrdiff_t>(count);
  }
};

struct Refusal {
  std::int64_t line = 0;
  std::string what;
};

// Splits "fuzz.rec:LINE: what"; line 0 when the fault has another form.
Refusal refusal_of(const std::string& fault) {
  Refusal refusal;
  const std::string prefix = kName + ":";
  if (fault.rfind(prefix, 0) != 0 || !terminal_safe(fault)) return refusal;
  const std::size_t colon = fault.find(": ", prefix.size());
  if (colon == std::string::npos || colon == prefix.size()) return refusal;
  const std::string digits = fault.substr(prefix.size(), colon - prefix.size());
  if (digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 12) {
    return refusal;
  }
  refusal.line = std::stoll(digits);
  refusal.what = fault.substr(colon + 2);
  return refusal;
}

// A refusal without what it found and with its numbers as N, to count refusals by kind.
std::string kind_of(const std::string& what) {
  std::string kind;
  const std::string_view shown = std::string_view(what).substr(0, what.find(", found"));
  for (std::size_t k = 0; k < shown.size(); ++k) {
    const bool digit = std::isdigit(static_cast<unsigned char>(shown[k])) != 0;
    const bool after_digit = k > 0 && std::isdigit(static_cast<unsigned char>(shown[k - 1])) != 0;
    if (!digit && shown[k] == '-' && k + 1 < shown.size() &&
        std::isdigit(static_cast<unsigned char>(shown[k + 1])) != 0) {
      continue;
    }
    if (!digit) {
      kind += shown[k];
    } else if (!after_digit) {
      kind += 'N';
    }
  }
  return kind;
}

// The first line longer than the limit within the bytes the limit allows (0: none), and the
// line being read when the limit in all is passed (0: not passed).
struct LimitsPassed {
  std::int64_t long_line = 0;
  std::int64_t past_the_end = 0;
};

LimitsPassed limits_passed(const std::string& delivered) {
  LimitsPassed passed;
  const std::string_view allowed = std::string_view(delivered).substr(0, kSmall.most_bytes);
  std::int64_t line = 1;
  std::size_t length = 0;
  for (const char byte : allowed) {
    if (byte == '\n') {
      ++line;
      length = 0;
    } else if (++length > kSmall.longest_line) {
      passed.long_line = line;
      return passed;
    }
  }
  if (delivered.size() > kSmall.most_bytes) passed.past_the_end = line;
  return passed;
}

std::string recording_fault(const Recording& recording) {
  std::int64_t previous = 0;
  std::string written = "velmar-recording 1\n";
  if (const auto& s = recording.settings) {
    if (s->grid < 30 || s->grid > 1022 || (s->grid + 2) % 32 != 0 || !(s->dt > 0.0f) ||
        !std::isfinite(s->dt) || std::signbit(s->diff) || !std::isfinite(s->diff) ||
        std::signbit(s->visc) || !std::isfinite(s->visc)) {
      return "a setting out of range";
    }
    written += format_settings(*s) + "\n";
  }
  for (const InputEvent& event : recording.events) {
    if (event.frame < previous || event.frame > kMostFrames) return "a frame out of order or range";
    if (event.key < 0 || event.key > 255 || event.button < 0 || event.button > 255 ||
        event.state < 0 || event.state > 1 || event.width < 0 || event.height < 0) {
      return "a field out of range";
    }
    previous = event.frame;
    written += format_event(event) + "\n";
  }
  const ParsedRecording again = parse_recording(written, kName);
  const auto* read_back = std::get_if<Recording>(&again);
  if (read_back == nullptr || *read_back != recording) return "the recording read back differently";
  return {};
}

// What is wrong with the reader on this case; empty when nothing is.
std::string check_case(const FuzzCase& fuzz_case, std::map<std::string, int>& outcomes) {
  Delivery delivery{.fuzz_case = fuzz_case, .delivered = {}};
  const ByteSource source = [&](char* buffer, std::size_t capacity) {
    return delivery(buffer, capacity);
  };
  const ParsedRecording parsed = read_recording_from(source, kName, kSmall);
  if (delivery.asked_too_much) return "asked for more than one byte past the limit in all";
  const LimitsPassed passed = limits_passed(delivery.delivered);
  const auto* fault = std::get_if<std::string>(&parsed);
  const Refusal refusal = fault != nullptr ? refusal_of(*fault) : Refusal{};
  if (fault != nullptr && refusal.line == 0) return "a fault of another form: " + *fault;
  ++outcomes[fault == nullptr ? "accepted" : kind_of(refusal.what)];

  const std::int64_t limit_line = passed.long_line != 0 ? passed.long_line : passed.past_the_end;
  if (limit_line != 0) {
    if (fault == nullptr || refusal.line > limit_line) {
      return "not refused by line " + std::to_string(limit_line) + ", where a limit was passed";
    }
    const std::string limit_fault = passed.long_line != 0
                                        ? "expected a line of at most 64 bytes"
                                        : "expected at most 2048 bytes in the file";
    if (refusal.line == limit_line && refusal.what != limit_fault) {
      return "refused at line " + std::to_string(limit_line) + " for another reason than " +
             limit_fault + ": " + *fault;
    }
    return {};
  }
  const ParsedRecording whole = parse_recording(delivery.delivered, kName, kSmall);
  if (whole != parsed) return "read differently in pieces than in one";
  if (fault == nullptr) return recording_fault(std::get<Recording>(parsed));
  return {};
}

// "\x00" for every byte outside printable ASCII, so that a failing case can be written down.
std::string escaped(const std::string& bytes) {
  std::string text;
  for (const unsigned char byte : bytes) {
    if (byte == '\n') {
      text += "\\n\n";
    } else if (byte >= 0x20 && byte < 0x7f && byte != '\\') {
      text += static_cast<char>(byte);
    } else {
      char code[8];
      std::snprintf(code, sizeof code, "\\x%02x", byte);
      text += code;
    }
  }
  return text;
}

TEST(RecordingFuzz, MutatedRecordingsAreReadWithinTheLimitsOrRefusedInTheDocumentedForm) {
  const std::vector<std::string> corpus = checked_in_recordings();
  ASSERT_GE(corpus.size(), 4u) << VELMAR_RECORDING_CORPUS;
  const FuzzBudget budget = fuzz_budget(60000, 30.0);
  const FuzzReport report = run_fuzz_cases(budget, [&](std::uint64_t index, auto& outcomes) {
    const FuzzCase fuzz_case = make_case(corpus, budget.seed, index);
    std::string wrong = check_case(fuzz_case, outcomes);
    if (!wrong.empty()) {
      wrong += fuzz_case.endless ? "\nrepeated from byte " : "\nonce";
      if (fuzz_case.endless) wrong += std::to_string(fuzz_case.repeat_from);
      wrong += ", in pieces of ";
      wrong += std::to_string(fuzz_case.piece);
      wrong += " bytes:\n";
      wrong += escaped(fuzz_case.bytes);
    }
    return wrong;
  });
  EXPECT_TRUE(report.failure.empty()) << report.failure;
  std::printf("%s\n", report.summary.c_str());
  RecordProperty("summary", report.summary);
}

}  // namespace
