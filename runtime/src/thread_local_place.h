// Finds a program's thread-local variable again on another host thread. Kernels learn their
// indices from variables the program registers by address; when those are thread-local, every
// host thread that runs blocks has its own copy, found from the registered one through the
// place it holds in its module's thread-local block.
#pragma once

#include <cstddef>

namespace runtime_detail {

struct ThreadLocalPlace {
  std::size_t module = 0;  // 0: the address is not thread-local
  std::size_t offset = 0;  // from the start of the module's thread-local block
};

// Where `address`, as the calling thread sees it, lies among the thread-local blocks of the
// loaded modules; module 0 if it lies in none.
ThreadLocalPlace locateThreadLocal(const void* address);

// The calling thread's copy of the variable at `place`, made now if the thread has none yet;
// nullptr for module 0.
void* threadLocalAt(ThreadLocalPlace place);

}  // namespace runtime_detail
