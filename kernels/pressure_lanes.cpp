// One instruction set's pass over this file at a time (Highway's foreach_target).
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "pressure_lanes.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "cell_formulas.h"
#include "pressure_lanes.h"
#include "vector_lanes-inl.h"

HWY_BEFORE_NAMESPACE();
namespace velmar_lanes {
namespace HWY_NAMESPACE {


constexpr int kBlockThreads = 32;
constexpr int kPasses = 20;
constexpr int kMostLanes = 16;


// Each block's cells as [position][lane]: a lane's chain runs in its own lane and every load
// and store of a position is one whole vector.
struct alignas(64) BlockLanes {
  float p[kBlockThreads + 2][kMostLanes];  // position 0 is the cell left of the block
  // What no thread of the block writes, widened once for all 20 passes.
  double div[kBlockThreads][kMostLanes];
  double below[kBlockThreads][kMostLanes];
  double above[kBlockThreads][kMostLanes];
  std::int32_t cleared[kBlockThreads][kMostLanes];  // all ones where the cell is cleared
  std::int32_t obstacleBelow[kBlockThreads][kMostLanes];
  std::int32_t obstacleAbove[kBlockThreads][kMostLanes];
};

void gather(int n, const float* p, const float* div, const int* boundary, const int* firsts,
            int count, int lanes, BlockLanes& b) {
  const int side = n + 2;
  for (int lane = 0; lane < lanes; ++lane) {
    if (lane >= count) {  // an empty lane computes on zeros, and nothing is stored
      for (int k = 0; k < kBlockThreads + 2; ++k) b.p[k][lane] = 0.0f;
      for (int k = 0; k < kBlockThreads; ++k) {
        b.div[k][lane] = b.below[k][lane] = b.above[k][lane] = 0.0;
        b.cleared[k][lane] = b.obstacleBelow[k][lane] = b.obstacleAbove[k][lane] = 0;
      }
      continue;
    }
    const int first = firsts[lane];
    const int i0 = first % side;
    // The cells beside the block, unless the block's end cell is an edge cell, which reads
    // neither: they are the other end of a line that another worker may be writing.
    b.p[0][lane] = i0 == 0 ? 0.0f : p[first - 1];
    b.p[kBlockThreads + 1][lane] = i0 + kBlockThreads == side ? 0.0f : p[first + kBlockThreads];
    for (int k = 0; k < kBlockThreads; ++k) {
      const int t = first + k;
      b.p[k + 1][lane] = p[t];
      b.div[k][lane] = div[t];
      b.below[k][lane] = p[t - side];
      b.above[k][lane] = p[t + side];
      const bool edge = i0 + k == 0 || i0 + k == n + 1;
      b.cleared[k][lane] = edge || boundary[t] != 0 ? -1 : 0;
      b.obstacleBelow[k][lane] = boundary[t - side] != 0 ? -1 : 0;
      b.obstacleAbove[k][lane] = boundary[t + side] != 0 ? -1 : 0;
    }
  }
}

// A lane whose sum is NaN takes it from the formula compiled once, as every scalar use does.
template <class DF>
HWY_NOINLINE hn::Vec<DF> nanSumsExactly(DF df, const BlockLanes& b, int k, hn::Vec<DF> sum) {
  alignas(64) float lanes[kMostLanes];
  hn::Store(sum, df, lanes);
  for (size_t l = 0; l < hn::Lanes(df); ++l) {
    if (std::isnan(lanes[l])) {
      // The widened terms came from floats: narrowing gives them back (a signalling NaN quiet,
      // as the sum would have made it).
      lanes[l] = exactNaN::pressureSum(static_cast<float>(b.div[k][l]), b.p[k][l], b.p[k + 2][l],
                                       static_cast<float>(b.below[k][l]),
                                       static_cast<float>(b.above[k][l]));
    }
  }
  return hn::Load(df, lanes);
}

// Cell k of pass `pass` in every lane: the update of relaxPressureAt, in lanes.
template <class D>
HWY_INLINE void relaxPosition(const VectorLanes<D>& lanes, BlockLanes& b, int k) {
  const hn::Rebind<float, D> df;
  const hn::Rebind<std::int32_t, D> di;
  const D d = lanes.wide;
  auto sum = pressureSum(lanes, hn::Load(d, b.div[k]), hn::Load(df, b.p[k]),
                         hn::Load(df, b.p[k + 2]), hn::Load(d, b.below[k]),
                         hn::Load(d, b.above[k]));
  if (!hn::AllFalse(df, hn::IsNaN(sum))) [[unlikely]] sum = nanSumsExactly(df, b, k, sum);
  // deviceDivide by 4, an ordinary divisor: the quotient, which is exactly the product by 1/4
  // (the same real number, rounded once), NaNs and subnormals included.
  const auto pval = hn::Mul(sum, hn::Set(df, 0.25f));
  const auto zero = hn::Zero(df);
  const auto below = hn::MaskFromVec(hn::BitCast(df, hn::Load(di, b.obstacleBelow[k])));
  const auto above = hn::MaskFromVec(hn::BitCast(df, hn::Load(di, b.obstacleAbove[k])));
  const auto flip = hn::Or(hn::And(hn::Lt(pval, zero), below), hn::And(hn::Gt(pval, zero), above));
  const auto reflected = hn::IfThenElse(flip, hn::Neg(pval), pval);
  const auto cleared = hn::MaskFromVec(hn::BitCast(df, hn::Load(di, b.cleared[k])));
  hn::Store(hn::IfThenZeroElse(cleared, reflected), df, b.p[k + 1]);
}

// Up to Lanes(d) independent blocks, one a lane.
template <class D>
HWY_NOINLINE void relaxGroup(D d, int n, float* p, const float* div, const int* boundary,
                             const int* firsts, int count, BlockLanes& b) {
  const VectorLanes<D> lanes{d};
  gather(n, p, div, boundary, firsts, count, static_cast<int>(hn::Lanes(d)), b);
  // Cell k of pass p reads cell k - 1 of pass p and cell k + 1 of pass p - 1, so the cells
  // with equal 2p + k are independent: a wavefront of chains for the processor to overlap.
  for (int w = 0; w < 2 * (kPasses - 1) + kBlockThreads; ++w) {
    const int lowest = w >= kBlockThreads ? (w - kBlockThreads + 2) / 2 : 0;
    const int highest = std::min(kPasses - 1, w / 2);
    for (int pass = highest; pass >= lowest; --pass) relaxPosition(lanes, b, w - 2 * pass);
  }
  for (int lane = 0; lane < count; ++lane) {
    for (int k = 0; k < kBlockThreads; ++k) p[firsts[lane] + k] = b.p[k + 1][lane];
  }
}

void RelaxBlocks(int n, float* p, const float* div, const int* boundary, const int* firsts,
                 int count) {
  if (!kLanesMatchTheProcessor) {
    relaxPressureBlocksOneByOne(n, p, div, boundary, firsts, count);
    return;
  }
  const hn::ScalableTag<double> full;
  const int width = static_cast<int>(std::min<size_t>(hn::Lanes(full), kMostLanes));
  BlockLanes b;
  for (int start = 0; start < count; start += width) {
    const int group = std::min(width, count - start);
    // Fewer blocks than lanes take narrower vectors, which cost less where wide ones are run
    // in halves.
    if (group <= 2 && width > 2) {
      relaxGroup(hn::CappedTag<double, 2>(), n, p, div, boundary, firsts + start, group, b);
    } else if (group <= 4 && width > 4) {
      relaxGroup(hn::CappedTag<double, 4>(), n, p, div, boundary, firsts + start, group, b);
    } else {
      relaxGroup(full, n, p, div, boundary, firsts + start, group, b);
    }
  }
}

int Lanes() {
  return static_cast<int>(std::min<size_t>(hn::Lanes(hn::ScalableTag<double>()), kMostLanes));
}

std::int64_t Target() { return HWY_TARGET; }

}  // namespace HWY_NAMESPACE
}  // namespace velmar_lanes
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace velmar_lanes {

HWY_EXPORT(RelaxBlocks);
HWY_EXPORT(Lanes);
HWY_EXPORT(Target);

}  // namespace velmar_lanes

