#include "session_failure.h"

#include <cstdarg>
#include <cstdlib>

#include "program_messages.h"

namespace {
bool failed = false;
}

void fail_session(const char* format, ...) {
  failed = true;
  std::va_list arguments;
  va_start(arguments, format);
  print_message_v(stderr, format, arguments);
  va_end(arguments);
  std::exit(1);
}

bool session_failed() { return failed; }
