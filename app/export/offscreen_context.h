// An OpenGL context with no window and no X server: Mesa's EGL on its surfaceless platform,
// drawing into a pbuffer of the window's size. The views draw into it as into the window.
#pragma once

#include <cstdio>

// Creates the context with a `width` x `height` surface and makes it current. On failure
// prints one line on `err` and returns false.
bool open_offscreen_context(int width, int height, std::FILE* err = stderr);

// Replaces the surface by one of the new size; the context and its display lists stay.
// Returns false when the renderer cannot make a surface that large; the old one stays then.
bool resize_offscreen_surface(int width, int height);
