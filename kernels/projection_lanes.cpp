// One instruction set's pass over this file at a time (Highway's foreach_target).
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "projection_lanes.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include <cmath>
#include <cstdint>

#include "cell_programs.h"
#include "projection_lanes.h"
#include "vector_lanes-inl.h"

HWY_BEFORE_NAMESPACE();
namespace velmar_lanes {
namespace HWY_NAMESPACE {

using D = hn::ScalableTag<double>;
using DF = hn::Rebind<float, D>;
using DI = hn::Rebind<std::int32_t, D>;

HWY_INLINE hn::Mask<DF> obstacleAt(const int* boundary, int t) {
  const DI di;
  return hn::RebindMask(DF(), hn::Ne(hn::LoadU(di, boundary + t), hn::Zero(di)));
}

// Edge and obstacle cells among the lanes from cell (i, ·) on.
HWY_INLINE hn::Mask<DF> clearedAt(int n, const int* boundary, int i, int t) {
  const DI di;
  const auto cells = hn::Add(hn::Iota(di, 0), hn::Set(di, i));
  const auto edge = hn::Or(hn::Eq(cells, hn::Zero(di)), hn::Eq(cells, hn::Set(di, n + 1)));
  return hn::Or(hn::RebindMask(DF(), edge), obstacleAt(boundary, t));
}

// pointsAtObstacle in lanes: which lanes flip, by the mask entries `step` cells on either side.
HWY_INLINE hn::Mask<DF> pointsAtObstacleLanes(hn::Vec<DF> value, const int* boundary, int t,
                                              int step) {
  const auto zero = hn::Zero(DF());
  return hn::Or(hn::And(hn::Lt(value, zero), obstacleAt(boundary, t - step)),
                hn::And(hn::Gt(value, zero), obstacleAt(boundary, t + step)));
}

// Lanes whose value is NaN take it from the formula compiled once, as every scalar use does.
template <class Exact>
HWY_NOINLINE hn::Vec<DF> nanLanesExactly(hn::Vec<DF> value, Exact exact) {
  const DF df;
  alignas(64) float lanes[16];
  hn::Store(value, df, lanes);
  for (size_t l = 0; l < hn::Lanes(df); ++l) {
    if (std::isnan(lanes[l])) lanes[l] = exact(l);
  }
  return hn::Load(df, lanes);
}

// Whether the grid spacing divides as a plain quotient, as deviceDivide does it then.
bool ordinaryDivisor(float h) { return !(std::fabs(h) > 0x1p126f); }

void DivergenceLine(int n, float h, const float* u, const float* v, float* p, float* div,
                    const int* boundary, int j, int first, int end) {
  const int side = n + 2;
  int i = first;
  if (kLanesMatchTheProcessor) {
    const D d;
    const DF df;
    const VectorLanes<D> lanes{d};
    const int width = static_cast<int>(hn::Lanes(d));
    const auto spacing = hn::Set(df, h);
    for (; i + width <= end; i += width) {
      const int t = i + side * j;
      const auto uRight = hn::LoadU(df, u + t + 1);
      const auto uLeft = hn::LoadU(df, u + t - 1);
      const auto vAbove = hn::LoadU(df, v + t + side);
      const auto vBelow = hn::LoadU(df, v + t - side);
      auto dval = divergenceOf(lanes, spacing, uRight, uLeft, vAbove, vBelow);
      if (!hn::AllFalse(df, hn::IsNaN(dval))) [[unlikely]] {
        dval = nanLanesExactly(dval, [&](size_t l) {
          return exactNaN::divergence(h, u[t + 1 + l], u[t - 1 + l], v[t + side + l],
                                      v[t - side + l]);
        });
      }
      const auto reflected =
          hn::IfThenElse(pointsAtObstacleLanes(dval, boundary, t, 1), hn::Neg(dval), dval);
      hn::StoreU(hn::IfThenZeroElse(clearedAt(n, boundary, i, t), reflected), df, div + t);
      hn::StoreU(hn::Zero(df), df, p + t);
    }
  }
  for (; i < end; ++i) {
    const ThreadCell c = cellAt(n, i, j);
    divergenceUpdate(n, h, u, v, p, div, boundary, c, isEdgeCell(n, c));
  }
}

void GradientLine(int n, float h, float* u, float* v, const float* p, const int* boundary, int j,
                  int first, int end) {
  const int side = n + 2;
  int i = first;
  if (kLanesMatchTheProcessor && ordinaryDivisor(h)) {
    const D d;
    const DF df;
    const VectorLanes<D> lanes{d};
    const int width = static_cast<int>(hn::Lanes(d));
    const auto spacing = hn::Set(df, h);
    // The axes cross: the gradient along i is reflected by the neighbours along j, and the
    // other way round.
    const auto corrected = [&](hn::Vec<DF> velocity, hn::Vec<DF> gradient, const float* at,
                               int t, int acrossStep) {
      const auto flip = pointsAtObstacleLanes(gradient, boundary, t, acrossStep);
      auto value = hn::IfThenElse(flip, velocityPlus(lanes, velocity, gradient),
                                  velocityMinus(lanes, velocity, gradient));
      if (!hn::AllFalse(df, hn::IsNaN(value))) [[unlikely]] {
        alignas(64) float gradients[16];
        hn::Store(gradient, df, gradients);
        const auto flips = hn::VecFromMask(df, flip);
        alignas(64) float flipped[16];
        hn::Store(flips, df, flipped);
        value = nanLanesExactly(value, [&](size_t l) {
          return exactNaN::correctedVelocity(at[t + l], gradients[l],
                                             std::isnan(flipped[l]) || flipped[l] != 0.0f);
        });
      }
      return value;
    };
    for (; i + width <= end; i += width) {
      const int t = i + side * j;
      const auto cleared = clearedAt(n, boundary, i, t);
      // deviceDivide by an ordinary divisor: the plain quotient.
      const auto gi = hn::Div(halfDifference(lanes, hn::LoadU(df, p + t + 1), hn::LoadU(df, p + t - 1)), spacing);
      const auto newU = corrected(hn::LoadU(df, u + t), gi, u, t, side);
      const auto gj = hn::Div(halfDifference(lanes, hn::LoadU(df, p + t + side), hn::LoadU(df, p + t - side)), spacing);
      const auto newV = corrected(hn::LoadU(df, v + t), gj, v, t, 1);
      hn::StoreU(hn::IfThenZeroElse(cleared, newU), df, u + t);
      hn::StoreU(hn::IfThenZeroElse(cleared, newV), df, v + t);
    }
  }
  for (; i < end; ++i) {
    const ThreadCell c = cellAt(n, i, j);
    gradientUpdate(n, h, u, v, p, boundary, c, isEdgeCell(n, c));
  }
}

}  // namespace HWY_NAMESPACE
}  // namespace velmar_lanes
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace velmar_lanes {
HWY_EXPORT(DivergenceLine);
HWY_EXPORT(GradientLine);
}  // namespace velmar_lanes

void divergenceInLanes(int n, float h, const float* u, const float* v, float* p, float* div,
                       const int* boundary, int j, int first, int end) {
  HWY_DYNAMIC_DISPATCH(velmar_lanes::DivergenceLine)(n, h, u, v, p, div, boundary, j, first, end);
}

void gradientInLanes(int n, float h, float* u, float* v, const float* p, const int* boundary,
                     int j, int first, int end) {
  HWY_DYNAMIC_DISPATCH(velmar_lanes::GradientLine)(n, h, u, v, p, boundary, j, first, end);
}
#endif  // HWY_ONCE
