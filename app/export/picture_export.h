// Pictures of the frames as PNG files, DIR/frame-000001.png and on: the n-th picture shows the
// frame drawn after n * K frames. Read back from the frame just drawn, before it is shown.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// Creates `folder` if needed and checks that files can be written there. A folder that holds
// pictures already (frame-*.png) is refused unless `overwrite`; those pictures are then removed
// as the first new one is written, so that the folder never mixes two sessions. On failure
// prints one line on `err` and returns false; nothing has run yet then.
bool start_picture_export(const std::string& folder, std::int64_t every, bool overwrite = false,
                          std::FILE* err = stderr);

bool picture_export_on();

// For a session that ends before it begins (no display, a recording that cannot be made):
// no pictures, and the folders start_picture_export made are removed again while empty.
void withdraw_picture_export();

// Whether a frame of `width` x `height` pixels is within the picture limit (4096 x 4096 pixels
// in all, and the renderer's largest viewport) and may be drawn off screen and written. The
// first refusal says so in one line on standard error; a frame within the limit again is
// pictured again. Needs the current GL context.
bool picture_size_allowed(int width, int height);

// After a frame has been drawn into the current GL framebuffer: writes its picture if this
// frame is due. A failed write ends the session with status 1; earlier pictures stay intact.
void export_picture_if_due(std::int64_t frames_drawn_with_this_one);
