// Whether the X display the window would open on can be reached, asked before GLUT is
// initialised: GLUT's own failure is a bare message and gives no way out.
#pragma once

#include <cstdio>
#include <string>

// True when `display_name` (empty: the DISPLAY variable) can be opened. Otherwise prints one
// line on `err` that names the display and how to run without one.
//
// The connection stays open until release_display_check(): an X server whose last client
// leaves resets itself and refuses connections meanwhile (Xvfb does), so closing it here
// could make GLUT's own connection fail a moment later.
bool x_display_reachable(const std::string& display_name, std::FILE* err = stderr);

// Closes the connection the check kept open; call once GLUT has its own.
void release_display_check();
