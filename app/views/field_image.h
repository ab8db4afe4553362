// The obstacle and density views as one image: a texel a cell, in the colour the two views
// give the cell, so that one textured quad draws both. No GL here; the texture is
// image_layer's.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

// A colour component as the renderer stores a vertex colour in an 8-bit framebuffer: clamped
// to [0, 1], scaled by 255 and rounded to nearest.
std::uint8_t colour_byte(float component);

// Fills `texels` with N x N RGB texels, 3 bytes each, in the fields' own order: a texture row
// per grid column j from the left, along it the rows i from the bottom, so that the fields are
// read in sequence (the drawn quad turns the image onto the screen). Each texel is the density
// colour where the density view is on and draws the cell, else blue or black where the
// obstacle view is on, else black, the background. Resized only when N has changed.
void fill_field_image(std::vector<std::uint8_t>& texels);

// How the renderer can hold an N x N texture: as an ordinary 2-D texture when it takes any
// size (GL 2.0, or the non-power-of-two extension), else as a texture rectangle, else not at
// all (a GL 1.1 renderer takes only powers of two).
enum class ImageTexture { AnySize2D, Rectangle, None };

// From the GL_VERSION and GL_EXTENSIONS strings; extensions count as whole names only.
ImageTexture image_texture_for(std::string_view gl_version, std::string_view gl_extensions);
