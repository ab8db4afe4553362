// Opens the program's window and hands over to GLUT's loop, which runs everything else on
// this one thread.
#pragma once

#include <string>
#include <vector>

// `glut_arguments`: the program name, then GLUT's own X options, among them -geometry with
// the value `geometry` (empty when not given). Does not return while the window is open;
// Escape and the window's closing end the process.
void run_window(std::vector<std::string> glut_arguments, const std::string& geometry);
