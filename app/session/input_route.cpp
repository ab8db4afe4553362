#include "input_route.h"

#include <cstddef>
#include <utility>

#include "cell_geometry.h"
#include "fluid_state.h"
#include "input.h"
#include "session_recorder.h"

namespace {

ReshapeHandler reshape_handler = record_window_size;
std::int64_t frames = 0;
std::vector<InputEvent> replay;
std::size_t next_replayed = 0;
bool replaying_now = false;

bool passes_during_replay(const InputEvent& event) {
  if (event.kind == InputKind::Key) return event.key == kEscapeKey;
  // The window's own report of the size it already has changes nothing.
  return event.kind == InputKind::Reshape && event.width == fluid.window_width &&
         event.height == fluid.window_height;
}

}  // namespace

void set_reshape_handler(ReshapeHandler handler) { reshape_handler = handler; }

bool handle_input(const InputEvent& event) {
  // Recorded before it is handled: Escape never returns.
  record_event(event);
  switch (event.kind) {
    case InputKind::Key:
      apply_key(static_cast<unsigned char>(event.key));
      return true;
    case InputKind::Mouse:
      mouse_button_event(event.button, event.state, event.x, event.y);
      return true;
    case InputKind::Motion:
      return mouse_motion_event(event.x, event.y);
    case InputKind::Reshape:
      reshape_handler(event.width, event.height);
      return true;
  }
  return false;
}

bool handle_live_input(InputEvent event) {
  event.frame = frames;
  if (replay_running() && !passes_during_replay(event)) return false;
  return handle_input(event);
}

void start_replay(std::vector<InputEvent> events) {
  replay = std::move(events);
  next_replayed = 0;
}

bool replay_running() { return next_replayed < replay.size(); }

void deliver_replayed_events() {
  replaying_now = true;
  while (next_replayed < replay.size() && replay[next_replayed].frame <= frames) {
    handle_input(replay[next_replayed++]);
  }
  replaying_now = false;
}

bool handling_replayed_event() { return replaying_now; }

std::int64_t frames_drawn() { return frames; }

void count_drawn_frame() { ++frames; }
