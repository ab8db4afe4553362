// Device selection: the host runs every kernel, so there is one device, number 0.
#include "fault_injection.h"

cudaError_t cudaSetDevice(int device) {
  using runtime_testing::RuntimeCall;
  if (cudaError_t fault = runtime_detail::takeInjectedFault(RuntimeCall::SetDevice)) return fault;
  return device == 0 ? cudaSuccess : cudaErrorInvalidDevice;
}
