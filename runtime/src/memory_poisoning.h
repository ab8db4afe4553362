// Marks memory that must not be touched, for AddressSanitizer builds; elsewhere nothing.
#pragma once

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define VELMAR_POISON(address, size) ASAN_POISON_MEMORY_REGION(address, size)
#define VELMAR_UNPOISON(address, size) ASAN_UNPOISON_MEMORY_REGION(address, size)
#else
#define VELMAR_POISON(address, size) ((void)(address), (void)(size))
#define VELMAR_UNPOISON(address, size) ((void)(address), (void)(size))
#endif
