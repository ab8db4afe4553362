#include "options.h"

#include <CLI/CLI.hpp>

#include <optional>
#include <string_view>

#include "frame_limits.h"
#include "program_messages.h"
#include "step_settings.h"

namespace {

constexpr const char* kInputHelp = R"(
Mouse:
  right click        a burst of density at the pointer, pushing outwards
  left drag          momentum from the pointer's movement
  left press, drag   with obstacle painting on ('B'): flips cells between fluid and obstacle
Keys:
  Escape  quit              space  one step (while paused)   s  pause / resume
  d  density view           v  velocity view                 b  obstacle view
  g  grid view              B  obstacle painting             f  density source at the bottom
  c  print the fields after each step                        r  clear fields and obstacles
Without a display, run under a virtual X server: xvfb-run velmar_stable_fluids, or use
--headless with --replay FILE or --frames N.)";

// --help and --version are plain flags, acted on only once the whole line has parsed: an
// unknown option or a bad value beside them is still an error.
struct InfoRequests {
  bool help = false;
  bool version = false;
};

// The settings as typed, read once the whole line has parsed; empty when not given.
struct SettingsText {
  std::string grid, dt, diff, visc;
};

void add_settings(CLI::App& app, SettingsText& text) {
  app.add_option("--grid", text.grid, "interior cells per side: 30 to 1022 with N + 2 a multiple "
                                      "of 32 (default 126); finer grids cost more per step")
      ->option_text("N");
  app.add_option("--dt", text.dt, "time step of one simulation step (default 0.2)")
      ->option_text("X");
  app.add_option("--diff", text.diff, "diffusion rate of density (default 0.5)")
      ->option_text("X");
  app.add_option("--visc", text.visc, "viscosity, the diffusion rate of velocity (default 0)")
      ->option_text("X");
}

// Each setting given, read and checked; the first bad one is the fault returned.
std::optional<std::string> read_settings(const CLI::App& app, const SettingsText& text,
                                         ChosenSettings& chosen) {
  const auto fault = [](const char* name, const std::string& what) {
    return std::string(name) + ": " + what;
  };
  if (app.count("--grid") != 0) {
    auto grid = read_grid(text.grid);
    if (auto* what = std::get_if<std::string>(&grid)) return fault("--grid", *what);
    chosen.grid = std::get<int>(grid);
  }
  const struct {
    const char* name;
    const std::string& word;
    RateKind kind;
    std::optional<float>& value;
  } rates[] = {{"--dt", text.dt, RateKind::TimeStep, chosen.dt},
               {"--diff", text.diff, RateKind::Diffusion, chosen.diff},
               {"--visc", text.visc, RateKind::Diffusion, chosen.visc}};
  for (const auto& [name, word, kind, value] : rates) {
    if (app.count(name) == 0) continue;
    auto rate = read_rate(word, kind);
    if (auto* what = std::get_if<std::string>(&rate)) return fault(name, *what);
    value = std::get<float>(rate);
  }
  return std::nullopt;
}

void add_options(CLI::App& app, ProgramOptions& options, std::string& drawing,
                 InfoRequests& asked) {
  app.set_help_flag();
  app.add_flag("-h,--help", asked.help, "Print this help message and exit");
  app.add_flag("--version", asked.version, "Display program version information and exit");
  app.add_option("--draw", drawing, "cells (default): cell by cell; layers: obstacles and density "
                                    "as one image, the other views one batch each, far faster "
                                    "under software rendering; smooth: layers with the density "
                                    "blended between cell centres")
      ->check(CLI::IsMember({"cells", "layers", "smooth"}))
      ->option_text("cells|layers|smooth");
  app.add_option("--record", options.record_path, "write every input event to FILE")
      ->option_text("FILE");
  app.add_flag("--overwrite", options.overwrite,
               "let --record replace an existing FILE, and --png the pictures in DIR")
      ->option_text(" ");
  app.add_option("--replay", options.replay_path,
                 "replay the input recorded in FILE, frame for frame")
      ->option_text("FILE");
  app.add_flag("--headless", options.headless,
               "no window or X display: run the frames of --replay or --frames");
  app.add_option("--frames", options.frames, "with --headless: run N frames (default: to the recorded "
                                             "Escape, or one frame past the last event)")
      ->check(CLI::Range(std::int64_t{0}, kMostFrames))
      ->option_text("N");
  app.add_flag("--checksum", options.checksum, "print a checksum of the fields at exit");
  CLI::Option* png =
      app.add_option("--png", options.png_dir, "write the picture of every K-th frame to DIR")
          ->option_text("DIR");
  app.add_option("--every", options.png_every, "with --png: a picture every K frames (1)")
      ->check(CLI::Range(std::int64_t{1}, kMostFrames))
      ->needs(png)
      ->option_text("K ");
  app.add_flag("--guard", options.guard,
               "clear the fields when a step leaves an infinite or NaN value");
  app.add_option("--workers", options.workers,
                 "threads that share each step (default: the cores, at most one per 32 cells "
                 "of a grid line); the results are the same with any number")
      ->check(CLI::Range(1u, kMostStepWorkers))
      ->option_text("N");
}

// Combinations the parser cannot express; empty when the options fit together.
std::string conflict_in(const ProgramOptions& options) {
  if (options.headless && options.replay_path.empty() && !options.frames) {
    return "--headless needs --replay FILE or --frames N";
  }
  if (options.frames && !options.headless) return "--frames needs --headless";
  if (options.overwrite && options.record_path.empty() && options.png_dir.empty()) {
    return "--overwrite needs --record FILE or --png DIR";
  }
  return {};
}

int report_error(std::FILE* err, const std::string& what) {
  print_message(err, "%s; see --help", what.c_str());
  return 2;
}

}  // namespace

ParsedCommandLine parse_command_line(const std::vector<std::string>& arguments, std::FILE* out,
                                     std::FILE* err) {
  CLI::App app{"An interactive two-dimensional fluid simulation.", std::string(kProgramName)};
  app.footer(kInputHelp);
  ProgramOptions options;
  std::string drawing = "cells";
  InfoRequests asked;
  add_options(app, options, drawing, asked);
  SettingsText settings;
  add_settings(app, settings);

  std::vector<const char*> argv;
  for (const std::string& argument : arguments) argv.push_back(argument.c_str());
  try {
    app.parse(static_cast<int>(argv.size()), argv.data());
  } catch (const CLI::ParseError& error) {
    return report_error(err, error.what());
  }
  if (const auto fault = read_settings(app, settings, options.settings)) {
    return report_error(err, *fault);
  }
  if (asked.help) {
    std::fputs(app.help().c_str(), out);
    return 0;
  }
  if (asked.version) {
    std::fprintf(out, "%s %s\n", kProgramName.data(), VELMAR_VERSION);
    return 0;
  }
  options.drawing = drawing == "layers"   ? ViewDrawing::Layers
                    : drawing == "smooth" ? ViewDrawing::Smooth
                                          : ViewDrawing::Cells;
  if (const std::string conflict = conflict_in(options); !conflict.empty()) {
    return report_error(err, conflict);
  }
  return options;
}
