#include "registration_table.h"

#include <list>

#include "fault_injection.h"
#include "runtime_testing.h"

namespace {

using runtime_testing::RuntimeCall;

struct Module {
  void* image;  // the handle handed out is the address of this member
};

struct RegistrationTable {
  std::list<Module> modules;
  std::vector<runtime_detail::Registration> functions;  // in registration order
};

// Never destroyed: the program unregisters its module from an exit routine.
RegistrationTable& table() {
  static RegistrationTable& instance = *new RegistrationTable;
  return instance;
}

bool isLiveModule(void** module) {
  for (Module& m : table().modules) {
    if (&m.image == module) return true;
  }
  return false;
}

// Index variables that a registration leaves out are written here instead, so that the launch
// runner never has to test for them; thread-local like the program's, so that host threads
// running blocks side by side never write the same one.
thread_local constinit dim3 unusedIndex;
thread_local constinit dim3 unusedSize;
thread_local constinit int unusedWarpSize = 0;

}  // namespace

void** __cudaRegisterFatBinary(void* image) {
  if (runtime_detail::takeInjectedFault(RuntimeCall::RegisterFatBinary) != cudaSuccess) {
    return nullptr;
  }
  return &table().modules.emplace_back(Module{image}).image;
}

cudaError_t __cudaUnregisterFatBinary(void** module) {
  if (cudaError_t fault = runtime_detail::takeInjectedFault(RuntimeCall::UnregisterFatBinary)) {
    return fault;
  }
  RegistrationTable& t = table();
  if (module == nullptr || !isLiveModule(module)) return cudaErrorInvalidResourceHandle;
  std::erase_if(t.functions, [module](const auto& f) { return f.module == module; });
  runtime_detail::forgetRegisteredIndexVariables();
  t.modules.remove_if([module](Module& m) { return &m.image == module; });
  return cudaSuccess;
}

cudaError_t __cudaRegisterFunction(void** module, const void* hostFunction,
                                   cudaEntryThunk deviceFunction, const char* deviceName,
                                   int threadLimit, dim3* threadIndex, dim3* blockIndex,
                                   dim3* blockSize, dim3* gridSize, int* warpSize) {
  if (cudaError_t fault = runtime_detail::takeInjectedFault(RuntimeCall::RegisterFunction)) {
    return fault;
  }
  if (module == nullptr || !isLiveModule(module)) return cudaErrorInvalidResourceHandle;
  if (hostFunction == nullptr || deviceFunction == nullptr || deviceName == nullptr) {
    return cudaErrorInvalidValue;
  }
  if (runtime_detail::findRegistration(hostFunction) != nullptr) return cudaErrorInvalidValue;
  const runtime_detail::IndexVariables variables{
      threadIndex ? threadIndex : &unusedIndex, blockIndex ? blockIndex : &unusedIndex,
      blockSize ? blockSize : &unusedSize, gridSize ? gridSize : &unusedSize,
      warpSize ? warpSize : &unusedWarpSize};
  table().functions.push_back({module, hostFunction, deviceFunction, deviceName, threadLimit,
                               runtime_detail::RegisteredIndexVariables(variables)});
  runtime_detail::forgetRegisteredIndexVariables();
  return cudaSuccess;
}

namespace runtime_detail {

const Registration* findRegistration(const void* hostFunction) {
  for (const Registration& r : table().functions) {
    if (r.hostFunction == hostFunction) return &r;
  }
  return nullptr;
}

}  // namespace runtime_detail

namespace runtime_fast {

cudaError_t registerFastForm(const void* hostFunction, FastForm form) {
  if (form.accepts == nullptr || form.run == nullptr) return cudaErrorInvalidValue;
  for (runtime_detail::Registration& r : table().functions) {
    if (r.hostFunction == hostFunction) {
      r.fastForm = form;
      return cudaSuccess;
    }
  }
  return cudaErrorInvalidDeviceFunction;
}

}  // namespace runtime_fast

namespace runtime_testing {

std::vector<RegisteredFunction> registeredFunctions() {
  std::vector<RegisteredFunction> functions;
  for (const runtime_detail::Registration& r : table().functions) {
    const runtime_detail::IndexVariables& v = r.indexVariables.registered();
    functions.push_back({r.module, r.hostFunction, r.deviceFunction, r.deviceName, r.threadLimit,
                         v.threadIndex, v.blockIndex, v.blockSize, v.gridSize, v.warpSize});
  }
  return functions;
}

}  // namespace runtime_testing
