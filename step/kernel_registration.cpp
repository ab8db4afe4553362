#include "kernel_registration.h"

#include <cstdlib>

#include "fast_form_thunks.h"
#include "launch_stubs.h"
#include "thread_index.h"

void** gpuModuleHandle = nullptr;

namespace {

struct KernelEntry {
  const void* launchStub;
  cudaEntryThunk entryThunk;
  const char* deviceName;
  runtime_fast::FastForm fastForm;  // the same results in the reference order, whole grids
};

// In registration order.
const KernelEntry kKernelTable[] = {
    {stubIdentity(&gpuLaunchProjectStep3), &gpuEntryProjectStep3,
     "_Z21gpuKernelProjectStep3iPfS_S_Pi",
     {&gpuFastAcceptsProjectStep3, &gpuFastProjectStep3}},
    {stubIdentity(&gpuLaunchProjectStep2), &gpuEntryProjectStep2,
     "_Z21gpuKernelProjectStep2iPfS_Pi",
     // Pressure blocks of a diagonal run in vector lanes: up to 8 at once.
     {&gpuFastAcceptsProjectStep2, &gpuFastProjectStep2, 8}},
    {stubIdentity(&gpuLaunchProjectStep1), &gpuEntryProjectStep1,
     "_Z21gpuKernelProjectStep1iPfS_S_S_Pi",
     {&gpuFastAcceptsProjectStep1, &gpuFastProjectStep1}},
    {stubIdentity(&gpuLaunchAdvect), &gpuEntryAdvect, "_Z15gpuKernelAdvectiiPfS_S_S_fPi",
     {&gpuFastAcceptsAdvect, &gpuFastAdvect}},
    {stubIdentity(&gpuLaunchDiffuse), &gpuEntryDiffuse, "_Z16gpuKernelDiffuseiiPfS_ffPi",
     {&gpuFastAcceptsDiffuse, &gpuFastDiffuse}},
    {stubIdentity(&gpuLaunchAdd_Source), &gpuEntryAdd_Source, "_Z19gpuKernelAdd_SourceiPfS_f",
     {&gpuFastAcceptsAdd_Source, &gpuFastAdd_Source}},
};

constexpr int kNoThreadLimit = -1;

// Runs among the static initialisers, before main. velmar::step links the whole step archive,
// so that this one is never dropped for want of a reference.
[[maybe_unused]] const bool kernelsRegistered = (gpuRegisterKernels(), true);

}  // namespace

void gpuRegisterKernels() {
  gpuModuleHandle = __cudaRegisterFatBinary(nullptr);
  std::atexit(&gpuUnregisterKernels);
  for (const KernelEntry& kernel : kKernelTable) {
    __cudaRegisterFunction(gpuModuleHandle, kernel.launchStub, kernel.entryThunk,
                           kernel.deviceName, kNoThreadLimit, &gpuThreadIndex, &gpuBlockIndex,
                           &gpuBlockSize, &gpuGridSize, &gpuWarpSize);
    runtime_fast::registerFastForm(kernel.launchStub, kernel.fastForm);
  }
}

void gpuUnregisterKernels() { __cudaUnregisterFatBinary(gpuModuleHandle); }
