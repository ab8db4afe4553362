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

// Tiles of at least this many blocks a line: the pressure's blocks of a diagonal fill the vector
// lanes, and every kernel streams its fields in runs of a kilobyte or more.
constexpr std::uint32_t kBlocksAcross = 8;

// In registration order.
const KernelEntry kKernelTable[] = {
    {stubIdentity(&gpuLaunchProjectStep3), &gpuEntryProjectStep3,
     "_Z21gpuKernelProjectStep3iPfS_S_Pi",
     {&gpuFastAcceptsProjectStep3, &gpuFastProjectStep3, kBlocksAcross}},
    {stubIdentity(&gpuLaunchProjectStep2), &gpuEntryProjectStep2,
     "_Z21gpuKernelProjectStep2iPfS_Pi",
     {&gpuFastAcceptsProjectStep2, &gpuFastProjectStep2, kBlocksAcross}},
    {stubIdentity(&gpuLaunchProjectStep1), &gpuEntryProjectStep1,
     "_Z21gpuKernelProjectStep1iPfS_S_S_Pi",
     {&gpuFastAcceptsProjectStep1, &gpuFastProjectStep1, kBlocksAcross}},
    {stubIdentity(&gpuLaunchAdvect), &gpuEntryAdvect, "_Z15gpuKernelAdvectiiPfS_S_S_fPi",
     {&gpuFastAcceptsAdvect, &gpuFastAdvect, kBlocksAcross}},
    {stubIdentity(&gpuLaunchDiffuse), &gpuEntryDiffuse, "_Z16gpuKernelDiffuseiiPfS_ffPi",
     {&gpuFastAcceptsDiffuse, &gpuFastDiffuse, kBlocksAcross}},
    {stubIdentity(&gpuLaunchAdd_Source), &gpuEntryAdd_Source, "_Z19gpuKernelAdd_SourceiPfS_f",
     {&gpuFastAcceptsAdd_Source, &gpuFastAdd_Source, kBlocksAcross}},
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
