#include "program_messages.h"

void print_message_v(std::FILE* out, const char* format, std::va_list arguments) {
  std::fprintf(out, "%s: ", kProgramName.data());
  std::vfprintf(out, format, arguments);
  std::fputc('\n', out);
}

void print_message(std::FILE* out, const char* format, ...) {
  std::va_list arguments;
  va_start(arguments, format);
  print_message_v(out, format, arguments);
  va_end(arguments);
}
