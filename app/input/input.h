// Keyboard and mouse input on `fluid`: view and mode keys, density and velocity sources from
// the mouse, obstacle painting. Window-free; the GLUT callbacks forward here and then request
// a redraw.
#pragma once

// Runs the command bound to `key` (case-sensitive); unbound keys do nothing. Escape (27) ends
// the process with status 0 through exit(), so at-exit routines run.
void apply_key(unsigned char key);

// A mouse button event: button 0 left, 1 middle, 2 right; state 0 pressed, 1 released;
// (x, y) in window pixels, y from the top.
void mouse_button_event(int button, int state, int x, int y);

// A drag event while a button is held. Returns false when it was ignored because the last
// button event was a release; no redraw is needed then.
bool mouse_motion_event(int x, int y);

// The mouse action at the last recorded pointer position: right button drops a density burst,
// left drag adds momentum, left button with obstacle painting on flips obstacle cells.
void apply_mouse(int button, int is_motion);

// Interior row or column (1..n) under a pointer `offset` pixels along an axis `extent` pixels
// long: truncate(offset / extent * (n + 2)), clamped. Defined for every offset and extent.
int pointer_cell(double offset, int extent, int n);
