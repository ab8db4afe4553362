#include "fiber_stack.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

#if __has_include(<valgrind/valgrind.h>)
#include <valgrind/valgrind.h>
#define VELMAR_HAVE_VALGRIND 1
#endif

extern "C" void fiber_start();

namespace runtime_detail {

FiberStack::FiberStack(std::size_t usableSize, std::size_t topOffset) {
  const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  usableSize = (usableSize + page - 1) / page * page;
  void* mapping = mmap(nullptr, usableSize + page, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
  if (mapping == MAP_FAILED) return;
  // The lowest page stays inaccessible: an overflowing fiber faults instead of corrupting.
  if (mprotect(mapping, page, PROT_NONE) != 0) {
    munmap(mapping, usableSize + page);
    return;
  }
  base_ = mapping;
  mappedSize_ = usableSize + page;
  usableBottom_ = static_cast<char*>(mapping) + page;
  usableSize_ = usableSize;
  top_ = usableBottom_ + usableSize - (topOffset % (usableSize / 2));
#ifdef VELMAR_HAVE_VALGRIND
  valgrindStackId_ = VALGRIND_STACK_REGISTER(usableBottom_, usableBottom_ + usableSize_);
#endif
}

FiberStack::~FiberStack() {
  if (base_ == nullptr) return;
#ifdef VELMAR_HAVE_VALGRIND
  VALGRIND_STACK_DEREGISTER(valgrindStackId_);
#endif
  munmap(base_, mappedSize_);
}

void* FiberStack::prime(void (*entry)(void*), void* argument) {
  // Laid out as fiber_switch pops it: r15, r14, r13 (entry), r12 (argument), rbx, rbp (0 ends
  // the frame chain), then the return address fiber_start.
  auto top = reinterpret_cast<std::uintptr_t>(top_) & ~std::uintptr_t{15};
  auto* frame = reinterpret_cast<std::uintptr_t*>(top) - 8;
  const std::uintptr_t words[7] = {0,
                                   0,
                                   reinterpret_cast<std::uintptr_t>(entry),
                                   reinterpret_cast<std::uintptr_t>(argument),
                                   0,
                                   0,
                                   reinterpret_cast<std::uintptr_t>(&fiber_start)};
  std::memcpy(frame, words, sizeof words);
  return frame;
}

}  // namespace runtime_detail
