// The step driver: the fifteen launches with their buffers, the fields it leaves behind, the
// kernels it skips when the runtime refuses them, and its failure lines.
#include <gtest/gtest.h>

#include <unistd.h>

#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "calc_fluid.h"
#include "runtime_testing.h"
#include "step_scenarios.h"

namespace {

using runtime_testing::RuntimeCall;

// Every field of the state that a step may write, as raw bits.
std::vector<std::uint32_t> fieldBits() {
  std::vector<std::uint32_t> bits;
  for (const std::vector<float>* field : {&fluid.u, &fluid.v, &fluid.u_prev, &fluid.v_prev,
                                          &fluid.dens, &fluid.dens_prev}) {
    for (const float value : *field) bits.push_back(std::bit_cast<std::uint32_t>(value));
  }
  return bits;
}

// A launch's arguments as readable words: buffers by name, the state's scalars by name.
std::vector<std::string> describeArguments(const runtime_testing::LaunchObservation& launch) {
  // Slot kinds by device name: i int, f float, p buffer address.
  static const std::map<std::string, std::string> kSlotKinds = {
      {"_Z19gpuKernelAdd_SourceiPfS_f", "ippf"},
      {"_Z16gpuKernelDiffuseiiPfS_ffPi", "iippffp"},
      {"_Z15gpuKernelAdvectiiPfS_S_S_fPi", "iippppfp"},
      {"_Z21gpuKernelProjectStep1iPfS_S_S_Pi", "ipppp" "p"},
      {"_Z21gpuKernelProjectStep2iPfS_Pi", "ippp"},
      {"_Z21gpuKernelProjectStep3iPfS_S_Pi", "ipppp"},
  };
  std::vector<std::string> words{launch.deviceName};
  const std::string& kinds = kSlotKinds.at(launch.deviceName);
  EXPECT_EQ(launch.record.size(), 4 * kinds.size()) << launch.deviceName;
  for (std::size_t k = 0; k < kinds.size() && 4 * k + 4 <= launch.record.size(); ++k) {
    std::uint32_t slot;
    std::memcpy(&slot, launch.record.data() + 4 * k, 4);
    const float asFloat = std::bit_cast<float>(slot);
    switch (kinds[k]) {
      case 'i': words.push_back(std::to_string(static_cast<std::int32_t>(slot))); break;
      case 'p': words.push_back(bufferName(slot)); break;
      default:
        words.push_back(slot == std::bit_cast<std::uint32_t>(fluid.dt)     ? "dt"
                        : slot == std::bit_cast<std::uint32_t>(fluid.diff) ? "diff"
                        : slot == std::bit_cast<std::uint32_t>(fluid.visc) ? "visc"
                                                                            : std::to_string(asFloat));
    }
  }
  return words;
}

class StepDriver : public ::testing::Test {
 protected:
  void SetUp() override { resetFluid(); }
  void TearDown() override { runtime_testing::clearFaults(); }
};

TEST_F(StepDriver, LaunchesTheFifteenKernelsOnTheirBuffers) {
  rightClickBurst(40, 50);
  std::vector<std::vector<std::string>> launches;
  {
    LaunchWatch watch([&](int, const runtime_testing::LaunchObservation& launch) {
      EXPECT_EQ(launch.gridSize.x * launch.gridSize.y * launch.gridSize.z, 512u);
      EXPECT_EQ(launch.blockSize.x * launch.blockSize.y * launch.blockSize.z, 32u);
      launches.push_back(describeArguments(launch));
    });
    gpuCalcFluid();
  }
  const std::string addSource = "_Z19gpuKernelAdd_SourceiPfS_f";
  const std::string diffuse = "_Z16gpuKernelDiffuseiiPfS_ffPi";
  const std::string advect = "_Z15gpuKernelAdvectiiPfS_S_S_fPi";
  const std::string project1 = "_Z21gpuKernelProjectStep1iPfS_S_S_Pi";
  const std::string project2 = "_Z21gpuKernelProjectStep2iPfS_Pi";
  const std::string project3 = "_Z21gpuKernelProjectStep3iPfS_S_Pi";
  const std::vector<std::vector<std::string>> expected = {
      {addSource, "126", "gpuDens", "gpuDensPrev", "dt"},
      {diffuse, "126", "1", "gpuDensPrev", "gpuDens", "diff", "dt", "gpuBoundary"},
      {advect, "126", "1", "gpuDens", "gpuDensPrev", "gpuU", "gpuV", "dt", "gpuBoundary"},
      {addSource, "126", "gpuU", "gpuUPrev", "dt"},
      {addSource, "126", "gpuV", "gpuVPrev", "dt"},
      {diffuse, "126", "0", "gpuUPrev", "gpuU", "visc", "dt", "gpuBoundary"},
      {diffuse, "126", "0", "gpuVPrev", "gpuV", "visc", "dt", "gpuBoundary"},
      {project1, "126", "gpuUPrev", "gpuVPrev", "gpuU", "gpuV", "gpuBoundary"},
      {project2, "126", "gpuU", "gpuV", "gpuBoundary"},
      {project3, "126", "gpuUPrev", "gpuVPrev", "gpuU", "gpuBoundary"},
      {advect, "126", "0", "gpuU", "gpuUPrev", "gpuUPrev", "gpuVPrev", "dt", "gpuBoundary"},
      {advect, "126", "0", "gpuV", "gpuVPrev", "gpuUPrev", "gpuVPrev", "dt", "gpuBoundary"},
      {project1, "126", "gpuU", "gpuV", "gpuUPrev", "gpuVPrev", "gpuBoundary"},
      {project2, "126", "gpuUPrev", "gpuVPrev", "gpuBoundary"},
      {project3, "126", "gpuU", "gpuV", "gpuUPrev", "gpuBoundary"},
  };
  ASSERT_EQ(launches.size(), expected.size());
  for (std::size_t k = 0; k < expected.size(); ++k) {
    EXPECT_EQ(launches[k], expected[k]) << "launch " << k + 1;
  }
}

TEST_F(StepDriver, AllZeroFieldsStayZeroAndNothingOutlivesTheStep) {
  const auto liveBefore = runtime_testing::liveAllocations().size();
  gpuCalcFluid();
  for (std::uint32_t bits : fieldBits()) {
    // The divergence of a still field is -0.0; any other value is a fault.
    EXPECT_EQ(std::bit_cast<float>(bits), 0.0f);
  }
  EXPECT_EQ(runtime_testing::liveAllocations().size(), liveBefore);
}

TEST_F(StepDriver, SecondStepAddsTheLeftoversOfTheFirstAsSources) {
  rightClickBurst(30, 90);
  gpuCalcFluid();
  // The leftovers (diffused density, pressure, divergence) come back in as sources.
  std::vector<float> expectDens(kDefaultGridCells), expectU(kDefaultGridCells),
      expectV(kDefaultGridCells);
  for (int k = 0; k < kDefaultGridCells; ++k) {
    expectDens[k] = static_cast<float>(fluid.dens[k] + static_cast<double>(fluid.dens_prev[k]) * fluid.dt);
    expectU[k] = static_cast<float>(fluid.u[k] + static_cast<double>(fluid.u_prev[k]) * fluid.dt);
    expectV[k] = static_cast<float>(fluid.v[k] + static_cast<double>(fluid.v_prev[k]) * fluid.dt);
  }
  std::vector<float> densAfterSource(kDefaultGridCells), uAfterSource(kDefaultGridCells),
      vAfterSource(kDefaultGridCells);
  {
    LaunchWatch watch([&](int index, const runtime_testing::LaunchObservation&) {
      const auto bytes = kDefaultGridCells * sizeof(float);
      if (index == 2) {
        cudaMemcpy(densAfterSource.data(), liveBuffer("gpuDens"), bytes, cudaMemcpyDeviceToHost);
      }
      if (index == 6) {
        cudaMemcpy(uAfterSource.data(), liveBuffer("gpuU"), bytes, cudaMemcpyDeviceToHost);
        cudaMemcpy(vAfterSource.data(), liveBuffer("gpuV"), bytes, cudaMemcpyDeviceToHost);
      }
    });
    gpuCalcFluid();
  }
  EXPECT_EQ(densAfterSource, expectDens);
  EXPECT_EQ(uAfterSource, expectU);
  EXPECT_EQ(vAfterSource, expectV);
  EXPECT_NE(expectU, fluid.u)
      << "the scenario must leave a pressure to re-add";
}

TEST_F(StepDriver, SkippedDiffusionAdvectsTheUndiffusedSource) {
  // No velocity: the advection copies each interior cell, so the result is the source itself.
  fluid.dens_prev[IX(20, 30)] = 7.0f;
  fluid.dens_prev[IX(21, 30)] = 3.5f;
  fluid.dens_prev[IX(0, 30)] = 2.0f;  // an edge cell's source is zeroed by the edge fill
  const std::vector<float> source = fluid.dens_prev;
  runtime_testing::injectFault(RuntimeCall::ConfigureCall, 2, cudaErrorInvalidConfiguration);
  testing::internal::CaptureStdout();
  gpuCalcFluid();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");

  EXPECT_EQ(fluid.dens_prev, source);
  for (int j = 0; j <= kDefaultGridInterior + 1; ++j) {
    for (int i = 0; i <= kDefaultGridInterior + 1; ++i) {
      const bool edge =
          i == 0 || j == 0 || i == kDefaultGridInterior + 1 || j == kDefaultGridInterior + 1;
      EXPECT_EQ(fluid.dens[IX(i, j)], edge ? 0.0f : source[IX(i, j)]) << i << "," << j;
    }
  }
}

TEST_F(StepDriver, RefusedConfigurationsOrArgumentsSkipOnlyTheirKernels) {
  rightClickBurst(60, 60);
  bottomSource();
  fluid.u[IX(50, 50)] = 0.3f;
  const FluidState start = fluid;

  // Every launch refused: the fields come back as they went.
  runtime_testing::injectFault(RuntimeCall::ConfigureCall, 1, cudaErrorInvalidConfiguration, 15);
  const auto before = fieldBits();
  gpuCalcFluid();
  EXPECT_EQ(fieldBits(), before);
  runtime_testing::clearFaults();

  // The first launch's third argument refused is the same as its configuration refused.
  fluid = start;
  runtime_testing::injectFault(RuntimeCall::SetupArgument, 3, cudaErrorInvalidValue);
  testing::internal::CaptureStdout();
  gpuCalcFluid();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  const auto withoutFirstByArgument = fieldBits();
  runtime_testing::clearFaults();

  fluid = start;
  runtime_testing::injectFault(RuntimeCall::ConfigureCall, 1, cudaErrorInvalidConfiguration);
  gpuCalcFluid();
  EXPECT_EQ(fieldBits(), withoutFirstByArgument);
  runtime_testing::clearFaults();

  fluid = start;
  gpuCalcFluid();
  EXPECT_NE(fieldBits(), withoutFirstByArgument) << "the skipped launch mattered";
}

TEST_F(StepDriver, ObstacleMaskIsNeverWritten) {
  for (int j = 40; j <= 60; ++j) fluid.boundary[IX(45, j)] = 1;
  fluid.boundary[IX(0, 7)] = 1;  // on the edge, where it makes no obstacle
  rightClickBurst(50, 50);
  const std::vector<std::int32_t> mask = fluid.boundary;
  int launchesChecked = 0;
  LaunchWatch watch([&](int, const runtime_testing::LaunchObservation&) {
    std::vector<std::int32_t> device(kDefaultGridCells);
    cudaMemcpy(device.data(), liveBuffer("gpuBoundary"), kDefaultGridCells * sizeof(std::int32_t),
               cudaMemcpyDeviceToHost);
    EXPECT_EQ(device, mask);
    ++launchesChecked;
  });
  for (int step = 0; step < 3; ++step) gpuCalcFluid();
  EXPECT_EQ(launchesChecked, 45);
  EXPECT_EQ(fluid.boundary, mask);
}

struct FailureLine {
  RuntimeCall call;
  int nth;
  const char* line;
};

const FailureLine kFailureLines[] = {
    {RuntimeCall::Malloc, 1, "In gpuCalcFluid: cudaMalloc for gpuU failed.\n"},
    {RuntimeCall::Malloc, 2, "In gpuCalcFluid: cudaMalloc for gpuV failed.\n"},
    {RuntimeCall::Malloc, 3, "In gpuCalcFluid: cudaMalloc for gpuUPrev failed.\n"},
    {RuntimeCall::Malloc, 4, "In gpuCalcFluid: cudaMalloc for gpuVPrev failed.\n"},
    {RuntimeCall::Malloc, 5, "In gpuCalcFluid: cudaMalloc for gpuDens failed.\n"},
    {RuntimeCall::Malloc, 6, "In gpuCalcFluid: cudaMalloc for gpuDensPrev failed.\n"},
    {RuntimeCall::Malloc, 7, "In gpuCalcFluid: cudaMalloc for gpuBoundary failed.\n"},
    {RuntimeCall::Memcpy, 1, "In gpuCalcFluid: cudaMemcpy for gpuU failed.\n"},
    {RuntimeCall::Memcpy, 2, "In gpuCalcFluid: cudaMemcpy for gpuV failed.\n"},
    {RuntimeCall::Memcpy, 3, "In gpuCalcFluid: cudaMemcpy for gpuUPrev failed.\n"},
    {RuntimeCall::Memcpy, 4, "In gpuCalcFluid: cudaMemcpy for gpuVPrev failed.\n"},
    {RuntimeCall::Memcpy, 5, "In gpuCalcFluid: cudaMemcpy for gpuDens failed.\n"},
    {RuntimeCall::Memcpy, 6, "In gpuCalcFluid: cudaMemcpy for gpuDensPrev failed.\n"},
    {RuntimeCall::Memcpy, 7, "In gpuProject: cudaMemcpy for gpuBoundary failed.\n"},
    {RuntimeCall::Memcpy, 8, "In gpuCalcFluid: cudaMemcpy back to host for u failed.\n"},
    {RuntimeCall::Memcpy, 9, "In gpuCalcFluid: cudaMemcpy back to host for v failed.\n"},
    {RuntimeCall::Memcpy, 10, "In gpuCalcFluid: cudaMemcpy back to host for u_prev failed.\n"},
    {RuntimeCall::Memcpy, 11, "In gpuCalcFluid: cudaMemcpy back to host for v_prev failed.\n"},
    {RuntimeCall::Memcpy, 12, "In gpuCalcFluid: cudaMemcpy back to host for dens failed.\n"},
    {RuntimeCall::Memcpy, 13,
     "In gpuCalcFluid: cudaMemcpy back to host for dens_prev failed.\n"},
    {RuntimeCall::Free, 1, "In gpuCalcFluid: cudaFree gpuU failed.\n"},
    {RuntimeCall::Free, 2, "In gpuCalcFluid: cudaFree gpuV failed.\n"},
    {RuntimeCall::Free, 3, "In gpuCalcFluid: cudaFree gpuUPrev failed.\n"},
    {RuntimeCall::Free, 4, "In gpuCalcFluid: cudaFree gpuVPrev failed.\n"},
    {RuntimeCall::Free, 5, "In gpuCalcFluid: cudaFree gpuDens failed.\n"},
    {RuntimeCall::Free, 6, "In gpuCalcFluid: cudaFree gpuDensPrev failed.\n"},
    {RuntimeCall::Free, 7, "In gpuProject: cudaFree gpuBoundary failed.\n"},
};

// Runs a step whose chosen call fails, with standard output sent where the death test reads.
void stepFailingAt(const FailureLine& failure) {
  std::fflush(stdout);
  dup2(2, 1);
  runtime_testing::injectFault(failure.call, failure.nth, cudaErrorMemoryAllocation);
  gpuCalcFluid();
}

// The same, with standard output sent to a file and standard error left where the death test
// reads it, so that a line on the wrong stream fails.
void stepFailingWithOutputTo(const FailureLine& failure, const std::string& path) {
  std::fflush(stdout);
  if (std::freopen(path.c_str(), "w", stdout) == nullptr) std::abort();
  runtime_testing::injectFault(failure.call, failure.nth, cudaErrorMemoryAllocation);
  gpuCalcFluid();
}

std::string fileText(const std::string& path) {
  std::string text;
  if (std::FILE* file = std::fopen(path.c_str(), "r")) {
    for (int c; (c = std::fgetc(file)) != EOF;) text.push_back(static_cast<char>(c));
    std::fclose(file);
  }
  return text;
}

TEST(StepDriverDeathTest, EachFailedAllocationCopyOrFreePrintsItsLineAndExitsWithOne) {
  // The forked child writes where the parent reads; the process id keeps parallel runs apart.
  const std::string path =
      testing::TempDir() + "failure_line_stdout_" + std::to_string(getpid()) + ".txt";
  for (const FailureLine& failure : kFailureLines) {
    std::remove(path.c_str());
    EXPECT_EXIT(stepFailingWithOutputTo(failure, path), testing::ExitedWithCode(1),
                testing::Matcher<const std::string&>(std::string()))
        << "nothing on standard error: " << failure.line;
    EXPECT_EQ(fileText(path), failure.line) << "on standard output";
  }
  std::remove(path.c_str());
}

void stepFailingAtFourthAllocation() {
  std::atexit([] { std::fprintf(stderr, "%zu live\n", runtime_testing::liveAllocations().size()); });
  stepFailingAt({RuntimeCall::Malloc, 4, ""});
}

TEST(StepDriverDeathTest, FailedAllocationStopsBeforeAnyCopy) {
  // The fourth allocation fails: the three before are not freed. (Exit routines run before
  // standard output is flushed.)
  EXPECT_EXIT(stepFailingAtFourthAllocation(), testing::ExitedWithCode(1),
      testing::Matcher<const std::string&>(
          std::string("3 live\nIn gpuCalcFluid: cudaMalloc for gpuVPrev failed.\n")));
}

}  // namespace
