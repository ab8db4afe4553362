// How the views reach the screen, chosen once at start: cell by cell (the default); in layers,
// the obstacle and density views as one image and the other views as one batch each (far
// fewer draws, which a software renderer pays for); or smooth, the layers with the image
// filtered linearly between cell centres.
#pragma once

#include <string_view>

enum class ViewDrawing { Cells, Layers, Smooth };

void set_view_drawing(ViewDrawing drawing);
ViewDrawing view_drawing();

// Clears the current framebuffer and draws the switched-on views in the selected way. Draws
// only: the simulation is stepped by the frame step before it. A window narrower than one
// pixel a cell is only cleared, and the first time one line on standard error says so. Where
// the renderer cannot hold the image, the layers draw those two views in vertex arrays.
void draw_frame();

// False while the window is narrower than one pixel a cell; the first time, one line on
// standard error says so. Also asked on a reshape, since a window that small (0 x 0 above all)
// may never be shown, and so never drawn.
bool cells_have_pixels();

// True when `drawing` is cell by cell and `gl_renderer` (the GL_RENDERER string) names a
// software renderer: each draw call costs it microseconds, so the layers draw several times
// faster there.
bool layers_would_draw_faster(std::string_view gl_renderer, ViewDrawing drawing);
