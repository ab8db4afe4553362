#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <variant>

#include "glut_arguments.h"
#include "options.h"
#include "read_stream.h"

namespace {

struct Outcome {
  int status = -1;  // -1: the options were accepted
  std::string out, err;
  ProgramOptions options;
};

Outcome parse(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), "velmar_stable_fluids");
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  const ParsedCommandLine parsed = parse_command_line(arguments, out, err);
  Outcome outcome;
  if (const int* status = std::get_if<int>(&parsed)) outcome.status = *status;
  else outcome.options = std::get<ProgramOptions>(parsed);
  outcome.out = read_all(out);
  outcome.err = read_all(err);
  return outcome;
}

TEST(CommandLine, NoOptionsMeansTheDefaultSession) {
  const Outcome outcome = parse({});
  ASSERT_EQ(outcome.status, -1);
  EXPECT_EQ(outcome.options.drawing, ViewDrawing::Cells);
  EXPECT_FALSE(outcome.options.headless || outcome.options.checksum || outcome.options.guard);
  EXPECT_TRUE(outcome.options.record_path.empty() && outcome.options.replay_path.empty());
}

TEST(CommandLine, DrawChoosesEachDrawing) {
  for (const auto& [argument, drawing] : {std::pair{"--draw=cells", ViewDrawing::Cells},
                                          std::pair{"--draw=layers", ViewDrawing::Layers},
                                          std::pair{"--draw=smooth", ViewDrawing::Smooth}}) {
    const Outcome outcome = parse({argument});
    ASSERT_EQ(outcome.status, -1) << outcome.err;
    EXPECT_EQ(outcome.options.drawing, drawing) << argument;
  }
}

TEST(CommandLine, OptionsAreTakenInBothSpellings) {
  const Outcome outcome = parse({"--draw=layers", "--headless", "--replay", "a.rec", "--frames",
                                 "12", "--png=pics", "--every=3", "--checksum",
                                 "--guard", "--record", "b.rec", "--overwrite", "--workers=3",
                                 "--grid=254", "--dt", "0.1", "--diff=0", "--visc", "1e-3"});
  ASSERT_EQ(outcome.status, -1) << outcome.err;
  const ProgramOptions& o = outcome.options;
  EXPECT_EQ(o.drawing, ViewDrawing::Layers);
  EXPECT_EQ(o.replay_path, "a.rec");
  EXPECT_EQ(o.frames, 12);
  EXPECT_EQ(o.png_dir, "pics");
  EXPECT_EQ(o.png_every, 3);
  EXPECT_EQ(o.record_path, "b.rec");
  EXPECT_EQ(o.workers, 3u);
  EXPECT_EQ(o.settings.grid, 254);
  EXPECT_EQ(o.settings.dt, 0.1f);
  EXPECT_EQ(o.settings.diff, 0.0f);
  EXPECT_EQ(o.settings.visc, 1e-3f);
  EXPECT_TRUE(o.headless && o.checksum && o.guard && o.overwrite);
  EXPECT_FALSE(parse({}).options.settings.grid) << "unset unless given";
}

