#include "density_colour.h"

std::optional<CellColour> density_colour(float density) {
  if (!(density > 0.0f)) return std::nullopt;
  // The thresholds are doubles on purpose: 0.33f (0.330000013) is not below 0.33, so it is green.
  const double d = density;
  if (d < 0.33) return CellColour{0.0f, 0.0f, density};
  if (d < 0.66) return CellColour{0.0f, density, 0.0f};
  return CellColour{density, 0.0f, 0.0f};
}
