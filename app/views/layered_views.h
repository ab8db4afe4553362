// A second way of drawing the four views: the obstacle and density views as one image of a
// texel a cell, or each as one vertex-array batch, then the velocity and grid views as one
// batch each, cells in the same order as the cell-by-cell drawing. Far fewer draws per frame,
// which is what a software renderer pays for. With the obstacle and density views the pixels
// equal the cell-by-cell drawing's (the smooth image aside); velocity segments and cell
// outlines land over all cells instead of being cut by later cells' quads.
#pragma once

// How the obstacle and density views reach the screen.
enum class FieldLayers {
  VertexArrays,  // four corners and a colour per cell
  Image,         // one quad, nearest texel
  SmoothImage,   // one quad, linear between cell centres
};

// Draws the switched-on views. The arrays follow N and cell_size and are rebuilt when either
// has changed since the last frame (after a reshape); otherwise nothing is allocated. GL state
// it changes is restored before it returns. The image needs field_image_available().
void draw_layered_views(FieldLayers fields);
