#include "program_messages.h"

#include "status_line.h"

void print_message_v(std::FILE* out, const char* format, std::va_list arguments) {
  clear_status_line();
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
