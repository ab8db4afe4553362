// Window geometry as the front end sees it: the window size from the last reshape and the edge
// length of one drawn cell. No GL here, so unit tests reach it without a display.
#pragma once

// Edge length of a drawn cell for a window `width` pixels wide and `n` interior cells per side:
// the division truncates in integers, so a 500-pixel window gives 3.0, not 3.968.
float cell_size_for_width(int width, int n);

// Records a reshape's window size in `fluid` and recomputes `fluid.cell_size` from it.
void record_window_size(int width, int height);

// Centre of cell number `index` along one axis, in window pixels from the bottom-left corner,
// rounded to float once, as every drawing of the views places it.
float cell_centre(int index, float cell_size);
