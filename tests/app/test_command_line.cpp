#include <gtest/gtest.h>

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

TEST(CommandLine, BadInputIsOneLineOnStandardErrorWithStatusTwo) {
  const struct {
    std::vector<std::string> arguments;
    std::string mention;
  } cases[] = {
      {{"--bogus"}, "--bogus"},
      {{"stray"}, "stray"},
      {{"--draw=dots"}, "{cells,layers,smooth}"},
      {{"--every=many", "--png=d"}, "--every"},
      {{"--frames=-1", "--headless"}, "--frames"},
      {{"--every=0", "--png=d"}, "--every"},
      {{"--every=2"}, "--png"},
      {{"--overwrite"}, "--record"},
      {{"--record"}, "--record"},
      {{"--headless"}, "--headless needs --replay FILE or --frames N"},
      {{"--frames=3"}, "--frames needs --headless"},
      {{"--workers=0"}, "--workers"},
      {{"--workers=65"}, "--workers"},
      {{"--workers=two"}, "--workers"},
      {{"--workers=-1"}, "--workers"},
      // Grids whose lines are not whole blocks of 32 cells, or beyond the bounds.
      {{"--grid=100"}, "--grid: expected N from 30 to 1022 with N + 2 a multiple of 32"},
      {{"--grid=0"}, "--grid: expected N from 30"},
      {{"--grid=1054"}, "--grid: expected N from 30"},
      {{"--grid=-2"}, "--grid: expected N from 30"},
      {{"--grid=254.0"}, "found \"254.0\""},
      {{"--grid", ""}, "--grid: expected N"},
      // Rates: finite decimal numbers, the time step above 0, the diffusion rates not below.
      {{"--dt=0"}, "--dt: expected a finite decimal number greater than 0, found \"0\""},
      {{"--dt=-0.1"}, "--dt: expected a finite decimal number greater than 0"},
      {{"--dt=fast"}, "--dt: expected a finite decimal number greater than 0"},
      {{"--dt=1e39"}, "--dt: expected a finite decimal number greater than 0"},
      {{"--diff=inf"}, "--diff: expected a finite decimal number, 0 or more, found \"inf\""},
      {{"--diff=nan"}, "--diff: expected a finite decimal number, 0 or more"},
      {{"--visc=-1"}, "--visc: expected a finite decimal number, 0 or more, found \"-1\""},
      {{"--visc=-0"}, "--visc: expected a finite decimal number, 0 or more"},
      {{"--visc=0x1p-3"}, "--visc: expected a finite decimal number, 0 or more"},
      {{"--visc=0.1 "}, "--visc: expected a finite decimal number, 0 or more"},
      {{"--help", "--grid=100"}, "--grid"},
      // --help and --version answer only a command line that is right as a whole.
      {{"--version", "--bogus"}, "--bogus"},
      {{"--bogus", "--version"}, "--bogus"},
      {{"--help", "--bogus"}, "--bogus"},
      {{"-h", "--draw=dots"}, "{cells,layers,smooth}"},
      {{"--overwrite", "--every=2"}, "--png"},
  };
  for (const auto& [arguments, mention] : cases) {
    SCOPED_TRACE(arguments.front());
    const Outcome outcome = parse(arguments);
    EXPECT_EQ(outcome.status, 2);
    EXPECT_EQ(outcome.out, "");
    EXPECT_NE(outcome.err.find(mention), std::string::npos) << outcome.err;
    EXPECT_NE(outcome.err.find("see --help"), std::string::npos) << outcome.err;
    EXPECT_EQ(outcome.err.find('\n'), outcome.err.size() - 1) << "one line";
  }
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
                              "--frames N", "--png the pictures in DIR"}) {
    EXPECT_NE(help.out.find(mention), std::string::npos) << mention << "\n" << help.out;
  }
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

}  // namespace
