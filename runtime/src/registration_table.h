// The table of registered kernels, keyed by the identity of each kernel's host launch function.
#pragma once

#include <string>

#include "cuda_runtime.h"
#include "fast_forms.h"
#include "index_variables.h"

namespace runtime_detail {

// One kernel as registered: what identifies it and what the launch runner needs to run it.
struct Registration {
  void** module;
  const void* hostFunction;
  cudaEntryThunk deviceFunction;
  std::string deviceName;
  int threadLimit;
  RegisteredIndexVariables indexVariables;
  runtime_fast::FastForm fastForm{};  // none until registered
};

// The registration made for `hostFunction`, or nullptr. It stays valid until the next
// registration or unregistration.
const Registration* findRegistration(const void* hostFunction);

}  // namespace runtime_detail
