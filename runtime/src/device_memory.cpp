// Device memory: buffers mapped in the low 4 GiB of the address space (device addresses are
// 32 bits wide), kept apart from host memory, checked on every copy and free. Freed buffers
// are kept for reuse by a later allocation of the same size, so a program that allocates and
// frees the same buffers every step makes no system call and no host allocation after its
// first step.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "fault_injection.h"
#include "memory_poisoning.h"

namespace {

using runtime_testing::RuntimeCall;

constexpr std::uintptr_t kDeviceAddressLimit = std::uintptr_t{1} << 32;

// One mapping of device memory, live or kept for reuse. The table only grows when a new
// mapping is made, so recycling a buffer allocates nothing on the host either.
struct Block {
  std::uintptr_t address;
  std::size_t mappedSize;   // whole pages
  std::size_t size;         // as requested, while live
  std::uint64_t sequence;   // allocation order, for listing
  bool live;
};

struct DeviceHeap {
  std::vector<Block> blocks;
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

// The live block that holds [address, address + count), or nullptr.
const Block* findRange(std::uintptr_t address, std::size_t count) {
  for (const Block& block : heap().blocks) {
    if (!block.live || address < block.address) continue;
    const std::size_t offset = address - block.address;
    if (offset < block.size && count <= block.size - offset) return &block;
  }
  return nullptr;
}

Block* findLive(std::uintptr_t address) {
  for (Block& block : heap().blocks) {
    if (block.live && block.address == address) return &block;
  }
  return nullptr;
}

Block* findSpare(std::size_t mappedSize) {
  for (Block& block : heap().blocks) {
    if (!block.live && block.mappedSize == mappedSize) return &block;
  }
  return nullptr;
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
  Block* block = findSpare(mappedSize);
  if (block != nullptr) {
    VELMAR_UNPOISON(reinterpret_cast<void*>(block->address), mappedSize);
  } else {
    const std::uintptr_t address = mapLowPages(mappedSize);
    if (address == 0) return cudaErrorMemoryAllocation;
    block = &h.blocks.emplace_back(Block{address, mappedSize, 0, 0, false});
  }
  block->size = size;
  block->sequence = h.nextSequence++;
  block->live = true;
  *devicePointer = reinterpret_cast<void*>(block->address);
  return cudaSuccess;
}

cudaError_t cudaFree(void* devicePointer) {
  if (cudaError_t fault = runtime_detail::takeInjectedFault(RuntimeCall::Free)) return fault;
  if (devicePointer == nullptr) return cudaSuccess;
  Block* block = findLive(reinterpret_cast<std::uintptr_t>(devicePointer));
  if (block == nullptr) return cudaErrorInvalidDevicePointer;
  block->live = false;
  // A kernel or copy that still uses the freed buffer is reported by the address sanitizer.
  VELMAR_POISON(devicePointer, block->mappedSize);
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
  std::vector<const Block*> live;
  for (const Block& block : heap().blocks) {
    if (block.live) live.push_back(&block);
  }
  std::sort(live.begin(), live.end(),
            [](const Block* a, const Block* b) { return a->sequence < b->sequence; });
  std::vector<DeviceAllocation> result;
  for (const Block* block : live) result.push_back({block->address, block->size});
  return result;
}

}  // namespace runtime_testing
