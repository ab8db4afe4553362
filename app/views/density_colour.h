// Colour of a cell in the density view: blue below 0.33, green below 0.66, red above, with the
// density itself as the intensity (values above 1 saturate).
#pragma once

#include <optional>

struct CellColour {
  float red;
  float green;
  float blue;
};

// Nothing for densities the view leaves undrawn: zero, negative and NaN.
std::optional<CellColour> density_colour(float density);
