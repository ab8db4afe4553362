// One instruction set's pass over this file at a time (Highway's foreach_target).
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "advect_lanes.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include <cmath>
#include <cstdint>

#include "advect_lanes.h"
#include "cell_programs.h"
#include "vector_lanes-inl.h"

HWY_BEFORE_NAMESPACE();
namespace velmar_lanes {
namespace HWY_NAMESPACE {

// departure() in lanes: the strict tests let a NaN through unchanged.
template <class D, class DF = hn::Rebind<float, D>, class DI = hn::Rebind<std::int32_t, D>>
HWY_INLINE hn::Vec<DF> departureLanes(const VectorLanes<D>& lanes, hn::Vec<DI> cell,
                                      hn::Vec<DF> velocity, float dt0, int n) {
  const DF df;
  auto position = unclampedDeparture(lanes, cell, velocity, hn::Set(df, dt0));
  const auto low = hn::Set(df, 0.5f);
  position = hn::IfThenElse(hn::Lt(position, low), low, position);
  const auto high = hn::Set(df, static_cast<float>(n + 0.5));  // exact for any grid we take
  return hn::IfThenElse(hn::Gt(position, high), high, position);
}

// deviceFloatToInt of a clamped coordinate: in range, or NaN, which gives 0.
template <class DF, class DI = hn::RebindToSigned<DF>>
HWY_INLINE hn::Vec<DI> cellBelow(DF, hn::Vec<DF> position) {
  const DI di;
  return hn::IfThenZeroElse(hn::RebindMask(di, hn::IsNaN(position)), hn::ConvertTo(di, position));
}

void AdvectInterior(int n, int b, float* d, const float* d0, const float* u, const float* v,
                    float dt0, const int* boundary, int j, int first, int end) {
  const int side = n + 2;
  int i = first;
  if (kLanesMatchTheProcessor && !std::isnan(dt0)) {
    const hn::ScalableTag<double> dd;
    const VectorLanes<decltype(dd)> lanes{dd};
    using DF = hn::Rebind<float, decltype(dd)>;
    using DI = hn::Rebind<std::int32_t, decltype(dd)>;
    const DF df;
    const DI di;
    const int width = static_cast<int>(hn::Lanes(dd));
    const auto sideLanes = hn::Set(di, side);
    const auto zero = hn::Zero(df);
    const auto lineLanes = hn::Set(di, j);
    for (; i + width <= end; i += width) {
      const int t = i + side * j;
      const auto cellI = hn::Add(hn::Iota(di, 0), hn::Set(di, i));
      const auto posI = departureLanes(lanes, cellI, hn::LoadU(df, u + t), dt0, n);
      const auto posJ = departureLanes(lanes, lineLanes, hn::LoadU(df, v + t), dt0, n);
      const auto i0 = cellBelow(df, posI);
      const auto j0 = cellBelow(df, posJ);
      const auto wi1 = upperWeight(lanes, posI, i0);
      const auto wi0 = lowerWeight(lanes, wi1);
      const auto wj1 = upperWeight(lanes, posJ, j0);
      const auto wj0 = lowerWeight(lanes, wj1);
      const auto at00 = hn::Add(i0, hn::Mul(j0, sideLanes));
      const auto at01 = hn::Add(at00, sideLanes);
      const auto at10 = hn::Add(at00, hn::Set(di, 1));
      const auto at11 = hn::Add(at01, hn::Set(di, 1));
      const auto d00 = hn::GatherIndex(df, d0, at00);
      const auto d01 = hn::GatherIndex(df, d0, at01);
      const auto d10 = hn::GatherIndex(df, d0, at10);
      const auto d11 = hn::GatherIndex(df, d0, at11);
      auto val = interpolation(lanes, d00, d01, d10, d11, wi0, wi1, wj0, wj1);
      if (!hn::AllFalse(df, hn::IsNaN(val))) [[unlikely]] {
        // Lanes whose value is NaN take it from the formula compiled once.
        alignas(64) float lanesOf[9][16];
        hn::Store(val, df, lanesOf[0]);
        const hn::Vec<DF> inputs[] = {d00, d01, d10, d11, wi0, wi1, wj0, wj1};
        for (int k = 0; k < 8; ++k) hn::Store(inputs[k], df, lanesOf[k + 1]);
        for (int l = 0; l < width; ++l) {
          if (std::isnan(lanesOf[0][l])) {
            lanesOf[0][l] = exactNaN::interpolated(lanesOf[1][l], lanesOf[2][l], lanesOf[3][l],
                                                   lanesOf[4][l], lanesOf[5][l], lanesOf[6][l],
                                                   lanesOf[7][l], lanesOf[8][l]);
          }
        }
        val = hn::Load(df, lanesOf[0]);
      }
      // Variant 1 reflects off obstacles along j, variant 2 along i; others never reflect.
      if (b == 1 || b == 2) {
        const int step = b == 1 ? side : 1;
        const auto minus = hn::RebindMask(df, hn::Ne(hn::LoadU(di, boundary + t - step), hn::Zero(di)));
        const auto plus = hn::RebindMask(df, hn::Ne(hn::LoadU(di, boundary + t + step), hn::Zero(di)));
        const auto flip = hn::Or(hn::And(hn::Lt(val, zero), minus), hn::And(hn::Gt(val, zero), plus));
        val = hn::IfThenElse(flip, hn::Neg(val), val);
      }
      const auto obstacle = hn::RebindMask(df, hn::Ne(hn::LoadU(di, boundary + t), hn::Zero(di)));
      hn::StoreU(hn::IfThenZeroElse(obstacle, val), df, d + t);
    }
  }
  const float* const readOnly = d0;
  for (; i < end; ++i) advectCell(n, b, d, readOnly, u, v, dt0, boundary, cellAt(n, i, j));
}

}  // namespace HWY_NAMESPACE
}  // namespace velmar_lanes
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace velmar_lanes {
HWY_EXPORT(AdvectInterior);
}  // namespace velmar_lanes

void advectInteriorInLanes(int n, int b, float* d, const float* d0, const float* u,
                           const float* v, float dt0, const int* boundary, int j, int first,
                           int end) {
  HWY_DYNAMIC_DISPATCH(velmar_lanes::AdvectInterior)(n, b, d, d0, u, v, dt0, boundary, j, first,
                                                    end);
}
#endif  // HWY_ONCE
