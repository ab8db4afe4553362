#include "thread_local_place.h"

#include <link.h>

#include <cstdint>

// The processor ABI's way to a thread's copy of a thread-local variable: it makes the copy if
// the thread has none yet, as it does for a module loaded after the thread started.
struct TlsIndex {
  unsigned long module;
  unsigned long offset;
};
extern "C" void* __tls_get_addr(TlsIndex* index);

namespace runtime_detail {

namespace {

struct ModuleSearch {
  std::uintptr_t address;
  ThreadLocalPlace found;
};

std::size_t threadLocalBytes(const dl_phdr_info& module) {
  for (ElfW(Half) k = 0; k < module.dlpi_phnum; ++k) {
    if (module.dlpi_phdr[k].p_type == PT_TLS) return module.dlpi_phdr[k].p_memsz;
  }
  return 0;
}

int findAddress(dl_phdr_info* module, std::size_t, void* data) {
  auto* search = static_cast<ModuleSearch*>(data);
  if (module->dlpi_tls_modid == 0 || module->dlpi_tls_data == nullptr) return 0;
  const auto start = reinterpret_cast<std::uintptr_t>(module->dlpi_tls_data);
  if (search->address < start || search->address - start >= threadLocalBytes(*module)) return 0;
  search->found = {module->dlpi_tls_modid, search->address - start};
  return 1;
}

}  // namespace

ThreadLocalPlace locateThreadLocal(const void* address) {
  ModuleSearch search{reinterpret_cast<std::uintptr_t>(address), {}};
  dl_iterate_phdr(findAddress, &search);
  return search.found;
}

void* threadLocalAt(ThreadLocalPlace place) {
  if (place.module == 0) return nullptr;
  TlsIndex index{place.module, place.offset};
  return __tls_get_addr(&index);
}

}  // namespace runtime_detail
