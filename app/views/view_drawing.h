// How the views reach the screen, chosen once at start: cell by cell (the default), or each
// switched-on view as one batch (far fewer draws, which a software renderer pays for).
#pragma once

enum class ViewDrawing { Cells, Layers };

void set_view_drawing(ViewDrawing drawing);
ViewDrawing view_drawing();

// Clears the current framebuffer and draws the switched-on views in the selected way. Draws
// only: the simulation is stepped by the frame step before it.
void draw_frame();
