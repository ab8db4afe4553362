// Under a software renderer (virtual machines, remote desktops) the default drawing runs at a
// fraction of the frame rate of --draw=layers, and nothing else would tell the user.
#pragma once

#include <cstdio>

// Once the window's GL context is current: one line on `err` when the renderer draws in
// software and the views are drawn cell by cell; nothing otherwise.
void hint_at_faster_drawing(std::FILE* err = stderr);
