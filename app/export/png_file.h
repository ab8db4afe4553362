// Writes an RGB picture as a PNG file.
#pragma once

#include <string>

// `rgb` holds `height` rows of `width` pixels, 3 bytes each, bottom row first, as OpenGL reads
// them back. The file appears whole or not at all: it is written beside `path` and renamed.
// On failure returns false with the reason in `error`.
bool write_png_file(const std::string& path, int width, int height, const unsigned char* rgb,
                    std::string& error);
