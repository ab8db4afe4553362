// The table of registered kernels, keyed by the identity of each kernel's host launch function.
#pragma once

#include "runtime_testing.h"

namespace runtime_detail {

using Registration = runtime_testing::RegisteredFunction;

// The registration made for `hostFunction`, or nullptr.
const Registration* findRegistration(const void* hostFunction);

}  // namespace runtime_detail
