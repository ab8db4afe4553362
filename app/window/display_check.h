// Whether the X display the window would open on can be reached, asked before GLUT is
// initialised: GLUT's own failure is a bare message and gives no way out.
#pragma once

#include <cstdio>
#include <string>

// True when `display_name` (empty: the DISPLAY variable) can be opened. Otherwise prints one
// line on `err` that names the display and how to run without one.
//
// The connection stays open until release_display_check(), called once GLUT has its own: an
// X server resets when its last client leaves and refuses connections meanwhile, and under
// xvfb-run this check is the server's first and only client.
bool x_display_reachable(const std::string& display_name, std::FILE* err = stderr);
void release_display_check();
