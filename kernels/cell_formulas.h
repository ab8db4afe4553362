// The arithmetic of one cell, shared by the kernels' threads and their fast forms, so that the
// two schedules cannot drift apart. Every expression widens to double and rounds to float only
// where the kernels store a value. Plain inline code: no library calls, no allocation, nothing
// that could not also be compiled for a device.
#pragma once

#include <cmath>

#include "device_arithmetic.h"

// Which NaN a sum of two NaNs gives depends on the order the compiler puts its operands in,
// which may differ from one place of a formula's use to another. Results that are NaN are
// therefore always formed by these compiled-once copies of the formulas, so that a NaN is the
// same wherever a formula runs. Results that are not NaN do not depend on the order.
namespace exactNaN {
float sourceAdded(float x, float s, float dt);
float diffusionNumerator(float x0, float a, float left, float right, float below, float above);
float pressureSum(float div, float left, float right, float below, float above);
float divergence(float h, float uRight, float uLeft, float vAbove, float vBelow);
float correctedVelocity(float velocity, float gradient, bool reflected);
float interpolated(float d00, float d01, float d10, float d11, float wi0, float wi1, float wj0,
                   float wj1);
}  // namespace exactNaN

// The same formulas on single values and on vectors of lanes: `Lanes` widens floats to the
// kernels' double intermediates and rounds them back.
struct ScalarLanes {
  static double widen(float x) { return x; }
  static double widen(int x) { return x; }
  static double widen(double x) { return x; }
  static double one() { return 1.0; }
  static double constant(double x) { return x; }
  static float narrow(double x) { return static_cast<float>(x); }
};

// The formulas that also run on vectors of lanes, written once for both.
#include "lane_formulas.inc"

// A formula's result, or, where it is NaN, the same formula's from its compiled-once copy.
template <class... Args>
float sameNaNEverywhere(float result, float (*compiledOnce)(Args...), Args... args) {
  return std::isnan(result) ? compiledOnce(args...) : result;
}

inline float sourceAdded(float x, float s, float dt) {
  return sameNaNEverywhere(sourceSum(ScalarLanes{}, x, s, dt), &exactNaN::sourceAdded, x, s, dt);
}

// a = dt * rate * N * N of the implicit diffusion, and its divisor 1 + 4a, each rounded once.
inline float diffusionRate(float dt, float rate, int n) {
  return static_cast<float>(static_cast<double>(dt) * rate * n * n);
}
inline float diffusionDivisor(float a) {
  return static_cast<float>(static_cast<double>(a) * 4.0 + 1.0);
}

inline float diffused(float x0, float a, float divisor, float left, float right, float below,
                      float above) {
  const float numerator =
      sameNaNEverywhere(diffusionNumerator(ScalarLanes{}, x0, a, left, right, below, above),
                        &exactNaN::diffusionNumerator, x0, a, left, right, below, above);
  return deviceDivide(numerator, divisor);
}

inline float relaxedPressure(float div, float left, float right, float below, float above) {
  const float sum =
      sameNaNEverywhere(pressureSum(ScalarLanes{}, div, left, right, below, above),
                        &exactNaN::pressureSum, div, left, right, below, above);
  return deviceDivide(sum, 4.0f);
}

// Grid spacing 1/N, rounded to float.
inline float gridSpacing(int n) { return static_cast<float>(1.0 / n); }

inline float divergence(float h, float uRight, float uLeft, float vAbove, float vBelow) {
  return sameNaNEverywhere(divergenceOf(ScalarLanes{}, h, uRight, uLeft, vAbove, vBelow),
                           &exactNaN::divergence, h, uRight, uLeft, vAbove, vBelow);
}

// Half the difference of the two neighbours, rounded to float, over the grid spacing.
inline float halfDifferenceOver(float plus, float minus, float h) {
  return deviceDivide(halfDifference(ScalarLanes{}, plus, minus), h);
}

// A velocity corrected by a gradient: added where the gradient points at an obstacle.
inline float correctedVelocity(float velocity, float gradient, bool reflected) {
  return sameNaNEverywhere(reflected ? velocityPlus(ScalarLanes{}, velocity, gradient)
                                     : velocityMinus(ScalarLanes{}, velocity, gradient),
                           &exactNaN::correctedVelocity, velocity, gradient, reflected);
}

inline float interpolated(float d00, float d01, float d10, float d11, float wi0, float wi1,
                          float wj0, float wj1) {
  return sameNaNEverywhere(interpolation(ScalarLanes{}, d00, d01, d10, d11, wi0, wi1, wj0, wj1),
                           &exactNaN::interpolated, d00, d01, d10, d11, wi0, wi1, wj0, wj1);
}

// Obstacle reflection of a value by its neighbours' mask entries along one axis: flipped when
// negative with an obstacle on the minus side or positive with one on the plus side.
inline bool pointsAtObstacle(float value, bool minusIsObstacle, bool plusIsObstacle) {
  return (value < 0.0f && minusIsObstacle) || (value > 0.0f && plusIsObstacle);
}
