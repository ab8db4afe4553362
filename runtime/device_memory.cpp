// Device memory: buffers mapped in the low 4 GiB of the address space (device addresses are
// 32 bits wide), kept apart from host memory, checked on every copy and free. Freed buffers
// are kept for reuse by a later allocation of the same size, so a program that allocates and
// frees the same buffers every step makes no system call after its first step.
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <map>
#include <vector>

#include "fault_injection.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define VELMAR_POISON(address, size) ASAN_POISON_MEMORY_REGION(address, size)
#define VELMAR_UNPOISON(address, size) ASAN_UNPOISON_MEMORY_REGION(address, size)
#else
#define VELMAR_POISON(address, size) ((void)(address), (void)(size))
#define VELMAR_UNPOISON(address, size) ((void)(address), (void)(size))
#endif

namespace {

using runtime_testing::RuntimeCall;

constexpr std::uintptr_t kDeviceAddressLimit = std::uintptr_t{1} << 32;

struct Allocation {
  std::size_t size;           // as requested
  std::size_t mappedSize;     // whole pages
  std::uint64_t sequence;     // allocation order, for listing
};

struct DeviceHeap {
  std::map<std::uintptr_t, Allocation> live;                     // by base address
  std::multimap<std::size_t, std::uintptr_t> spare;              // freed, by mapped size
  std::uint64_t nextSequence = 0;
};

// Never destroyed: exit routines of the program may still free or copy.
DeviceHeap& heap() {
  static DeviceHeap& instance = *new DeviceHeap;
  return instance;
}

std::size_t pageRounded(std::size_t size) {
  const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  return (size + page - 1) / page * page;
}

// Maps fresh zeroed pages below 4 GiB, or returns 0.
std::uintptr_t mapLowPages(std::size_t mappedSize) {
  int flags = MAP_PRIVATE | MAP_ANONYMOUS;
#ifdef MAP_32BIT
  flags |= MAP_32BIT;
#endif
  void* pages = mmap(nullptr, mappedSize, PROT_READ | PROT_WRITE, flags, -1, 0);
  if (pages == MAP_FAILED) return 0;
  const auto address = reinterpret_cast<std::uintptr_t>(pages);
  if (address + mappedSize > kDeviceAddressLimit) {
    munmap(pages, mappedSize);
    return 0;
  }
  return address;
}

// The live allocation that holds [address, address + count), or nullptr.
const Allocation* findRange(std::uintptr_t address, std::size_t count) {
  DeviceHeap& h = heap();
  auto it = h.live.upper_bound(address);
  if (it == h.live.begin()) return nullptr;
  --it;
  const std::size_t offset = address - it->first;
  if (offset >= it->second.size && !(offset == 0 && count == 0)) return nullptr;
  if (count > it->second.size - offset) return nullptr;
  return &it->second;
}

}  // namespace

cudaError_t cudaMalloc(void** devicePointer, std::size_t size) {
  if (cudaError_t fault = runtime_detail::takeInjectedFault(RuntimeCall::Malloc)) return fault;
  if (devicePointer == nullptr) return cudaErrorInvalidValue;
  *devicePointer = nullptr;
  if (size == 0) return cudaSuccess;
  if (size >= kDeviceAddressLimit) return cudaErrorMemoryAllocation;

  DeviceHeap& h = heap();
  const std::size_t mappedSize = pageRounded(size);
  std::uintptr_t address = 0;
  if (auto spare = h.spare.find(mappedSize); spare != h.spare.end()) {
    address = spare->second;
    h.spare.erase(spare);
    VELMAR_UNPOISON(reinterpret_cast<void*>(address), mappedSize);
  } else {
    address = mapLowPages(mappedSize);
    if (address == 0) return cudaErrorMemoryAllocation;
  }
  h.live.emplace(address, Allocation{size, mappedSize, h.nextSequence++});
  *devicePointer = reinterpret_cast<void*>(address);
  return cudaSuccess;
}

cudaError_t cudaFree(void* devicePointer) {
  if (cudaError_t fault = runtime_detail::takeInjectedFault(RuntimeCall::Free)) return fault;
  if (devicePointer == nullptr) return cudaSuccess;
  DeviceHeap& h = heap();
  auto it = h.live.find(reinterpret_cast<std::uintptr_t>(devicePointer));
  if (it == h.live.end()) return cudaErrorInvalidDevicePointer;
  const std::size_t mappedSize = it->second.mappedSize;
  h.spare.emplace(mappedSize, it->first);
  // A kernel or copy that still uses the freed buffer is reported by the address sanitizer.
  VELMAR_POISON(devicePointer, mappedSize);
  h.live.erase(it);
  return cudaSuccess;
}

cudaError_t cudaMemcpy(void* destination, const void* source, std::size_t count,
                       cudaMemcpyKind kind) {
  if (cudaError_t fault = runtime_detail::takeInjectedFault(RuntimeCall::Memcpy)) return fault;
  if (kind != cudaMemcpyHostToDevice && kind != cudaMemcpyDeviceToHost) {
    return cudaErrorInvalidMemcpyDirection;
  }
  if (destination == nullptr || source == nullptr) return cudaErrorInvalidValue;
  const void* devicePointer = kind == cudaMemcpyHostToDevice ? destination : source;
  if (findRange(reinterpret_cast<std::uintptr_t>(devicePointer), count) == nullptr) {
    return cudaErrorInvalidDevicePointer;
  }
  if (count != 0) std::memmove(destination, source, count);
  return cudaSuccess;
}

namespace runtime_testing {

std::vector<DeviceAllocation> liveAllocations() {
  std::map<std::uint64_t, DeviceAllocation> bySequence;
  for (const auto& [address, allocation] : heap().live) {
    bySequence.emplace(allocation.sequence, DeviceAllocation{address, allocation.size});
  }
  std::vector<DeviceAllocation> result;
  for (const auto& entry : bySequence) result.push_back(entry.second);
  return result;
}

}  // namespace runtime_testing
