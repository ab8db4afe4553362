// The program's own lines on standard error start with its name, so that a user running it
// from a script can tell them from other programs' output.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <string_view>

inline constexpr std::string_view kProgramName = "velmar_stable_fluids";

// Prints "velmar_stable_fluids: ", `format` filled in, and a newline on `out`.
void print_message(std::FILE* out, const char* format, ...) __attribute__((format(printf, 2, 3)));
void print_message_v(std::FILE* out, const char* format, std::va_list arguments);
