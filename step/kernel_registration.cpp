#include "kernel_registration.h"

#include <cstdlib>

#include "launch_stubs.h"
#include "thread_index.h"

void** gpuModuleHandle = nullptr;

namespace {

struct KernelEntry {
  const void* launchStub;
  cudaEntryThunk entryThunk;
  const char* deviceName;
};

// In registration order.
const KernelEntry kKernelTable[] = {
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
  }
}

void gpuUnregisterKernels() { __cudaUnregisterFatBinary(gpuModuleHandle); }
