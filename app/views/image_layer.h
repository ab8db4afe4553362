// The obstacle and density views drawn as one textured quad over the grid: a texel a cell,
// nearest texel (the same pixels as the cell quads) or linear between cell centres (smooth).
#pragma once

enum class ImageFilter { Nearest, Linear };

// Whether the current context can hold the N x N image. Asked of the renderer the first time
// and again when N changes; where it cannot, one line on standard error says so and why.
bool field_image_available();

// Fills the image from the fields and draws it from (cell_size, cell_size) to
// ((N+1) cell_size, (N+1) cell_size). The texture is made once per grid size and context
// and updated in place each frame. GL state it changes is restored before it returns.
void draw_field_image(ImageFilter filter);
