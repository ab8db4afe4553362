// A second way of drawing the four views: each switched-on view as one vertex-array batch
// (obstacles, density, velocity, grid), cells in the same order as the cell-by-cell drawing.
// Far fewer draws per frame, which is what a software renderer pays for. With the obstacle
// and density views the pixels equal the cell-by-cell drawing's; velocity segments and cell
// outlines land over all cells instead of being cut by later cells' quads.
#pragma once

// Draws the switched-on views as one batch each. The arrays follow N and cell_size and are
// rebuilt when either has changed since the last frame (after a reshape); otherwise nothing
// is allocated. GL state it changes is restored before it returns.
void draw_layered_views();
