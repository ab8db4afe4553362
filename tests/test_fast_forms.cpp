// The kernels' fast forms give the bits of running every thread in the reference order: each
// kernel on random fields with non-finite values, obstacles and mask entries on edge cells,
// whole steps, every instruction set the processor has, 1 to 4 workers with tiles of one
// line, and launches the forms were not written for.
#include <gtest/gtest.h>

#include <bit>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "calc_fluid.h"
#include "cuda_runtime.h"
#include "execution_model.h"
#include "fast_forms.h"
#include "launch_stubs.h"
#include "parallel_launch.h"
#include "pressure_lanes.h"
#include "runtime_testing.h"
#include "step_scenarios.h"

namespace {

// Fast forms on or off, some workers and tiles of some lines, and an instruction set, for the
// life of one case.
class RunWith {
 public:
  RunWith(bool fast, unsigned workers, std::uint32_t tileLines, const std::string& lanes = "") {
    runtime_testing::useFastForms(fast);
    runtime_parallel::setWorkers(workers);
    runtime_testing::setTileLines(tileLines);
    useLaneInstructionSet(lanes);
  }
  ~RunWith() {
    runtime_testing::useFastForms(true);
    runtime_parallel::setWorkers(runtime_parallel::defaultWorkers());
    runtime_testing::setTileLines(0);
    useLaneInstructionSet("");
  }
};

// Values of every kind: mostly ordinary ones of either sign; NaNs of either sign and any
// payload often enough that formulas meet two at once, whose result depends on which operand
// is whose; infinities, subnormals and any bit pattern at all.
float anyValue(std::mt19937& random) {
  const auto bits = static_cast<std::uint32_t>(random());
  const auto more = static_cast<std::uint32_t>(random());
  switch (bits % 32) {
    case 0:
    case 1:
      return std::bit_cast<float>((bits & 0x8000'0000u) | 0x7fc0'0000u | (more & 0x3f'ffffu));
    case 2:
      return std::bit_cast<float>((bits & 0x8000'0000u) | 0x7f80'0000u);
    case 3:
      return std::bit_cast<float>(more & 0x807f'ffffu);
    case 4:
      return std::bit_cast<float>(more);
    default:
      return std::uniform_real_distribution<float>(-8.0f, 8.0f)(random);
  }
}

// Seven device buffers of an n-grid: five float fields and one mask in slots 0..5, and a copy
// of the same for the second run. Freed on destruction.
class Fields {
 public:
  static constexpr int kFloats = 6;

  Fields(int n, unsigned seed) : n_(n), cells_(grid_cells(n)) {
    std::mt19937 random(seed);
    host_.resize(kFloats + 1, std::vector<std::uint32_t>(cells_));
    for (int f = 0; f < kFloats; ++f) {
      for (auto& cell : host_[f]) cell = std::bit_cast<std::uint32_t>(anyValue(random));
    }
    // Obstacles here and there, also on edge cells, where only neighbours read them.
    for (auto& cell : host_[kFloats]) cell = random() % 6 == 0 ? random() % 3 + 1 : 0;
    for (void*& buffer : device_) {
      EXPECT_EQ(cudaMalloc(&buffer, cells_ * 4), cudaSuccess);
    }
    upload();
  }
  ~Fields() {
    for (void* buffer : device_) cudaFree(buffer);
  }
  Fields(const Fields&) = delete;
  Fields& operator=(const Fields&) = delete;

  void upload() {
    for (int f = 0; f <= kFloats; ++f) {
      cudaMemcpy(device_[f], host_[f].data(), cells_ * 4, cudaMemcpyHostToDevice);
    }
  }
  std::vector<std::uint32_t> download() const {
    std::vector<std::uint32_t> all(cells_ * (kFloats + 1));
    for (int f = 0; f <= kFloats; ++f) {
      cudaMemcpy(all.data() + f * cells_, device_[f], cells_ * 4, cudaMemcpyDeviceToHost);
    }
    return all;
  }
  float* field(int f) const { return static_cast<float*>(device_[f]); }
  int* mask() const { return static_cast<int*>(device_[kFloats]); }
  int n() const { return n_; }

 private:
  int n_;
  std::size_t cells_;
  std::vector<std::vector<std::uint32_t>> host_;
  void* device_[kFloats + 1] = {};
};

using Launch = std::function<void(const Fields&)>;

struct KernelCase {
  const char* name;
  Launch launch;
};

// Every kernel, with each edge-fill variant and buffers in the roles the step gives them.
std::vector<KernelCase> kernelCases() {
  return {
      {"add source", [](const Fields& f) { gpuLaunchAdd_Source(f.n(), f.field(0), f.field(1), 0.2f); }},
      {"add source onto itself", [](const Fields& f) { gpuLaunchAdd_Source(f.n(), f.field(0), f.field(0), 0.2f); }},
      {"diffuse, copy fill", [](const Fields& f) { gpuLaunchDiffuse(f.n(), 0, f.field(0), f.field(1), 0.5f, 0.2f, f.mask()); }},
      {"diffuse, zero fill", [](const Fields& f) { gpuLaunchDiffuse(f.n(), 1, f.field(0), f.field(1), 0.5f, 0.2f, f.mask()); }},
      {"diffuse at rate 0", [](const Fields& f) { gpuLaunchDiffuse(f.n(), 0, f.field(0), f.field(1), 0.0f, 0.2f, f.mask()); }},
      {"diffuse, divisor past 2^126", [](const Fields& f) { gpuLaunchDiffuse(f.n(), 0, f.field(0), f.field(1), 1e36f, 10.0f, f.mask()); }},
      {"advect, copy fill", [](const Fields& f) { gpuLaunchAdvect(f.n(), 0, f.field(0), f.field(1), f.field(2), f.field(3), 0.2f, f.mask()); }},
      {"advect, reflect along j", [](const Fields& f) { gpuLaunchAdvect(f.n(), 1, f.field(0), f.field(1), f.field(2), f.field(3), 0.2f, f.mask()); }},
      {"advect, reflect along i", [](const Fields& f) { gpuLaunchAdvect(f.n(), 2, f.field(0), f.field(1), f.field(1), f.field(3), 0.2f, f.mask()); }},
      {"advect, other variant", [](const Fields& f) { gpuLaunchAdvect(f.n(), 3, f.field(0), f.field(1), f.field(2), f.field(1), 0.2f, f.mask()); }},
      {"divergence", [](const Fields& f) { gpuLaunchProjectStep1(f.n(), f.field(0), f.field(1), f.field(2), f.field(3), f.mask()); }},
      {"pressure", [](const Fields& f) { gpuLaunchProjectStep2(f.n(), f.field(2), f.field(3), f.mask()); }},
      {"gradient", [](const Fields& f) { gpuLaunchProjectStep3(f.n(), f.field(0), f.field(1), f.field(2), f.mask()); }},
      // Buffers that the fast forms must not take: the launch runs thread by thread.
      {"diffuse in place", [](const Fields& f) { gpuLaunchDiffuse(f.n(), 0, f.field(0), f.field(0), 0.5f, 0.2f, f.mask()); }},
      {"pressure on its divergence", [](const Fields& f) { gpuLaunchProjectStep2(f.n(), f.field(2), f.field(2), f.mask()); }},
  };
}

void launchOn(const Fields& f, const Launch& launch) {
  const int side = f.n() + 2;
  ASSERT_EQ(cudaConfigureCall(dim3(blocksPerLaunch(f.n())), dim3(threads_per_block)), cudaSuccess);
  runtime_parallel::declareNeighbourLines(static_cast<std::uint32_t>(side));
  launch(f);
}

// The first cell whose bits differ, for the failure message.
std::string firstDifference(const std::vector<std::uint32_t>& a,
                            const std::vector<std::uint32_t>& b, int n) {
  const std::size_t cells = grid_cells(n);
  for (std::size_t k = 0; k < a.size(); ++k) {
    if (a[k] == b[k]) continue;
    const std::size_t t = k % cells;
    char bits[64];
    std::snprintf(bits, sizeof bits, ": %08x, not %08x", a[k], b[k]);
    return "field " + std::to_string(k / cells) + ", cell (" + std::to_string(t % (n + 2)) +
           ", " + std::to_string(t / (n + 2)) + ")" + bits;
  }
  return "none";
}

TEST(FastForms, EveryKernelGivesTheBitsOfTheThreadByThreadRunner) {
  const struct {
    int n;
    unsigned workers;
    std::uint32_t tileLines;
  } grids[] = {{30, 1, 0}, {62, 2, 1}, {126, 1, 0}, {126, 3, 1}, {254, 4, 5}, {510, 2, 0}};
  unsigned seed = 1;
  for (const auto& [n, workers, tileLines] : grids) {
    for (const KernelCase& kernel : kernelCases()) {
      SCOPED_TRACE(testing::Message() << kernel.name << ", n " << n << ", " << workers
                                      << " workers, tiles of " << tileLines << " lines");
      Fields f(n, ++seed);
      {
        const RunWith threadByThread(false, 1, 0);
        launchOn(f, kernel.launch);
      }
      const std::vector<std::uint32_t> reference = f.download();
      for (const std::string& lanes : laneInstructionSets()) {
        f.upload();
        const RunWith fast(true, workers, tileLines, lanes);
        launchOn(f, kernel.launch);
        const std::vector<std::uint32_t> got = f.download();
        ASSERT_TRUE(got == reference) << lanes << ": first difference at "
                                      << firstDifference(got, reference, n);
      }
    }
  }
}

// Velocities, densities and sources of every size and sign, obstacles painted at random.
void stirAtRandom(std::mt19937& random, FluidState& s) {
  std::uniform_int_distribution<int> cell(0, grid_cells(s.N) - 1);
  for (const auto& named : kSteppedFields) {
    for (float& x : s.*named.field) x = std::uniform_real_distribution<float>(-4.0f, 4.0f)(random);
  }
  for (int k = 0; k < grid_cells(s.N) / 20; ++k) s.boundary[cell(random)] ^= 1;
  s.dens_prev[cell(random)] = std::numeric_limits<float>::infinity();
  s.u_prev[cell(random)] = std::bit_cast<float>(0x7fc01234u);  // a NaN with a payload
}

TEST(FastForms, WholeStepsGiveTheBitsOfTheThreadByThreadRunner) {
  const struct {
    int n;
    int steps;
  } grids[] = {{30, 4}, {62, 4}, {126, 3}, {254, 2}, {510, 1}};
  auto start = std::make_unique<FluidState>();
  auto reference = std::make_unique<FluidState>();
  for (const auto& [n, steps] : grids) {
    std::mt19937 random(static_cast<unsigned>(n));
    resetFluid(n);
    stirAtRandom(random, fluid);
    *start = fluid;
    {
      const RunWith threadByThread(false, 1, 0);
      for (int step = 0; step < steps; ++step) gpuCalcFluid();
    }
    *reference = fluid;
    for (const std::string& lanes : laneInstructionSets()) {
      for (const unsigned workers : {1u, 2u, 4u}) {
        SCOPED_TRACE(testing::Message() << "n " << n << ", " << lanes << ", " << workers
                                        << " workers");
        fluid = *start;
        const RunWith fast(true, workers, 0, lanes);
        for (int step = 0; step < steps; ++step) gpuCalcFluid();
        for (const auto& named : kSteppedFields) {
          ASSERT_EQ(std::memcmp((fluid.*named.field).data(), ((*reference).*named.field).data(),
                                (fluid.*named.field).size() * sizeof(float)),
                    0)
              << named.name;
        }
      }
    }
  }
}

TEST(FastForms, EveryInstructionSetTheProcessorHasCanBeChosen) {
  const std::vector<std::string> sets = laneInstructionSets();
  ASSERT_FALSE(sets.empty());
  for (const std::string& name : sets) {
    ASSERT_TRUE(useLaneInstructionSet(name));
    EXPECT_EQ(laneInstructionSet(), name);
    EXPECT_GE(pressureLanes(), 1);
  }
  EXPECT_FALSE(useLaneInstructionSet("no such set"));
  ASSERT_TRUE(useLaneInstructionSet(""));
  EXPECT_EQ(laneInstructionSet(), sets.front());
}

}  // namespace
