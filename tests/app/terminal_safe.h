// Whether text written to a terminal can only show, never steer it: no C0 or C1 control, no
// DEL, nothing but well-formed UTF-8. Decoded here by code point, apart from the program's
// own escaping, so that a fault there is not repeated in the check.
#pragma once

#include <cstdint>
#include <string_view>

inline bool terminal_safe(std::string_view text) {
  for (std::size_t at = 0; at < text.size();) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const int length = lead < 0x80 ? 1 : lead >> 5 == 6 ? 2 : lead >> 4 == 14 ? 3
                                        : lead >> 3 == 30 ? 4 : 0;
    if (length == 0 || at + length > text.size()) return false;
    std::uint32_t code = length == 1 ? lead : lead & (0x7f >> length);
    for (int k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[at + k]);
      if (next >> 6 != 2) return false;
      code = code << 6 | (next & 0x3f);
    }
    const std::uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < least[length] || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff)) {
      return false;
    }
    if (code < 0x20 || (code >= 0x7f && code <= 0x9f)) return false;
    at += length;
  }
  return true;
}
