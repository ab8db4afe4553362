// The six kernels as the runtime sees them: registered before main in the table's order, each
// launch stub filling 4-byte slots in parameter order, released by the exit routine.
#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <thread>

#include "device_grid.h"
#include "kernel_registration.h"
#include "launch_stubs.h"
#include "runtime_testing.h"
#include "step_scenarios.h"
#include "thread_index.h"

namespace {

using runtime_testing::RuntimeCall;

std::vector<runtime_testing::RegisteredFunction> programKernels() {
  std::vector<runtime_testing::RegisteredFunction> kernels;
  for (const auto& f : runtime_testing::registeredFunctions()) {
    if (f.module == gpuModuleHandle) kernels.push_back(f);
  }
  return kernels;
}

TEST(KernelTable, SixKernelsAreRegisteredBeforeMainInTableOrder) {
  ASSERT_NE(gpuModuleHandle, nullptr);
  struct Expected {
    const void* stub;
    cudaEntryThunk thunk;
    const char* name;
  };
  const Expected expected[] = {
      {stubIdentity(&gpuLaunchProjectStep3), &gpuEntryProjectStep3,
       "_Z21gpuKernelProjectStep3iPfS_S_Pi"},
      {stubIdentity(&gpuLaunchProjectStep2), &gpuEntryProjectStep2,
       "_Z21gpuKernelProjectStep2iPfS_Pi"},
      {stubIdentity(&gpuLaunchProjectStep1), &gpuEntryProjectStep1,
       "_Z21gpuKernelProjectStep1iPfS_S_S_Pi"},
      {stubIdentity(&gpuLaunchAdvect), &gpuEntryAdvect, "_Z15gpuKernelAdvectiiPfS_S_S_fPi"},
      {stubIdentity(&gpuLaunchDiffuse), &gpuEntryDiffuse, "_Z16gpuKernelDiffuseiiPfS_ffPi"},
      {stubIdentity(&gpuLaunchAdd_Source), &gpuEntryAdd_Source, "_Z19gpuKernelAdd_SourceiPfS_f"},
  };
  const auto kernels = programKernels();
  ASSERT_EQ(kernels.size(), 6u);
  for (std::size_t k = 0; k < 6; ++k) {
    EXPECT_EQ(kernels[k].hostFunction, expected[k].stub) << k;
    EXPECT_EQ(kernels[k].deviceFunction, expected[k].thunk) << k;
    EXPECT_EQ(kernels[k].deviceName, expected[k].name) << k;
    EXPECT_EQ(kernels[k].threadLimit, -1);
    EXPECT_EQ(kernels[k].threadIndex, &gpuThreadIndex);
    EXPECT_EQ(kernels[k].blockIndex, &gpuBlockIndex);
    EXPECT_EQ(kernels[k].blockSize, &gpuBlockSize);
    EXPECT_EQ(kernels[k].gridSize, &gpuGridSize);
    EXPECT_EQ(kernels[k].warpSize, &gpuWarpSize);
  }
  // Each host thread has index variables of its own, so the runtime may run blocks on several.
  const Size3* elsewhere = nullptr;
  std::thread([&elsewhere] { elsewhere = &gpuBlockIndex; }).join();
  EXPECT_NE(elsewhere, &gpuBlockIndex);
}

TEST(KernelTable, StubPutsEachArgumentInItsFourByteSlot) {
  DeviceFloats x, x0;
  DeviceMask mask;
  std::vector<unsigned char> record;
  std::string name;
  {
    LaunchWatch watch([&](int, const runtime_testing::LaunchObservation& launch) {
      record = launch.record;
      name = launch.deviceName;
    });
    configureGridLaunch();
    gpuLaunchDiffuse(kN, 1, x.get(), x0.get(), 0.5f, 0.2f, mask.get());
  }
  EXPECT_EQ(name, "_Z16gpuKernelDiffuseiiPfS_ffPi");
  ASSERT_EQ(record.size(), 28u);
  auto slot = [&](int k) {
    std::uint32_t bits;
    std::memcpy(&bits, record.data() + 4 * k, 4);
    return bits;
  };
  EXPECT_EQ(slot(0), 126u);
  EXPECT_EQ(slot(1), 1u);
  EXPECT_EQ(slot(2), static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(x.get())));
  EXPECT_EQ(slot(3), static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(x0.get())));
  EXPECT_EQ(slot(4), bitsOf(0.5f));
  EXPECT_EQ(slot(5), bitsOf(0.2f));
  EXPECT_EQ(slot(6), static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(mask.get())));
}

TEST(KernelTable, RefusedArgumentCancelsTheLaunchSilently) {
  FloatGrid ones = filledGrid(1.0f);
  DeviceFloats x(ones), s(ones);
  int launches = 0;
  LaunchWatch watch([&](int, const runtime_testing::LaunchObservation&) { ++launches; });
  runtime_testing::injectFault(RuntimeCall::SetupArgument, 3, cudaErrorInvalidValue);
  testing::internal::CaptureStdout();
  configureGridLaunch();
  gpuLaunchAdd_Source(kN, x.get(), s.get(), 0.2f);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  runtime_testing::clearFaults();
  EXPECT_EQ(launches, 0);
  EXPECT_EQ(x.download().cells, ones.cells);

  // Nothing of the cancelled launch lingers: the next one runs normally.
  configureGridLaunch();
  gpuLaunchAdd_Source(kN, x.get(), s.get(), 0.2f);
  EXPECT_EQ(launches, 1);
  EXPECT_EQ(x.download()(5, 5), 1.2f);
}

// Exits with 0 if, after the exit routine, the kernels are gone and a launch runs nothing.
void unregisterThenLaunch() {
  gpuUnregisterKernels();
  DeviceFloats x, s;
  configureGridLaunch();
  int launches = 0;
  LaunchWatch watch([&](int, const runtime_testing::LaunchObservation&) { ++launches; });
  gpuLaunchAdd_Source(kN, x.get(), s.get(), 0.2f);
  std::exit(programKernels().empty() && launches == 0 ? 0 : 2);
}

TEST(KernelTableDeathTest, ExitRoutineReleasesTheModule) {
  EXPECT_EXIT(unregisterThenLaunch(), testing::ExitedWithCode(0), "");
}

}  // namespace
