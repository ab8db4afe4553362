// Preloaded into the program by the window benchmark: times every buffer swap. Before the real
// swap it waits for the GL to finish the frame, so a software renderer's deferred drawing is
// told apart from presenting the picture. One line per frame to $VELMAR_SWAP_LOG, in
// CLOCK_MONOTONIC nanoseconds: swap called, frame finished, swap returned.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

typedef void (*swap_function)(void*, unsigned long);
typedef void (*finish_function)(void);

static long long now_ns(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1000000000LL + t.tv_nsec;
}

void glXSwapBuffers(void* display, unsigned long drawable) {
  static swap_function real_swap;
  static finish_function finish;
  static FILE* log;
  if (real_swap == NULL) {
    real_swap = (swap_function)dlsym(RTLD_NEXT, "glXSwapBuffers");
    finish = (finish_function)dlsym(RTLD_DEFAULT, "glFinish");
    const char* path = getenv("VELMAR_SWAP_LOG");
    if (path != NULL) log = fopen(path, "w");
  }
  const long long called = now_ns();
  if (finish != NULL) finish();
  const long long finished = now_ns();
  real_swap(display, drawable);
  const long long returned = now_ns();
  if (log != NULL) {
    fprintf(log, "%lld %lld %lld\n", called, finished, returned);
    fflush(log);  // read while the program runs
  }
}
