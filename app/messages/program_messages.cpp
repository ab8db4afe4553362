#include "program_messages.h"

#include <vector>

#include "status_line.h"

std::string printable(std::string_view text) {
  std::string shown;
  for (const char character : text) {
    const auto byte = static_cast<unsigned char>(character);
    if (byte >= 0x20 && byte != 0x7f) {
      shown += character;
    } else if (character == '\n') {
      shown += "\\n";
    } else if (character == '\r') {
      shown += "\\r";
    } else if (character == '\t') {
      shown += "\\t";
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
      shown += escaped;
    }
  }
  return shown;
}

void print_message_v(std::FILE* out, const char* format, std::va_list arguments) {
  clear_status_line();
  std::va_list measuring;
  va_copy(measuring, arguments);
  const int length = std::vsnprintf(nullptr, 0, format, measuring);
  va_end(measuring);
  std::vector<char> filled(length > 0 ? length + 1 : 1);
  std::vsnprintf(filled.data(), filled.size(), format, arguments);
  std::fprintf(out, "%s: %s\n", kProgramName.data(),
               printable(std::string_view(filled.data(), length > 0 ? length : 0)).c_str());
}

void print_message(std::FILE* out, const char* format, ...) {
  std::va_list arguments;
  va_start(arguments, format);
  print_message_v(out, format, arguments);
  va_end(arguments);
}
