// The program's own lines on standard error start with its name, so that a user running it
// from a script can tell them from other programs' output.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>
#include <string_view>

inline constexpr std::string_view kProgramName = "velmar_stable_fluids";

// `text` safe on a terminal: control characters (C0, DEL and the C1 controls U+0080 to U+009F)
// and bytes that are not part of well-formed UTF-8 written out (\n, \r, \t, \x1b, \x9b, ...),
// other UTF-8 text as it is. A message quotes file names, arguments and words from files, and
// must stay one line, and must not steer the terminal, whatever they hold.
std::string printable(std::string_view text);

// Prints "velmar_stable_fluids: ", `format` filled in and made printable, and a newline on `out`.
void print_message(std::FILE* out, const char* format, ...) __attribute__((format(printf, 2, 3)));
void print_message_v(std::FILE* out, const char* format, std::va_list arguments);
