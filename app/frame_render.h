// What the window and the off-screen pictures share: the geometry a reshape sets up, and one
// frame drawn into the current framebuffer.
#pragma once

// A reshape to `width` x `height`: records the size, replaces the cell list and sets the
// viewport and a projection of one unit per pixel, origin bottom-left.
void set_up_frame_geometry(int width, int height);

// Clears the frame, runs the frame step, then draws the switched-on views in the selected way.
void render_frame();
