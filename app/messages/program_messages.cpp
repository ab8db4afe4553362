#include "program_messages.h"

#include <vector>

#include "status_line.h"

namespace {

// The length of the well-formed UTF-8 sequence at the start of `text`, or 0 when its first
// byte starts none: overlong forms, surrogates and code points past U+10FFFF are not UTF-8.
std::size_t utf8_sequence_length(std::string_view text) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(0);
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xbf;  // the range of the second byte
  if (lead >= 0xc2 && lead <= 0xdf) {
    length = 2;
  } else if (lead >= 0xe0 && lead <= 0xef) {
    length = 3;
    if (lead == 0xe0) low = 0xa0;
    if (lead == 0xed) high = 0x9f;
  } else if (lead >= 0xf0 && lead <= 0xf4) {
    length = 4;
    if (lead == 0xf0) low = 0x90;
    if (lead == 0xf4) high = 0x8f;
  } else {
    return 0;
  }
  if (text.size() < length || byte(1) < low || byte(1) > high) return 0;
  for (std::size_t k = 2; k < length; ++k) {
    if (byte(k) < 0x80 || byte(k) > 0xbf) return 0;
  }
  return length;
}

void write_out(std::string& shown, unsigned char byte) {
  switch (byte) {
    case '\n': shown += "\\n"; return;
    case '\r': shown += "\\r"; return;
    case '\t': shown += "\\t"; return;
    default: break;
  }
  char escaped[8];
  std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
  shown += escaped;
}

}  // namespace

std::string printable(std::string_view text) {
  std::string shown;
  for (std::size_t at = 0; at < text.size();) {
    const auto byte = static_cast<unsigned char>(text[at]);
    if (byte >= 0x20 && byte < 0x7f) {
      shown += text[at++];
      continue;
    }
    const std::size_t length = byte < 0x80 ? 0 : utf8_sequence_length(text.substr(at));
    // U+0080 to U+009F are the C1 controls (0xc2 0x80 to 0xc2 0x9f): a terminal may act on
    // them as on ESC [, so they are written out like the bytes that are not UTF-8 at all.
    const bool c1_control = length == 2 && byte == 0xc2 &&
                            static_cast<unsigned char>(text[at + 1]) <= 0x9f;
    if (length == 0 || c1_control) {
      const std::size_t end = at + (length == 0 ? 1 : length);
      for (; at < end; ++at) write_out(shown, static_cast<unsigned char>(text[at]));
      continue;
    }
    shown.append(text.substr(at, length));
    at += length;
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
