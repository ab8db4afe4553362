// One line on a terminal that rewrites itself in place, such as the progress of a long run.
// The program's other messages clear it first, so that they stand on lines of their own.
#pragma once

#include <cstdio>
#include <string>

// Shows `text` on `terminal` in place of the status line's earlier text, cut to the
// terminal's width so that it never wraps.
void show_status_line(std::FILE* terminal, const std::string& text);

// Blanks the status line and leaves the cursor at its start; nothing when none is shown.
void clear_status_line();