TEST(CommandLine, HelpAndVersionPrintOnStandardOutputAndEndWithZero) {
  const Outcome help = parse({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.err, "");
  for (const char* mention : {"--record", "--replay", "--headless", "--png", "--draw", "Escape",
                              "right click", "obstacle painting"}) {
    EXPECT_NE(help.out.find(mention), std::string::npos) << mention;
  }
  const Outcome version = parse({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("velmar_stable_fluids ", 0), 0u) << version.out;
}

// Every refusal, the parser's cases among them, in the program's words: what was expected,
// what was found, quoted; one line, status 2, nothing on standard output.
TEST(CommandLine, EveryRefusalSaysWhatWasExpectedAndWhatWasFound) {
  const struct {
    std::vector<std::string> arguments;
    std::string line;  // between "velmar_stable_fluids: " and "; see --help"
  } cases[] = {
      // Arguments that are no option of the program.
      {{"--order", "x"}, "expected an option that --help lists, found \"--order\""},
      {{"--bogus=1"}, "expected an option that --help lists, found \"--bogus=1\""},
      {{"-hx"}, "expected an option that --help lists, found \"-hx\""},
      {{"stray"}, "expected an option, found \"stray\""},
      {{""}, "expected an option, found \"\""},
      {{"--", "-sync"}, "expected an option, found \"-sync\""},
      // A value missing, empty, or given to a flag.
      {{"--png"}, "--png: expected DIR after it, found nothing"},
      {{"--record", "--guard"}, "--record: expected FILE after it, found \"--guard\""},
      {{"--png="}, "--png: expected DIR, found \"\""},
      {{"--replay", ""}, "--replay: expected FILE, found \"\""},
      {{"--guard=yes"}, "--guard: expected no value, found \"yes\""},
      {{"--guard", "-geometry"}, "-geometry: expected WxH+X+Y after it, found nothing"},
      // Values out of range or not among the choices.
      {{"--workers", "0"}, "--workers: expected a whole number from 1 to 64, found \"0\""},
      {{"--workers=65"}, "--workers: expected a whole number from 1 to 64, found \"65\""},
      {{"--workers=two"}, "--workers: expected a whole number from 1 to 64, found \"two\""},
      {{"--workers=4294967297"},
       "--workers: expected a whole number from 1 to 64, found \"4294967297\""},
      {{"--frames", "-1", "--headless"},
       "--frames: expected a whole number from 0 to 999999999999, found \"-1\""},
      {{"--frames=1e3", "--headless"},
       "--frames: expected a whole number from 0 to 999999999999, found \"1e3\""},
      {{"--every=0", "--png=d"},
       "--every: expected a whole number from 1 to 999999999999, found \"0\""},
      {{"--draw", "foo"}, "--draw: expected cells, layers or smooth, found \"foo\""},
      {{"--draw=", "--guard"}, "--draw: expected cells|layers|smooth, found \"\""},
      // Options that need another.
      {{"--every=2"}, "--every needs --png DIR"},
      {{"--overwrite"}, "--overwrite needs --record FILE or --png DIR"},
      {{"--headless"}, "--headless needs --replay FILE or --frames N"},
      {{"--frames=3"}, "--frames needs --headless"},
      // Grids whose lines are not whole blocks of 32 cells, or beyond the bounds.
      {{"--grid=100"}, "--grid: expected N from 30 to 1022 with N + 2 a multiple of 32 (30, 62, "
                       "94, 126, ..., 1022), found \"100\""},
      {{"--grid=-2"}, "--grid: expected N from 30 to 1022 with N + 2 a multiple of 32 (30, 62, "
                      "94, 126, ..., 1022), found \"-2\""},
      // Rates: finite decimal numbers, the time step above 0, the diffusion rates not below.
      {{"--dt=0"}, "--dt: expected a finite decimal number greater than 0, found \"0\""},
      {{"--dt=-0"}, "--dt: expected a finite decimal number greater than 0, found \"-0\""},
      {{"--dt=1e39"}, "--dt: expected a finite decimal number greater than 0, found \"1e39\""},
      {{"--diff=inf"}, "--diff: expected a finite decimal number, 0 or more, found \"inf\""},
      {{"--visc=-1"}, "--visc: expected a finite decimal number, 0 or more, found \"-1\""},
      {{"--visc=0x1p-3"},
       "--visc: expected a finite decimal number, 0 or more, found \"0x1p-3\""},
      {{"--visc=0.1 "}, "--visc: expected a finite decimal number, 0 or more, found \"0.1 \""},
      // --help and --version answer only a command line that is right as a whole.
      {{"--help", "--grid=100"}, "--grid: expected N from 30 to 1022 with N + 2 a multiple of "
                                 "32 (30, 62, 94, 126, ..., 1022), found \"100\""},
      {{"--version", "--bogus"}, "expected an option that --help lists, found \"--bogus\""},
      {{"--bogus", "--version"}, "expected an option that --help lists, found \"--bogus\""},
      {{"-h", "--draw=dots"}, "--draw: expected cells, layers or smooth, found \"dots\""},
      // A quoted argument is written out where it could steer the terminal.
      {{"--draw=\x1b[2J\x9b"}, "--draw: expected cells, layers or smooth, found \"\\x1b[2J\\x9b\""},
  };
  for (const auto& [arguments, line] : cases) {
    SCOPED_TRACE(arguments.front());
    const Outcome outcome = parse(arguments);
    EXPECT_EQ(outcome.status, 2);
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(outcome.err, "velmar_stable_fluids: " + line + "; see --help\n");
  }
}

// An option given twice takes its last value, as most Unix programs do; "-0" is zero.
TEST(CommandLine, ARepeatedOptionTakesItsLastValue) {
  const Outcome outcome = parse({"--grid", "62", "--grid", "94", "--workers=3", "--workers=2",
                                 "--record=a.rec", "--record", "b.rec", "--draw=layers",
                                 "--draw=cells", "--guard", "--guard", "--diff", "-0",
                                 "--visc=-0"});
  ASSERT_EQ(outcome.status, -1) << outcome.err;
  EXPECT_EQ(outcome.options.settings.grid, 94);
  EXPECT_EQ(outcome.options.workers, 2u);
  EXPECT_EQ(outcome.options.record_path, "b.rec");
  EXPECT_EQ(outcome.options.drawing, ViewDrawing::Cells);
  EXPECT_TRUE(outcome.options.guard);
  EXPECT_FALSE(std::signbit(*outcome.options.settings.diff)) << "stored as +0";
  EXPECT_FALSE(std::signbit(*outcome.options.settings.visc)) << "stored as +0";
  EXPECT_EQ(*outcome.options.settings.visc, 0.0f);
}

TEST(CommandLine, OverwriteGoesWithRecordOrPng) {
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"--record=a.rec", "--overwrite"},
        std::vector<std::string>{"--overwrite", "--png=pics"}}) {
    SCOPED_TRACE(arguments.front());
    const Outcome outcome = parse(arguments);
    ASSERT_EQ(outcome.status, -1) << outcome.err;
    EXPECT_TRUE(outcome.options.overwrite);
  }
}

