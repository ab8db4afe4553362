// The one road from an input event to its handler, for live and replayed events alike. The
// recording is taken on this road, and a replay drives it frame by frame.
#pragma once

#include <cstdint>
#include <vector>

#include "input_event.h"

// What a reshape does depends on where the frames are drawn: a window, an off-screen
// picture, or nowhere.
using ReshapeHandler = void (*)(int width, int height);
void set_reshape_handler(ReshapeHandler handler);

// Records `event` and hands it to its handler. Returns false when the handler ignored it (a
// drag with no button held), so that no redraw is needed.
bool handle_input(const InputEvent& event);

// A live event, stamped with the frames drawn so far. While a replay runs, live input is
// ignored, except Escape and a reshape to the size the replay already has; returns false then.
bool handle_live_input(InputEvent event);

// Replays `events` (frames never decreasing): each is handled before the first frame drawn
// after as many frames as it was stamped with.
void start_replay(std::vector<InputEvent> events);
bool replay_running();
// Handles the replayed events due before the next frame.
void deliver_replayed_events();
// True while a replayed event is being handled.
bool handling_replayed_event();

// Frames drawn so far: display callbacks in the window, frame steps headless.
std::int64_t frames_drawn();
void count_drawn_frame();
