// The command line: what the user asked for, checked whole before anything runs.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "simulation_settings.h"
#include "view_drawing.h"

struct ProgramOptions {
  ViewDrawing drawing = ViewDrawing::Cells;
  std::string record_path;         // empty: nothing is recorded
  bool overwrite = false;          // --record and --png may replace what is there
  std::string replay_path;         // empty: live input only
  bool headless = false;           // no window, no X connection
  std::optional<std::int64_t> frames;  // frames to run headless
  bool checksum = false;           // print the fields' checksum at exit
  std::string png_dir;             // empty: no pictures
  std::int64_t png_every = 1;      // a picture after every K-th frame
  bool guard = false;              // reset the fields when a step leaves a non-finite value
  unsigned workers = 0;            // host threads for one step; 0: the step's default
  ChosenSettings settings;         // grid and physics named on the command line
};

// Either the options, or the exit status of a run that already ended: 0 after --help or
// --version, 2 after a one-line error on `err`.
using ParsedCommandLine = std::variant<ProgramOptions, int>;

// `arguments` are the program's own, GLUT's already taken out; the first is the program name.
ParsedCommandLine parse_command_line(const std::vector<std::string>& arguments,
                                     std::FILE* out = stdout, std::FILE* err = stderr);
