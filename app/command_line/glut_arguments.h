// GLUT reads a few X options of its own (-display, -geometry, ...). They are taken out of the
// command line before the program's own options are parsed, and handed to glutInit alone.
#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

struct SplitArguments {
  std::vector<std::string> glut;     // program name first, then GLUT's options
  std::vector<std::string> program;  // program name first, then everything else
  std::string display_name;          // the value of -display, empty when not given
  std::string geometry;              // the value of -geometry, empty when not given
};

SplitArguments split_glut_arguments(int argc, char** argv);

// With --headless there is no X server: of GLUT's options only the size of -geometry WxH means
// anything, the window's starting size (as a recorded reshape sets it; a position is ignored).
// Either that size, none, or the fault in one line: any other GLUT option, or a -geometry
// without a size.
struct StartingSize {
  int width = 0;
  int height = 0;
};
using HeadlessGlutArguments = std::variant<std::optional<StartingSize>, std::string>;
HeadlessGlutArguments headless_glut_arguments(const SplitArguments& split);