TEST(CommandLine, HelpNamesBothWaysToRunWithoutADisplay) {
  const Outcome help = parse({"--help"});
  for (const char* mention : {"xvfb-run velmar_stable_fluids", "--headless with --replay FILE",
                              "--frames N", "--png the pictures in DIR", "\n  -h, --help ",
                              "-display NAME", "-geometry WxH+X+Y", "-iconic", "-sync"}) {
    EXPECT_NE(help.out.find(mention), std::string::npos) << mention << "\n" << help.out;
  }
  EXPECT_EQ(help.out.find("\n\n\n"), std::string::npos) << "one blank line at most";
}

TEST(CommandLine, GlutKeepsItsOwnOptionsAndTheProgramGetsTheRest) {
  const char* argv[] = {"prog", "-display", ":7", "--draw=layers", "-iconic", "--record",
                        "x.rec", "-geometry", "300x200", "--", "-sync", "-display"};
  const SplitArguments split = split_glut_arguments(12, const_cast<char**>(argv));
  EXPECT_EQ(split.glut, (std::vector<std::string>{"prog", "-display", ":7", "-iconic",
                                                  "-geometry", "300x200"}));
  EXPECT_EQ(split.program, (std::vector<std::string>{"prog", "--draw=layers", "--record", "x.rec",
                                                     "--", "-sync", "-display"}));
  EXPECT_EQ(split.display_name, ":7");
}

// Headless, GLUT's options have no X server to go to: only -geometry's size means anything.
TEST(CommandLine, HeadlessTakesTheSizeOfGeometryAndRefusesGlutsOtherOptions) {
  const struct {
    std::vector<const char*> argv;
    int width, height;  // 0: no size given
    std::string fault;  // empty: accepted
  } cases[] = {
      {{"prog", "--headless"}, 0, 0, ""},
      {{"prog", "-geometry", "300x200"}, 300, 200, ""},
      {{"prog", "-geometry", "32767x1-5+5"}, 32767, 1, ""},
      {{"prog", "-geometry", "9x9", "-geometry", "640x480+0+0"}, 640, 480, ""},
      {{"prog", "-geometry", "+10+10"}, 0, 0,
       "-geometry: expected WxH (sides from 1 to 32767) with --headless, found \"+10+10\""},
      {{"prog", "-geometry", "0x5"}, 0, 0, "found \"0x5\""},
      {{"prog", "-geometry", "32768x5"}, 0, 0, "found \"32768x5\""},
      {{"prog", "-geometry", "5x-5"}, 0, 0, "found \"5x-5\""},
      {{"prog", "-geometry", "5x5 "}, 0, 0, "found \"5x5 \""},
      {{"prog", "-iconic"}, 0, 0,
       "-iconic is an option of the window, which does not go with --headless"},
      {{"prog", "-geometry", "5x5", "-display", ":1"}, 0, 0,
       "-display is an option of the window, which does not go with --headless"},
  };
  for (const auto& [argv, width, height, fault] : cases) {
    SCOPED_TRACE(argv.back());
    const SplitArguments split =
        split_glut_arguments(static_cast<int>(argv.size()), const_cast<char**>(argv.data()));
    const HeadlessGlutArguments taken = headless_glut_arguments(split);
    if (!fault.empty()) {
      ASSERT_TRUE(std::holds_alternative<std::string>(taken));
      EXPECT_NE(std::get<std::string>(taken).find(fault), std::string::npos)
          << std::get<std::string>(taken);
      continue;
    }
    ASSERT_TRUE(std::holds_alternative<std::optional<StartingSize>>(taken));
    const auto& size = std::get<std::optional<StartingSize>>(taken);
    EXPECT_EQ(size ? size->width : 0, width);
    EXPECT_EQ(size ? size->height : 0, height);
  }
}

}  // namespace
