#include "options.h"

#include <CLI/CLI.hpp>

#include <memory>
#include <optional>
#include <string_view>

#include "frame_limits.h"
#include "parser_refusals.h"
#include "program_messages.h"
#include "step_settings.h"

namespace {

constexpr const char* kInputHelp = R"(X options, handed to GLUT (not with --headless, but for -geometry WxH):
  -display NAME  -geometry WxH+X+Y  -iconic  -direct  -indirect  -gldebug  -sync
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

// Lists "-h, --help" with a space after the comma, as other programs' help does.
class HelpFormatter : public CLI::Formatter {
 public:
  std::string make_option_name(const CLI::Option* option, bool positional) const override {
    std::string spaced;
    for (const char character : CLI::Formatter::make_option_name(option, positional)) {
      spaced += character;
      if (character == ',') spaced += ' ';
    }
    return spaced;
  }
};

// --help and --version are plain flags, acted on only once the whole line has parsed: an
// unknown option or a bad value beside them is still an error.
struct InfoRequests {
  bool help = false;
  bool version = false;
};

// Values as typed, read once the whole line has parsed, so that every refusal of a value is
// in the program's words.
struct SettingsText {
  std::string grid, dt, diff, visc;
  std::string drawing, frames, every, workers;
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

// The other values: whole numbers in their ranges, the drawing by name, paths not empty.
std::optional<std::string> read_values(const CLI::App& app, const SettingsText& text,
                                       ProgramOptions& options) {
  const struct {
    const char* name;
    const std::string& word;
    long long lowest, highest;
    void (*store)(ProgramOptions&, long long);
  } whole_numbers[] = {
      {"--frames", text.frames, 0, kMostFrames,
       [](ProgramOptions& o, long long n) { o.frames = n; }},
      {"--every", text.every, 1, kMostFrames,
       [](ProgramOptions& o, long long n) { o.png_every = n; }},
      {"--workers", text.workers, 1, kMostStepWorkers,
       [](ProgramOptions& o, long long n) { o.workers = static_cast<unsigned>(n); }},
  };
  for (const auto& [name, word, lowest, highest, store] : whole_numbers) {
    if (app.count(name) == 0) continue;
    const auto number = read_whole_number(word, lowest, highest);
    if (const auto* what = std::get_if<std::string>(&number)) return name + (": " + *what);
    store(options, std::get<long long>(number));
  }
  if (app.count("--draw") != 0 && text.drawing != "cells" && text.drawing != "layers" &&
      text.drawing != "smooth") {
    return "--draw: expected cells, layers or smooth, found \"" + text.drawing + "\"";
  }
  options.drawing = text.drawing == "layers"   ? ViewDrawing::Layers
                    : text.drawing == "smooth" ? ViewDrawing::Smooth
                                               : ViewDrawing::Cells;
  if (app.count("--every") != 0 && app.count("--png") == 0) return "--every needs --png DIR";
  const struct {
    const char* name;
    const std::string& path;
    const char* kind;
  } paths[] = {{"--record", options.record_path, "FILE"},
               {"--replay", options.replay_path, "FILE"},
               {"--png", options.png_dir, "DIR"}};
  for (const auto& [name, path, kind] : paths) {
    if (app.count(name) != 0 && path.empty()) {
      return std::string(name) + ": expected " + kind + ", found \"\"";
    }
  }
  return std::nullopt;
}

// Every option as the command line spells it, for the check of the line's shape.
std::vector<OptionShape> option_shapes(const CLI::App& app) {
  std::vector<OptionShape> shapes;
  for (const CLI::Option* option : app.get_options()) {
    const bool flag = option->get_items_expected_max() == 0;
    for (const std::string& name : option->get_lnames()) {
      shapes.push_back({.name = "--" + name, .value_text = flag ? "" : option->get_option_text()});
    }
    for (const std::string& name : option->get_snames()) {
      shapes.push_back({.name = "-" + name, .value_text = flag ? "" : option->get_option_text()});
    }
  }
  // GLUT's options that take a value are left to the program only when the value is missing.
  shapes.push_back({.name = "-display", .value_text = "NAME"});
  shapes.push_back({.name = "-geometry", .value_text = "WxH+X+Y"});
  return shapes;
}

void add_options(CLI::App& app, ProgramOptions& options, SettingsText& text,
                 InfoRequests& asked) {
  app.set_help_flag();
  app.add_flag("-h,--help", asked.help, "print this help and exit");
  app.add_flag("--version", asked.version, "print the version and exit");
  app.add_option("--draw", text.drawing, "cells (default): cell by cell; layers: obstacles and "
                                         "density as one image, the other views one batch each, "
                                         "far faster under software rendering; smooth: layers "
                                         "with the density blended between cell centres")
      ->option_text("cells|layers|smooth");
  app.add_option("--record", options.record_path, "write every input event to FILE")
      ->option_text("FILE");
  app.add_flag("--overwrite", options.overwrite,
               "let --record replace an existing FILE, and --png the pictures in DIR");
  app.add_option("--replay", options.replay_path,
                 "replay the input recorded in FILE, frame for frame")
      ->option_text("FILE");
  app.add_flag("--headless", options.headless,
               "no window or X display: run the frames of --replay or --frames");
  app.add_option("--frames", text.frames, "with --headless: run N frames (default: to the recorded "
                                          "Escape, or one frame past the last event)")
      ->option_text("N");
  app.add_flag("--checksum", options.checksum, "print a checksum of the fields at exit");
  app.add_option("--png", options.png_dir, "write the picture of every K-th frame to DIR")
      ->option_text("DIR");
  app.add_option("--every", text.every, "with --png: a picture every K frames (1)")
      ->option_text("K");
  app.add_flag("--guard", options.guard,
               "clear the fields when a step leaves an infinite or NaN value");
  app.add_option("--workers", text.workers,
                 "threads that share each step (default: the cores, at most one per 32 cells "
                 "of a grid line); the results are the same with any number")
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
  app.formatter(std::make_shared<HelpFormatter>());
  // An option given twice takes its last value, as most Unix programs do.
  app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  ProgramOptions options;
  InfoRequests asked;
  SettingsText text;
  add_options(app, options, text, asked);
  add_settings(app, text);

  if (const auto fault = shape_fault(arguments, option_shapes(app))) {
    return report_error(err, *fault);
  }
  std::vector<const char*> argv;
  for (const std::string& argument : arguments) argv.push_back(argument.c_str());
  try {
    app.parse(static_cast<int>(argv.size()), argv.data());
  } catch (const CLI::ParseError&) {
    // The line's shape was checked above; whatever else the parser refuses is told here in
    // the program's words, never the parser's.
    return report_error(err, "expected the options as --help lists them");
  }
  if (const auto fault = read_settings(app, text, options.settings)) {
    return report_error(err, *fault);
  }
  if (const auto fault = read_values(app, text, options)) return report_error(err, *fault);
  if (asked.help) {
    std::fputs(app.help().c_str(), out);
    return 0;
  }
  if (asked.version) {
    std::fprintf(out, "%s %s\n", kProgramName.data(), VELMAR_VERSION);
    return 0;
  }
  if (const std::string conflict = conflict_in(options); !conflict.empty()) {
    return report_error(err, conflict);
  }
  return options;
}
