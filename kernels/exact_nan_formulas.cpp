// The formulas of cell_formulas.h compiled once, out of line, for every result that is NaN.
#include "cell_formulas.h"

#define VELMAR_ONCE __attribute__((noinline))

namespace exactNaN {

VELMAR_ONCE float sourceAdded(float x, float s, float dt) {
  return sourceSum(ScalarLanes{}, x, s, dt);
}

VELMAR_ONCE float diffusionNumerator(float x0, float a, float left, float right, float below,
                                     float above) {
  return ::diffusionNumerator(ScalarLanes{}, x0, a, left, right, below, above);
}

VELMAR_ONCE float pressureSum(float div, float left, float right, float below, float above) {
  return ::pressureSum(ScalarLanes{}, div, left, right, below, above);
}

VELMAR_ONCE float divergence(float h, float uRight, float uLeft, float vAbove, float vBelow) {
  return divergenceOf(ScalarLanes{}, h, uRight, uLeft, vAbove, vBelow);
}

VELMAR_ONCE float correctedVelocity(float velocity, float gradient, bool reflected) {
  return reflected ? velocityPlus(ScalarLanes{}, velocity, gradient)
                   : velocityMinus(ScalarLanes{}, velocity, gradient);
}

VELMAR_ONCE float interpolated(float d00, float d01, float d10, float d11, float wi0, float wi1,
                               float wj0, float wj1) {
  return interpolation(ScalarLanes{}, d00, d01, d10, d11, wi0, wi1, wj0, wj1);
}

}  // namespace exactNaN
