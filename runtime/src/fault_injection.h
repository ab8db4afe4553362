// How each runtime call asks whether a test has armed a fault for it.
#pragma once

#include "runtime_testing.h"

namespace runtime_detail {

// Counts one call of `call`; returns the status to fail it with, or cudaSuccess.
cudaError_t takeInjectedFault(runtime_testing::RuntimeCall call);

}  // namespace runtime_detail
