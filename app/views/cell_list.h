// The display list of one cell quad that every view draws with, and its replacement on reshape.
#pragma once

// Recomputes `fluid.cell_size` from the window width and compiles a new `fluid.cell_list`: a
// filled square of side `cell_size` centred on the origin. Sets the clear colour to black.
void build_cell_list();

// Deletes the current cell list and builds the one for the new window width, so exactly one
// list is alive at any time.
void replace_cell_list();
