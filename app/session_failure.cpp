#include "session_failure.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace {
bool failed = false;
}

void fail_session(const char* format, ...) {
  failed = true;
  std::fputs("velmar_stable_fluids: ", stderr);
  va_list arguments;
  va_start(arguments, format);
  std::vfprintf(stderr, format, arguments);
  va_end(arguments);
  std::fputc('\n', stderr);
  std::exit(1);
}

bool session_failed() { return failed; }
