// Windows larger than the renderer can draw into: the window system may hand the program any
// size, but the renderer has a largest viewport, and a software renderer asked to clear a
// larger window can fault in its own threads.
#pragma once

#include <cstdio>

// Call on every reshape. Within the renderer's largest viewport, and up to the largest window
// measured to draw safely beyond it, nothing changes; a larger window is not drawn
// (the simulation goes on), and the first time one line on `err` says so.
void limit_drawing_to_renderer(int width, int height, std::FILE* err = stderr);

// False while the window is larger than the renderer can draw.
bool window_drawable();
