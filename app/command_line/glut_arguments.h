// GLUT reads a few X options of its own (-display, -geometry, ...). They are taken out of the
// command line before the program's own options are parsed, and handed to glutInit alone.
#pragma once

#include <string>
#include <vector>

struct SplitArguments {
  std::vector<std::string> glut;     // program name first, then GLUT's options
  std::vector<std::string> program;  // program name first, then everything else
  std::string display_name;          // the value of -display, empty when not given
  std::string geometry;              // the value of -geometry, empty when not given
};

SplitArguments split_glut_arguments(int argc, char** argv);
