// The four overlaid views of the grid, drawn cell by cell: obstacles, density, velocity and
// cell outlines.
#pragma once

// Draws the switched-on views of every interior cell, top row first, cell by cell.
void draw_views();