void relaxPressureBlocksInLanes(int n, float* p, const float* div, const int* boundary,
                                const int* firsts, int count) {
  HWY_DYNAMIC_DISPATCH(velmar_lanes::RelaxBlocks)(n, p, div, boundary, firsts, count);
}

int pressureLanes() { return HWY_DYNAMIC_DISPATCH(velmar_lanes::Lanes)(); }

namespace {

// Read once, before any choice of ours narrows what the processor is said to support.
const std::vector<std::int64_t>& availableTargets() {
  static const std::vector<std::int64_t> targets = hwy::SupportedAndGeneratedTargets();
  return targets;
}

}  // namespace

std::vector<std::string> laneInstructionSets() {
  std::vector<std::string> names;
  for (const std::int64_t target : availableTargets()) names.emplace_back(hwy::TargetName(target));
  return names;
}

std::string laneInstructionSet() {
  return hwy::TargetName(HWY_DYNAMIC_DISPATCH(velmar_lanes::Target)());
}

bool useLaneInstructionSet(const std::string& name) {
  std::int64_t chosen = 0;  // 0: every target the processor has
  if (!name.empty()) {
    for (const std::int64_t target : availableTargets()) {
      if (name == hwy::TargetName(target)) chosen = target;
    }
    if (chosen == 0) return false;
  }
  hwy::SetSupportedTargetsForTest(chosen);
  hwy::GetChosenTarget().Update(hwy::SupportedTargets());
  return true;
}
#endif  // HWY_ONCE
