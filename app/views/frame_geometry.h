// What a reshape sets up for the window and the off-screen pictures alike.
#pragma once

// A reshape to `width` x `height`: records the size, replaces the cell list and sets the
// viewport and a projection of one unit per pixel, origin bottom-left.
void set_up_frame_geometry(int width, int height);
