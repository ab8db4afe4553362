// The kernels' arithmetic on vectors of lanes, for the instruction set being compiled: included
// once per set by the vector code (Highway's foreach_target), hence the toggled guard.
#if defined(VELMAR_VECTOR_LANES_INL_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef VELMAR_VECTOR_LANES_INL_H_
#undef VELMAR_VECTOR_LANES_INL_H_
#else
#define VELMAR_VECTOR_LANES_INL_H_
#endif

#include <hwy/highway.h>

#include <cstdint>

HWY_BEFORE_NAMESPACE();
namespace velmar_lanes {
namespace HWY_NAMESPACE {

namespace hn = hwy::HWY_NAMESPACE;

#include "lane_formulas.inc"

// The kernels' widening and rounding on lanes of doubles and of the floats and ints they come
// from: `D` is the doubles' tag, F and I vectors of as many floats and ints.
template <class D>
struct VectorLanes {
  using DF = hn::Rebind<float, D>;
  using DI = hn::Rebind<std::int32_t, D>;
  D wide;
  hn::Vec<D> widen(hn::Vec<DF> x) const { return hn::PromoteTo(wide, x); }
  hn::Vec<D> widen(hn::Vec<DI> x) const { return hn::PromoteTo(wide, x); }
  hn::Vec<D> widen(hn::Vec<D> x) const { return x; }
  hn::Vec<D> one() const { return hn::Set(wide, 1.0); }
  hn::Vec<D> constant(double x) const { return hn::Set(wide, x); }
  hn::Vec<DF> narrow(hn::Vec<D> x) const { return hn::DemoteTo(DF(), x); }
};

// The portable sets round what does not fit a float to the largest float rather than to
// infinity, and may pick another NaN than the processor: their code is the scalar code.
#if HWY_TARGET == HWY_SCALAR || HWY_TARGET == HWY_EMU128
inline constexpr bool kLanesMatchTheProcessor = false;
#else
inline constexpr bool kLanesMatchTheProcessor = true;
#endif

}  // namespace HWY_NAMESPACE
}  // namespace velmar_lanes
HWY_AFTER_NAMESPACE();

#endif  // VELMAR_VECTOR_LANES_INL_H_
