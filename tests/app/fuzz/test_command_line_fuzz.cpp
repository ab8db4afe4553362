// The command line against many thousands of mutated argument lists, made from the shapes the
// README shows: arguments dropped, repeated, swapped, cut, replaced by odd values or bytes.
// For every case: GLUT's options and the program's together are the arguments given, and the
// program's are either accepted within their ranges, or refused with status 2 in one printable
// line on standard error, or answered with status 0 (--help, --version) on standard output.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>

#include "byte_mutations.h"
#include "terminal_safe.h"
#include "frame_limits.h"
#include "glut_arguments.h"
#include "options.h"
#include "read_stream.h"

namespace {

const std::vector<std::vector<std::string>> kCommandLines = {
    {},
    {"--draw=layers", "--guard"},
    {"--record", "take.rec", "--overwrite", "--checksum"},
    {"--headless", "--replay", "take.rec", "--checksum", "--png", "frames", "--every", "3"},
    {"--headless", "--frames=12", "--workers=2", "--draw", "cells"},
    {"-display", ":1", "-geometry", "600x400+0+0", "-iconic", "--replay=take.rec"},
    {"-direct", "-indirect", "-gldebug", "-sync", "--help"},
    {"--version"},
    {"--grid", "254", "--dt=0.1", "--diff", "0.25", "--visc=0"},
};

const std::vector<std::string> kTokens = {
    "--draw", "--draw=", "--draw=layers", "--record", "--overwrite", "--replay", "--headless",
    "--frames", "--frames=-1", "--frames=999999999999", "--frames=1000000000000", "--checksum",
    "--png", "--every", "--every=0", "--guard", "--workers", "--workers=0", "--workers=65",
    "--workers=4294967297", "--help", "-h", "--version", "-display", "-geometry", "-iconic", "--",
    "-", "", "=", "--=", "-99999999999999999999", "1e3", "0x10", "nan", "/dev/null", "\xff\xfe",
    std::string(1, '\0'), std::string(5000, 'a'), "--frames=18446744073709551616", "--grid",
    "--grid=1022", "--grid=1054", "--dt", "--dt=0", "--diff", "--visc", "--visc=-0", "1e-45",
    "3.4028235e38", "inf", "62", "\x9b", "\xc2\x9b" "2J", "\xd0\x9f\xd0\xb8"};

// Mutates whole arguments most of the time, and the bytes inside one now and then.
std::vector<std::string> make_case(std::uint64_t seed, std::uint64_t index) {
  FuzzRandom random = random_for_case(seed, index);
  std::vector<std::string> arguments = kCommandLines[pick(random, 0, kCommandLines.size() - 1)];
  const std::uint64_t changes = pick(random, 1, 5);
  for (std::uint64_t k = 0; k < changes; ++k) {
    const std::size_t at = pick(random, 0, arguments.size());
    const bool inside = at < arguments.size();
    switch (pick(random, 0, 4)) {
      case 0:
        arguments.insert(arguments.begin() + at, kTokens[pick(random, 0, kTokens.size() - 1)]);
        break;
      case 1:
        if (inside) arguments.erase(arguments.begin() + at);
        break;
      case 2:
        if (inside) arguments.insert(arguments.begin() + at, arguments[at]);
        break;
      case 3:
        if (inside) std::swap(arguments[at], arguments[pick(random, 0, arguments.size() - 1)]);
        break;
      case 4:
        if (inside) mutate(arguments[at], random, 2, kTokens, kTokens);
        break;
    }
  }
  arguments.insert(arguments.begin(), "velmar_stable_fluids");
  return arguments;
}

// What is wrong with the command line's handling of `arguments`; empty when nothing is.
std::string check_case(const std::vector<std::string>& arguments,
                       std::map<std::string, int>& outcomes) {
  std::vector<std::string> argv_strings = arguments;
  std::vector<char*> argv;
  for (std::string& argument : argv_strings) argv.push_back(argument.data());
  argv.push_back(nullptr);
  const SplitArguments split =
      split_glut_arguments(static_cast<int>(arguments.size()), argv.data());
  if (split.glut.size() + split.program.size() != arguments.size() + 1) {
    return "GLUT's options and the program's are not the arguments given";
  }
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  const ParsedCommandLine parsed = parse_command_line(split.program, out, err);
  const std::string out_text = read_all(out);
  const std::string err_text = read_all(err);
  if (const int* status = std::get_if<int>(&parsed)) {
    if (*status == 0) {
      ++outcomes["help or version"];
      return out_text.empty() || !err_text.empty() ? "status 0 without its answer alone" : "";
    }
    ++outcomes["refused"];
    if (*status != 2) return "status " + std::to_string(*status);
    const bool one_line = !err_text.empty() && err_text.find('\n') == err_text.size() - 1 &&
                          terminal_safe(std::string_view(err_text).substr(0, err_text.size() - 1));
    if (!one_line || !out_text.empty()) {
      return "a refusal not in one printable line on standard error: " + err_text;
    }
    // The program's own words: what was expected and what was found, or what an option needs.
    if (err_text.find(" found ") == std::string::npos &&
        err_text.find(" needs ") == std::string::npos) {
      return "a refusal in other words than the program's: " + err_text;
    }
    return {};
  }
  ++outcomes["accepted"];
  const ProgramOptions& options = std::get<ProgramOptions>(parsed);
  if (!out_text.empty() || !err_text.empty()) return "accepted with output";
  if (options.workers > 64 || options.png_every < 1 || options.png_every > kMostFrames ||
      (options.frames && (*options.frames < 0 || *options.frames > kMostFrames))) {
    return "accepted a value out of its range";
  }
  if (options.headless && options.replay_path.empty() && !options.frames) {
    return "accepted --headless with nothing to run";
  }
  const ChosenSettings& s = options.settings;
  const auto bad_rate = [](const std::optional<float>& rate, bool positive) {
    return rate && (!std::isfinite(*rate) || std::signbit(*rate) || (positive && *rate == 0.0f));
  };
  if ((s.grid && (*s.grid < 30 || *s.grid > 1022 || (*s.grid + 2) % 32 != 0)) ||
      bad_rate(s.dt, true) || bad_rate(s.diff, false) || bad_rate(s.visc, false)) {
    return "accepted a setting out of its range";
  }
  return {};
}

TEST(CommandLineFuzz, MutatedCommandLinesAreAcceptedWithinRangeOrRefusedInOneLine) {
  const FuzzBudget budget = fuzz_budget(15000, 20.0);
  const FuzzReport report = run_fuzz_cases(budget, [&](std::uint64_t index, auto& outcomes) {
    const std::vector<std::string> arguments = make_case(budget.seed, index);
    std::string wrong = check_case(arguments, outcomes);
    if (!wrong.empty()) {
      wrong += "\n";
      for (const std::string& argument : arguments) wrong += " [" + argument.substr(0, 80) + "]";
    }
    return wrong;
  });
  EXPECT_TRUE(report.failure.empty()) << report.failure;
  std::printf("%s\n", report.summary.c_str());
  RecordProperty("summary", report.summary);
}

}  // namespace
