// The table of registered kernels, keyed by the identity of each kernel's host launch function.
#pragma once

#include "index_variables.h"
#include "runtime_testing.h"

namespace runtime_detail {

struct Registration : runtime_testing::RegisteredFunction {
  RegisteredIndexVariables indexVariables;
};

// The registration made for `hostFunction`, or nullptr. It stays valid until the next
// registration or unregistration.
const Registration* findRegistration(const void* hostFunction);

}  // namespace runtime_detail
